// Shapes shared by the pad drawings: the direction cross, arrows, round buttons, pills.
#pragma once

#include <functional>

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

namespace vext::padart {

enum class Direction { Left, Right, Down, Up };

// A plus shape of arms reaching `reach` from the centre, `half` wide on each side.
QPainterPath CrossPath(QPointF centre, double reach, double half, double corner);
// One arm of the standard direction cross around `centre`, as the button of direction `d`.
QPainterPath ArmPath(QPointF centre, Direction d);
// Where the arrow on that arm points to.
QPointF ArrowTip(QPointF centre, Direction d);
// A filled arrow head pointing in `d`, its tip `tip`, `size` long.
QPainterPath ArrowPath(QPointF tip, Direction d, double size);
QPainterPath CirclePath(QPointF centre, double radius);
QPainterPath PillPath(QRectF rect);
// Everything a filled shape touches when its rim is drawn with a one-pixel pen.
QPainterPath WithRim(const QPainterPath& shape);

QColor Mix(QColor a, QColor b, double t);

// The raised face of the direction cross with its hub and the four arrows (left, right, down,
// up), arrow k filled with arrowColour(k).
void DrawCrossFace(QPainter& painter, QPointF centre, QColor top, QColor bottom, QColor hub,
                   const std::function<QColor(int)>& arrowColour);

// A domed round button: gradient body, darker rim.
void DrawDome(QPainter& painter, QPointF centre, double radius, QColor base, QColor rim);
// A pad's body: shaded from top to bottom (between heights y0 and y1), edged, with a soft sheen
// along its top edge.
void DrawBody(QPainter& painter, const QPainterPath& body, double y0, double y1, QColor top,
              QColor bottom, QColor edge);

} // namespace vext::padart
