#include "gui/app/MainFrame.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/DriverOutput.h"
#include "core/driver/DriverRecord.h"
#include "core/driver/PlayStatus.h"
#include "core/games/GamesConfig.h"
#include "core/model/AppState.h"
#include "gui/app/DriverLauncher.h"
#include "gui/app/DriverRecord.h"
#include "gui/app/DriverState.h"
#include "gui/app/LockKeys.h"
#include "gui/app/Manual.h"
#include "gui/app/VersionInfo.h"
#include "gui/app/VextKeyApp.h"
#include "gui/dialogs/GameKeySetsDlg.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/CommandRunner.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/Document.h"
#include "gui/framework/HelpTexts.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/PlainText.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"

#include <cstdint>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPixmap>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>
#include <QWhatsThis>

using namespace vext;

namespace {

constexpr int kNoDriverNoticeMs = 20000;
// The pane's tooltip while the function list holds emulation off.
constexpr int IDS_LIST_HOLDS_EMULATION = 1750;

QString Stripped(int nId) {
    QString s = ResString(nId);
    s.remove('&');
    return s;
}

} // namespace

CMainFrame::CMainFrame() {
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(ResString(IDR_MAINFRAME).section('\n', 0, 0));
    setAcceptDrops(true);
    setWhatsThis(ResString(IDH_MAIN_WINDOW));
    resize(960, 680);

    m_pDriver = new DriverState(this);
    connect(m_pDriver, &DriverState::changed, this, &CMainFrame::OnDriverChanged);
    m_pLocks = new LockKeyWatch(this);
    connect(m_pLocks, &LockKeyWatch::changed, this, &CMainFrame::UpdateStatusPanes);
    OnCommandId(ID_UNLOAD_KEYSET, [this] { OnUnloadKeySet(); });
    OnUpdateId(ID_UNLOAD_KEYSET,
               [this](CCmdUI& ui) { ui.Enable(m_pDriver->Now().bRecordRemovable); });
    OnCommandId(ID_VIEW_KEYSTROKE_VIEWER, [this] { OnKeystrokeViewer(); });
    OnUpdateId(ID_VIEW_KEYSTROKE_VIEWER, [](CCmdUI& ui) {
        CVextKeyApp* pApp = CVextKeyApp::Get();
        ui.Enable(true);
        ui.SetCheck(pApp && pApp->ViewerFrame() != nullptr);
    });
    OnCommandId(ID_EMULATION, [this] { OnEmulation(); });
    OnUpdateId(ID_EMULATION, [this](CCmdUI& ui) {
        if (!m_pDriver->Now().bAnswers) {
            ui.SetCheck(0);
            ui.Enable(false);
            return;
        }
        ui.Enable(true);
        ui.SetCheck(IsEmulationOn());
    });
    m_pDriverLauncher = new DriverLauncher(this);
    OnCommandId(ID_START_DRIVER, [this] { OnStartDriver(); });
    OnUpdateId(ID_START_DRIVER, [this](CCmdUI& ui) {
        ui.Enable(!m_pDriverLauncher->IsRunning() && !m_pDriver->Now().bAnswers);
    });
    OnCommandId(ID_OPTIONS_GAME_KEYSETS, [this] { OnGameKeySets(); });
    OnUpdateId(ID_OPTIONS_GAME_KEYSETS, [](CCmdUI& ui) { ui.Enable(true); });
    OnCommandId(ID_VIEW_TOOLBAR, [this] { m_pToolBar->setVisible(!m_pToolBar->isVisible()); });
    OnUpdateId(ID_VIEW_TOOLBAR, [this](CCmdUI& ui) {
        ui.Enable(true);
        ui.SetCheck(m_pToolBar && !m_pToolBar->isHidden());
    });
    OnCommandId(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(statusBar()->isHidden()); });
    OnUpdateId(ID_VIEW_STATUS_BAR, [this](CCmdUI& ui) {
        ui.Enable(true);
        ui.SetCheck(!statusBar()->isHidden());
    });
    OnCommandId(ID_HELP_FINDER, [this] { OnHelp(false); });
    OnCommandId(ID_DEFAULT_HELP, [this] { OnHelp(false); });
    OnCommandId(ID_HELP, [this] { OnHelp(true); });
    OnCommandId(ID_CONTEXT_HELP, [] { QWhatsThis::enterWhatsThisMode(); });
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::LoadFrame() {
    BuildMenus();
    BuildAccelerators();
    BuildToolBar();
    BuildStatusBar();
    SetMenuResource(IDR_MAINFRAME);
    SetVersionInfo(CVersionInfo(0x040904B0));
    QIcon icon;
    for (const char* pszSize : {"16", "32", "64", "256"}) {
        icon.addFile(QStringLiteral(":/icons/vextkey-%1.png").arg(QLatin1String(pszSize)));
    }
    setWindowIcon(icon);
    // Every window of the program shows it: dialogs, message boxes (also those asked with no
    // active window, as the second question on exit), the progress window.
    QApplication::setWindowIcon(icon);
    OnIdle();
    return true;
}

