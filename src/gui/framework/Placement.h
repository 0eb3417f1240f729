#pragma once

// Window placement records at the GUI's edge: a widget's normal rectangle and show state as the
// key-set file stores them, and back. A child frame that is still hidden keeps the show state
// until its first showing.

#include "core/model/WindowPlacement.h"

class QWidget;

namespace vext {

WindowPlacement GetWidgetPlacement(const QWidget* pWidget);
// Whether a saved record describes a window the user could work with: not empty, not smaller
// than the widget's minimum size (all zeros included), not absurdly large.
bool IsUsablePlacement(const QWidget* pWidget, const WindowPlacement& wp);
// A record that is not usable changes nothing: the window keeps its default size and place. A
// record that would hide the window shows it normally: a window nobody can reach again is never
// what the file meant.
void SetWidgetPlacement(QWidget* pWidget, const WindowPlacement& wp);
// Whether SetWidgetPlacement gave the hidden widget a place that its first showing keeps.
bool HasPendingPlacement(const QWidget* pWidget);
// Shows a widget in the state SetWidgetPlacement left for it (normal when there is none).
void ShowWithPlacement(QWidget* pWidget);

} // namespace vext
