// The progress window and the Preferences sheet.

#include "GuiTestSupport.h"
#include "core/model/AppState.h"
#include "gui/app/MainFrame.h"
#include "gui/app/VextKeyApp.h"
#include "gui/dialogs/PrefPage1.h"
#include "gui/dialogs/PrefSheet.h"
#include "gui/dialogs/ProgressDlg.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/WinApp.h"
#include "gui/views/KeySetDocument.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>

using namespace vext;

class DialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { test::GuiTestEnv::ClearSettings(); }
    void cleanup() { test::Drain(); }

    void percentFollowsTheSteps() {
        QWidget owner;
        CProgressDlg dlg;
        QVERIFY(dlg.Create(&owner));
        dlg.SetRange(0, 8);
        dlg.SetPos(0);
        dlg.SetStep(1);
        QCOMPARE(dlg.PercentText(), QString("0%"));
        const QStringList expected = {"12%", "25%", "37%", "50%", "62%", "75%", "87%", "100%"};
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(dlg.StepIt(), i);
            QCOMPARE(dlg.PercentText(), expected[i]);
        }
        QCOMPARE(dlg.windowTitle(), QString("Please Wait"));
    }

    void percentEdgeCases_data() {
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("pos");
        QTest::addColumn<QString>("text");
        QTest::newRow("exactly the end") << 0 << 3 << 3 << "100%";
        QTest::newRow("past the end wraps") << 0 << 4 << 6 << "50%";
        QTest::newRow("twice the range") << 0 << 4 << 8 << "0%";
        QTest::newRow("offset range") << 10 << 20 << 15 << "50%";
        QTest::newRow("truncates") << 0 << 3 << 1 << "33%";
    }
    void percentEdgeCases() {
        QFETCH(int, lower);
        QFETCH(int, upper);
        QFETCH(int, pos);
        QFETCH(QString, text);
        CProgressDlg dlg;
        dlg.SetRange(lower, upper);
        dlg.SetPos(pos);
        QCOMPARE(dlg.PercentText(), text);
    }

    void equalEndsLeaveThePercentAlone() {
        CProgressDlg dlg;
        dlg.SetRange(5, 5);
        dlg.SetPos(5);
        QCOMPARE(dlg.PercentText(), QString(" 0 %"));
        QCOMPARE(dlg.PercentWrites(), 0);
    }

    void repeatedPositionsDoNotRewrite() {
        CProgressDlg dlg;
        dlg.SetRange(0, 10);
        dlg.SetPos(3);
        dlg.SetPos(3);
        dlg.SetPos(3);
        QCOMPARE(dlg.PercentWrites(), 1);
        dlg.SetPos(4);
        QCOMPARE(dlg.PercentWrites(), 2);
    }

    void ownerIsDisabledWhileShownAndEnabledAfter() {
        QWidget owner;
        owner.show();
        {
            CProgressDlg dlg;
            QVERIFY(dlg.Create(&owner));
            QVERIFY(!owner.isEnabled());
            QVERIFY(dlg.isVisible());
            dlg.DestroyWindow();
            QVERIFY(owner.isEnabled());
        }
        // An owner that was disabled before stays disabled.
        owner.setEnabled(false);
        {
            CProgressDlg dlg;
            dlg.Create(&owner);
            dlg.DestroyWindow();
        }
        QVERIFY(!owner.isEnabled());
        // The destructor enables the owner of a dialog still shown.
        owner.setEnabled(true);
        {
            CProgressDlg dlg;
            dlg.Create(&owner);
        }
        QVERIFY(owner.isEnabled());
    }

    void enterAndEscapeDoNothing() {
        CProgressDlg dlg;
        dlg.Create(nullptr);
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QTest::keyClick(&dlg, Qt::Key_Return);
        QTest::keyClick(&dlg, Qt::Key_Enter);
        QVERIFY(dlg.isVisible());
        dlg.close();
        QVERIFY2(dlg.isVisible(), "the user cannot close it");
        dlg.DestroyWindow();
        QVERIFY(!dlg.isVisible());
    }

    void stepsDispatchWaitingEvents() {
        CProgressDlg dlg;
        dlg.SetRange(0, 2);
        bool bRan = false;
        QTimer::singleShot(0, [&bRan] { bRan = true; });
        dlg.StepIt();
        QVERIFY(bRan);
    }

    void statusTextAndCaption() {
        CProgressDlg dlg(117);
        dlg.Create(nullptr);
        dlg.SetStatus("Reading Pad Types");
        QCOMPARE(dlg.StatusText(), QString("Reading Pad Types"));
        QCOMPARE(dlg.windowTitle(), QString("Preferences"));
    }

    void preferencesStartWithStandardPad() {
        auto pApp = test::StartApp();
        CPrefSheet sheet("Preferences", nullptr);
        QVERIFY(sheet.m_page->m_pStandard->isChecked());
        QVERIFY(!sheet.m_page->m_pCorvel->isChecked());
        QCOMPARE(sheet.windowTitle(), QString("Preferences"));
        test::StopApp(pApp);
    }

    void preferencesOkStoresTheChoice() {
        auto pApp = test::StartApp();
        {
            CPrefSheet sheet("Preferences", nullptr);
            sheet.m_page->m_pCorvel->click();
            sheet.m_pButtons->button(QDialogButtonBox::Ok)->click();
        }
        QCOMPARE(AppSettings()->value("Preferences/DefaultPadtype").toInt(), 1);
        QCOMPARE(pApp->DefaultPadType(), 1);
        // A new key set with no driver takes the Corvel Pad in every slot.
        pApp->MainFrame()->ExecuteCommand(ID_FILE_NEW);
        auto* pDoc = dynamic_cast<KeySetDocument*>(pApp->m_pListTemplate->GetDocuments().front());
        QCOMPARE(pDoc->Doc().m_padTypes, (std::vector<int32_t>{1, 1, 1, 1}));
        {
            CPrefSheet sheet("Preferences", nullptr);
            QVERIFY2(sheet.m_page->m_pCorvel->isChecked(), "the page shows the stored choice");
        }
        test::StopApp(pApp);

        // The next start reads it back.
        pApp = test::StartApp();
        QCOMPARE(pApp->DefaultPadType(), 1);
        QCOMPARE(TheAppState().m_nDefaultPadType, 1);
        {
            CPrefSheet sheet("Preferences", nullptr);
            sheet.m_page->m_pTwinStick->click();
            sheet.m_pButtons->button(QDialogButtonBox::Ok)->click();
        }
        QCOMPARE(pApp->DefaultPadType(), 2);
        test::StopApp(pApp);

        // A number that names no pad type is not taken.
        AppSettings()->setValue("Preferences/DefaultPadtype", 7);
        pApp = test::StartApp();
        QCOMPARE(pApp->DefaultPadType(), 0);
        test::StopApp(pApp);
    }

    void preferencesCancelWritesNothing() {
        auto pApp = test::StartApp();
        {
            CPrefSheet sheet("Preferences", nullptr);
            sheet.m_page->m_pCorvel->click();
            sheet.m_pButtons->button(QDialogButtonBox::Cancel)->click();
        }
        QVERIFY(!AppSettings()->contains("Preferences/DefaultPadtype"));
        QCOMPARE(pApp->DefaultPadType(), 0);
        test::StopApp(pApp);
    }

    void preferencesCommandRunsTheSheet() {
        auto pApp = test::StartApp();
        QString strTitle;
        QWidget* pParent = nullptr;
        QTimer::singleShot(0, [&strTitle, &pParent] {
            QWidget* pModal = QApplication::activeModalWidget();
            if (auto* pSheet = qobject_cast<CPrefSheet*>(pModal)) {
                strTitle = pSheet->windowTitle();
                pParent = pSheet->parentWidget();
                pSheet->m_page->m_pCorvel->click();
                pSheet->accept();
            }
        });
        QVERIFY(pApp->MainFrame()->ExecuteCommand(ID_OPTIONS_PREFERENCES));
        QCOMPARE(strTitle, QString("Preferences"));
        QCOMPARE(pParent, static_cast<QWidget*>(pApp->MainFrame())); // floats over it
        QCOMPARE(pApp->DefaultPadType(), 1);
        test::StopApp(pApp);
    }
};

VEXT_GUI_TEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