void CMainFrame::SetVersionInfo(const CVersionInfo& info) {
    QString strTitle = ResString(IDR_MAINFRAME).section('\n', 0, 0);
    if (info.IsPreRelease()) {
        strTitle += QLatin1Char(' ') + info.m_strVersionText;
    }
    SetTitle(strTitle);
}

void CMainFrame::BringToFront() {
    if (isMinimized()) {
        showNormal();
    }
    show();
    raise();
    activateWindow();
}

void CMainFrame::BuildMenus() {
    for (int nRes : {IDR_MAINFRAME, IDR_VEXTKEYTYPE, IDR_PADTYPE, IDR_VIEWERTYPE}) {
        const bool bDoc = nRes != IDR_MAINFRAME;
        QMenu* pFile = AddPopup(nRes, tr("&File"));
        AddMenuItem(pFile, ID_FILE_NEW, tr("&New\tCtrl+N"));
        AddMenuItem(pFile, ID_FILE_OPEN, tr("&Open...\tCtrl+O"));
        if (bDoc) {
            AddMenuItem(pFile, ID_FILE_CLOSE, tr("&Close"));
            AddMenuItem(pFile, ID_FILE_SAVE, tr("&Save\tCtrl+S"));
            AddMenuItem(pFile, ID_FILE_SAVE_AS, tr("Save &As..."));
            pFile->addSeparator();
            if (nRes == IDR_VEXTKEYTYPE) {
                AddMenuItem(pFile, ID_FILE_SEND_MAIL, tr("Sen&d"));
                pFile->addSeparator();
            }
            AddMenuItem(pFile, ID_FILE_PRINT, tr("&Print...\tCtrl+P"));
            AddMenuItem(pFile, ID_FILE_PRINT_PREVIEW, tr("Print Pre&view"));
            AddMenuItem(pFile, ID_FILE_PRINT_SETUP, tr("P&rint Setup..."));
            pFile->addSeparator();
            AddMenuItem(pFile, ID_CONFIGURE_VEXT, tr("Configure &Vext\tCtrl+G"));
        } else {
            pFile->addSeparator();
            AddMenuItem(pFile, ID_FILE_PRINT_SETUP, tr("P&rint Setup..."));
            pFile->addSeparator();
        }
        AddMenuItem(pFile, ID_UNLOAD_KEYSET, tr("&Unload KeySet\tCtrl+U"));
        pFile->addSeparator();
        AddRecentFileItems(pFile);
        pFile->addSeparator();
        AddMenuItem(pFile, ID_APP_EXIT, tr("E&xit"));

        if (nRes == IDR_VEXTKEYTYPE || nRes == IDR_PADTYPE) {
            // Pad windows change the key set too (mapping, pad type): they undo as the list does.
            QMenu* pEdit = AddPopup(nRes, tr("&Edit"));
            AddMenuItem(pEdit, ID_EDIT_UNDO, tr("&Undo\tCtrl+Z"));
            AddMenuItem(pEdit, ID_EDIT_REDO, tr("&Redo\tCtrl+Y"));
            if (nRes == IDR_VEXTKEYTYPE) {
                pEdit->addSeparator();
                AddMenuItem(pEdit, ID_EDIT_CUT, tr("Cu&t\tCtrl+X"));
                AddMenuItem(pEdit, ID_EDIT_COPY, tr("&Copy\tCtrl+C"));
                AddMenuItem(pEdit, ID_EDIT_PASTE, tr("&Paste\tCtrl+V"));
                pEdit->addSeparator();
                AddMenuItem(pEdit, ID_FUNC_ADD, tr("&Add Function\tIns"));
                AddMenuItem(pEdit, ID_FUNC_DELETE, tr("&Delete Function\tDel"));
            }
        }

        QMenu* pView = AddPopup(nRes, tr("&View"));
        AddMenuItem(pView, ID_VIEW_TOOLBAR, tr("&Toolbar"));
        AddMenuItem(pView, ID_VIEW_STATUS_BAR, tr("&Status Bar"));
        AddMenuItem(pView, ID_VIEW_KEYSTROKE_VIEWER, tr("&Keystroke Viewer"));
        if (nRes == IDR_VEXTKEYTYPE || nRes == IDR_PADTYPE) {
            AddMenuItem(pView, ID_VIEW_PAD1, tr("Pad &1\tAlt+1"));
            AddMenuItem(pView, ID_VIEW_PAD2, tr("Pad &2\tAlt+2"));
            AddMenuItem(pView, ID_VIEW_PAD3, tr("Pad &3\tAlt+3"));
            AddMenuItem(pView, ID_VIEW_PAD4, tr("Pad &4\tAlt+4"));
        }

        QMenu* pOptions = AddPopup(nRes, tr("&Options"));
        AddMenuItem(pOptions, ID_OPTIONS_PREFERENCES, tr("&Preferences"));
        AddMenuItem(pOptions, ID_OPTIONS_GAME_KEYSETS, tr("&Game Key Sets..."));
        AddMenuItem(pOptions, ID_START_DRIVER, ResString(160));
        if (bDoc) {
            AddMenuItem(pOptions, ID_OPTIONS_AUTO_MAPPING, tr("&Auto Mapping"));
            QMenu* pWindow = AddPopup(nRes, tr("&Window"));
            AddMenuItem(pWindow, ID_WINDOW_CASCADE, tr("&Cascade"));
            AddMenuItem(pWindow, ID_WINDOW_TILE_HORZ, tr("&Tile"));
            AddMenuItem(pWindow, ID_WINDOW_ARRANGE, tr("&Arrange Icons"));
            AddWindowList(pWindow);
        }

        QMenu* pHelp = AddPopup(nRes, tr("&Help"));
        AddMenuItem(pHelp, ID_HELP_FINDER, tr("&Help Topics\tF1"));
        pHelp->addSeparator();
        AddMenuItem(pHelp, ID_HELP_HOME_PAGE, tr("Go To Zelvan Home Page"));
        pHelp->addSeparator();
        AddMenuItem(pHelp, ID_APP_ABOUT, tr("&About VextKey..."));
    }
    CommandAction(ID_EMULATION)->setCheckable(true);
    CommandAction(ID_OPTIONS_AUTO_MAPPING)->setCheckable(true);
    CommandAction(ID_VIEW_KEYSTROKE_VIEWER)->setCheckable(true);
    CommandAction(ID_VIEW_TOOLBAR)->setCheckable(true);
    CommandAction(ID_VIEW_STATUS_BAR)->setCheckable(true);
    SetCommandText(ID_TIP_OF_THE_DAY, ResString(133));
}

