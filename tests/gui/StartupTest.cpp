// Start-up: one instance per user (a second process hands over and ends), the shell's file
// argument, and a named file that cannot be opened.

#include "GuiTestSupport.h"
#include "core/driver/DriverRecord.h"
#include "core/registry/RegistryStore.h"
#include "gui/app/InstanceGuard.h"
#include "gui/app/MainFrame.h"
#include "gui/app/VextKeyApp.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/Document.h"
#include "gui/framework/Prompts.h"

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

using namespace vext;

class StartupTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        test::GuiTestEnv::ClearSettings();
        AppSettings()->setValue("Tip/StartUp", 1);
    }
    void cleanup() { test::Drain(); }

    void shellFileName_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file");
        QTest::newRow("none") << QStringList{} << "";
        QTest::newRow("plain") << QStringList{"a.vks"} << "a.vks";
        QTest::newRow("other flag first") << QStringList{"/ld", "/x", "a"} << "a";
        QTest::newRow("capital LD is no flag of ours") << QStringList{"/LD", "a"} << "a";
        QTest::newRow("absolute path") << QStringList{"/home/u/Game.vks"} << "/home/u/Game.vks";
        QTest::newRow("first of two") << QStringList{"a", "b"} << "a";
    }
    void shellFileName() {
        QFETCH(QStringList, args);
        QFETCH(QString, file);
        QCOMPARE(CVextKeyApp::ShellFileName(args), file);
    }

    void missingFileEndsStartUpAfterTheMessage() {
        PromptScript script;
        const QString strMissing = test::TheGuiTestEnv().FilePath("none.vks");
        auto pApp = test::StartApp({strMissing});
        QVERIFY(!pApp);
        QCOMPARE(int(script.m_messages.size()), 1);
        QVERIFY(script.m_messages[0].strText.contains(strMissing));
    }

    void secondStartHandsOverAndEnds() {
        auto pApp = test::StartApp();
        QVERIFY(pApp);
        QProcess second;
        second.start(VEXTKEY_EXE, {"other.vks"});
        QVERIFY(second.waitForStarted());
        // The first instance takes the request (the file is missing: it says so).
        PromptScript script;
        QTRY_COMPARE_WITH_TIMEOUT(int(script.m_messages.size()), 1, 10000);
        QVERIFY(script.m_messages[0].strText.contains("other.vks"));
        // The first instance answers from its event loop: wait without blocking it.
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(pApp->MainFrame()->isVisible());
        test::StopApp(pApp);
    }

    void secondStartWithoutFileOnlyRaises() {
        auto pApp = test::StartApp();
        PromptScript script;
        QProcess second;
        second.start(VEXTKEY_EXE, {});
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(script.m_messages.empty());
        QVERIFY(pApp->m_pListTemplate->GetDocuments().empty());
        test::StopApp(pApp);
    }

    void secondStartHandsOverItsActivationToken() {
        // On Wayland a window comes forward only with the token the launcher gave the start.
        qunsetenv("XDG_ACTIVATION_TOKEN");
        auto pApp = test::StartApp();
        for (const QByteArray& token : {QByteArray("bad token\x01"), QByteArray("sway/42_7")}) {
            QProcess second;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_ACTIVATION_TOKEN", QString::fromLatin1(token));
            second.setProcessEnvironment(env);
            second.start(VEXTKEY_EXE, {});
            QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
            QCOMPARE(second.exitCode(), 0);
        }
        QCOMPARE(qgetenv("XDG_ACTIVATION_TOKEN"), QByteArray("sway/42_7"));
        qunsetenv("XDG_ACTIVATION_TOKEN");
        test::StopApp(pApp);
    }

    void secondStartWithUnloadIsCarriedOutByTheRunningInstance() {
        std::string strError;
        const auto writeRecord = [&strError] {
            auto pStore = RegistryStore::Open(RegistryStore::DefaultPath(), strError);
            RegKey key;
            return pStore &&
                   pStore->CreateKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, key) == RegStatus::kOk;
        };
        const auto recordExists = [&strError] {
            auto pStore = RegistryStore::Open(RegistryStore::DefaultPath(), strError);
            RegKey key;
            return pStore &&
                   pStore->OpenKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, key) == RegStatus::kOk;
        };
        QVERIFY2(writeRecord(), strError.c_str());
        auto pApp = test::StartApp();
        QProcess second;
        second.start(VEXTKEY_EXE, {"-ul"});
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(!recordExists(), "the running instance unloaded");
        QVERIFY2(pApp->MainFrame()->isVisible(), "and kept running");
        test::StopApp(pApp);

        // Without a running instance the same command unloads on its own.
        QVERIFY(writeRecord());
        QProcess alone;
        alone.start(VEXTKEY_EXE, {"-ul"});
        QVERIFY(alone.waitForFinished(10000));
        QCOMPARE(alone.exitCode(), 0);
        QVERIFY(!recordExists());
    }

    void requestsReachTheGuard() {
        InstanceGuard guard;
        QVERIFY(guard.Listen());
        QSignalSpy spy(&guard, &InstanceGuard::activationRequested);
        bool bAnswered = false;
        // The client blocks while waiting for the answer, so it runs from a second thread.
        QThread* pThread = QThread::create(
            [&bAnswered] { bAnswered = InstanceGuard::NotifyRunningInstance("/tmp/x y.vks"); });
        pThread->start();
        QTRY_COMPARE(spy.count(), 1);
        QVERIFY(pThread->wait(10000));
        delete pThread;
        QVERIFY(bAnswered);
        QCOMPARE(spy[0][0].toString(), QString("/tmp/x y.vks"));

        // A second guard cannot take the name while the first holds it.
        InstanceGuard other;
        QVERIFY(!other.Listen());
        QVERIFY(guard.IsListening());
    }

    void staleSocketIsTakenOver() {
        {
            // A listener that vanished without cleaning up leaves its socket file behind.
            ::mkdir(QFileInfo(InstanceGuard::ServerName()).path().toLocal8Bit().constData(), 0700);
            QFile stale(InstanceGuard::ServerName());
            QVERIFY(stale.open(QIODevice::WriteOnly));
        }
        InstanceGuard guard;
        QVERIFY(guard.Listen());
        QVERIFY(guard.IsListening());
    }

    void nothingRunningNobodyAnswers() {
        QVERIFY(!InstanceGuard::NotifyRunningInstance(QString()));
    }

    void theSocketsFolderMustBePrivate() {
        const QString strDir = QFileInfo(InstanceGuard::ServerName()).path();
        QVERIFY(InstanceGuard::ServerName().contains(QString::number(::geteuid())));
        {
            InstanceGuard guard;
            QVERIFY(guard.Listen());
            QCOMPARE(QFileInfo(strDir).permissions() & 0x7777,
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                         QFile::WriteUser | QFile::ExeUser);
        }
        // A folder others can enter is neither listened in nor believed, and start-up says why.
        QVERIFY(::chmod(strDir.toLocal8Bit().constData(), 0755) == 0);
        InstanceGuard open;
        QVERIFY(!open.Listen());
        QVERIFY(open.ListenError().contains(strDir));
        QVERIFY(!InstanceGuard::NotifyRunningInstance(QString()));
        {
            PromptScript script;
            auto pApp = test::StartApp();
            QVERIFY(!pApp);
            QCOMPARE(int(script.m_messages.size()), 1);
            QVERIFY(script.m_messages[0].strText.contains("cannot start"));
        }
        QVERIFY(::chmod(strDir.toLocal8Bit().constData(), 0700) == 0);
    }

    void anotherUsersEndIsNotBelieved() {
        InstanceGuard guard;
        QVERIFY(guard.Listen());
        QSignalSpy spy(&guard, &InstanceGuard::activationRequested);
        // As if the listener ran as another user: the client does not hand anything over...
        InstanceGuard::SetTrustedUid(::geteuid() + 1);
        std::optional<InstanceGuard::ModeResult> forwarded;
        bool bNotified = true;
        QThread* pThread = QThread::create([&] {
            bNotified = InstanceGuard::NotifyRunningInstance("/tmp/a.vks");
            forwarded = InstanceGuard::ForwardMode(InstanceGuard::Mode::Unload, QString(), 2000);
        });
        pThread->start();
        QTRY_VERIFY(pThread->isFinished());
        delete pThread;
        QVERIFY(!bNotified);
        QVERIFY2(!forwarded, "the mode is carried out by the caller itself");
        // ...and the listener drops a peer it does not trust before reading a byte.
        QLocalSocket raw;
        raw.connectToServer(InstanceGuard::ServerName());
        QVERIFY(raw.waitForConnected(2000));
        raw.write("RAISE\n");
        QTRY_COMPARE(raw.state(), QLocalSocket::UnconnectedState);
        InstanceGuard::SetTrustedUid(::geteuid());
        QCOMPARE(spy.count(), 0);
    }

    void aFileNameWithALineBreakIsRefused() {
        InstanceGuard guard;
        QVERIFY(guard.Listen());
        QSignalSpy spy(&guard, &InstanceGuard::activationRequested);
        QVERIFY(!InstanceGuard::NotifyRunningInstance("/tmp/a.vks\n/tmp/b.vks"));
        const auto result = InstanceGuard::ForwardMode(InstanceGuard::Mode::Load, "/tmp/a\rb");
        QVERIFY(result && result->nExitCode == 1);
        QVERIFY(result->strError.contains("line break"));
        test::Drain();
        QCOMPARE(spy.count(), 0);
    }
};

VEXT_GUI_TEST_MAIN(StartupTest)
#include "StartupTest.moc"
