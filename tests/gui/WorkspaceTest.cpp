// Child frames in the main window's workspace: new ones open inside it, a pad that grows stays
// inside, Tile and Cascade leave every title bar in sight, and the Window menu lists the frames
// and brings any of them forward.

#include "GuiTestSupport.h"
#include "app/KeySetDocument.h"
#include "app/MainFrame.h"
#include "app/VextKeyApp.h"
#include "framework/CmdIds.h"
#include "framework/DocTemplate.h"
#include "framework/MDIChildWnd.h"
#include "framework/MdiPlacement.h"
#include "model/VextKeyDoc.h"
#include "views/VextKeyView.h"
#include "views/VextPadView.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QtTest>

using namespace vext;

class WorkspaceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CVextKeyApp> m_pApp;
    CMainFrame* m_pMain = nullptr;

    KeySetDocument* NewKeySetWithEveryWindow() {
        m_pMain->ExecuteCommand(ID_FILE_NEW);
        auto* pDoc = dynamic_cast<KeySetDocument*>(m_pApp->m_pListTemplate->GetDocuments().back());
        for (int nSlot = 1; nSlot <= 4; ++nSlot) {
            pDoc->Doc().TogglePadView(nSlot);
        }
        m_pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER);
        return pDoc;
    }

    // The frame lies in the workspace, and no other frame covers the start of its title bar.
    bool InSight(CMDIChildWnd* pFrame) const {
        const QRect r = pFrame->geometry();
        for (int y : {r.top() + 2, r.top() + TitleBarHeight(pFrame) - 2}) {
            QWidget* pHit = m_pMain->MdiArea()->viewport()->childAt(r.left() + 40, y);
            while (pHit && !qobject_cast<QMdiSubWindow*>(pHit)) {
                pHit = pHit->parentWidget();
            }
            if (pHit != pFrame) {
                return false;
            }
        }
        return Workspace(m_pMain->MdiArea()).contains(r);
    }

private Q_SLOTS:
    void init() {
        test::GuiTestEnv::ClearSettings();
        m_pApp = test::StartApp();
        QVERIFY(m_pApp);
        m_pMain = m_pApp->MainFrame();
        m_pMain->resize(960, 680);
        QTRY_COMPARE(m_pMain->MdiArea()->width(), 960);
    }
    void cleanup() {
        for (CDocument* pDoc : m_pApp->m_pListTemplate->GetDocuments()) {
            pDoc->SetModifiedFlag(false);
        }
        test::StopApp(m_pApp);
    }

    void newWindowsOpenInsideTheWorkspace() {
        KeySetDocument* pDoc = NewKeySetWithEveryWindow();
        QCOMPARE(int(m_pMain->ChildFrames().size()), 6);
        const QRect room = Workspace(m_pMain->MdiArea());
        for (CMDIChildWnd* pFrame : m_pMain->ChildFrames()) {
            QVERIFY2(room.contains(pFrame->geometry()), qPrintable(pFrame->windowTitle()));
        }

        // A pad grown taller than a low workspace moves up to its top edge.
        m_pMain->resize(960, 360);
        QTRY_VERIFY(Workspace(m_pMain->MdiArea()).height() < 287);
        CMDIChildWnd* pPad = pDoc->PadView(3)->GetParentFrame();
        pPad->move(room.width() - pPad->width(), 200);
        pDoc->PadView(3)->OnCommand(ID_PADTYPE_CORVEL);
        QCOMPARE(pPad->y(), 0);
        QVERIFY(pPad->x() + pPad->width() <= Workspace(m_pMain->MdiArea()).width());
    }

    // A key set opened at start-up, before the main window shows, keeps its windows' places.
    void savedPlacesSurviveStartUp() {
        test::StopApp(m_pApp);
        m_pApp = test::StartApp({QStringLiteral(VEXT_SOURCE_DIR "/examples/Demo.vks")});
        QVERIFY(m_pApp);
        const std::vector<CMDIChildWnd*> frames = m_pApp->MainFrame()->ChildFrames();
        QCOMPARE(int(frames.size()), 2);
        QCOMPARE(frames[1]->pos(), QPoint(0x15E, 0));
    }

    void tileAndCascadeKeepEveryTitleBarInSight_data() {
        QTest::addColumn<int>("command");
        QTest::newRow("tile") << int(ID_WINDOW_TILE_HORZ);
        QTest::newRow("cascade") << int(ID_WINDOW_CASCADE);
    }
    void tileAndCascadeKeepEveryTitleBarInSight() {
        QFETCH(int, command);
        NewKeySetWithEveryWindow();
        m_pMain->ChildFrames().front()->move(2000, 2000);
        QVERIFY(m_pMain->ExecuteCommand(command));
        for (CMDIChildWnd* pFrame : m_pMain->ChildFrames()) {
            QVERIFY2(InSight(pFrame), qPrintable(pFrame->windowTitle()));
        }
    }

    void windowMenuBringsAnyFrameForward() {
        KeySetDocument* pDoc = NewKeySetWithEveryWindow();
        CMDIChildWnd* pList = pDoc->FunctionListView()->GetParentFrame();
        CMDIChildWnd* pPad2 = pDoc->PadView(2)->GetParentFrame();
        pPad2->move(3000, 3000);
        pList->showMinimized();
        m_pMain->BringForward(pDoc->PadView(4)->GetParentFrame());

        QMenu* pWindow = m_pMain->Popups(IDR_PADTYPE).at(3);
        QCOMPARE(pWindow->title(), QString("&Window"));
        m_pMain->UpdateMenu(pWindow);
        QStringList items;
        QString strChecked;
        for (QAction* pItem : pWindow->actions().mid(4)) {
            items << pItem->text();
            if (pItem->isChecked()) {
                strChecked = pItem->text();
            }
        }
        QCOMPARE(items, (QStringList{"&1 KeySet1", "&2 KeySet1 : Slot 1", "&3 KeySet1 : Slot 2",
                                     "&4 KeySet1 : Slot 3", "&5 KeySet1 : Slot 4",
                                     "&6 Keystroke Viewer"}));
        QCOMPARE(strChecked, QString("&5 KeySet1 : Slot 4"));

        // A frame out of sight, and a minimised one, come back into the workspace.
        pWindow->actions().at(6)->trigger();
        QCOMPARE(m_pMain->MDIGetActive(), pPad2);
        QVERIFY(Workspace(m_pMain->MdiArea()).contains(pPad2->geometry()));
        m_pMain->UpdateMenu(pWindow);
        pWindow->actions().at(4)->trigger();
        QCOMPARE(m_pMain->MDIGetActive(), pList);
        QVERIFY(!pList->isMinimized());
        // Titles are shown as they are, an ampersand included.
        pDoc->SetTitle(QStringLiteral("Tom & Jerry"));
        m_pMain->UpdateMenu(pWindow);
        QCOMPARE(pWindow->actions().at(4)->text(), QString("&1 Tom && Jerry"));
    }
};

VEXT_GUI_TEST_MAIN(WorkspaceTest)
#include "WorkspaceTest.moc"
