#include "views/VextPadFrame.h"

#include "framework/Document.h"
#include "views/VextPadView.h"

CVextPadFrame::CVextPadFrame(QWidget* pParent) : CMDIChildWnd(pParent) {}

void CVextPadFrame::PreCreateWindow() {
    setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    resize(320, 240);
}

void CVextPadFrame::OnUpdateFrameTitle(int) {
    auto* pView = qobject_cast<CVextPadView*>(GetActiveView());
    vext::CDocument* pDoc = GetActiveDocument();
    if (pView && pDoc) {
        setWindowTitle(QStringLiteral("%1 : Slot %2").arg(pDoc->GetTitle()).arg(pView->GetSlot()));
    }
}
