// The desktop services: File Send through xdg-email (behind the command-runner seam), Help
// opening the manual, where the data files are found, and files handed over from a file manager.

#include "GuiTestSupport.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Manual.h"
#include "gui/app/VextKeyApp.h"
#include "gui/dialogs/FuncDescPage.h"
#include "gui/dialogs/FuncStepPage.h"
#include "gui/dialogs/FuncStroke.h"
#include "gui/dialogs/StepListBox.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/CommandRunner.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/Document.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/View.h"
#include "gui/framework/WinApp.h"
#include "gui/keys/KeyCaptureEdit.h"
#include "gui/views/FunctionListCtrl.h"
#include "gui/views/KeySetDocument.h"
#include "gui/views/PadButton.h"
#include "gui/views/VextKeyView.h"
#include "gui/views/VextPadView.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QWhatsThis>
#include <QtTest>

using namespace vext;

namespace {

// Records what would be started; answers with the exit code the test chose.
class FakeRunner : public CommandRunner {
public:
    FakeRunner() : m_pPrevious(SetCommandRunner(this)) {}
    ~FakeRunner() override { SetCommandRunner(m_pPrevious); }

    QString FindProgram(const QString& strProgram) const override {
        const bool bThere = strProgram == QLatin1String("xdg-email")  ? m_bMailer
                            : strProgram == QLatin1String("xdg-open") ? m_bOpener
                                                                      : false;
        return bThere ? QStringLiteral("/usr/bin/") + strProgram : QString();
    }
    void Start(const QString& strProgram, const QStringList& args, Finished fnFinished) override {
        m_started.append(QStringList{strProgram} + args);
        fnFinished(m_nExitCode, m_strError);
    }

