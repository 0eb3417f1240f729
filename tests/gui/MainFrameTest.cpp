// The main frame against a fake driver: the emulation toggle and its focus rule, the key-set
// name pane, Unload KeySet, activation reports, the Keystroke Viewer toggle and dropped files.

#include "gui/app/MainFrame.h"

#include "FakeDeviceServer.h"
#include "GuiTestSupport.h"
#include "core/driver/DeviceChannel.h"
#include "core/driver/DriverOutput.h"
#include "core/driver/DriverRecord.h"
#include "core/driver/PlayStatus.h"
#include "core/model/AppState.h"
#include "core/registry/RegistryStore.h"
#include "gui/app/DriverRecord.h"
#include "gui/app/DriverState.h"
#include "gui/app/VersionInfo.h"
#include "gui/app/VextKeyApp.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/Prompts.h"

#include <span>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QtTest>

using namespace vext;

namespace {

std::vector<uint32_t> Codes(const test::FakeDeviceServer& server) {
    std::vector<uint32_t> codes;
    for (const DeviceRequest& request : server.Requests()) {
        codes.push_back(request.nCode);
    }
    return codes;
}

int Count(const std::vector<uint32_t>& codes, uint32_t nCode) {
    return static_cast<int>(std::count(codes.begin(), codes.end(), nCode));
}

// Writes a driver record as a download leaves it; without a name when strName is null.
void WriteRecord(const char* pszName) {
    std::string strError;
    auto pStore = RegistryStore::Open(RegistryStore::DefaultPath(), strError);
    QVERIFY2(pStore, strError.c_str());
    RegKey key;
    QVERIFY(pStore->CreateKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, key) == RegStatus::kOk);
    if (pszName) {
        QVERIFY(key.SetString("SetName", pszName) == RegStatus::kOk);
    }
}

