#include "gui/framework/Placement.h"

#include <QRect>
#include <QSize>
#include <QVariant>
#include <QWidget>

namespace vext {

namespace {

const char kPendingShow[] = "vextPendingShowCmd";
constexpr int kMinPlacementWidth = 100;
constexpr int kMinPlacementHeight = 60;
constexpr long long kMaxPlacementSide = 32767;

} // namespace

WindowPlacement GetWidgetPlacement(const QWidget* pWidget) {
    WindowPlacement wp;
    wp.length = WindowPlacement::kLength;
    wp.flags = 0;
    if (pWidget->isMinimized()) {
        wp.showCmd = WindowPlacement::kShowMinimized;
    } else if (pWidget->isMaximized()) {
        wp.showCmd = WindowPlacement::kShowMaximized;
    } else {
        wp.showCmd = WindowPlacement::kShowNormal;
    }
    wp.minX = wp.minY = wp.maxX = wp.maxY = -1;
    const QRect rc = pWidget->isWindow() ? pWidget->normalGeometry() : pWidget->geometry();
    const QRect normal = rc.isValid() ? rc : pWidget->geometry();
    wp.left = normal.left();
    wp.top = normal.top();
    wp.right = normal.left() + normal.width();
    wp.bottom = normal.top() + normal.height();
    return wp;
}

bool IsUsablePlacement(const QWidget* pWidget, const WindowPlacement& wp) {
    if (wp.IsEmpty()) {
        return false;
    }
    // A window smaller than this could not be grabbed and dragged back to a useful size.
    const QSize floor = pWidget->minimumSize()
                            .expandedTo(pWidget->minimumSizeHint())
                            .expandedTo(QSize(kMinPlacementWidth, kMinPlacementHeight));
    const long long nWidth = static_cast<long long>(wp.right) - wp.left;
    const long long nHeight = static_cast<long long>(wp.bottom) - wp.top;
    return nWidth >= floor.width() && nHeight >= floor.height() && nWidth <= kMaxPlacementSide &&
           nHeight <= kMaxPlacementSide;
}

void SetWidgetPlacement(QWidget* pWidget, const WindowPlacement& wp) {
    // Saved by a save without windows, or by another tool: the default place serves better.
    if (!IsUsablePlacement(pWidget, wp)) {
        return;
    }
    pWidget->setGeometry(wp.left, wp.top, wp.right - wp.left, wp.bottom - wp.top);
    if (!pWidget->isVisible()) {
        pWidget->setProperty(kPendingShow, wp.showCmd);
        return;
    }
    pWidget->setProperty(kPendingShow, QVariant());
    switch (wp.showCmd) {
    case WindowPlacement::kShowMinimized:
    case 6: // minimize
    case 7: // show minimised without activating
        pWidget->showMinimized();
        break;
    case WindowPlacement::kShowMaximized:
        pWidget->showMaximized();
        break;
    default:
        pWidget->showNormal();
        break;
    }
}

bool HasPendingPlacement(const QWidget* pWidget) {
    return pWidget->property(kPendingShow).isValid();
}

void ShowWithPlacement(QWidget* pWidget) {
    const QVariant pending = pWidget->property(kPendingShow);
    pWidget->setProperty(kPendingShow, QVariant());
    switch (pending.isValid() ? pending.toInt() : WindowPlacement::kShowNormal) {
    case WindowPlacement::kShowMinimized:
    case 6:
    case 7:
        pWidget->showMinimized();
        break;
    case WindowPlacement::kShowMaximized:
        pWidget->showMaximized();
        break;
    default:
        pWidget->show();
        break;
    }
}

} // namespace vext
