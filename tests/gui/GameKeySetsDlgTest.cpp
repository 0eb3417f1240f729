// Options > Game Key Sets: adding, editing, reordering and removing rules, the switch, the
// atomic write of games.conf, the rule editor's checks and Pick Window's choice, and the button
// that turns on GNOME Shell's extension.

#include "gui/dialogs/GameKeySetsDlg.h"

#include "FakeDeviceServer.h"
#include "GuiTestSupport.h"
#include "core/driver/PlayStatus.h"
#include "gui/app/MainFrame.h"
#include "gui/app/VextKeyApp.h"
#include "gui/dialogs/GameRuleDlg.h"
#include "gui/dialogs/GnomeExtensions.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"

#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace vext;

namespace {

// Fills in the rule editor the next Add or Edit opens, and accepts it; what it offered comes
// back through *pOffered.
void AnswerRuleEditor(int nMatch, const QString& strPattern, QString* pOffered = nullptr,
                      const QString& strFile = QString()) {
    QTimer::singleShot(0, [=] {
        auto* pDlg = qobject_cast<CGameRuleDlg*>(QApplication::activeModalWidget());
        QVERIFY(pDlg);
        if (pOffered) {
            *pOffered = pDlg->m_pFile->text();
        }
        if (!strFile.isEmpty()) {
            pDlg->m_pFile->setText(strFile);
        }
        pDlg->m_pMatch->setCurrentIndex(nMatch);
        pDlg->m_pPattern->setText(strPattern);
        pDlg->accept();
    });
}

QString ReadText(const QString& strPath) {
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList Rows(const CGameKeySetsDlg& dlg) {
    QStringList rows;
    for (int i = 0; i < dlg.m_pList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* pItem = dlg.m_pList->topLevelItem(i);
        rows << pItem->text(0) + " " + pItem->text(1) + " " + pItem->text(2);
    }
    return rows;
}

} // namespace

class GameKeySetsDlgTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { test::Drain(); }

    void editsReordersRemovesAndWritesAtomically() {
        QTemporaryDir dir;
        const QString strConfig = dir.filePath("vext/games.conf");
        QDir().mkpath(dir.filePath("vext"));
        test::WriteFile(strConfig, "# my games\n"
                                   "program   racing.exe = /k/Racing.vks\n"
                                   "not a rule\n");
        PromptScript script;
        CGameKeySetsDlg dlg(strConfig, "/k/Open.vks", nullptr);
        QVERIFY(dlg.m_pNote->text().contains("games.conf line 3 is not"));
        QVERIFY2(!dlg.m_pNote->text().contains("%1"), qPrintable(dlg.m_pNote->text()));
        QVERIFY(dlg.m_pSwitch->isChecked());
        QCOMPARE(Rows(dlg), QStringList{"1 Racing.vks program racing.exe"});
        // A rule whose key set is not there is marked, with the reason.
        QVERIFY(!dlg.m_pList->topLevelItem(0)->icon(1).isNull());
        QVERIFY(dlg.m_pList->topLevelItem(0)->toolTip(1).contains(
            "Its key set cannot play: the file does not exist."));

        QString strOffered;
        AnswerRuleEditor(1, "steam_app_244210", &strOffered);
        dlg.m_pAdd->click();
        QCOMPARE(strOffered, QString("/k/Open.vks")); // the open key set is offered
        AnswerRuleEditor(2, "*Puzzle*", nullptr, "/k/Puzzle.vks");
        dlg.m_pAdd->click();
        QCOMPARE(Rows(dlg),
                 (QStringList{"1 Racing.vks program racing.exe",
                              "2 Open.vks class steam_app_244210", "3 Puzzle.vks title *Puzzle*"}));
        QVERIFY(!dlg.m_pDown->isEnabled()); // the new rule, last, is selected

        dlg.m_pUp->click();
        dlg.m_pUp->click();
        QCOMPARE(dlg.CurrentRule(), 0);
        QVERIFY(!dlg.m_pUp->isEnabled());
        AnswerRuleEditor(2, "*Puzzle Deluxe*");
        dlg.m_pEdit->click();
        dlg.m_pList->setCurrentItem(dlg.m_pList->topLevelItem(2));
        dlg.m_pRemove->click();
        QCOMPARE(Rows(dlg), (QStringList{"1 Puzzle.vks title *Puzzle Deluxe*",
                                         "2 Racing.vks program racing.exe"}));
        dlg.m_pSwitch->setChecked(false);

        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(script.m_messages.empty());
        // The comment and the line it could not read stay; the unchanged rule keeps its
        // spelling; nothing else is left in the folder.
        QCOMPARE(ReadText(strConfig), QString("# my games\n"
                                              "switching = off\n"
                                              "title *Puzzle Deluxe* = /k/Puzzle.vks\n"
                                              "not a rule\n"
                                              "program   racing.exe = /k/Racing.vks\n"));
        QCOMPARE(QDir(dir.filePath("vext")).entryList(QDir::Files), QStringList{"games.conf"});
    }

