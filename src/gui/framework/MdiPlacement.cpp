#include "gui/framework/MdiPlacement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QStyleOptionTitleBar>

namespace vext {

namespace {

// Covering another frame's title bar costs this much more than covering its body: a frame
// whose title bar is hidden can no longer be moved or closed.
constexpr long long kTitleBarWeight = 16;

bool IsFixedSize(const QMdiSubWindow* pWindow) {
    return pWindow->minimumSize() == pWindow->maximumSize();
}

std::vector<QMdiSubWindow*> Frames(QMdiArea* pArea, QMdiArea::WindowOrder order,
                                   const QMdiSubWindow* pExcept = nullptr) {
    std::vector<QMdiSubWindow*> frames;
    for (QMdiSubWindow* pWindow : pArea->subWindowList(order)) {
        if (pWindow != pExcept && pWindow->isVisibleTo(pArea)) {
            frames.push_back(pWindow);
        }
    }
    return frames;
}

long long Area(const QRect& r) {
    return r.isValid() ? static_cast<long long>(r.width()) * r.height() : 0;
}

// Where a frame of nSize may start along one side of length nRoom: 0 when it does not fit.
int Clamp(int nPos, int nSize, int nRoom) {
    return std::max(0, std::min(nPos, nRoom - nSize));
}

QRect TitleStrip(const QMdiSubWindow* pWindow) {
    const QRect r = pWindow->geometry();
    return QRect(r.left(), r.top(), r.width(), TitleBarHeight(pWindow));
}

} // namespace

QRect Workspace(QMdiArea* pArea) {
    // Before the main window is first shown, its layout has not given the area its size yet.
    // Until then the viewport has not been laid out either: the area's inside is what it gets.
    if (!pArea->isVisible()) {
        QWidget* pTop = pArea->window();
        if (pTop && pTop->layout()) {
            pTop->layout()->activate();
        }
        return QRect(QPoint(0, 0), pArea->contentsRect().size());
    }
    return QRect(QPoint(0, 0), pArea->viewport()->size());
}

int TitleBarHeight(const QMdiSubWindow* pWindow) {
    // The frame keeps its title bar (and top border) as its top contents margin.
    const int nMargin = pWindow->contentsMargins().top();
    if (nMargin > 0) {
        return nMargin;
    }
    QStyleOptionTitleBar option;
    option.initFrom(pWindow);
    return pWindow->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, pWindow);
}

QPoint FreePlace(QMdiArea* pArea, const QMdiSubWindow* pWindow) {
    const QRect room = Workspace(pArea);
    const QSize size = pWindow->size();
    const std::vector<QMdiSubWindow*> others = Frames(pArea, QMdiArea::CreationOrder, pWindow);
    const int nStep = TitleBarHeight(pWindow);

    std::vector<int> xs{0, room.width() - size.width()};
    std::vector<int> ys{0, room.height() - size.height()};
    for (const QMdiSubWindow* pOther : others) {
        const QRect r = pOther->geometry();
        xs.push_back(r.right() + 1);
        ys.push_back(r.bottom() + 1);
        // One title bar down and right of another frame: the cascade place.
        xs.push_back(r.left() + nStep);
        ys.push_back(r.top() + nStep);
    }
    const auto keep = [](std::vector<int>& positions, int nSize, int nRoom) {
        for (int& nPos : positions) {
            nPos = Clamp(nPos, nSize, nRoom);
        }
        std::sort(positions.begin(), positions.end());
        positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    };
    keep(xs, size.width(), room.width());
    keep(ys, size.height(), room.height());

    QPoint best(0, 0);
    long long nBestCost = std::numeric_limits<long long>::max();
    for (int y : ys) {
        for (int x : xs) {
            const QRect place(QPoint(x, y), size);
            long long nCost = 0;
            for (const QMdiSubWindow* pOther : others) {
                nCost += Area(place & pOther->geometry());
                nCost += (kTitleBarWeight - 1) * Area(place & TitleStrip(pOther));
            }
            if (nCost < nBestCost) {
                nBestCost = nCost;
                best = place.topLeft();
            }
        }
    }
    return best;
}

void KeepInside(QMdiArea* pArea, QMdiSubWindow* pWindow) {
    const QRect room = Workspace(pArea);
    const QRect r = pWindow->geometry();
    const QPoint inside(Clamp(r.left(), r.width(), room.width()),
                        Clamp(r.top(), r.height(), room.height()));
    if (inside != r.topLeft()) {
        pWindow->move(inside);
    }
}

void KeepTitleBarInside(QMdiArea* pArea, QMdiSubWindow* pWindow) {
    const QRect room = Workspace(pArea);
    const QRect r = pWindow->geometry();
    const QPoint inside(Clamp(r.left(), r.width(), room.width()),
                        Clamp(r.top(), TitleBarHeight(pWindow), room.height()));
    if (inside != r.topLeft()) {
        pWindow->move(inside);
    }
}