    bool m_bMailer = true;
    bool m_bOpener = true;
    int m_nExitCode = 0;
    QString m_strError;
    QList<QStringList> m_started;

private:
    CommandRunner* m_pPrevious;
};

QByteArray ReadAll(const QString& strPath) {
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

CDocument* OnlyDocument(CVextKeyApp& app) {
    const std::vector<CDocument*> docs = app.m_pListTemplate->GetDocuments();
    return docs.size() == 1 ? docs.front() : nullptr;
}

bool SendEnabled(CVextKeyApp& app) {
    app.MainFrame()->UpdateCommand(ID_FILE_SEND_MAIL);
    return app.MainFrame()->CommandAction(ID_FILE_SEND_MAIL)->isEnabled();
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::GuiTestEnv::ClearSettings(); }
    void cleanup() { test::Drain(); }

    void sendNeedsAFileAndTheMailer() {
        FakeRunner runner;
        auto pApp = test::StartApp();
        pApp->OnFileNew();
        CDocument* pDoc = OnlyDocument(*pApp);
        QVERIFY(pDoc);
        QVERIFY2(!SendEnabled(*pApp), "a key set without a file cannot be attached");
        QVERIFY(pDoc->DoSave(test::TheGuiTestEnv().FilePath("Sent.vks")));
        QVERIFY(SendEnabled(*pApp));
        runner.m_bMailer = false;
        ForgetFoundPrograms(); // as when the window comes forward again
        QVERIFY2(!SendEnabled(*pApp), "no xdg-email, no Send");
        test::StopApp(pApp);
    }

    void sendAttachesTheSavedFile_data() {
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("modifiedAfter");
        QTest::newRow("saved") << false << 0 << true << false;
        QTest::newRow("changed, save first") << true << int(IDYES) << true << false;
        QTest::newRow("changed, send the saved file") << true << int(IDNO) << true << true;
        QTest::newRow("changed, cancel") << true << int(IDCANCEL) << false << true;
    }
    void sendAttachesTheSavedFile() {
        QFETCH(bool, modified);
        QFETCH(int, answer);
        QFETCH(bool, started);
        QFETCH(bool, modifiedAfter);
        FakeRunner runner;
        auto pApp = test::StartApp();
        pApp->OnFileNew();
        CDocument* pDoc = OnlyDocument(*pApp);
        const QString strPath = test::TheGuiTestEnv().FilePath("Racing.vks");
        QVERIFY(pDoc->DoSave(strPath));
        pDoc->SetModifiedFlag(modified);

        PromptScript script;
        if (answer != 0) {
            script.AnswerNext(answer);
        }
        QVERIFY(pApp->MainFrame()->ExecuteCommand(ID_FILE_SEND_MAIL));
        QCOMPARE(int(script.m_messages.size()), modified ? 1 : 0);
        if (modified) {
            QVERIFY(script.m_messages[0].strText.contains("Racing.vks"));
        }
        // Only saving clears the flag: Yes saved before sending.
        QCOMPARE(pDoc->IsModified(), modifiedAfter);
        if (!started) {
            QVERIFY(runner.m_started.isEmpty());
        } else {
            QCOMPARE(runner.m_started.size(), 1);
            const QStringList& args = runner.m_started[0];
            QCOMPARE(args.mid(0, 4), (QStringList{"/usr/bin/xdg-email", "--subject",
                                                  "VextKey key set Racing", "--attach"}));
            QCOMPARE(QFileInfo(args[4]).fileName(), QString("Racing.vks"));
            QCOMPARE(ReadAll(args[4]), ReadAll(strPath));
        }
        test::StopApp(pApp);
    }

    void sendKeepsTheNameOutOfTheMailersCommandLine() {
        // xdg-email decodes \xNN in what it is given: this name would attach another file.
        const QString strName = "Game\\x27,attachment=\\x27\\x2Fetc\\x2Fpasswd\\x27 \"$(x)\".vks";
        FakeRunner runner;
        auto pApp = test::StartApp();
        pApp->OnFileNew();
        CDocument* pDoc = OnlyDocument(*pApp);
        const QString strPath = test::TheGuiTestEnv().FilePath(strName);
        QVERIFY(pDoc->DoSave(strPath));
        pDoc->SetTitle("Game\\x27\n\"Title\"");
        QVERIFY(pApp->MainFrame()->ExecuteCommand(ID_FILE_SEND_MAIL));
        QCOMPARE(runner.m_started.size(), 1);
        const QStringList& args = runner.m_started[0];
        QCOMPARE(args[2], QString("VextKey key set Gamex27 Title"));
        const QFileInfo copy(args[4]);
        QCOMPARE(copy.fileName(),
                 QString("Game_x27_attachment__x27_x2Fetc_x2Fpasswd_x27 ___x__.vks"));
        QCOMPARE(ReadAll(args[4]), ReadAll(strPath));
        QCOMPARE(QFileInfo(copy.path()).permissions() &
                     (QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup),
                 QFile::Permissions());
        test::StopApp(pApp);
    }

    void toolsAreNotTakenFromRelativePathEntries() {
        QTemporaryDir dir;
        const QString strTool = dir.filePath("vext-probe-tool");
        QFile tool(strTool);
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        tool.close();
        const QByteArray oldPath = qgetenv("PATH");
        const QString strOldDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        for (const QByteArray& path : {QByteArray(".:/nonexistent"), QByteArray(":/nonexistent"),
                                       QByteArray("/nonexistent:./")}) {
            qputenv("PATH", path);
            QCOMPARE(FindExecutableOnPath("vext-probe-tool"), QString());
        }
        qputenv("PATH", "/nonexistent:" + dir.path().toLocal8Bit());
        QCOMPARE(FindExecutableOnPath("vext-probe-tool"), strTool);
        QDir::setCurrent(strOldDir);
        qputenv("PATH", oldPath);
    }

    void aFailedMailerIsReported_data() {
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no mail program") << 3 << "w3m: not found\nxdg-email: no method"
                                         << "No mail program is set up";
        QTest::newRow("its last word") << 4 << "grep: noise\nxdg-email: failed\n"
                                       << "\nxdg-email: failed";
        QTest::newRow("silent") << 1 << ""
                                << "xdg-email ended with status 1.";
    }
    void aFailedMailerIsReported() {
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        QFETCH(QString, shown);
        FakeRunner runner;
        runner.m_nExitCode = exitCode;
        runner.m_strError = error;
        auto pApp = test::StartApp();
        pApp->OnFileNew();
        QVERIFY(OnlyDocument(*pApp)->DoSave(test::TheGuiTestEnv().FilePath("Fails.vks")));
        PromptScript script;
        pApp->MainFrame()->ExecuteCommand(ID_FILE_SEND_MAIL);
        QCOMPARE(int(script.m_messages.size()), 1);
        QVERIFY(script.m_messages[0].strText.contains(shown));
        QVERIFY2(!script.m_messages[0].strText.contains("noise"), "only the line that says why");
        test::StopApp(pApp);
    }

    void helpOpensTheManualPageOfTheWindowInFront() {
        QTemporaryDir manual;
        for (const char* pszPage : {"index.html", "functions.html", "pads.html"}) {
            test::WriteFile(manual.filePath(pszPage), "<html></html>");
        }
        FakeRunner browser;
        auto pApp = test::StartApp();
        pApp->m_strManualDir = manual.path();
        CMainFrame* pMain = pApp->MainFrame();
        const auto opened = [&browser] {
            return browser.m_started.isEmpty() ? QString() : browser.m_started.takeLast().join(' ');
        };
        const QString strBase =
            "/usr/bin/xdg-open " + QUrl::fromLocalFile(manual.path()).toString();

        QVERIFY(pMain->ExecuteCommand(ID_HELP));
        QCOMPARE(opened(), strBase + "/index.html");
        pApp->OnFileNew();
        QVERIFY(pMain->ExecuteCommand(ID_HELP));
        QCOMPARE(opened(), strBase + "/functions.html");
        QVERIFY(pMain->ExecuteCommand(ID_HELP_FINDER));
        QCOMPARE(opened(), strBase + "/index.html");
        pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER);
        QVERIFY(pMain->ExecuteCommand(ID_HELP));
        QCOMPARE(opened(), strBase + "/index.html"); // its page is missing here: the contents

        // Without a browser Help says so, and where the page is, instead of nothing.
        PromptScript script;
        browser.m_nExitCode = 3; // xdg-open found no program
        pMain->ExecuteCommand(ID_HELP_FINDER);
        browser.m_bOpener = false;
        pMain->ExecuteCommand(ID_HELP_FINDER);
        QCOMPARE(int(script.m_messages.size()), 2);
        for (const auto& message : script.m_messages) {
            QVERIFY2(message.strText.contains("program to show web pages") &&
                         message.strText.contains(manual.filePath("index.html")),
                     qPrintable(message.strText));
        }

        pApp->m_strManualDir = manual.filePath("nowhere");
        pMain->ExecuteCommand(ID_HELP_FINDER);
        QCOMPARE(int(script.m_messages.size()), 3);
        QVERIFY(script.m_messages[2].strText.contains(InstalledManualDir()));
        test::StopApp(pApp);
    }

