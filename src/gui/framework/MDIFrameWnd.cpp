#include "gui/framework/MDIFrameWnd.h"

#include "gui/framework/CmdIds.h"
#include "gui/framework/Document.h"
#include "gui/framework/FileOperation.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/MdiPlacement.h"
#include "gui/framework/Resources.h"
#include "gui/framework/View.h"
#include "gui/framework/WinApp.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>

namespace vext {

namespace {

const char kCommandProperty[] = "vextCommand";
const char kWindowItemProperty[] = "vextWindowItem";
constexpr int kIdleMilliseconds = 250;

} // namespace

CMDIFrameWnd::CMDIFrameWnd() : m_pMdiArea(new QMdiArea(this)), m_pIdleTimer(new QTimer(this)) {
    setCentralWidget(m_pMdiArea);
    // A frame that reaches beyond the workspace (larger than it, or left there when the main
    // window shrank) can still be scrolled into sight.
    m_pMdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pMdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, &CMDIFrameWnd::OnSubWindowActivated);
    connect(m_pIdleTimer, &QTimer::timeout, this, &CMDIFrameWnd::OnIdle);
    m_pIdleTimer->start(kIdleMilliseconds);

    OnCommandId(ID_WINDOW_CASCADE, [this] { CascadeInside(m_pMdiArea); });
    OnCommandId(ID_WINDOW_TILE_HORZ, [this] { TileInside(m_pMdiArea); });
    OnCommandId(ID_WINDOW_ARRANGE, [this] {
        // Minimised children line up along the bottom edge.
        int nX = 0;
        for (QMdiSubWindow* pWindow : m_pMdiArea->subWindowList()) {
            if (pWindow->isMinimized()) {
                pWindow->move(nX, m_pMdiArea->viewport()->height() - pWindow->height());
                nX += pWindow->width();
            }
        }
    });
    OnUpdateId(ID_WINDOW_ARRANGE, [this](CCmdUI& ui) { ui.Enable(MDIGetActive() != nullptr); });
    OnCommandId(ID_APP_EXIT, [this] { close(); });
}

CMDIFrameWnd::~CMDIFrameWnd() {
    // Closing the children while the window goes away must not reach the half-destroyed frame.
    m_pIdleTimer->stop();
    disconnect(m_pMdiArea, nullptr, this, nullptr);
}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive() const {
    auto* pFrame = qobject_cast<CMDIChildWnd*>(m_pMdiArea->currentSubWindow());
    return pFrame && !pFrame->IsDestroying() ? pFrame : nullptr;
}

std::vector<CMDIChildWnd*> CMDIFrameWnd::ChildFrames() const {
    std::vector<CMDIChildWnd*> frames;
    for (QMdiSubWindow* pWindow : m_pMdiArea->subWindowList()) {
        auto* pFrame = qobject_cast<CMDIChildWnd*>(pWindow);
        if (pFrame && !pFrame->IsDestroying()) {
            frames.push_back(pFrame);
        }
    }
    return frames;
}

QAction* CMDIFrameWnd::CommandAction(int nID) {
    auto it = m_actions.find(nID);
    if (it != m_actions.end()) {
        return it->second;
    }
    auto* pAction = new QAction(this);
    pAction->setProperty(kCommandProperty, nID);
    const QString strPrompt = ResString(nID);
    if (!strPrompt.isEmpty()) {
        pAction->setStatusTip(strPrompt.section('\n', 0, 0));
        // What's This on a menu item or toolbar button says what the status bar says.
        pAction->setWhatsThis(pAction->statusTip());
        pAction->setToolTip(strPrompt.section('\n', 1, 1));
    }
    connect(pAction, &QAction::triggered, this, [this, nID] { ExecuteCommand(nID); });
    m_actions.emplace(nID, pAction);
    return pAction;
}

void CMDIFrameWnd::SetCommandText(int nID, const QString& strText) {
    QAction* pAction = CommandAction(nID);
    pAction->setText(strText);
    if (pAction->toolTip().isEmpty() || ResString(nID).section('\n', 1, 1).isEmpty()) {
        QString strTip = strText.section('\t', 0, 0);
        strTip.remove('&');
        pAction->setToolTip(strTip);
    }
}

void CMDIFrameWnd::AddAccelerator(const QKeySequence& keys, int nID) {
    auto* pAction = new QAction(this);
    pAction->setShortcut(keys);
    pAction->setShortcutContext(Qt::WindowShortcut);
    connect(pAction, &QAction::triggered, this, [this, nID] { ExecuteCommand(nID); });
    addAction(pAction);
}

QMenu* CMDIFrameWnd::AddPopup(int nIDResource, const QString& strTitle) {
    auto* pMenu = new QMenu(strTitle, this);
    connect(pMenu, &QMenu::aboutToShow, this, [this, pMenu] {
        OnInitMenu();
        UpdateMenu(pMenu);
    });
    m_menus[nIDResource].append(pMenu);
    return pMenu;
}

