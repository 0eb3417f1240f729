// Tip of the Day: which line is a tip, where the next showing goes on, and what is saved.

#include "gui/app/TipDialog.h"

#include "GuiTestSupport.h"
#include "gui/app/MainFrame.h"
#include "gui/app/VextKeyApp.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/WinApp.h"

#include <sys/time.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>

using namespace vext;

namespace {

const QByteArray kTips = "; a comment\n"
                         "First tip\n"
                         "\n"
                         " indented line\n"
                         "\tanother indented line\n"
                         "Second tip\n"
                         ";Another comment\n"
                         "Third tip\n";

QString TipsFile(const QByteArray& bytes) {
    return test::WriteFile(test::TheGuiTestEnv().FilePath("tips.txt"), bytes);
}

// Gives the file another modification time, as an edit would.
void Touch(const QString& strPath, long nSeconds) {
    struct timeval times[2] = {{nSeconds, 0}, {nSeconds, 0}};
    QVERIFY(utimes(QFile::encodeName(strPath).constData(), times) == 0);
}

QString Shown(const CTipDialog& dlg) {
    return dlg.TipText().trimmed();
}

} // namespace

class TipDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::GuiTestEnv::ClearSettings(); }

    void skipsCommentsBlankAndIndentedLinesAndWraps() {
        const QString strPath = TipsFile(kTips);
        CTipDialog dlg(strPath);
        QCOMPARE(Shown(dlg), QString("First tip"));
        QCOMPARE(dlg.TipText(), QString("First tip\n"));
        dlg.OnNextTip();
        QCOMPARE(Shown(dlg), QString("Second tip"));
        dlg.OnNextTip();
        QCOMPARE(Shown(dlg), QString("Third tip"));
        dlg.OnNextTip();
        QCOMPARE(Shown(dlg), QString("First tip"));
    }

    void nextShowingContinuesAfterTheLastTip() {
        const QString strPath = TipsFile(kTips);
        {
            CTipDialog dlg(strPath);
            dlg.OnNextTip();
            QCOMPARE(Shown(dlg), QString("Second tip"));
        }
        const qlonglong nPos = AppSettings()->value("Tip/FilePos").toLongLong();
        QCOMPARE(nPos, qlonglong(kTips.indexOf("Second tip") + QByteArray("Second tip\n").size()));
        CTipDialog again(strPath);
        QCOMPARE(Shown(again), QString("Third tip"));
    }

    void changedFileStartsOver() {
        const QString strPath = TipsFile(kTips);
        Touch(strPath, 1000000000);
        {
            CTipDialog dlg(strPath);
            dlg.OnNextTip();
        }
        QCOMPARE(AppSettings()->value("Tip/TimeStamp").toString(),
                 CTipDialog::TimeStampText(strPath));
        Touch(strPath, 1100000000);
        CTipDialog dlg(strPath);
        QCOMPARE(Shown(dlg), QString("First tip"));
        QCOMPARE(AppSettings()->value("Tip/TimeStamp").toString(),
                 CTipDialog::TimeStampText(strPath));
    }

    void timeStampLooksLikeTheRuntimeLibrarys() {
        const QString strPath = TipsFile(kTips);
        Touch(strPath, 1000000000);
        const QString strStamp = CTipDialog::TimeStampText(strPath);
        QVERIFY2(QRegularExpression("^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] "
                                    "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}$")
                     .match(strStamp)
                     .hasMatch(),
                 qPrintable(strStamp));
        QVERIFY(strStamp.endsWith("2001"));
    }

    void positionPastTheEndShowsTheFirstTip() {
        const QString strPath = TipsFile(kTips);
        {
            CTipDialog dlg(strPath); // records the time stamp
        }
        AppSettings()->setValue("Tip/FilePos", 100000);
        CTipDialog dlg(strPath);
        QCOMPARE(Shown(dlg), QString("First tip"));
    }

    void negativePositionReportsTheFile() {
        const QString strPath = TipsFile(kTips);
        { CTipDialog dlg(strPath); }
        AppSettings()->setValue("Tip/FilePos", -5);
        PromptScript script;
        CTipDialog dlg(strPath);
        QCOMPARE(int(script.m_messages.size()), 1);
        QCOMPARE(script.m_messages[0].strText, QString("The file tips.txt could not be read."));
        QCOMPARE(dlg.TipText(), QString());
    }

    void fileWithoutTipsEndsWithAnEmptyTip_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("only comments") << QByteArray("; one\n;two\n\n  three\n");
    }
    void fileWithoutTipsEndsWithAnEmptyTip() {
        QFETCH(QByteArray, bytes);
        CTipDialog dlg(TipsFile(bytes));
        QCOMPARE(dlg.TipText(), QString());
        dlg.OnNextTip();
        QCOMPARE(dlg.TipText(), QString());
    }

    void longLinesAreReadInPieces() {
        QByteArray bytes = QByteArray(999, 'a') + QByteArray(5, 'b') + "\n";
        CTipDialog dlg(TipsFile(bytes));
        QCOMPARE(dlg.TipText(), QString(QByteArray(999, 'a')));
        dlg.OnNextTip();
        QCOMPARE(dlg.TipText(), QString("bbbbb\n"));
    }

    void missingFileShowsTheMessageAndDisablesNext() {
        CTipDialog* pDlg = new CTipDialog(test::TheGuiTestEnv().FilePath("no-tips.txt"));
        QCOMPARE(pDlg->TipText(),
                 QString("No tips today: the file tips.txt was not found next to VextKey."));
        QVERIFY(!pDlg->m_pNext->isEnabled());
        delete pDlg;
        QVERIFY2(!AppSettings()->contains("Tip/FilePos"), "nothing to remember");
    }

    void closeStoresTheCheckBoxEscapeDoesNot() {
        const QString strPath = TipsFile(kTips);
        {
            CTipDialog dlg(strPath);
            QVERIFY(dlg.m_pStartup->isChecked());
            dlg.m_pStartup->setChecked(false);
            QTest::keyClick(&dlg, Qt::Key_Escape);
        }
        QVERIFY(!AppSettings()->contains("Tip/StartUp"));
        {
            CTipDialog dlg(strPath);
            dlg.m_pStartup->setChecked(false);
            dlg.m_pClose->click();
        }
        QCOMPARE(AppSettings()->value("Tip/StartUp").toInt(), 1);
        {
            CTipDialog dlg(strPath);
            QVERIFY(!dlg.ShowAtStartup());
            QVERIFY(!dlg.m_pStartup->isChecked());
            dlg.m_pStartup->setChecked(true);
            dlg.m_pClose->click();
        }
        QCOMPARE(AppSettings()->value("Tip/StartUp").toInt(), 0);
    }

    void firstStartShowsTheFirstTip() {
        const QString strPath = TipsFile(kTips);
        auto pApp = std::make_unique<CVextKeyApp>();
        pApp->m_strTipsPath = strPath;
        QString strShown;
        QTimer::singleShot(0, [&strShown] {
            if (auto* pDlg = qobject_cast<CTipDialog*>(QApplication::activeModalWidget())) {
                strShown = pDlg->TipText().trimmed();
                pDlg->m_pStartup->setChecked(false);
                pDlg->m_pClose->click();
            }
        });
        QVERIFY(pApp->InitInstance({}));
        QCOMPARE(strShown, QString("First tip"));
        QCOMPARE(AppSettings()->value("Tip/TimeStamp").toString(),
                 CTipDialog::TimeStampText(strPath));
        test::StopApp(pApp);

        // Turned off: the next start shows nothing (a shown dialog would block this test).
        pApp = std::make_unique<CVextKeyApp>();
        pApp->m_strTipsPath = strPath;
        QVERIFY(pApp->InitInstance({}));
        test::StopApp(pApp);
    }

    void tipCommandGoesIntoTheHelpMenuOnce() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        for (int i = 0; i < 2; ++i) {
            pMain->InsertTipCommand(pMain->menuBar());
        }
        QMenu* pHelp = nullptr;
        for (QAction* pAction : pMain->menuBar()->actions()) {
            if (pAction->text() == "&Help") {
                pHelp = pAction->menu();
            }
        }
        QVERIFY(pHelp);
        const QList<QAction*> items = pHelp->actions();
        QCOMPARE(items[0]->text(), QString("&Tip of the Day..."));
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2]->text(), QString("&Help Topics\tF1"));
        int nTips = 0;
        for (QAction* pAction : items) {
            nTips += pAction->text() == "&Tip of the Day..." ? 1 : 0;
        }
        QCOMPARE(nTips, 1);
        test::StopApp(pApp);
    }

    void barWithoutHelpGetsItsOwnPopup() {
        auto pApp = test::StartApp();
        CMainFrame* pMain = pApp->MainFrame();
        QMenuBar bar;
        bar.addMenu("&File");
        pMain->InsertTipCommand(&bar);
        pMain->InsertTipCommand(&bar);
        QCOMPARE(bar.actions().size(), 2);
        QAction* pLast = bar.actions().last();
        QCOMPARE(pLast->text(), QString("&Help"));
        QCOMPARE(pLast->menu()->actions().size(), 1);
        QCOMPARE(pLast->menu()->actions()[0]->text(), QString("&Tip of the Day..."));
        test::StopApp(pApp);
    }

    void tipCommandShowsTheDialog() {
        const QString strPath = TipsFile(kTips);
        auto pApp = test::StartApp();
        pApp->m_strTipsPath = strPath;
        QString strShown;
        QTimer::singleShot(0, [&strShown] {
            if (auto* pDlg = qobject_cast<CTipDialog*>(QApplication::activeModalWidget())) {
                strShown = pDlg->TipText().trimmed();
                pDlg->reject();
            }
        });
        QVERIFY(pApp->MainFrame()->ExecuteCommand(ID_TIP_OF_THE_DAY));
        QCOMPARE(strShown, QString("First tip"));
        test::StopApp(pApp);
    }
};

VEXT_GUI_TEST_MAIN(TipDialogTest)
#include "TipDialogTest.moc"