void CMainFrame::BuildAccelerators() {
    const struct {
        QKeySequence keys;
        int nID;
    } table[] = {
        {QKeySequence(Qt::ALT | Qt::Key_1), ID_VIEW_PAD1},
        {QKeySequence(Qt::ALT | Qt::Key_2), ID_VIEW_PAD2},
        {QKeySequence(Qt::ALT | Qt::Key_3), ID_VIEW_PAD3},
        {QKeySequence(Qt::ALT | Qt::Key_4), ID_VIEW_PAD4},
        {QKeySequence(Qt::CTRL | Qt::Key_N), ID_FILE_NEW},
        {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
        {QKeySequence(Qt::CTRL | Qt::Key_P), ID_FILE_PRINT},
        {QKeySequence(Qt::CTRL | Qt::Key_G), ID_CONFIGURE_VEXT},
        {QKeySequence(Qt::CTRL | Qt::Key_U), ID_UNLOAD_KEYSET},
        {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), ID_EDIT_REDO},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), ID_EDIT_REDO},
        {QKeySequence(Qt::Key_Insert), ID_FUNC_ADD},
        {QKeySequence(Qt::Key_Delete), ID_FUNC_DELETE},
        {QKeySequence(Qt::Key_F1), ID_HELP},
        {QKeySequence(Qt::SHIFT | Qt::Key_F1), ID_CONTEXT_HELP},
        {QKeySequence(Qt::Key_F6), ID_NEXT_PANE},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
    };
    for (const auto& entry : table) {
        AddAccelerator(entry.keys, entry.nID);
    }
}

