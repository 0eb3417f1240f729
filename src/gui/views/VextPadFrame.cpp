#include "gui/views/VextPadFrame.h"

#include "core/model/VextKeyDoc.h"
#include "gui/framework/Placement.h"
#include "gui/views/KeySetDocument.h"

#include <QMoveEvent>

CVextPadFrame::CVextPadFrame(QWidget* pParent) : CMDIChildWnd(pParent) {}

void CVextPadFrame::PreCreateWindow() {
    setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

void CVextPadFrame::OnUpdateFrameTitle(int) {
    if (vext::CDocument* pDoc = GetActiveDocument(); pDoc && m_nSlot != 0) {
        const QString strTitle = QStringLiteral("%1%2 : Slot %3")
                                     .arg(pDoc->GetTitle(), pDoc->IsModified() ? "*" : "")
                                     .arg(m_nSlot);
        if (windowTitle() != strTitle) {
            setWindowTitle(strTitle);
        }
    }
}

void CVextPadFrame::FitToView() {
    const QSize size = sizeHint();
    setFixedSize(size);
}

void CVextPadFrame::moveEvent(QMoveEvent* pEvent) {
    CMDIChildWnd::moveEvent(pEvent);
    auto* pDoc = dynamic_cast<vext::KeySetDocument*>(GetActiveDocument());
    // A position is worth keeping, not a change of the key set: the modified flag stays.
    if (pDoc && m_nSlot >= 1 && m_nSlot <= CVextKeyDoc::kSlotCount && !isMinimized() &&
        !IsDestroying()) {
        pDoc->Doc().m_padPlacements[static_cast<size_t>(m_nSlot - 1)] =
            vext::GetWidgetPlacement(this);
    }
}
