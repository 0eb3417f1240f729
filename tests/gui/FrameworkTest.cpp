// The document/view layer through the real main frame: routing, updates, menus per template,
// new and close with the "save changes?" prompt, the recent-file list, and child frames in the
// workspace: placed inside it, arranged with every title bar in sight, listed in the Window menu.

#include "GuiTestSupport.h"
#include "core/model/VextKeyDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/VextKeyApp.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/MdiPlacement.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/RecentFileList.h"
#include "gui/framework/View.h"
#include "gui/views/KeySetDocument.h"
#include "gui/views/VextKeyView.h"
#include "gui/views/VextPadView.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QtTest>

using namespace vext;

namespace {

// A command target whose handlers a test sets up and whose calls it records.
class Target : public CCmdTarget {
public:
    explicit Target(QString strName, QStringList* pLog)
        : m_strName(std::move(strName)), m_pLog(pLog) {}
    void Handle(int nID) {
        OnCommandId(nID, [this] { *m_pLog << m_strName; });
    }
    void Update(int nID, bool bEnable, bool bCheck) {
        OnUpdateId(nID, [this, bEnable, bCheck](CCmdUI& ui) {
            *m_pLog << m_strName + ":update";
            ui.Enable(bEnable);
            ui.SetCheck(bCheck);
        });
    }

private:
    QString m_strName;
    QStringList* m_pLog;
};

// A view that handles Copy, to see a command reach the view before anything else.
class CopyView : public CVextKeyView {
public:
    CopyView() {
        OnCommandId(ID_EDIT_COPY, [this] { ++m_nCopies; });
        OnUpdateId(ID_EDIT_COPY, [](CCmdUI& ui) { ui.Enable(true); });
    }
    int m_nCopies = 0;
};

QStringList MenuTitles(QMenuBar* pBar) {
    QStringList titles;
    for (QAction* pAction : pBar->actions()) {
        titles << pAction->text();
    }
    return titles;
}

QStringList ItemTexts(QMenu* pMenu) {
    QStringList texts;
    for (QAction* pAction : pMenu->actions()) {
        if (!pAction->isSeparator() && pAction->isVisible()) {
            texts << pAction->text();
        }
    }
    return texts;
}

QMenu* Popup(QMenuBar* pBar, const QString& strTitle) {
    for (QAction* pAction : pBar->actions()) {
        if (pAction->text() == strTitle) {
            return pAction->menu();
        }
    }
    return nullptr;
}

// A new key set with its four pad windows and the Keystroke Viewer, in a 960 x 680 window.
KeySetDocument* NewKeySetWithEveryWindow(CVextKeyApp& app) {
    CMainFrame* pMain = app.MainFrame();
    pMain->resize(960, 680);
    pMain->ExecuteCommand(ID_FILE_NEW);
    auto* pDoc = dynamic_cast<KeySetDocument*>(app.m_pListTemplate->GetDocuments().back());
    for (int nSlot = 1; nSlot <= 4; ++nSlot) {
        pDoc->Doc().TogglePadView(nSlot);
    }
    pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER);
    return pDoc;
}

// The frame lies in the workspace, and no other frame covers the start of its title bar.
bool InSight(CMainFrame* pMain, CMDIChildWnd* pFrame) {
    const QRect r = pFrame->geometry();
    for (int y : {r.top() + 2, r.top() + TitleBarHeight(pFrame) - 2}) {
        QWidget* pHit = pMain->MdiArea()->viewport()->childAt(r.left() + 40, y);
        while (pHit && !qobject_cast<QMdiSubWindow*>(pHit)) {
            pHit = pHit->parentWidget();
        }
        if (pHit != pFrame) {
            return false;
        }
    }
    return Workspace(pMain->MdiArea()).contains(r);
}

} // namespace

class FrameworkTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::GuiTestEnv::ClearSettings(); }
    void cleanup() { test::Drain(); }

    void routeGoesToFirstTargetWithHandler_data() {
        QTest::addColumn<QStringList>("handlers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("view first") << QStringList{"view", "doc", "app"} << "view";
        QTest::newRow("document before frame") << QStringList{"doc", "frame", "main"} << "doc";
        QTest::newRow("frame before main frame") << QStringList{"frame", "main"} << "frame";
        QTest::newRow("application last") << QStringList{"app"} << "app";
        QTest::newRow("nobody") << QStringList{} << "";
    }
    void routeGoesToFirstTargetWithHandler() {
        QFETCH(QStringList, handlers);
        QFETCH(QString, expected);
        QStringList log;
        Target view("view", &log), doc("doc", &log), frame("frame", &log), main("main", &log),
            app("app", &log);
        const std::vector<std::pair<QString, Target*>> targets = {
            {"view", &view}, {"doc", &doc}, {"frame", &frame}, {"main", &main}, {"app", &app}};
        std::vector<CCmdTarget*> route;
        for (const auto& [name, pTarget] : targets) {
            if (handlers.contains(name)) {
                pTarget->Handle(100);
            }
            route.push_back(pTarget);
        }
        QCOMPARE(RouteCommand(route, 100), !expected.isEmpty());
        QCOMPARE(log, expected.isEmpty() ? QStringList{} : QStringList{expected});
    }

    void updateRules() {
        QStringList log;
        Target view("view", &log), app("app", &log);
        std::vector<CCmdTarget*> route = {&view, &app};

        CCmdUI none(5);
        RouteUpdate(route, none);
        QVERIFY2(!none.m_bEnabled, "a command nobody handles is disabled");

        app.Handle(5);
        CCmdUI handled(5);
        RouteUpdate(route, handled);
        QVERIFY2(handled.m_bEnabled, "a handler anywhere on the route enables it");

        // An update handler later on the route still decides over a command handler earlier.
        view.Handle(6);
        app.Update(6, false, true);
        CCmdUI decided(6);
        RouteUpdate(route, decided);
        QVERIFY(!decided.m_bEnabled);
        QVERIFY(decided.m_bChecked);
    }

    void startsWithMainMenuAndNoKeySet() {
        auto pApp = test::StartApp();
        QVERIFY(pApp);
        CMainFrame* pMain = pApp->MainFrame();
        QCOMPARE(pMain->CurrentMenuResource(), int(IDR_MAINFRAME));
        QCOMPARE(MenuTitles(pMain->menuBar()),
                 (QStringList{"&File", "&View", "&Options", "&Help"}));
        QVERIFY(pMain->ChildFrames().empty());
        QVERIFY(pMain->windowTitle().startsWith("VextKey"));
        QVERIFY2(!QApplication::windowIcon().isNull(), "every window has the program's icon");
        QMenu* pFile = Popup(pMain->menuBar(), "&File");
        pMain->UpdateMenu(pFile);
        QCOMPARE(ItemTexts(pFile),
                 (QStringList{"&New\tCtrl+N", "&Open...\tCtrl+O", "P&rint Setup...",
                              "&Unload KeySet\tCtrl+U", "Recent File", "E&xit"}));
        test::StopApp(pApp);
    }

    void menusFollowTheActiveTemplate() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        QVERIFY(pMain->ExecuteCommand(ID_FILE_NEW));
        QCOMPARE(pMain->CurrentMenuResource(), int(IDR_VEXTKEYTYPE));
        QCOMPARE(MenuTitles(pMain->menuBar()),
                 (QStringList{"&File", "&Edit", "&View", "&Options", "&Window", "&Help"}));
        QMenu* pView = Popup(pMain->menuBar(), "&View");
        QCOMPARE(ItemTexts(pView),
                 (QStringList{"&Toolbar", "&Status Bar", "&Keystroke Viewer", "Pad &1\tAlt+1",
                              "Pad &2\tAlt+2", "Pad &3\tAlt+3", "Pad &4\tAlt+4"}));
        QCOMPARE(ItemTexts(Popup(pMain->menuBar(), "&Edit")),
                 (QStringList{"&Undo\tCtrl+Z", "&Redo\tCtrl+Y", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
                              "&Paste\tCtrl+V", "&Add Function\tIns", "&Delete Function\tDel"}));

        QVERIFY(pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER));
        QCOMPARE(pMain->CurrentMenuResource(), int(IDR_VIEWERTYPE));
        QCOMPARE(MenuTitles(pMain->menuBar()),
                 (QStringList{"&File", "&View", "&Options", "&Window", "&Help"}));
        QCOMPARE(ItemTexts(Popup(pMain->menuBar(), "&View")),
                 (QStringList{"&Toolbar", "&Status Bar", "&Keystroke Viewer"}));

        // Closing every key set brings back the bare menu.
        QVERIFY(pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER));
        QVERIFY(pMain->ExecuteCommand(ID_FILE_CLOSE));
        test::Drain();
        QVERIFY(pMain->ChildFrames().empty());
        QCOMPARE(pMain->CurrentMenuResource(), int(IDR_MAINFRAME));
        test::StopApp(pApp);
    }

    void commandsReachTheActiveViewFirst() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        CopyView* pView = nullptr;
        CDocTemplate* pTemplate = pApp->AddDocTemplate(std::make_unique<CDocTemplate>(
            IDR_VEXTKEYTYPE, [] { return std::make_unique<KeySetDocument>(); },
            [] { return new CMDIChildWnd; }, [&pView] { return pView = new CopyView; }));
        pMain->UpdateCommand(ID_EDIT_COPY);
        QVERIFY(!pMain->CommandAction(ID_EDIT_COPY)->isEnabled());
        QVERIFY2(!pMain->ExecuteCommand(ID_EDIT_COPY), "disabled commands do nothing");

        QVERIFY(pTemplate->OpenDocumentFile(QString()));
        QVERIFY(pView);
        pMain->UpdateCommand(ID_EDIT_COPY);
        QVERIFY(pMain->CommandAction(ID_EDIT_COPY)->isEnabled());
        pMain->CommandAction(ID_EDIT_COPY)->trigger();
        QCOMPARE(pView->m_nCopies, 1);
        // Nothing to undo yet: its keys do nothing.
        QVERIFY(!pMain->ExecuteCommand(ID_EDIT_UNDO));
        test::StopApp(pApp);
    }

    void newKeySetsAreNumbered() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->ExecuteCommand(ID_FILE_NEW);
        pMain->ExecuteCommand(ID_FILE_NEW);
        const auto docs = pApp->m_pListTemplate->GetDocuments();
        QCOMPARE(int(docs.size()), 2);
        QCOMPARE(docs[0]->GetTitle(), QString("KeySet1"));
        QCOMPARE(docs[1]->GetTitle(), QString("KeySet2"));
        QCOMPARE(pMain->MDIGetActive()->windowTitle(), QString("KeySet2"));
        QCOMPARE(pMain->windowTitle(), QString("VextKey - KeySet2"));
        // Unsaved changes show as "*" after the name, in the frame's title and the main one.
        docs[1]->SetModifiedFlag(true);
        pMain->OnIdle();
        QCOMPARE(pMain->MDIGetActive()->windowTitle(), QString("KeySet2*"));
        QCOMPARE(pMain->windowTitle(), QString("VextKey - KeySet2*"));
        docs[1]->SetModifiedFlag(false);
        pMain->OnIdle();
        QCOMPARE(pMain->windowTitle(), QString("VextKey - KeySet2"));
        test::StopApp(pApp);
    }

    void closingAModifiedKeySetAsks_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::newRow("cancel keeps it") << int(IDCANCEL) << false;
        QTest::newRow("no discards it") << int(IDNO) << true;
    }
    void closingAModifiedKeySetAsks() {
        QFETCH(int, answer);
        QFETCH(bool, closed);
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->ExecuteCommand(ID_FILE_NEW);
        CDocument* pDoc = pApp->m_pListTemplate->GetDocuments().front();
        pDoc->SetModifiedFlag();
        PromptScript script;
        script.AnswerNext(answer);
        pMain->MDIGetActive()->close();
        QCOMPARE(int(script.m_messages.size()), 1);
        QCOMPARE(script.m_messages[0].strText, QString("Save changes to KeySet1?"));
        QVERIFY(script.m_messages[0].buttons == MsgButtons::YesNoCancel);
        QCOMPARE(pApp->m_pListTemplate->GetDocuments().empty(), closed);
        QCOMPARE(pMain->ChildFrames().empty(), closed);
        test::StopApp(pApp);
    }

    void unmodifiedKeySetClosesWithoutAsking() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->ExecuteCommand(ID_FILE_NEW);
        PromptScript script;
        pMain->MDIGetActive()->close();
        QVERIFY(script.m_messages.empty());
        QVERIFY(pApp->m_pListTemplate->GetDocuments().empty());
        test::StopApp(pApp);
    }

    void closingThePadWindowKeepsTheKeySet() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->ExecuteCommand(ID_FILE_NEW);
        auto* pDoc = dynamic_cast<KeySetDocument*>(pApp->m_pListTemplate->GetDocuments().front());
        pDoc->SetModifiedFlag();
        pDoc->TogglePadView(2);
        QVERIFY(pDoc->IsPadViewOpen(2));
        QCOMPARE(pMain->CurrentMenuResource(), int(IDR_PADTYPE));
        PromptScript script;
        pMain->MDIGetActive()->close();
        QVERIFY2(script.m_messages.empty(), "the function list still shows the key set");
        QVERIFY(!pDoc->IsPadViewOpen(2));
        QCOMPARE(int(pApp->m_pListTemplate->GetDocuments().size()), 1);

        // Closing the function list takes the pad windows with it, after asking once.
        pDoc->TogglePadView(3);
        pDoc->FunctionListView()->GetParentFrame()->close();
        QCOMPARE(int(script.m_messages.size()), 1);
        script.AnswerNext(IDNO);
        pDoc->FunctionListView()->GetParentFrame()->close();
        QVERIFY(pApp->m_pListTemplate->GetDocuments().empty());
        test::Drain();
        QVERIFY(pMain->ChildFrames().empty());
        test::StopApp(pApp);
    }

    void exitAsksForEveryModifiedKeySet() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->ExecuteCommand(ID_FILE_NEW);
        pMain->ExecuteCommand(ID_FILE_NEW);
        for (CDocument* pDoc : pApp->m_pListTemplate->GetDocuments()) {
            pDoc->SetModifiedFlag();
        }
        PromptScript script;
        script.AnswerNext(IDNO);
        script.AnswerNext(IDCANCEL);
        QVERIFY(!pMain->close());
        QCOMPARE(int(script.m_messages.size()), 2);
        QCOMPARE(int(pApp->m_pListTemplate->GetDocuments().size()), 2);
        script.AnswerNext(IDNO);
        script.AnswerNext(IDNO);
        QVERIFY(pMain->close());
        QVERIFY(pApp->m_pListTemplate->GetDocuments().empty());
        test::StopApp(pApp);
    }

    void saveAsCancelledKeepsTheKeySetOpen() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->ExecuteCommand(ID_FILE_NEW);
        pApp->m_pListTemplate->GetDocuments().front()->SetModifiedFlag();
        PromptScript script;
        script.AnswerNext(IDYES); // save first: the file dialog comes, and is cancelled
        pMain->MDIGetActive()->close();
        QCOMPARE(script.m_fileDialogTitles, QStringList{"Save As"});
        QCOMPARE(int(pApp->m_pListTemplate->GetDocuments().size()), 1);
        test::StopApp(pApp);
    }

    void recentFileListKeepsFourNewestFirst() {
        CRecentFileList list(4);
        for (const char* psz : {"/k/a.vks", "/k/b.vks", "/k/c.vks", "/k/d.vks", "/k/e.vks"}) {
            list.Add(psz);
        }
        QCOMPARE(list.Files(), (QStringList{"/k/e.vks", "/k/d.vks", "/k/c.vks", "/k/b.vks"}));
        list.Add("/k/c.vks");
        QCOMPARE(list.Files(), (QStringList{"/k/c.vks", "/k/e.vks", "/k/d.vks", "/k/b.vks"}));
        QCOMPARE(list.MenuText(0), QString("&1 /k/c.vks"));
        list.Remove(1);
        QSettings settings(test::TheGuiTestEnv().FilePath("mru.conf"), QSettings::IniFormat);
        list.WriteList(settings);
        QCOMPARE(settings.value("Recent File List/File1").toString(), QString("/k/c.vks"));
        QCOMPARE(settings.value("Recent File List/File3").toString(), QString("/k/b.vks"));
        QVERIFY(!settings.contains("Recent File List/File4"));
        CRecentFileList back(4);
        back.ReadList(settings);
        QCOMPARE(back.Files(), list.Files());
    }

    void recentFilesShowInTheFileMenu() {
        auto pSettings = AppSettings();
        pSettings->setValue("Recent File List/File1", "/nowhere/One.vks");
        pSettings->setValue("Recent File List/File2", "/nowhere/Two & Three.vks");
        pSettings->sync();
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        QMenu* pFile = Popup(pMain->menuBar(), "&File");
        pMain->UpdateMenu(pFile);
        const QStringList items = ItemTexts(pFile);
        QVERIFY(!items.contains("Recent File"));
        QVERIFY(items.contains("&1 /nowhere/One.vks"));
        QVERIFY(items.contains("&2 /nowhere/Two && Three.vks"));
        // A recent file that is gone is reported and leaves the list.
        PromptScript script;
        QVERIFY(pMain->ExecuteCommand(ID_FILE_MRU_FILE1));
        QCOMPARE(int(script.m_messages.size()), 1);
        QCOMPARE(script.m_messages[0].strText,
                 QString("Cannot open the key set /nowhere/One.vks: the file does not exist."));
        QCOMPARE(pApp->GetRecentFileList()->Files(), QStringList{"/nowhere/Two & Three.vks"});
        test::StopApp(pApp);
        QCOMPARE(AppSettings()->value("Recent File List/File1").toString(),
                 QString("/nowhere/Two & Three.vks"));
    }

    void childFrameIsAThirdWideWithoutMaximize() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->resize(900, 600);
        QTRY_VERIFY(pMain->MdiArea()->viewport()->width() > 0);
        pMain->ExecuteCommand(ID_FILE_NEW);
        pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER);
        for (CMDIChildWnd* pFrame : pMain->ChildFrames()) {
            QCOMPARE(pFrame->width(), pMain->MdiArea()->viewport()->width() / 3);
            QVERIFY(!(pFrame->windowFlags() & Qt::WindowMaximizeButtonHint));
            QVERIFY(pFrame->windowFlags() & Qt::WindowMinimizeButtonHint);
            QVERIFY(pFrame->isVisible());
        }
        QCOMPARE(int(pMain->ChildFrames().size()), 2);
        test::StopApp(pApp);
    }

    void newWindowsOpenInsideTheWorkspace() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        KeySetDocument* pDoc = NewKeySetWithEveryWindow(*pApp);
        QCOMPARE(int(pMain->ChildFrames().size()), 6);
        const QRect room = Workspace(pMain->MdiArea());
        for (CMDIChildWnd* pFrame : pMain->ChildFrames()) {
            QVERIFY2(room.contains(pFrame->geometry()), qPrintable(pFrame->windowTitle()));
        }
        // A pad grown taller than a low workspace moves up to its top edge.
        pMain->resize(960, 360);
        QTRY_VERIFY(Workspace(pMain->MdiArea()).height() < 287);
        CMDIChildWnd* pPad = pDoc->PadView(3)->GetParentFrame();
        pPad->move(room.width() - pPad->width(), 200);
        pDoc->PadView(3)->OnCommand(ID_PADTYPE_CORVEL);
        QCOMPARE(pPad->y(), 0);
        QVERIFY(pPad->x() + pPad->width() <= Workspace(pMain->MdiArea()).width());
        pDoc->SetModifiedFlag(false);
        test::StopApp(pApp);

        // A key set opened at start-up, before the main window shows, keeps its places.
        pApp = test::StartApp({QStringLiteral(VEXT_SOURCE_DIR "/examples/Demo.vks")});
        QCOMPARE(pApp->MainFrame()->ChildFrames().back()->pos(), QPoint(0x15E, 0));
        test::StopApp(pApp);
    }

    void tileAndCascadeKeepEveryTitleBarInSight_data() {
        QTest::addColumn<int>("command");
        QTest::newRow("tile") << int(ID_WINDOW_TILE_HORZ);
        QTest::newRow("cascade") << int(ID_WINDOW_CASCADE);
    }
    void tileAndCascadeKeepEveryTitleBarInSight() {
        QFETCH(int, command);
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        NewKeySetWithEveryWindow(*pApp);
        pMain->ChildFrames().front()->move(2000, 2000);
        QVERIFY(pMain->ExecuteCommand(command));
        for (CMDIChildWnd* pFrame : pMain->ChildFrames()) {
            QVERIFY2(InSight(pMain, pFrame), qPrintable(pFrame->windowTitle()));
        }
        test::StopApp(pApp);
    }

    void windowMenuBringsAnyFrameForward() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        KeySetDocument* pDoc = NewKeySetWithEveryWindow(*pApp);
        CMDIChildWnd* pList = pDoc->FunctionListView()->GetParentFrame();
        CMDIChildWnd* pPad2 = pDoc->PadView(2)->GetParentFrame();
        pPad2->move(3000, 3000);
        pList->showMinimized();
        pMain->BringForward(pDoc->PadView(4)->GetParentFrame());
        QMenu* pWindow = Popup(pMain->menuBar(), "&Window");
        pMain->UpdateMenu(pWindow);
        QStringList items;
        for (QAction* pItem : pWindow->actions().mid(4)) {
            items << (pItem->isChecked() ? "*" : "") + pItem->text();
        }
        QCOMPARE(items, (QStringList{"&1 KeySet1", "&2 KeySet1 : Slot 1", "&3 KeySet1 : Slot 2",
                                     "&4 KeySet1 : Slot 3", "*&5 KeySet1 : Slot 4",
                                     "&6 Keystroke Viewer"}));
        // A frame out of sight, and a minimised one, come back into the workspace.
        pWindow->actions().at(6)->trigger();
        QCOMPARE(pMain->MDIGetActive(), pPad2);
        QVERIFY(Workspace(pMain->MdiArea()).contains(pPad2->geometry()));
        pMain->UpdateMenu(pWindow);
        pWindow->actions().at(4)->trigger();
        QCOMPARE(pMain->MDIGetActive(), pList);
        QVERIFY(!pList->isMinimized());
        // Titles show as they are, an ampersand included.
        pDoc->SetTitle(QStringLiteral("Tom & Jerry"));
        pMain->UpdateMenu(pWindow);
        QCOMPARE(pWindow->actions().at(4)->text(), QString("&1 Tom && Jerry"));
        test::StopApp(pApp);
    }
};

VEXT_GUI_TEST_MAIN(FrameworkTest)
#include "FrameworkTest.moc"
