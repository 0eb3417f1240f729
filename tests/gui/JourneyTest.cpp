// The user's road with real processes: vextd with a virtual pad, the window opens a key set and
// hands it over with Configure Vext, the pad plays it; then, beside the running window, -ld,
// -ul and --status from the command line, and a download the store refuses.

#include "GuiTestSupport.h"
#include "VextdProcess.h"
#include "core/driver/DeviceChannel.h"
#include "core/driver/DriverLoadStatus.h"
#include "core/driver/DriverRecord.h"
#include "core/model/AppState.h"
#include "core/registry/RegistryStore.h"
#include "gui/app/DriverLauncher.h"
#include "gui/app/MainFrame.h"
#include "gui/app/VextKeyApp.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"
#include "gui/framework/View.h"

#include <csignal>
#include <string>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTextLayout>
#include <QtTest>

#include <sqlite3.h>

using namespace vext;

namespace {

struct Run {
    int nExitCode = -1;
    QString strOut;
    QString strErr;
};

// vextkey as a second process. The event loop keeps turning while it runs, so that this
// process's window can answer what the second one hands over.
Run RunVextkey(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(VEXTKEY_EXE), args);
    Run run;
    if (!process.waitForStarted(5000)) {
        return run;
    }
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.nExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.strOut = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.strErr = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

std::string RecordName() {
    std::string strError;
    auto pStore = RegistryStore::Open(RegistryStore::DefaultPath(), strError,
                                      RegistryStore::OpenMode::kReadOnly);
    RegKey key;
    std::string strName;
    if (pStore && pStore->OpenKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, key) == RegStatus::kOk &&
        key.QueryString("SetName", strName) == RegStatus::kOk) {
        return strName;
    }
    return "(none)";
}

QString DataFile(const char* pszName) {
    return QStringLiteral(VEXT_TEST_DATA_DIR "/") + QLatin1String(pszName);
}

// Puts a vextd stand-in first on PATH (this build's vextd, in the foreground behind a shell,
// on the test's socket and store) and triggers Start Driver; the stand-in's pid, once the
// command is enabled again.
QString StartDriverThroughStandIn(CMainFrame* pMain, const std::string& strRecord) {
    const QString strBin = test::TheGuiTestEnv().FilePath(QStringLiteral("bin"));
    const QString strPidFile = test::TheGuiTestEnv().FilePath(QStringLiteral("vextd.pid"));
    QDir().mkpath(strBin);
    QFile script(strBin + QStringLiteral("/vextd"));
    if (!script.open(QIODevice::WriteOnly)) {
        return {};
    }
    script.write(QStringLiteral("#!/bin/sh\n"
                                "export VEXTD_ALLOW_ROOT=1 SDL_VIDEODRIVER=dummy "
                                "LSAN_OPTIONS=suppressions=%1\n"
                                "%2 --foreground --socket \"$VEXT_DEVICE\" --registry "
                                "\"$VEXT_REGISTRY\" --output record:%3 --test-virtual-pads 1 "
                                "2>%4.log &\n"
                                "echo $! >%4\n")
                     .arg(QStringLiteral(VEXTD_LSAN_SUPPRESSIONS), QStringLiteral(VEXTD_PATH),
                          QString::fromStdString(strRecord), strPidFile)
                     .toLocal8Bit());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", strBin.toLocal8Bit() + ':' + oldPath);

    QAction* pStart = pMain->CommandAction(ID_START_DRIVER);
    pMain->UpdateCommand(ID_START_DRIVER);
    const bool bEnabled = pStart->isEnabled();
    PromptScript prompts;
    pStart->trigger();
    const bool bDone = QTest::qWaitFor([pMain] { return !pMain->DriverStarter().IsRunning(); });
    qputenv("PATH", oldPath);
    pMain->UpdateCommand(ID_START_DRIVER);
    QFile pid(strPidFile);
    if (!bEnabled || !bDone || !prompts.m_messages.empty() || pStart->isEnabled() ||
        GetDriverVersion() == 0 || !pid.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLatin1(pid.readAll().trimmed());
}

} // namespace

class JourneyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void journey() {
        test::GuiTestEnv::ClearSettings();
        test::VextdProcess vextd;
        vextd.strSocket = qgetenv("VEXT_DEVICE").toStdString();
        vextd.strRecord = test::TheGuiTestEnv().FilePath(QStringLiteral("keys.log")).toStdString();
        QVERIFY2(vextd.Start({"--foreground", "--socket", vextd.strSocket, "--registry",
                              qgetenv("VEXT_REGISTRY").toStdString(), "--output",
                              "record:" + vextd.strRecord, "--test-virtual-pads", "12,8"},
                             {"VEXTD_ALLOW_ROOT=1"}),
                 vextd.Log().c_str());