void CMainFrame::BuildToolBar() {
    m_pToolBar = addToolBar(tr("Toolbar"));
    m_pToolBar->setObjectName(QStringLiteral("ToolBar"));
    m_pToolBar->setIconSize(QSize(16, 15));
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_pToolBar->setMovable(true);

    // The toolbar picture holds one 16 x 15 image per button, separators left out.
    const int buttons[] = {ID_FILE_NEW,  ID_FILE_OPEN,   ID_FILE_SAVE,  ID_EDIT_CUT,
                           ID_EDIT_COPY, ID_EDIT_PASTE,  ID_FILE_PRINT, ID_EMULATION,
                           ID_APP_ABOUT, ID_CONTEXT_HELP};
    const QStyle::StandardPixmap fallback[] = {QStyle::SP_FileIcon,
                                               QStyle::SP_DialogOpenButton,
                                               QStyle::SP_DialogSaveButton,
                                               QStyle::SP_TrashIcon,
                                               QStyle::SP_FileLinkIcon,
                                               QStyle::SP_ArrowDown,
                                               QStyle::SP_DriveFDIcon,
                                               QStyle::SP_MediaPlay,
                                               QStyle::SP_MessageBoxInformation,
                                               QStyle::SP_TitleBarContextHelpButton};
    QImage strip(QStringLiteral(":/bitmaps/128.bmp"));
    for (size_t i = 0; i < std::size(buttons); ++i) {
        QAction* pAction = CommandAction(buttons[i]);
        const int nX = static_cast<int>(i) * 16;
        if (!strip.isNull() && strip.width() >= nX + 16) {
            QImage image = strip.copy(nX, 0, 16, 15).convertToFormat(QImage::Format_ARGB32);
            // The toolbar's grey is its transparent colour.
            const QRgb key = qRgb(192, 192, 192);
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if ((image.pixel(x, y) & 0xFFFFFF) == (key & 0xFFFFFF)) {
                        image.setPixel(x, y, 0);
                    }
                }
            }
            pAction->setIcon(QPixmap::fromImage(image));
        } else {
            pAction->setIcon(style()->standardIcon(fallback[i]));
        }
        if (pAction->toolTip().isEmpty()) {
            pAction->setToolTip(Stripped(buttons[i]));
        }
    }
    m_pToolBar->addAction(CommandAction(ID_FILE_NEW));
    m_pToolBar->addAction(CommandAction(ID_FILE_OPEN));
    m_pToolBar->addAction(CommandAction(ID_FILE_SAVE));
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(CommandAction(ID_EDIT_CUT));
    m_pToolBar->addAction(CommandAction(ID_EDIT_COPY));
    m_pToolBar->addAction(CommandAction(ID_EDIT_PASTE));
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(CommandAction(ID_FILE_PRINT));
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(CommandAction(ID_EMULATION));
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(CommandAction(ID_APP_ABOUT));
    m_pToolBar->addAction(CommandAction(ID_CONTEXT_HELP));
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* pBar = statusBar();
    pBar->showMessage(ResString(AFX_IDS_IDLEMESSAGE));
    connect(pBar, &QStatusBar::messageChanged, pBar, [pBar](const QString& strText) {
        if (strText.isEmpty()) {
            pBar->showMessage(ResString(AFX_IDS_IDLEMESSAGE));
        }
    });
    const auto makePane = [pBar](const QString& strSizeText, const char* pszName) {
        auto* pLabel = new QLabel(pBar);
        pLabel->setObjectName(QLatin1String(pszName));
        pLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pLabel->setTextFormat(Qt::PlainText); // key-set names come from files
        pLabel->setAlignment(Qt::AlignCenter);
        pLabel->setMinimumWidth(pLabel->fontMetrics().horizontalAdvance(strSizeText) + 8);
        pBar->addPermanentWidget(pLabel);
        return pLabel;
    };
    m_pPaneSetName = makePane(ResString(123), "PaneKeySet");
    m_pPaneSetName->setWhatsThis(ResString(IDH_KEY_SET_PANE));
    m_pPaneCaps = makePane(ResString(ID_INDICATOR_CAPS), "PaneCaps");
    m_pPaneNum = makePane(ResString(ID_INDICATOR_NUM), "PaneNum");
    m_pPaneScroll = makePane(ResString(ID_INDICATOR_SCRL), "PaneScroll");
}

