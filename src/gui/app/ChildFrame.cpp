#include "gui/app/ChildFrame.h"

#include "gui/framework/CmdIds.h"
#include "gui/framework/Resources.h"

#include <QLayout>
#include <QMdiArea>

CChildFrame::CChildFrame(QWidget* pParent) : CMDIChildWnd(pParent) {}

void CChildFrame::PreCreateWindow() {
    setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QMdiArea* pArea = mdiArea();
    if (!pArea) {
        return;
    }
    // Before the main window is first shown its layout has not placed the MDI area yet.
    if (!pArea->isVisible() && pArea->window()->layout()) {
        pArea->window()->layout()->activate();
    }
    const QSize client = pArea->viewport()->size();
    resize(client.width() / 3, qMax(client.height() * 3 / 4, minimumSizeHint().height()));
}

void CChildFrame::OnUpdateFrameTitle(int nWindow) {
    if (GetActiveDocument()) {
        CMDIChildWnd::OnUpdateFrameTitle(nWindow);
    } else if (GetMenuResource() != 0) {
        setWindowTitle(vext::DocString(GetMenuResource(), 0));
    }
}