void CMDIFrameWnd::AddMenuItem(QMenu* pMenu, int nID, const QString& strText) {
    SetCommandText(nID, strText);
    pMenu->addAction(CommandAction(nID));
}

void CMDIFrameWnd::AddWindowList(QMenu* pMenu) {
    m_windowMenus.push_back(pMenu);
}

void CMDIFrameWnd::UpdateWindowList(QMenu* pMenu) {
    for (QAction* pAction : pMenu->actions()) {
        if (pAction->property(kWindowItemProperty).toBool()) {
            pMenu->removeAction(pAction);
            pAction->deleteLater();
        }
    }
    const std::vector<CMDIChildWnd*> frames = ChildFrames();
    if (frames.empty()) {
        return;
    }
    const auto mark = [pMenu](QAction* pAction) {
        pAction->setProperty(kWindowItemProperty, true);
        pMenu->addAction(pAction);
    };
    auto* pSeparator = new QAction(pMenu);
    pSeparator->setSeparator(true);
    mark(pSeparator);
    CMDIChildWnd* pActive = MDIGetActive();
    int nNumber = 0;
    for (CMDIChildWnd* pFrame : frames) {
        ++nNumber;
        QString strTitle = pFrame->windowTitle();
        strTitle.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString strNumber =
            nNumber < 10 ? QStringLiteral("&%1").arg(nNumber) : QString::number(nNumber);
        auto* pItem = new QAction(strNumber + QLatin1Char(' ') + strTitle, pMenu);
        // Only the active frame's item carries a mark, as in every MDI program's list.
        pItem->setCheckable(pFrame == pActive);
        pItem->setChecked(pFrame == pActive);
        QPointer<CMDIChildWnd> guard(pFrame);
        connect(pItem, &QAction::triggered, this, [this, guard] {
            if (guard) {
                BringForward(guard);
            }
        });
        mark(pItem);
    }
}

void CMDIFrameWnd::BringForward(CMDIChildWnd* pFrame) {
    if (pFrame->IsDestroying()) {
        return;
    }
    if (pFrame->isMinimized()) {
        pFrame->showNormal();
    }
    // One that was moved or left out of sight comes back into the workspace.
    KeepInside(m_pMdiArea, pFrame);
    m_pMdiArea->setActiveSubWindow(pFrame);
    pFrame->raise();
    if (CView* pView = pFrame->GetActiveView()) {
        pView->setFocus();
    }
}

void CMDIFrameWnd::AddRecentFileItems(QMenu* pMenu) {
    if (!m_pRecentPlaceholder) {
        m_pRecentPlaceholder = new QAction(tr("Recent File"), this);
        m_pRecentPlaceholder->setEnabled(false);
        for (int nID = ID_FILE_MRU_FILE1; nID <= ID_FILE_MRU_FILE4; ++nID) {
            m_recentActions.push_back(CommandAction(nID));
        }
    }
    pMenu->addAction(m_pRecentPlaceholder);
    for (QAction* pAction : m_recentActions) {
        pMenu->addAction(pAction);
    }
    UpdateRecentFileItems();
}

void CMDIFrameWnd::UpdateRecentFileItems() {
    CRecentFileList* pList = AfxGetApp() ? AfxGetApp()->GetRecentFileList() : nullptr;
    const int nCount = pList ? static_cast<int>(pList->Files().size()) : 0;
    if (m_pRecentPlaceholder) {
        m_pRecentPlaceholder->setVisible(nCount == 0);
    }
    for (int i = 0; i < static_cast<int>(m_recentActions.size()); ++i) {
        QAction* pAction = m_recentActions[static_cast<size_t>(i)];
        pAction->setVisible(i < nCount);
        if (i < nCount) {
            pAction->setText(pList->MenuText(i));
            pAction->setStatusTip(pList->Files()[i]);
        }
    }
}

QList<QMenu*> CMDIFrameWnd::Popups(int nIDResource) const {
    auto it = m_menus.find(nIDResource);
    return it == m_menus.end() ? QList<QMenu*>() : it->second;
}

void CMDIFrameWnd::SetMenuResource(int nIDResource) {
    if (nIDResource == m_nCurrentMenu || m_menus.find(nIDResource) == m_menus.end()) {
        return;
    }
    m_nCurrentMenu = nIDResource;
    QMenuBar* pBar = menuBar();
    pBar->clear();
    for (QMenu* pMenu : m_menus[nIDResource]) {
        pBar->addMenu(pMenu);
    }
}

std::vector<CCmdTarget*> CMDIFrameWnd::CommandRoute() const {
    std::vector<CCmdTarget*> route;
    if (CMDIChildWnd* pFrame = MDIGetActive()) {
        if (CView* pView = pFrame->GetActiveView()) {
            route.push_back(pView);
            if (CDocument* pDoc = pView->GetDocument()) {
                route.push_back(pDoc);
            }
        }
        route.push_back(pFrame);
    }
    route.push_back(const_cast<CMDIFrameWnd*>(this));
    if (CWinApp* pApp = AfxGetApp()) {
        route.push_back(pApp);
    }
    return route;
}