QLabel* CMainFrame::LockPane(int nIndicator) const {
    switch (nIndicator) {
    case ID_INDICATOR_CAPS:
        return m_pPaneCaps;
    case ID_INDICATOR_NUM:
        return m_pPaneNum;
    case ID_INDICATOR_SCRL:
        return m_pPaneScroll;
    default:
        return nullptr;
    }
}

bool CMainFrame::IsEmulationOn() const {
    const AppState& app = TheAppState();
    if (app.m_bListHasFocus) {
        return app.m_bSavedEmulation != 0;
    }
    return m_pDriver->Now().bEmulates;
}

QString CMainFrame::KeySetPaneText(QString* pToolTip) const {
    const DriverState::Facts& driver = m_pDriver->Now();
    if (!driver.bAnswers) {
        return ResString(131);
    }
    // While the list has the focus the driver is switched off, whatever the toggle will restore.
    if (TheAppState().m_bListHasFocus || !IsEmulationOn()) {
        return ResString(132);
    }
    if (driver.play && driver.play->nRule > 0) {
        const PlayStatus& play = *driver.play;
        if (pToolTip) {
            // One arg call: a name holding "%2" must not take the next argument.
            *pToolTip = ResString(2530).arg(
                QString::fromStdString(play.strKeySet), QString::number(play.nRule),
                QString::fromStdString(play.strMatch), QString::fromStdString(play.strWindow));
        }
        return ResString(2531).arg(QString::fromStdString(play.strKeySet),
                                   QString::fromStdString(play.strMatch));
    }
    if (!driver.recordName) {
        return ResString(123);
    }
    if (pToolTip && driver.play && driver.play->nFailedRule > 0) {
        *pToolTip = ResString(2544).arg(QString::fromStdString(driver.play->strWindow),
                                        QString::fromStdString(driver.play->strProblem));
    }
    return QString::fromStdString(*driver.recordName);
}