bool RecordExists() {
    std::string strError;
    auto pStore = RegistryStore::Open(RegistryStore::DefaultPath(), strError);
    RegKey key;
    return pStore && pStore->OpenKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, key) == RegStatus::kOk;
}

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::GuiTestEnv::ClearSettings(); }
    void cleanup() { test::Drain(); }

    void withoutDriverToggleIsGreyAndPaneSaysSo() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->OnIdle();
        QAction* pToggle = pMain->CommandAction(ID_EMULATION);
        QVERIFY(!pToggle->isEnabled());
        QVERIFY(!pToggle->isChecked());
        QCOMPARE(pMain->KeySetPane()->text(), QString("Driver not running"));
        QVERIFY2(!pMain->CommandAction(ID_UNLOAD_KEYSET)->isEnabled(), "no record to unload");
        QVERIFY(pMain->ToolBar()->actions().contains(pToggle));
        // Pressing it anyway does nothing.
        QVERIFY(!pMain->ExecuteCommand(ID_EMULATION));
        test::StopApp(pApp);
    }

    void toggleFollowsTheDriver() {
        test::FakeDeviceServer driver;
        QVERIFY(driver.IsRunning());
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        QAction* pToggle = pMain->CommandAction(ID_EMULATION);

        driver.SetEmulationEnabled(1);
        pMain->OnIdle();
        QVERIFY(pToggle->isEnabled());
        QVERIFY(pToggle->isChecked());
        QCOMPARE(pMain->KeySetPane()->text(), QString("No key set in the driver"));

        pToggle->trigger();
        QCOMPARE(driver.EmulationEnabled(), 0);
        QCOMPARE(Count(Codes(driver), VEXT_IOCTL_DISABLE), 1);
        pMain->OnIdle();
        QVERIFY(!pToggle->isChecked());
        QCOMPARE(pMain->KeySetPane()->text(), QString("Emulation off"));

        pToggle->trigger();
        QCOMPARE(driver.EmulationEnabled(), 1);
        QCOMPARE(Count(Codes(driver), VEXT_IOCTL_ENABLE), 1);
        test::StopApp(pApp);
    }

    void whileTheListHasFocusOnlyTheRememberedStateChanges() {
        test::FakeDeviceServer driver;
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        QAction* pToggle = pMain->CommandAction(ID_EMULATION);
        // The list switched the driver off when it took the focus and remembered "on".
        driver.SetEmulationEnabled(0);
        TheAppState().m_bListHasFocus = 1;
        TheAppState().m_bSavedEmulation = 1;
        pMain->OnIdle();
        QVERIFY2(pToggle->isChecked(), "the toggle shows the remembered state");
        QCOMPARE(pMain->KeySetPane()->text(), QString("Emulation off"));

        const size_t nBefore = driver.RequestCount();
        pToggle->trigger();
        QCOMPARE(TheAppState().m_bSavedEmulation, 0);
        pToggle->trigger();
        QCOMPARE(TheAppState().m_bSavedEmulation, 1);
        const std::vector<uint32_t> codes = Codes(driver);
        const std::vector<uint32_t> after(codes.begin() + static_cast<long>(nBefore), codes.end());
        QCOMPARE(Count(after, VEXT_IOCTL_DISABLE) + Count(after, VEXT_IOCTL_ENABLE), 0);
        QCOMPARE(driver.EmulationEnabled(), 0);
        TheAppState().m_bListHasFocus = 0;
        test::StopApp(pApp);
    }

    void paneNamesTheDriversKeySet() {
        test::FakeDeviceServer driver;
        WriteRecord("Racing Pads");
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->OnIdle();
        QCOMPARE(pMain->KeySetPane()->text(), QString("Racing Pads"));
        QVERIFY(pMain->CommandAction(ID_UNLOAD_KEYSET)->isEnabled());

        // Unload removes the record and has the driver let go of it at once, so that what it
        // plays and what the pane says agree; emulation stays as it was.
        driver.SetEmulationEnabled(1);
        const size_t nBefore = driver.RequestCount();
        PromptScript script;
        QVERIFY(pMain->ExecuteCommand(ID_UNLOAD_KEYSET));
        QVERIFY(!RecordExists());
        QVERIFY(script.m_messages.empty());
        const std::vector<uint32_t> codes = Codes(driver);
        const std::vector<uint32_t> after(codes.begin() + static_cast<long>(nBefore), codes.end());
        QCOMPARE(Count(after, VEXT_IOCTL_ENABLE), 1);
        QCOMPARE(driver.EmulationEnabled(), 1);
        pMain->OnIdle();
        QCOMPARE(pMain->KeySetPane()->text(), QString("No key set in the driver"));
        QVERIFY(!pMain->CommandAction(ID_UNLOAD_KEYSET)->isEnabled());
        test::StopApp(pApp);
    }

    // The idle update of menus and panes asks nobody; the record store and the driver's socket
    // are watched instead.
    void idleUpdatesAskNothingAndChangesOnDiskShow() {
        test::FakeDeviceServer driver;
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->OnIdle();
        const size_t nBefore = driver.RequestCount();
        for (int i = 0; i < 10; ++i) {
            pMain->OnIdle();
        }
        QCOMPARE(driver.RequestCount(), nBefore);
        WriteRecord("Written Elsewhere");
        QTRY_COMPARE(pMain->KeySetPane()->text(), QString("Written Elsewhere"));
        pMain->ExecuteCommand(ID_UNLOAD_KEYSET);
        test::StopApp(pApp);
    }

    void paneTooltipSaysWhenKeysReachX11WindowsOnly_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("session");
        QTest::addColumn<bool>("x11Only");
        QTest::newRow("xtest in Wayland") << 2 << 2 << true;
        QTest::newRow("xtest in X11") << 2 << 1 << false;
        QTest::newRow("uinput in Wayland") << 1 << 2 << false;
        QTest::newRow("a driver that does not tell") << -1 << 0 << false;
    }
    void paneTooltipSaysWhenKeysReachX11WindowsOnly() {
        QFETCH(int, kind);
        QFETCH(int, session);
        QFETCH(bool, x11Only);
        test::FakeDeviceServer driver;
        std::vector<uint8_t> answer;
        if (kind >= 0) {
            answer.resize(kOutputInfoSize);
            EncodeOutputInfo(
                {static_cast<DriverOutputKind>(kind), static_cast<SessionType>(session)},
                std::span<uint8_t, kOutputInfoSize>(answer));
        }
        driver.SetCodeAnswer(VEXT_IOCTL_GET_OUTPUT, answer);
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->OnIdle();
        QCOMPARE(pMain->KeySetPane()->text(), QString("No key set in the driver"));
        const QString strTip = pMain->KeySetPane()->toolTip();
        QCOMPARE(strTip.contains("keys reach X11 windows only"), x11Only);
        QCOMPARE(strTip.contains("70-vextkey-uinput.rules"), x11Only);
        QVERIFY2(!strTip.contains("input\" group") && !strTip.contains("usermod"),
                 qPrintable(strTip));
        QCOMPARE(pMain->statusBar()->currentMessage().contains("X11 windows only"), x11Only);
        test::StopApp(pApp);
    }

    // What plays, as the pane and its tooltip say it. A window's title and a key set's name are
    // other programs' and files' words: markup in them is shown, never drawn (nor its images
    // loaded). A game whose key set cannot be read: the default plays, and the tooltip says why.
    void paneSaysWhatPlaysAndWhy_data() {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("status"); // the driver's play status text
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("tip"); // a part of the tooltip, word joiners taken out
        PlayStatus markup;
        markup.strKeySet = "<b>Game</b>";
        markup.nRule = 1;
        markup.strMatch = "class x";
        markup.strWindow = "<h1>BIG</h1><img src=\"/usr/share/icons/x.png\">";
        QTest::newRow("markup") << QString() << QString::fromStdString(EncodePlayStatus(markup))
                                << "<b>Game</b> (class x)"
                                << "&lt;h1&gt;BIG&lt;/h1&gt;&lt;img src=\"/usr";
        PlayStatus failed;
        failed.strKeySet = "Demo";
        failed.nFailedRule = 2;
        failed.strWindow = "Puzzle";
        failed.strProblem = "Puzzle.vks: no such file";
        QTest::newRow("unreadable")
            << "Demo" << QString::fromStdString(EncodePlayStatus(failed)) << "Demo"
            << "<p>Puzzle: its key set cannot be read (Puzzle.vks: no "
               "such file); the default plays.</p>";
    }
    void paneSaysWhatPlaysAndWhy() {
        QFETCH(QString, record);
        QFETCH(QString, status);
        QFETCH(QString, pane);
        QFETCH(QString, tip);
        test::FakeDeviceServer driver;
        if (!record.isEmpty()) {
            WriteRecord(record.toUtf8().constData());
        }
        driver.SetPlayStatusText(status.toStdString());
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->OnIdle();
        QTRY_COMPARE(pMain->KeySetPane()->text(), pane);
        QCOMPARE(pMain->KeySetPane()->textFormat(), Qt::PlainText);
        const QString strTip = pMain->KeySetPane()->toolTip().remove(QChar(0x2060));
        QVERIFY2(strTip.contains(tip) && !strTip.contains("<h1>") && !strTip.contains("<img"),
                 qPrintable(strTip));
        test::StopApp(pApp);
        RemoveDriverRecord();
    }

    // A driver busy past a query's timeout is backed off from for a while, so every read then
    // misses it: the window holds what it knew until the recheck, and goes on rechecking.
    void aSlowDriverIsLookedAtAgainUntilItAnswers() {
        auto now = std::chrono::steady_clock::now();
        SetDeviceBackOffClock([&now] { return now; });
        test::FakeDeviceServer driver;
        DriverState state;
        QVERIFY(state.Now().bAnswers);
        QTimer* pRecheck = nullptr;
        for (QTimer* pTimer : state.findChildren<QTimer*>()) {
            pRecheck = pTimer->isSingleShot() && pTimer->interval() > 1000 ? pTimer : pRecheck;
        }
        QVERIFY(pRecheck);

        driver.SetMode(test::FakeDeviceServer::Mode::kSilent);
        state.Refresh(); // times out
        state.Refresh(); // backed off from
        QVERIFY2(state.Now().bAnswers, "held until the second look");
        pRecheck->stop(); // as when it fires
        QMetaObject::invokeMethod(pRecheck, "timeout");
        QVERIFY(!state.Now().bAnswers);
        QVERIFY2(pRecheck->isActive(), "and looked at again");

        driver.SetMode(test::FakeDeviceServer::Mode::kAnswer);
        now += std::chrono::seconds(4);
        pRecheck->stop(); // as when it fires
        QMetaObject::invokeMethod(pRecheck, "timeout");
        QVERIFY(state.Now().bAnswers);
        QVERIFY(!pRecheck->isActive());
        SetDeviceBackOffClock({});
    }

    void recordWithoutNameShowsAnEmptyPane() {
        test::FakeDeviceServer driver;
        WriteRecord(nullptr);
        auto pApp = test::StartApp();
        pApp->MainFrame()->OnIdle();
        QCOMPARE(pApp->MainFrame()->KeySetPane()->text(), QString());
        pApp->MainFrame()->ExecuteCommand(ID_UNLOAD_KEYSET);
        test::StopApp(pApp);
    }

    void unloadWorksWithoutDriver() {
        WriteRecord("Left Over");
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->OnIdle();
        QCOMPARE(pMain->KeySetPane()->text(), QString("Driver not running"));
        QVERIFY2(pMain->CommandAction(ID_UNLOAD_KEYSET)->isEnabled(), "a record was left behind");
        pMain->ExecuteCommand(ID_UNLOAD_KEYSET);
        QVERIFY(!RecordExists());
        test::StopApp(pApp);
    }

    void oldDriverCountsAsAbsent() {
        test::FakeDeviceServer driver;
        driver.SetVersion(0x1FF);
        auto pApp = test::StartApp();
        pApp->MainFrame()->OnIdle();
        QVERIFY(!pApp->MainFrame()->CommandAction(ID_EMULATION)->isEnabled());
        QCOMPARE(pApp->MainFrame()->KeySetPane()->text(), QString("Driver not running"));
        test::StopApp(pApp);
    }

    void activationIsReportedToTheDriver() {
        test::FakeDeviceServer driver;
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->activateWindow();
        QTRY_VERIFY(Count(Codes(driver), VEXT_IOCTL_APP_ACTIVE) >= 1);
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(Count(Codes(driver), VEXT_IOCTL_APP_INACTIVE) >= 1);
        pMain->activateWindow();
        QTRY_VERIFY(Count(Codes(driver), VEXT_IOCTL_APP_ACTIVE) >= 2);
        test::StopApp(pApp);
    }

    void keystrokeViewerToggles() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        QAction* pItem = pMain->CommandAction(ID_VIEW_KEYSTROKE_VIEWER);
        pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER);
        QVERIFY(pApp->ViewerFrame());
        QCOMPARE(pApp->ViewerFrame()->windowTitle(), QString("Keystroke Viewer"));
        pMain->UpdateCommand(ID_VIEW_KEYSTROKE_VIEWER);
        QVERIFY(pItem->isChecked());
        pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER);
        QVERIFY(!pApp->ViewerFrame());
        test::Drain();
        QVERIFY(pMain->ChildFrames().empty());
        pMain->UpdateCommand(ID_VIEW_KEYSTROKE_VIEWER);
        QVERIFY(!pItem->isChecked());

        // Closing its window clears it as well.
        pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER);
        pApp->ViewerFrame()->close();
        test::Drain();
        QVERIFY(!pApp->ViewerFrame());
        test::StopApp(pApp);
    }

    void toolbarAndStatusBarToggle() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->ExecuteCommand(ID_VIEW_TOOLBAR);
        QVERIFY(pMain->ToolBar()->isHidden());
        pMain->UpdateCommand(ID_VIEW_TOOLBAR);
        QVERIFY(!pMain->CommandAction(ID_VIEW_TOOLBAR)->isChecked());
        pMain->ExecuteCommand(ID_VIEW_TOOLBAR);
        QVERIFY(!pMain->ToolBar()->isHidden());
        pMain->ExecuteCommand(ID_VIEW_STATUS_BAR);
        QVERIFY(pMain->statusBar()->isHidden());
        test::StopApp(pApp);
    }

    void toolbarHoldsItsButtonsInOrder() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        const int expected[] = {ID_FILE_NEW,   ID_FILE_OPEN,
                                ID_FILE_SAVE,  0,
                                ID_EDIT_CUT,   ID_EDIT_COPY,
                                ID_EDIT_PASTE, 0,
                                ID_FILE_PRINT, 0,
                                ID_EMULATION,  0,
                                ID_APP_ABOUT,  ID_CONTEXT_HELP};
        const QList<QAction*> actions = pMain->ToolBar()->actions();
        QCOMPARE(actions.size(), int(std::size(expected)));
        for (int i = 0; i < actions.size(); ++i) {
            if (expected[i] == 0) {
                QVERIFY(actions[i]->isSeparator());
            } else {
                QCOMPARE(actions[i], pMain->CommandAction(expected[i]));
                QVERIFY(!actions[i]->icon().isNull());
                QVERIFY(!actions[i]->toolTip().isEmpty());
            }
        }
        test::StopApp(pApp);
    }

    void preReleaseBuildsShowTheirVersionInTheTitle() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        CVersionInfo::Block block;
        block.strProductVersion = "2.1b";
        block.nMajor = 2;
        block.nMinor = 1;
        block.nFileFlags = CVersionInfo::VS_FF_PRERELEASE;
        pMain->SetVersionInfo(CVersionInfo(block, "Oct  7 1996", "14:55:30"));
        pApp->OnFileNew();
        QCOMPARE(pMain->windowTitle(),
                 QString("VextKey 2.1  2.1b  Oct  7 1996  14:55:30 - KeySet1"));
        block.nFileFlags = 0;
        pMain->SetVersionInfo(CVersionInfo(block, "Oct  7 1996", "14:55:30"));
        QCOMPARE(pMain->windowTitle(), QString("VextKey - KeySet1"));
        pApp->CloseAllDocuments();
        test::StopApp(pApp);
    }

    void droppedMissingFileIsReported() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        const QString strMissing = test::TheGuiTestEnv().FilePath("gone.vks");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(strMissing)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(pMain, &enter);
        QVERIFY(enter.isAccepted());
        PromptScript script;
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pMain, &drop);
        QCOMPARE(int(script.m_messages.size()), 1);
        QCOMPARE(script.m_messages[0].strText,
                 QString("Cannot open the key set %1: the file does not exist.").arg(strMissing));
        QVERIFY(script.m_messages[0].icon == MsgIcon::Stop);
        test::StopApp(pApp);
    }
};

VEXT_GUI_TEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