        // The window: open a key set and hand it to the driver through the menu command.
        auto pApp = test::StartApp({DataFile("keyset/golden.vks")});
        QVERIFY(pApp);
        CMainFrame* pMain = pApp->MainFrame();
        QAction* pConfigure = pMain->CommandAction(ID_CONFIGURE_VEXT);
        pMain->UpdateCommand(ID_CONFIGURE_VEXT);
        QVERIFY2(pConfigure->isEnabled(), "Configure Vext needs the running driver");
        // Downloaded while the function list has the focus, the key set does not play yet: a
        // pad would type into the window.
        QTRY_VERIFY(TheAppState().m_bListHasFocus);
        pConfigure->trigger();
        QCOMPARE(RecordName(), std::string("golden"));
        QCOMPARE(vextd.Query(VEXT_IOCTL_QUERY_ENABLED), 0);
        // The user goes to the game: the function list gives up the focus, and with it its hold
        // on the driver's emulation.
        QApplication::focusWidget()->clearFocus();
        QVERIFY(!TheAppState().m_bListHasFocus);
        QCOMPARE(vextd.Query(VEXT_IOCTL_QUERY_ENABLED), 1);
        pMain->OnIdle();
        QCOMPARE(pMain->KeySetPane()->text(), QString("golden"));

        // Button 0 of pad 1 is "Cycle", whose first step is "A".
        QVERIFY(vextd.Press(1, 0, true));
        QVERIFY(vextd.Press(1, 0, false));
        QVERIFY(vextd.WaitForRecords(2, 5000));
        QCOMPARE(vextd.RecordText(), std::string("31+ 31-"));

        Run status = RunVextkey({QStringLiteral("--status")});
        QCOMPARE(status.nExitCode, 0);
        QVERIFY2(status.strOut.contains("driver: running, version 2.00\n"),
                 qPrintable(status.strOut));
        QVERIFY2(status.strOut.contains("emulation: on\n"), qPrintable(status.strOut));
        QVERIFY2(status.strOut.contains("key set: \"golden\" (3 functions, 4 mappings)\n"),
                 qPrintable(status.strOut));
        QVERIFY2(
            status.strOut.contains("driver's load: the driver loaded 3 functions and 4 mappings\n"),
            qPrintable(status.strOut));
        QVERIFY2(
            status.strOut.contains("slot 1: Corvel Pad (VextKey Test Pad, joystick: 12 buttons)\n"
                                   "slot 2: Standard Vext Pad (VextKey Test Pad, joystick: 8 "
                                   "buttons)\nslot 3: none\n"),
            qPrintable(status.strOut));

        // Beside the running window: another key set from a script changes what the pad plays.
        const Run load = RunVextkey(
            {QStringLiteral("-ld"), QStringLiteral(VEXT_SOURCE_DIR "/examples/Demo.vks")});
        QCOMPARE(load.nExitCode, 0);
        QVERIFY2(load.strErr.isEmpty(), qPrintable(load.strErr));
        QCOMPARE(RecordName(), std::string("Demo"));
        QVERIFY(vextd.Press(1, 0, true));
        QVERIFY(vextd.Press(1, 0, false));
        QVERIFY(vextd.WaitForRecords(4, 5000));
        QCOMPARE(vextd.RecordText(2), std::string("61+ 61-"));

        const Run missing = RunVextkey({QStringLiteral("-ld"), QStringLiteral("missing.vks")});
        QCOMPARE(missing.nExitCode, 1);
        QVERIFY2(missing.strErr.contains("missing.vks: no such file"), qPrintable(missing.strErr));
        QCOMPARE(RecordName(), std::string("Demo"));