bool CMDIFrameWnd::ExecuteCommand(int nID) {
    const std::vector<CCmdTarget*> route = CommandRoute();
    // A command that became disabled since its item was drawn (or an accelerator of a disabled
    // command) does nothing.
    CCmdUI ui(nID);
    RouteUpdate(route, ui);
    if (!ui.m_bEnabled) {
        return false;
    }
    const bool bDone = RouteCommand(route, nID);
    UpdateCommand(nID);
    return bDone;
}

void CMDIFrameWnd::UpdateCommand(int nID) {
    auto it = m_actions.find(nID);
    if (it == m_actions.end()) {
        return;
    }
    CCmdUI ui(nID);
    RouteUpdate(CommandRoute(), ui);
    QAction* pAction = it->second;
    pAction->setEnabled(ui.m_bEnabled);
    if (ui.m_bChecked || pAction->isCheckable()) {
        pAction->setCheckable(true);
        pAction->setChecked(ui.m_bChecked);
    }
    if (ui.m_strText) {
        pAction->setText(*ui.m_strText);
    }
}

void CMDIFrameWnd::UpdateMenu(QMenu* pMenu) {
    if (m_pRecentPlaceholder && pMenu->actions().contains(m_pRecentPlaceholder)) {
        UpdateRecentFileItems();
    }
    if (std::find(m_windowMenus.begin(), m_windowMenus.end(), pMenu) != m_windowMenus.end()) {
        UpdateWindowList(pMenu);
    }
    for (QAction* pAction : pMenu->actions()) {
        if (pAction->menu()) {
            UpdateMenu(pAction->menu());
        }
        const QVariant id = pAction->property(kCommandProperty);
        if (id.isValid()) {
            UpdateCommand(id.toInt());
        }
    }
}

void CMDIFrameWnd::OnIdle() {
    for (const auto& [nID, pAction] : m_actions) {
        (void)pAction;
        UpdateCommand(nID);
    }
    // Documents change without telling their frames: the "*" of unsaved changes follows here.
    for (QMdiSubWindow* pWindow : m_pMdiArea->subWindowList()) {
        if (auto* pFrame = qobject_cast<CMDIChildWnd*>(pWindow)) {
            pFrame->UpdateModifiedMark();
        }
    }
    OnUpdateFrameTitle();
}

void CMDIFrameWnd::SetTitle(const QString& strTitle) {
    m_strTitle = strTitle;
    OnUpdateFrameTitle();
}

QString CMDIFrameWnd::GetTitle() const {
    return m_strTitle.isEmpty() ? ResString(IDR_MAINFRAME).section('\n', 0, 0) : m_strTitle;
}

void CMDIFrameWnd::OnUpdateFrameTitle() {
    QString strTitle = GetTitle();
    if (CMDIChildWnd* pFrame = MDIGetActive()) {
        if (!pFrame->windowTitle().isEmpty()) {
            strTitle += QStringLiteral(" - ") + pFrame->windowTitle();
        }
    }
    if (windowTitle() != strTitle) {
        setWindowTitle(strTitle);
    }
}

void CMDIFrameWnd::OnInitMenu() {}

void CMDIFrameWnd::OnUpdateFrameMenu() {
    CMDIChildWnd* pFrame = MDIGetActive();
    SetMenuResource(pFrame && pFrame->GetMenuResource() ? pFrame->GetMenuResource()
                                                        : IDR_MAINFRAME);
}

void CMDIFrameWnd::OnSubWindowActivated(QMdiSubWindow*) {
    OnUpdateFrameMenu();
    OnUpdateFrameTitle();
}

void CMDIFrameWnd::closeEvent(QCloseEvent* pEvent) {
    // A close asked for while a file is read or written, or while this one waits for answers,
    // must not free the documents in use below: it waits, or is the one already running.
    if (m_bClosing || FileOperation::IsRunning()) {
        pEvent->ignore();
        if (!m_bClosing && !m_bCloseWaiting) {
            m_bCloseWaiting = true;
            FileOperation::WhenFinished([this] {
                m_bCloseWaiting = false;
                close();
            });
        }
        return;
    }
    CWinApp* pApp = AfxGetApp();
    m_bClosing = true;
    const bool bSaved = !pApp || pApp->SaveAllModified();
    m_bClosing = false;
    if (!bSaved) {
        pEvent->ignore();
        return;
    }
    if (pApp) {
        pApp->CloseAllDocuments();
    }
    for (CMDIChildWnd* pFrame : ChildFrames()) {
        pFrame->DestroyFrame();
    }
    m_pIdleTimer->stop();
    pEvent->accept();
}

} // namespace vext
