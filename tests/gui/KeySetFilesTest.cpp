// Opening and saving key sets through the windows: the template's checks (messages 119 and 120),
// files of no key set, save and reopen with the pad windows, and a damaged file.

#include "GuiTestSupport.h"
#include "core/model/ButtonId.h"
#include "core/model/KeySetFile.h"
#include "gui/app/MainFrame.h"
#include "gui/app/VextKeyApp.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/Prompts.h"
#include "gui/views/FunctionListCtrl.h"
#include "gui/views/KeySetDocument.h"
#include "gui/views/VextKeyView.h"

#include <QFile>
#include <QTimer>
#include <QtTest>

using namespace vext;

namespace {

KeySetDocument* OnlyKeySet(CVextKeyApp& app) {
    const auto docs = app.m_pListTemplate->GetDocuments();
    return docs.size() == 1 ? dynamic_cast<KeySetDocument*>(docs.front()) : nullptr;
}

QString Path(const char* pszName) {
    return test::TheGuiTestEnv().FilePath(pszName);
}

} // namespace

class KeySetFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::GuiTestEnv::ClearSettings(); }
    void cleanup() { test::Drain(); }

    void missingFileIsRefusedWith120() {
        auto pApp = test::StartApp();
        PromptScript script;
        const QString strPath = Path("missing.vks");
        QVERIFY(!pApp->OpenDocumentFile(strPath));
        QCOMPARE(int(script.m_messages.size()), 1);
        QCOMPARE(script.m_messages[0].strText,
                 QString("Cannot open the key set %1: the file does not exist.").arg(strPath));
        QVERIFY(script.m_messages[0].icon == MsgIcon::Stop);
        QVERIFY(pApp->m_pListTemplate->GetDocuments().empty());
        test::StopApp(pApp);
    }

    void filesOfNoKeySetOrAnotherVersionAreRefused_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message"); // %1: the path
        const QString other("This key set was saved by a different version of VextKey and cannot "
                            "be opened.");
        QTest::newRow("older version")
            << QByteArray("[File_Information]\nfile_version=VextKey Key Set File Version 1.0\n")
            << other;
        QTest::newRow("other case")
            << QByteArray("[File_Information]\nfile_version=vextkey key set file version 2.0\n")
            << other;
        const QString notKeySet("The key set could not be opened.\n%1 is not a VextKey key set.");
        QTest::newRow("no version") << QByteArray("[File_Information]\nnum_pads=4\n") << notKeySet;
        QTest::newRow("not a key set") << QByteArray("aGVsbG8gd29ybGQ=\n") << notKeySet;
        QTest::newRow("empty") << QByteArray()
                               << QString("The key set could not be opened.\n%1 is empty (0 "
                                          "bytes): it holds no key set.");
    }
    void filesOfNoKeySetOrAnotherVersionAreRefused() {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        auto pApp = test::StartApp();
        const QString strPath = test::WriteFile(Path("other.vks"), text);
        PromptScript script;
        QVERIFY(!pApp->OpenDocumentFile(strPath));
        QCOMPARE(int(script.m_messages.size()), 1);
        QCOMPARE(script.m_messages[0].strText,
                 message.contains("%1") ? message.arg(strPath) : message);
        QVERIFY(pApp->m_pListTemplate->GetDocuments().empty());
        QVERIFY(pApp->MainFrame()->ChildFrames().empty());
        test::StopApp(pApp);
    }

    void saveAndReopen() {
        const QString strPath = Path("Racing.vks");
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->ExecuteCommand(ID_FILE_NEW);
        KeySetDocument* pDoc = OnlyKeySet(*pApp);
        auto pJump = std::make_unique<CKeyFunction>();
        pJump->m_strDescription = "Jump";
        pJump->m_strPress = "{Space}";
        const int nJump = pDoc->Doc().AddFunction(std::move(pJump))->m_nCookie;
        auto pGears = std::make_unique<CKeyFunction>();
        pGears->m_strDescription = "Gears";
        pGears->m_nMode = CKeyFunction::kModeStep;
        pGears->m_bLoop = 1;
        pGears->m_steps = {"1", "2", "3"};
        pDoc->Doc().AddFunction(std::move(pGears));
        const uint32_t nButton = MakeButtonId(1, 0, 1, kInputButton);
        QVERIFY(pDoc->Doc().MapButton(nJump, nButton));
        pDoc->TogglePadView(2);
        QVERIFY(pDoc->IsModified());

        PromptScript script;
        script.FileNameNext(strPath);
        pDoc->FunctionListView()->GetParentFrame()->setFocus();
        QVERIFY(pDoc->DoSave(QString()));
        QVERIFY(script.m_messages.empty());
        QCOMPARE(script.m_fileDialogTitles, QStringList{"Save As"});
        QVERIFY(!pDoc->IsModified());
        QCOMPARE(pDoc->GetTitle(), QString("Racing"));
        QVERIFY2(pMain->isEnabled(), "the progress window gave the main window back");
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("[Window_Information]"));
        QVERIFY(text.contains(QByteArray("file_version=") + QByteArray(kKeySetFileVersion.data())));

        pDoc->OnCloseDocument();
        test::Drain();
        QVERIFY(pApp->m_pListTemplate->GetDocuments().empty());

        QVERIFY(pApp->OpenDocumentFile(strPath));
        pDoc = OnlyKeySet(*pApp);
        QVERIFY(pDoc);
        QVERIFY(!pDoc->IsModified());
        QCOMPARE(int(pDoc->Doc().m_functions.size()), 3); // Gears brings its companion
        QCOMPARE(pDoc->Doc().m_functions[0]->m_strDescription, std::string("Jump"));
        QCOMPARE(pDoc->Doc().m_functions[1]->m_steps, (std::vector<std::string>{"1", "2", "3"}));
        QVERIFY(pDoc->Doc().FindMappedFunction(1, 0, 1, kInputButton));
        QVERIFY2(pDoc->IsPadViewOpen(2), "pad windows open again as they were saved");
        QVERIFY(!pDoc->IsPadViewOpen(1));
        QVERIFY(pMain->isEnabled());

        // A file that cannot be replaced: Save says why before it asks for another name.
        QVERIFY(QFile::setPermissions(strPath, QFileDevice::ReadOwner));
        pDoc->SetModifiedFlag();
        script.FileNameNext(QString());
        QVERIFY(!pDoc->DoFileSave());
        QCOMPARE(int(script.m_messages.size()), 1);
        QCOMPARE(script.m_messages[0].strText,
                 QString("Racing.vks cannot be saved where it is: the file is read-only.\nChoose "
                         "another name or folder for it."));
        QCOMPARE(script.m_fileDialogTitles, (QStringList{"Save As", "Save As"}));
        test::StopApp(pApp);
    }

    void theActiveKeySetKeepsTheFocusThroughASave_data() {
        QTest::addColumn<bool>("viewer");
        QTest::newRow("two key sets") << false;
        QTest::newRow("and the Keystroke Viewer") << true;
    }
    void theActiveKeySetKeepsTheFocusThroughASave() {
        QFETCH(bool, viewer);
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->ExecuteCommand(ID_FILE_NEW);
        if (viewer) {
            pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER);
        }
        pMain->ExecuteCommand(ID_FILE_NEW);
        auto* pSecond = dynamic_cast<KeySetDocument*>(pApp->m_pListTemplate->GetDocuments().at(1));
        QWidget* pList = pSecond->FunctionListView()->ListCtrl();
        pMain->activateWindow();
        pList->setFocus();
        QTRY_VERIFY(pList->hasFocus());
        CMDIChildWnd* pFrame = pMain->MDIGetActive();
        pSecond->SetModifiedFlag();

        // The progress window disables the main window meanwhile, which takes the focus away.
        PromptScript script;
        script.FileNameNext(Path("Second.vks"));
        QVERIFY(pSecond->DoFileSave());
        QTRY_VERIFY(pList->hasFocus());
        QCOMPARE(pMain->MDIGetActive(), pFrame);
        QTRY_COMPARE(pMain->windowTitle(), QString("VextKey - Second"));
        test::StopApp(pApp);
    }

    void openingAnOpenFileActivatesIt() {
        auto pApp = test::StartApp();
        const QString strPath =
            test::WriteFile(Path("Twice.vks"), "[File_Information]\nfile_version=" +
                                                   QByteArray(kKeySetFileVersion.data()));
        CDocument* pFirst = pApp->OpenDocumentFile(strPath);
        QVERIFY(pFirst);
        QCOMPARE(pApp->OpenDocumentFile(strPath), pFirst);
        QCOMPARE(int(pApp->m_pListTemplate->GetDocuments().size()), 1);
        test::StopApp(pApp);
    }

    void closeAndHandOverWaitForTheLoad() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        pMain->show();
        const QByteArray keySet = QByteArray("[File_Information]\nfile_version=") +
                                  QByteArray(kKeySetFileVersion.data()) +
                                  "\nnum_functions=1\nnum_pads=4\n[Func_0000]\nDescription=Jump\n";
        const QString strPath = test::WriteFile(Path("Loading.vks"), keySet);
        const QString strOther = test::WriteFile(Path("Other.vks"), keySet);
        // Both arrive while the progress window dispatches events during the load.
        QTimer::singleShot(0, pMain, [&] {
            pApp->OnHandOver(strOther);
            pMain->close();
        });
        auto* pDoc = dynamic_cast<KeySetDocument*>(pApp->OpenDocumentFile(strPath));
        QVERIFY(pDoc);
        QCOMPARE(int(pApp->m_pListTemplate->GetDocuments().size()), 1);
        QCOMPARE(pDoc->Doc().m_functions.at(0)->m_strDescription, std::string("Jump"));
        QVERIFY(pMain->isVisible());
        // Then the handed-over file opens, and the program closes.
        QTRY_VERIFY(!pMain->isVisible());
        QVERIFY(pApp->GetRecentFileList()->Files().contains(strOther));
        QVERIFY(pApp->m_pListTemplate->GetDocuments().empty());
        test::StopApp(pApp);
    }

    void damagedFileSaysWhy() {
        auto pApp = test::StartApp();
        const QString strPath =
            test::WriteFile(Path("damaged.vks"), QByteArray("[File_Information]\nfile_version=") +
                                                     QByteArray(kKeySetFileVersion.data()) +
                                                     "\nnum_functions=100000000\nnum_pads=4\n");
        PromptScript script;
        QVERIFY(!pApp->OpenDocumentFile(strPath));
        QCOMPARE(int(script.m_messages.size()), 1);
        QVERIFY2(script.m_messages[0].strText.startsWith("The key set could not be opened."),
                 qPrintable(script.m_messages[0].strText));
        QVERIFY(pApp->m_pListTemplate->GetDocuments().empty());
        QVERIFY(pApp->MainFrame()->isEnabled());
        test::StopApp(pApp);
    }
};

VEXT_GUI_TEST_MAIN(KeySetFilesTest)
#include "KeySetFilesTest.moc"