void CMainFrame::OnGameKeySets() {
    QString strOpen;
    if (CMDIChildWnd* pActive = MDIGetActive()) {
        if (CDocument* pDoc = pActive->GetActiveDocument()) {
            strOpen = pDoc->GetPathName();
        }
    }
    CGameKeySetsDlg dlg(QString::fromStdString(GamesConfig::DefaultPath()), strOpen, this);
    dlg.exec();
    UpdateStatusPanes();
}

void CMainFrame::OnUnloadKeySet() {
    RemoveDriverRecord();
    m_pDriver->Refresh();
}

void CMainFrame::OnEmulation() {
    if (!m_pDriver->Now().bAnswers) {
        return;
    }
    AppState& app = TheAppState();
    if (app.m_bListHasFocus) {
        app.m_bSavedEmulation = app.m_bSavedEmulation ? 0 : 1;
        return;
    }
    int32_t nAnswer = 0;
    uint32_t nSize = sizeof nAnswer;
    DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nAnswer, &nSize);
    DeviceControl(nAnswer != 0 ? VEXT_IOCTL_DISABLE : VEXT_IOCTL_ENABLE);
    m_pDriver->Refresh();
}

void CMainFrame::OnHelp(bool bActiveTopic) {
    CVextKeyApp* pApp = CVextKeyApp::Get();
    CMDIChildWnd* pActive = bActiveTopic ? MDIGetActive() : nullptr;
    OpenManualPage(pApp ? pApp->m_strManualDir : QString(),
                   HelpTopicPage(pActive ? pActive->GetMenuResource() : 0));
}

void CMainFrame::OnKeystrokeViewer() {
    CVextKeyApp* pApp = CVextKeyApp::Get();
    if (!pApp || !pApp->m_pViewerTemplate) {
        return;
    }
    if (pApp->ViewerFrame()) {
        CMDIChildWnd* pFrame = pApp->ViewerFrame();
        pApp->SetViewerFrame(nullptr);
        pFrame->DestroyFrame();
        return;
    }
    if (CMDIChildWnd* pFrame = pApp->m_pViewerTemplate->CreateNewFrame(nullptr, nullptr)) {
        pApp->m_pViewerTemplate->InitialUpdateFrame(pFrame, nullptr, true);
    }
}

void CMainFrame::OnInitMenu() {
    InsertTipCommand(menuBar());
}

void CMainFrame::InsertTipCommand(QMenuBar* pBar) {
    const QString strPopup = ResString(137);
    QMenu* pFound = nullptr;
    for (QAction* pItem : pBar->actions()) {
        if (pItem->menu() && pItem->text().left(256) == strPopup) {
            pFound = pItem->menu();
        }
    }
    const QString strItem = ResString(133);
    QAction* pTip = CommandAction(ID_TIP_OF_THE_DAY);
    if (pFound) {
        const QList<QAction*> items = pFound->actions();
        if (items.isEmpty() || items.front()->text() != strItem) {
            QAction* pBefore = items.isEmpty() ? nullptr : items.front();
            pFound->insertAction(pBefore, pTip);
            pFound->insertSeparator(pBefore);
        }
        return;
    }
    if (!m_pTipPopup) {
        m_pTipPopup = new QMenu(strPopup, this);
        m_pTipPopup->addAction(pTip);
    }
    if (!pBar->actions().contains(m_pTipPopup->menuAction())) {
        pBar->addMenu(m_pTipPopup);
    }
}

void CMainFrame::OnIdle() {
    CMDIFrameWnd::OnIdle();
    UpdateStatusPanes();
}