void CascadeInside(QMdiArea* pArea) {
    std::vector<QMdiSubWindow*> frames = Frames(pArea, QMdiArea::StackingOrder);
    frames.erase(std::remove_if(frames.begin(), frames.end(),
                                [](const QMdiSubWindow* p) { return p->isMinimized(); }),
                 frames.end());
    if (frames.empty()) {
        return;
    }
    QMdiSubWindow* pActive = pArea->activeSubWindow();
    const auto it = std::find(frames.begin(), frames.end(), pActive);
    if (it != frames.end()) {
        std::rotate(it, it + 1, frames.end());
    }
    const QRect room = Workspace(pArea);
    int x = 0;
    int y = 0;
    int nRun = 0;
    for (QMdiSubWindow* pWindow : frames) {
        const int nStep = TitleBarHeight(pWindow);
        if (pWindow->isMaximized()) {
            pWindow->showNormal();
        }
        // A title bar that would leave the workspace starts a new run at the top, further right.
        if (y + nStep > room.height() || x + 4 * nStep > room.width()) {
            ++nRun;
            x = 4 * nRun * nStep;
            if (x + 4 * nStep > room.width()) {
                nRun = 0;
                x = 0;
            }
            y = 0;
        }
        QSize size = pWindow->size();
        if (!IsFixedSize(pWindow)) {
            size = size.boundedTo(QSize(room.width() - x, room.height() - y))
                       .expandedTo(pWindow->minimumSizeHint())
                       .expandedTo(pWindow->minimumSize());
        }
        pWindow->setGeometry(QRect(QPoint(x, y), size));
        pWindow->raise();
        x += nStep;
        y += nStep;
    }
}

void TileInside(QMdiArea* pArea) {
    std::vector<QMdiSubWindow*> frames = Frames(pArea, QMdiArea::CreationOrder);
    frames.erase(std::remove_if(frames.begin(), frames.end(),
                                [](const QMdiSubWindow* p) { return p->isMinimized(); }),
                 frames.end());
    if (frames.empty()) {
        return;
    }
    const QRect room = Workspace(pArea);
    const int nCount = static_cast<int>(frames.size());
    const int nColumns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(nCount))));
    const int nRows = (nCount + nColumns - 1) / nColumns;
    for (int nRow = 0; nRow < nRows; ++nRow) {
        const auto first = frames.begin() + nRow * nColumns;
        const std::vector<QMdiSubWindow*> row(first,
                                              first + std::min(nColumns, nCount - nRow * nColumns));
        const int nTop = room.height() * nRow / nRows;
        const int nHeight = room.height() * (nRow + 1) / nRows - nTop;
        // Frames of fixed size keep theirs; the others share what is left of the row.
        int nFixedWidth = 0;
        int nFlexible = 0;
        for (const QMdiSubWindow* pWindow : row) {
            if (IsFixedSize(pWindow)) {
                nFixedWidth += pWindow->width();
            } else {
                ++nFlexible;
            }
        }
        const int nShare = nFlexible > 0 ? std::max(0, room.width() - nFixedWidth) / nFlexible : 0;
        std::vector<QSize> sizes;
        int nTotal = 0;
        for (QMdiSubWindow* pWindow : row) {
            if (pWindow->isMaximized()) {
                pWindow->showNormal();
            }
            const QSize size = IsFixedSize(pWindow) ? pWindow->size()
                                                    : QSize(nShare, nHeight)
                                                          .expandedTo(pWindow->minimumSizeHint())
                                                          .expandedTo(pWindow->minimumSize());
            sizes.push_back(size);
            nTotal += size.width();
        }
        // Side by side when the row has room; otherwise staggered evenly so that the start of
        // every title bar shows, the last frame ending at the right edge.
        const int nLast = static_cast<int>(row.size()) - 1;
        const int nGap = nTotal <= room.width() && nLast >= 0
                             ? (room.width() - nTotal) / static_cast<int>(row.size())
                             : 0;
        int x = 0;
        for (int i = 0; i <= nLast; ++i) {
            const QSize size = sizes[static_cast<size_t>(i)];
            int nLeft = x;
            if (nTotal > room.width() && nLast > 0) {
                nLeft = (room.width() - sizes.back().width()) * i / nLast;
            }
            const QRect place(QPoint(Clamp(nLeft, size.width(), room.width()),
                                     Clamp(nTop, size.height(), room.height())),
                              size);
            row[static_cast<size_t>(i)]->setGeometry(place);
            // Later frames on top: where frames overlap, the right one covers the end of its
            // neighbour's title bar, never the start.
            row[static_cast<size_t>(i)]->raise();
            x += size.width() + nGap;
        }
    }
}

} // namespace vext
