#include "gui/framework/MDIChildWnd.h"

#include "gui/framework/Document.h"
#include "gui/framework/View.h"

#include <QCloseEvent>
#include <QMdiArea>

namespace vext {

CMDIChildWnd::CMDIChildWnd(QWidget* pParent) : QMdiSubWindow(pParent) {}

CMDIChildWnd::~CMDIChildWnd() {
    if (m_pView) {
        if (CDocument* pDoc = m_pView->GetDocument()) {
            pDoc->RemoveView(m_pView);
        }
    }
}

void CMDIChildWnd::SetView(CView* pView) {
    m_pView = pView;
    setWidget(pView);
}

CDocument* CMDIChildWnd::GetActiveDocument() const {
    return m_pView ? m_pView->GetDocument() : nullptr;
}

void CMDIChildWnd::OnUpdateFrameTitle(int nWindow) {
    CDocument* pDoc = GetActiveDocument();
    if (!pDoc) {
        return;
    }
    m_nWindow = nWindow;
    QString strTitle = pDoc->GetTitle();
    if (nWindow > 0) {
        strTitle += QStringLiteral(":%1").arg(nWindow);
    }
    if (pDoc->IsModified()) {
        strTitle += QLatin1Char('*');
    }
    if (windowTitle() != strTitle) {
        setWindowTitle(strTitle);
    }
}

void CMDIChildWnd::DestroyFrame() {
    if (m_bDestroying) {
        return;
    }
    m_bDestroying = true;
    Q_EMIT frameDestroying(this);
    CDocument* pDoc = GetActiveDocument();
    if (pDoc) {
        pDoc->RemoveView(m_pView);
    }
    hide();
    if (QMdiArea* pArea = mdiArea()) {
        pArea->removeSubWindow(this);
    }
    deleteLater();
    if (pDoc && !pDoc->IsClosing()) {
        pDoc->UpdateFrameCounts();
    }
}

void CMDIChildWnd::closeEvent(QCloseEvent* pEvent) {
    pEvent->ignore();
    if (m_bDestroying) {
        return;
    }
    CDocument* pDoc = GetActiveDocument();
    if (!pDoc) {
        DestroyFrame();
        return;
    }
    if (!pDoc->CanCloseFrame(this)) {
        return;
    }
    if (pDoc->ClosesWithFrame(this)) {
        pDoc->OnCloseDocument();
    } else {
        DestroyFrame();
    }
}

} // namespace vext