    // Shift+F1, then a click: the main controls, and the windows around the others, explain
    // themselves instead of swallowing the click.
    void whatsThisExplainsTheMainControls() {
        auto pApp = test::StartApp();
        pApp->OnFileNew();
        auto* pDoc = dynamic_cast<KeySetDocument*>(OnlyDocument(*pApp));
        pDoc->Doc().TogglePadView(1);
        CVextPadView* pPad = pDoc->PadView(1);
        pApp->MainFrame()->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER);
        // The sheet's pages, as the sheet shows them.
        CFuncDescPage desc;
        CFuncStroke strokes;
        CFuncStepPage steps;
        const QList<QWidget*> controls{pDoc->FunctionListView()->ListCtrl()->viewport(),
                                       pPad,
                                       pPad->Buttons().front(),
                                       pApp->ViewerFrame()->GetActiveView()->focusProxy(),
                                       pApp->MainFrame()->KeySetPane(),
                                       pApp->MainFrame()->MdiArea()->viewport(),
                                       desc.m_pEditDescription,
                                       desc.m_pCheckLoop,
                                       strokes.m_editPress->viewport(),
                                       steps.m_listSteps->viewport()};
        for (QWidget* pControl : controls) {
            QHelpEvent help(QEvent::WhatsThis, QPoint(1, 1), pControl->mapToGlobal(QPoint(1, 1)));
            QApplication::sendEvent(pControl, &help);
            QVERIFY2(help.isAccepted(), pControl->metaObject()->className());
            QWhatsThis::hideText();
        }
        test::StopApp(pApp);
    }

    void dataFilesAreFoundInTheBuildTreeAndInstalled() {
        QTemporaryDir root;
        const QDir dir(root.path());
        dir.mkpath("build/manual");
        dir.mkpath("usr/share/vextkey/manual");
        test::WriteFile(dir.filePath("build/manual/index.html"), "x");
        test::WriteFile(dir.filePath("usr/share/vextkey/manual/index.html"), "x");
        dir.mkpath("usr/bin");
        dir.mkpath("elsewhere");
        QCOMPARE(FindDataFile(dir.filePath("build"), "manual/index.html"),
                 dir.filePath("build/manual/index.html"));
        QCOMPARE(FindDataFile(dir.filePath("usr/bin"), "manual/index.html"),
                 dir.filePath("usr/share/vextkey/manual/index.html"));
        QCOMPARE(FindDataFile(dir.filePath("elsewhere"), "no-such-file.txt"), QString());
    }

    void severalRelativeFilesReachTheRunningWindow() {
        auto pApp = test::StartApp();
        QTemporaryDir folder;
        for (const char* pszName : {"one.vks", "two.vks"}) {
            pApp->OnFileNew();
            CDocument* pDoc = pApp->m_pListTemplate->GetDocuments().back();
            QVERIFY(pDoc->DoSave(folder.filePath(pszName)));
        }
        pApp->CloseAllDocuments();
        QVERIFY(pApp->m_pListTemplate->GetDocuments().empty());

        QProcess second;
        second.setWorkingDirectory(folder.path());
        second.start(VEXTKEY_EXE, {"one.vks", "two.vks"});
        QTRY_COMPARE_WITH_TIMEOUT(int(pApp->m_pListTemplate->GetDocuments().size()), 2, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 10000);
        QCOMPARE(second.exitCode(), 0);
        QStringList paths;
        for (CDocument* pDoc : pApp->m_pListTemplate->GetDocuments()) {
            paths.append(pDoc->GetPathName());
        }
        paths.sort();
        QCOMPARE(paths, (QStringList{folder.filePath("one.vks"), folder.filePath("two.vks")}));
        test::StopApp(pApp);
    }
};

VEXT_GUI_TEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
