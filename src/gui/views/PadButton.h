#pragma once

// One button of a pad window, laid over its button on the pad picture and shaped by the traced
// outline of its image, so that clicks and drops beside it reach the picture. Unmapped it is
// invisible; mapped it shows its image; pressed on the real pad it shows its highlight image.
// It is where mapping happens: functions and other buttons' mappings are dropped on it, its
// mapping is dragged away, and its menu unmaps it or opens the mapped function.

#include "gui/framework/CmdTarget.h"

#include <cstdint>
#include <vector>

#include <QAbstractButton>
#include <QPixmap>
#include <QRegion>

class CKeyFunction;
class CVextKeyDoc;
class CVextPadView;
class QMimeData;

class CPadButton : public QAbstractButton, public vext::CCmdTarget {
    Q_OBJECT

public:
    // Button nIndex of the layout of pView's pad type, created over the picture in pView.
    CPadButton(CVextPadView* pView, int nIndex);
    ~CPadButton() override;

    int Kind() const { return m_nKind; }
    int X() const { return m_nX; }
    int Y() const { return m_nY; }
    uint32_t Mask() const { return m_nMask; }
    uint32_t ButtonId() const;
    const QString& Name() const { return m_strName; }
    bool IsMapped() const { return m_bMapped; }
    int MappedCookie() const { return m_nMappedCookie; }
    bool IsHighlighted() const { return m_bHighlighted; }
    // The hit region: the traced outline of the normal image.
    const QRegion& Outline() const { return m_outline; }

    // Returns the previous value.
    bool SetHighlight(bool bHighlight);
    // Reads the mapping again and repaints.
    void Refresh();
    QString TooltipText() const;

    // Button commands.
    void Unmap();
    void Properties();
    void TakeDroppedFunction(bool bMove);
    void SwapWithDropped();
    void ShowButtonMenu(const QPoint& globalPos);

    // The drop rules, as the drag events apply them (tests call these directly): the effect of
    // data entering with Ctrl held or not, and the drop itself with the buttons held at entry.
    Qt::DropAction DragEffect(const QMimeData* pData, bool bCopy) const;
    void Drop(const QMimeData* pData, bool bRightDrag, bool bCopy, const QPoint& localPos);
    // The button block of this button's mapping (null when unmapped); the caller owns it.
    QMimeData* MakeDragData() const;

protected:
    bool event(QEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragMoveEvent(QDragMoveEvent* pEvent) override;
    void dragLeaveEvent(QDragLeaveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    CVextKeyDoc* Doc() const;
    CKeyFunction* MappedFunction() const;
    void RightButtonUp(const QPoint& globalPos);
    void StartDrag(Qt::MouseButtons buttons);
    // After a mapping changed here: the list's row images and other views follow.
    void MappingsChanged(int nCookie);

    CVextPadView* m_pView;
    QPixmap m_normal;
    QPixmap m_highlight;
    QRegion m_outline;
    QString m_strName;
    int m_nKind = 0;
    int m_nX = 0;
    int m_nY = 0;
    uint32_t m_nMask = 0;
    bool m_bHighlighted = false;
    bool m_bMapped = false;
    int m_nMappedCookie = 0;
    QPoint m_dragStart;
    bool m_bDragging = false;
    bool m_bDropCopy = false;
    bool m_bDropRight = false;
    // The block of the last drop, for the drop popup's command.
    std::vector<uint8_t> m_droppedBlock;
};