    // games.conf edited by hand while the dialog is open: OK without a change here writes
    // nothing; with one it asks whether to read the file again (keeping both), to overwrite
    // it, or to go back.
    void handEditsMadeMeanwhileAreNotLost_data() {
        QTest::addColumn<bool>("bEditHere");
        QTest::addColumn<int>("nAnswer");
        QTest::addColumn<QString>("expected");
        const QString a = "class a = /k/A.vks\n";
        const QString hand = "class hand = /k/Hand.vks\n";
        const QString added = "class added = /k/Added.vks\n";
        QTest::newRow("no change here") << false << 0 << a + hand;
        QTest::newRow("back to the dialog") << true << int(IDCANCEL) << a + hand;
        QTest::newRow("overwrite") << true << int(IDNO) << a + added;
        QTest::newRow("read again") << true << int(IDYES) << a + hand + added;
    }
    void handEditsMadeMeanwhileAreNotLost() {
        QFETCH(bool, bEditHere);
        QFETCH(int, nAnswer);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString strConfig = dir.filePath("games.conf");
        test::WriteFile(strConfig, "class a = /k/A.vks\n");
        PromptScript script;
        CGameKeySetsDlg dlg(strConfig, QString(), nullptr);
        if (bEditHere) {
            AnswerRuleEditor(1, "added", nullptr, "/k/Added.vks");
            dlg.m_pAdd->click();
        }
        test::WriteFile(strConfig, "class a = /k/A.vks\nclass hand = /k/Hand.vks\n");
        script.AnswerNext(nAnswer);
        dlg.accept();
        QCOMPARE(int(script.m_messages.size()), bEditHere ? 1 : 0);
        if (nAnswer == IDYES) {
            QCOMPARE(dlg.result(), int(QDialog::Rejected)); // still open, to be checked
            QCOMPARE(Rows(dlg).size(), 3);
            dlg.accept();
            QCOMPARE(int(script.m_messages.size()), 1);
        }
        QCOMPARE(dlg.result(), int(nAnswer == IDCANCEL ? QDialog::Rejected : QDialog::Accepted));
        QCOMPARE(ReadText(strConfig), expected);
    }

    void aFailedWriteSaysWhyAndKeepsTheDialogOpen() {
        QTemporaryDir dir;
        test::WriteFile(dir.filePath("blocker"), "a file where the folder should be");
        PromptScript script;
        CGameKeySetsDlg blocked(dir.filePath("blocker/games.conf"), QString(), nullptr);
        blocked.m_pSwitch->setChecked(false);
        blocked.accept();
        QVERIFY(blocked.result() != QDialog::Accepted);
        QCOMPARE(script.m_messages.size(), size_t(1));
        QVERIFY(script.m_messages[0].strText.startsWith("The rules could not be saved."));

        // A games.conf that cannot be read is never overwritten.
        QDir().mkpath(dir.filePath("folder.conf"));
        CGameKeySetsDlg unreadable(dir.filePath("folder.conf"), QString(), nullptr);
        unreadable.accept();
        QVERIFY(unreadable.result() != QDialog::Accepted);
        QCOMPARE(script.m_messages.size(), size_t(2));
        QVERIFY(QFileInfo(dir.filePath("folder.conf")).isDir());
    }

