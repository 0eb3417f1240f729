#pragma once

// Where child frames go in the MDI area: a new one where it fits and covers least of the others,
// one that grew or came from a file pulled back inside, and Tile and Cascade that leave every
// title bar inside the workspace where it can be grabbed.

#include <QPoint>
#include <QRect>

class QMdiArea;
class QMdiSubWindow;

namespace vext {

// The part of the area that shows child frames, in the frames' coordinates.
QRect Workspace(QMdiArea* pArea);
// The height of a frame's title bar (the strip that must stay in sight).
int TitleBarHeight(const QMdiSubWindow* pWindow);

// The top-left corner for pWindow at its present size: inside the workspace when it fits
// (else at its left or top edge), over as little of the other frames as can be, their title
// bars above all; the highest, then leftmost such place.
QPoint FreePlace(QMdiArea* pArea, const QMdiSubWindow* pWindow);
// Moves pWindow as little as needed to lie inside the workspace; a frame larger than the
// workspace keeps its title bar at the top or left edge.
void KeepInside(QMdiArea* pArea, QMdiSubWindow* pWindow);
// Moves pWindow as little as needed to have its title bar inside the workspace, the rest of it
// free to reach beyond: a place the user chose is kept as far as it can be grabbed.
void KeepTitleBarInside(QMdiArea* pArea, QMdiSubWindow* pWindow);

// Cascade: each frame one title bar below and right of the one beneath it, the active frame on
// top; frames that can be resized shrink to fit.
void CascadeInside(QMdiArea* pArea);
// Tile: a grid of cells, resizable frames filling theirs; a frame of fixed size starts at its
// cell's corner and moves back inside the workspace where it would stick out.
void TileInside(QMdiArea* pArea);

} // namespace vext