void CMainFrame::OnDriverChanged() {
    // A driver that started again while the list has the focus starts emulating.
    if (TheAppState().m_bListHasFocus && m_pDriver->Now().bEmulates) {
        KeepEmulationOffWhileListHasFocus();
        m_pDriver->Refresh();
    }
    UpdateStatusPanes();
}

void CMainFrame::OnStartDriver() {
    m_pDriverLauncher->Start([this](bool bOk, const QString& strError) {
        m_pDriver->Refresh();
        if (!bOk) {
            AfxMessageBox(strError, MsgButtons::Ok, MsgIcon::Stop);
        } else if (m_pDriver->Now().bX11Only) {
            AfxMessageBox(FormatResString(1803, ResString(1801)), MsgButtons::Ok, MsgIcon::Warning);
        }
        UpdateStatusPanes();
    });
}

void CMainFrame::UpdateStatusPanes() {
    if (!m_pPaneSetName) {
        return;
    }
    QString strPlayTip;
    const QString strSet = KeySetPaneText(&strPlayTip);
    // The pane names a missing driver before anything else.
    const bool bNoDriver = strSet == ResString(131);
    const bool bX11Only = !bNoDriver && m_pDriver->Now().bX11Only;
    if (m_pPaneSetName->text() != strSet) {
        m_pPaneSetName->setText(strSet);
        if (bNoDriver && !m_bNoDriverNoticed) {
            m_bNoDriverNoticed = true;
            statusBar()->showMessage(ResString(166), kNoDriverNoticeMs);
        }
        if (bX11Only && !m_bX11OnlyNoticed) {
            m_bX11OnlyNoticed = true;
            statusBar()->showMessage(ResString(1802), kNoDriverNoticeMs);
        }
    }
    const QString strTip =
        PlainTip(bNoDriver                       ? ResString(167)
                 : bX11Only                      ? ResString(1801)
                 : TheAppState().m_bListHasFocus ? ResString(IDS_LIST_HOLDS_EMULATION)
                                                 : strPlayTip);
    if (m_pPaneSetName->toolTip() != strTip) {
        m_pPaneSetName->setToolTip(strTip);
    }
    const LockKeyState& locks = m_pLocks->State();
    const auto show = [](QLabel* pPane, bool bOn, int nId) {
        const QString strText = bOn ? ResString(nId) : QString();
        if (pPane->text() != strText) {
            pPane->setText(strText);
        }
    };
    show(m_pPaneCaps, locks.bKnown && locks.bCaps, ID_INDICATOR_CAPS);
    show(m_pPaneNum, locks.bKnown && locks.bNum, ID_INDICATOR_NUM);
    show(m_pPaneScroll, locks.bKnown && locks.bScroll, ID_INDICATOR_SCRL);
}

void CMainFrame::changeEvent(QEvent* pEvent) {
    CMDIFrameWnd::changeEvent(pEvent);
    if (pEvent->type() == QEvent::ActivationChange) {
        const bool bActive = isActiveWindow();
        if (bActive != m_bActive) {
            m_bActive = bActive;
            DeviceControl(bActive ? VEXT_IOCTL_APP_ACTIVE : VEXT_IOCTL_APP_INACTIVE);
            m_pDriver->SetActive(bActive);
            if (bActive) {
                ForgetFoundPrograms();
            }
        }
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* pEvent) {
    if (pEvent->mimeData()->hasUrls()) {
        for (const QUrl& url : pEvent->mimeData()->urls()) {
            if (url.isLocalFile()) {
                pEvent->acceptProposedAction();
                return;
            }
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* pEvent) {
    CWinApp* pApp = AfxGetApp();
    if (!pApp || !pEvent->mimeData()->hasUrls()) {
        return;
    }
    pEvent->acceptProposedAction();
    BringToFront();
    for (const QUrl& url : pEvent->mimeData()->urls()) {
        if (url.isLocalFile()) {
            pApp->OpenDocumentFile(url.toLocalFile());
        }
    }
}