    void ruleEditorChecksItsFieldsAndTakesAPickedWindow() {
        PromptScript script;
        CGameRuleDlg dlg(GameRule{GameMatch::kProgram, "", "/k/A.vks"}, nullptr);
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        dlg.m_pPattern->setText("bad\tname");
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(script.m_messages.size(), size_t(2));
        QVERIFY(script.m_messages[1].strText.contains("control characters"));

        // A Proton game: Wine's loader names no program, so the class is taken.
        FocusedWindow window;
        window.bPresent = true;
        window.strProgram = "wine64-preloader";
        window.classes = {"steam_app_9", "steam_app_9"};
        window.strTitle = "Nine";
        dlg.TakePickedWindow(window);
        QCOMPARE(dlg.Rule(), (GameRule{GameMatch::kClass, "steam_app_9", "/k/A.vks"}));
        dlg.m_pMatch->setCurrentIndex(2);
        QCOMPARE(dlg.m_pPattern->text(), QString("Nine"));

        // A key set file that is not there is said under it, and the rule may still be made.
        QVERIFY(dlg.m_pFileNote->text().startsWith("This file does not exist"));
        dlg.m_pFile->setText(QCoreApplication::applicationFilePath());
        QVERIFY(dlg.m_pFileNote->text().isEmpty());
        dlg.m_pFile->setText("/k/A.vks");
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    // A driver that cannot follow the focus (GNOME on Wayland): the dialog says nothing can
    // switch here and why, before anything else, without calling the (ticked) switch off.
    void saysWhySwitchingIsOffOnThisDesktop() {
        test::FakeDeviceServer driver;
        PlayStatus play;
        play.strKeySet = "Default";
        play.strFocus = "unavailable (GNOME on Wayland: no focus information for other programs)";
        driver.SetPlayStatusText(EncodePlayStatus(play));
        CGameKeySetsDlg dlg(test::TheGuiTestEnv().FilePath("config/vext/games.conf"), QString(),
                            nullptr);
        QVERIFY2(dlg.m_pNote->text().startsWith(
                     "Key sets cannot switch by game on this desktop now: GNOME on Wayland: no "
                     "focus information for other programs. Until they can, the key set "
                     "downloaded"),
                 qPrintable(dlg.m_pNote->text()));
    }

    // On GNOME with the extension off, a button turns it on and says how that went; once the
    // driver follows the Shell, the button is gone.
    void turnsOnTheGnomeExtension_data() {
        QTest::addColumn<QString>("advice");
        QTest::addColumn<bool>("bWorks");
        QTest::addColumn<int>("nMessage");
        const QString strTurnOn =
            "GNOME: turn on the VextKey extension: gnome-extensions enable focus@vextkey";
        QTest::newRow("off") << strTurnOn << true << 2538;
        QTest::newRow("installed since the login")
            << strTurnOn + ", then log out and in (GNOME Shell has not loaded it)" << true << 2539;
        QTest::newRow("gnome-extensions fails") << strTurnOn << false << 2540;
    }
    void turnsOnTheGnomeExtension() {
        QFETCH(QString, advice);
        QFETCH(bool, bWorks);
        QFETCH(int, nMessage);
        struct Extensions : IGnomeExtensions {
            bool Enable(const QString& strUuid, QString* pError) override {
                uuids << strUuid;
                *pError = "no such extension";
                return bWorks;
            }
            QStringList uuids;
            bool bWorks = true;
        } extensions;
        extensions.bWorks = bWorks;
        SetGnomeExtensionsForTest(&extensions);
        test::FakeDeviceServer driver;
        PlayStatus play;
        play.strFocus = ("unavailable (" + advice + ")").toStdString();
        driver.SetPlayStatusText(EncodePlayStatus(play));
        CGameKeySetsDlg dlg(test::TheGuiTestEnv().FilePath("config/vext/games.conf"), QString(),
                            nullptr);
        QVERIFY(dlg.m_pGnome->isVisibleTo(&dlg));
        PromptScript script;
        dlg.m_pGnome->click();
        SetGnomeExtensionsForTest(nullptr);
        QCOMPARE(extensions.uuids, QStringList{"focus@vextkey"});
        QCOMPARE(int(script.m_messages.size()), 1);
        QVERIFY2(script.m_messages[0].strText.startsWith(ResString(nMessage).left(30)),
                 qPrintable(script.m_messages[0].strText));
        QCOMPARE(dlg.m_pGnome->isVisibleTo(&dlg), !bWorks);
        if (bWorks) {
            play.strFocus = "GNOME Shell";
            driver.SetPlayStatusText(EncodePlayStatus(play));
            QTRY_VERIFY(dlg.m_pNote->text().contains("focus: GNOME Shell"));
            QVERIFY(!dlg.m_pGnome->isVisibleTo(&dlg));
        }
    }

    void optionsMenuOpensTheRulesOfTheDefaultFile() {
        auto pApp = test::StartApp();
        QString strNote;
        QTimer::singleShot(0, [&strNote] {
            if (auto* pDlg = qobject_cast<CGameKeySetsDlg*>(QApplication::activeModalWidget())) {
                strNote = pDlg->m_pNote->text();
                pDlg->m_pSwitch->setChecked(false);
                pDlg->accept();
            }
        });
        QVERIFY(pApp->MainFrame()->ExecuteCommand(ID_OPTIONS_GAME_KEYSETS));
        QVERIFY(strNote.contains("No driver answers"));
        QVERIFY(ReadText(test::TheGuiTestEnv().FilePath("config/vext/games.conf"))
                    .contains("\nswitching = off\n"));
        test::StopApp(pApp);
    }
};

VEXT_GUI_TEST_MAIN(GameKeySetsDlgTest)
#include "GameKeySetsDlgTest.moc"