        // A download the store refuses (another writer holds it) says so and keeps the record.
        {
            sqlite3* pDb = nullptr;
            QCOMPARE(sqlite3_open(qgetenv("VEXT_REGISTRY").constData(), &pDb), SQLITE_OK);
            QCOMPARE(sqlite3_exec(pDb, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
            PromptScript prompts;
            pConfigure->trigger();
            sqlite3_exec(pDb, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(pDb);
            QCOMPARE(prompts.m_messages.size(), std::size_t(1));
            QVERIFY2(prompts.m_messages[0].strText.contains("keeps the key set it had"),
                     qPrintable(prompts.m_messages[0].strText));
            QCOMPARE(RecordName(), std::string("Demo"));
        }

        // Unload with the list focused: the driver lets go of the key set at once.
        pMain->MDIGetActive()->GetActiveView()->setFocus();
        QTRY_VERIFY(TheAppState().m_bListHasFocus);
        QVERIFY(pMain->ExecuteCommand(ID_UNLOAD_KEYSET));
        QCOMPARE(RecordName(), std::string("(none)"));
        DriverLoadStatus unloaded;
        QVERIFY(QueryDriverLoadStatus(&unloaded));
        QCOMPARE(int(unloaded.state), int(DriverLoadState::kNoKeySet));
        QCOMPARE(vextd.Query(VEXT_IOCTL_QUERY_ENABLED), 0);
        QApplication::focusWidget()->clearFocus();
        QCOMPARE(vextd.Query(VEXT_IOCTL_QUERY_ENABLED), 1);
        QCOMPARE(RunVextkey(
                     {QStringLiteral("-ld"), QStringLiteral(VEXT_SOURCE_DIR "/examples/Demo.vks")})
                     .nExitCode,
                 0);

        QCOMPARE(RunVextkey({QStringLiteral("-ul")}).nExitCode, 0);
        QCOMPARE(RecordName(), std::string("(none)"));
        status = RunVextkey({QStringLiteral("--status")});
        QVERIFY2(status.strOut.contains("key set: none\n"), qPrintable(status.strOut));

        QCOMPARE(vextd.Stop(SIGTERM), 0);
        status = RunVextkey({QStringLiteral("--status")});
        QCOMPARE(status.nExitCode, 3);
        QVERIFY2(status.strOut.startsWith("driver: not running"), qPrintable(status.strOut));

        // Without a driver the pane says how to get one, and Options > Start Driver starts it.
        QTRY_VERIFY(!pMain->KeySetPane()->toolTip().isEmpty());
        const QString strPid = StartDriverThroughStandIn(pMain, vextd.strRecord);
        QVERIFY(!strPid.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(pMain->KeySetPane()->text(), QString("No key set in the driver"),
                                  5000);
        QVERIFY(pMain->KeySetPane()->toolTip().isEmpty());
        ::kill(strPid.toInt(), SIGTERM);
        test::StopApp(pApp);
    }

    void startDriverGivesTheAdviceThatFits_data() {
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("advice");
        QTest::newRow("root") << "vextd: error: refusing to run as root" << 168;
        QTest::newRow("uinput") << "vextd: error: no keyboard output: cannot open /dev/uinput"
                                << 169;
        QTest::newRow("socket") << "vextd: error: cannot listen at /run/user/1/vext/device" << 170;
        QTest::newRow("other") << "vextd: error: something else" << 171;
    }
    void startDriverGivesTheAdviceThatFits() {
        QFETCH(QString, said);
        QFETCH(int, advice);
        auto pApp = test::StartApp();
        const QString strBin = test::TheGuiTestEnv().FilePath(QStringLiteral("failing-bin"));
        QDir().mkpath(strBin);
        QFile script(strBin + QStringLiteral("/vextd"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho '%1' >&2\nexit 1\n").arg(said).toLocal8Bit());
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", strBin.toLocal8Bit() + ':' + oldPath);
        PromptScript prompts;
        pApp->MainFrame()->ExecuteCommand(ID_START_DRIVER);
        QTRY_COMPARE_WITH_TIMEOUT(int(prompts.m_messages.size()), 1, 10000);
        qputenv("PATH", oldPath);
        const QString strText = prompts.m_messages[0].strText;
        QVERIFY2(strText.contains(said) && strText.contains(ResString(advice)),
                 qPrintable(strText));
        for (int nOther = 168; nOther <= 171; ++nOther) {
            QVERIFY(nOther == advice || !strText.contains(ResString(nOther)));
        }
        QVERIFY2(!strText.contains("README"), "an installed user has no README at hand");
        test::StopApp(pApp);
    }

    void messagesKeepPathsOnOneLine() {
        const QString strText = KeepPathsWhole(ResString(169));
        for (int nWidth = 40; nWidth <= 400; nWidth += 7) {
            QTextLayout layout(strText, QApplication::font());
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(nWidth);
                const QString strLine = strText.mid(line.textStart(), line.textLength()).trimmed();
                QVERIFY2(!strLine.endsWith('/') && !strLine.endsWith(QChar(0x2060)),
                         qPrintable(strLine));
            }
            layout.endLayout();
        }
    }

    void withoutInstanceTheModesRunAlone() {
        const Run missing = RunVextkey({QStringLiteral("-ld"), QStringLiteral("missing.vks")});
        QCOMPARE(missing.nExitCode, 1);
        QVERIFY2(missing.strErr.contains("missing.vks: no such file"), qPrintable(missing.strErr));
    }
};

VEXT_GUI_TEST_MAIN(JourneyTest)
#include "JourneyTest.moc"
