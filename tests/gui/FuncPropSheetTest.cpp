// The function property sheet through its real pages: which tabs show for which mode, the page
// swap, Loop enabling, the clips, the step list commands and what OK and Cancel keep.

#include "gui/dialogs/FuncPropSheet.h"

#include "core/keys/KeyEventToText.h"
#include "core/model/KeyFunction.h"
#include "gui/dialogs/AnimateCtrl.h"
#include "gui/dialogs/StepListBox.h"
#include "gui/dialogs/StepStringDlg.h"
#include "gui/keys/KeyCaptureEdit.h"

#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>

// The pictures and clips live in the GUI library's resources.
static void InitResources() {
    Q_INIT_RESOURCE(vextkey);
}

namespace {

QStringList TabTexts(const CFuncPropSheet& sheet) {
    QStringList texts;
    for (int i = 0; i < sheet.TabWidget()->count(); ++i)
        texts << sheet.TabWidget()->tabText(i);
    return texts;
}

QStringList Items(const CStepListBox* pList) {
    QStringList items;
    for (int i = 0; i < pList->count(); ++i)
        items << pList->item(i)->text();
    return items;
}

void Ok(CFuncPropSheet& sheet) {
    sheet.Buttons()->button(QDialogButtonBox::Ok)->click();
}
void Cancel(CFuncPropSheet& sheet) {
    sheet.Buttons()->button(QDialogButtonBox::Cancel)->click();
}

CKeyFunction StepFunction(std::vector<std::string> steps) {
    CKeyFunction f;
    f.m_strDescription = "Cycle";
    f.m_nMode = CKeyFunction::kModeStep;
    f.m_steps = std::move(steps);
    return f;
}

} // namespace

class FuncPropSheetTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InitResources(); }

    void normalFunctionOpensWithKeystrokes() {
        CKeyFunction f;
        f.m_strDescription = "Jump";
        f.m_strPress = "{LShift+A}";
        f.m_bLoop = 1;
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.show();
        QCOMPARE(TabTexts(sheet), QStringList({"Description", "Keystrokes"}));
        QVERIFY(!sheet.m_pageDesc.m_pCheckLoop->isEnabled());
        QVERIFY(sheet.m_pageDesc.m_pCheckLoop->isChecked());
        QCOMPARE(sheet.m_pageDesc.m_pEditDescription->text(), QStringLiteral("Jump"));
        QCOMPARE(sheet.m_pageDesc.m_animate->GetClip(), 187);
        QCOMPARE(sheet.m_pageDesc.m_animate->GetFrameCount(), 16);
        QVERIFY(sheet.m_pageDesc.m_animate->IsPlaying());
        QCOMPARE(sheet.windowTitle(), QStringLiteral("Function Properties"));
    }

    void stepFunctionOpensWithStepMode() {
        CKeyFunction f = StepFunction({"A", "B"});
        f.m_bTurbo = 1;
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.show();
        QCOMPARE(TabTexts(sheet), QStringList({"Description", "Step Mode"}));
        QVERIFY(sheet.m_pageDesc.m_pCheckLoop->isEnabled());
        QCOMPARE(sheet.m_pageDesc.m_animate->GetClip(), 192);
    }

    void clipTable_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("autoRepeat");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<int>("clip");
        QTest::newRow("normal") << 0 << false << false << 187;
        QTest::newRow("normal, loop ignored") << 0 << false << true << 187;
        QTest::newRow("normal, auto-repeat") << 0 << true << true << 188;
        QTest::newRow("step") << 1 << false << false << 189;
        QTest::newRow("step, loop") << 1 << false << true << 190;
        QTest::newRow("step, both") << 1 << true << true << 191;
        QTest::newRow("step, auto-repeat") << 1 << true << false << 192;
        QTest::newRow("mode 2 is step") << 2 << false << true << 190;
    }

    void clipTable() {
        QFETCH(int, mode);
        QFETCH(bool, autoRepeat);
        QFETCH(bool, loop);
        QFETCH(int, clip);
        QCOMPARE(CFuncDescPage::ClipFor(mode, autoRepeat, loop), clip);
    }

    void clickingTheModesSwapsTheSecondPage() {
        CKeyFunction f;
        f.m_bLoop = 1;
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.show();
        sheet.m_pageDesc.m_pRadioStep->click();
        QCOMPARE(TabTexts(sheet), QStringList({"Description", "Step Mode"}));
        QVERIFY(sheet.m_pageDesc.m_pCheckLoop->isEnabled());
        QCOMPARE(sheet.m_pageDesc.m_animate->GetClip(), 190);
        sheet.m_pageDesc.m_pCheckAutoRepeat->click();
        QCOMPARE(sheet.m_pageDesc.m_animate->GetClip(), 191);
        sheet.m_pageDesc.m_pCheckLoop->click();
        QCOMPARE(sheet.m_pageDesc.m_animate->GetClip(), 192);
        sheet.m_pageDesc.m_pCheckLoop->click();

        sheet.m_pageDesc.m_pRadioNormal->click();
        QCOMPARE(TabTexts(sheet), QStringList({"Description", "Keystrokes"}));
        QVERIFY(!sheet.m_pageDesc.m_pCheckLoop->isEnabled());
        // Disabling Loop leaves it set.
        QVERIFY(sheet.m_pageDesc.m_pCheckLoop->isChecked());
        QCOMPARE(sheet.m_pageDesc.m_bLoop, 1);
        QCOMPARE(sheet.m_pageDesc.m_animate->GetClip(), 188);
        Ok(sheet);
        sheet.SaveTo(f);
        QCOMPARE(f.m_nMode, 0);
        QCOMPARE(f.m_bLoop, 1);
        QCOMPARE(f.m_bTurbo, 1);
    }

    void keystrokeEditsSurviveAModeRoundTrip() {
        CKeyFunction f;
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.show();
        sheet.TabWidget()->setCurrentIndex(1);
        sheet.m_pageStroke.m_editPress->setPlainText(QStringLiteral("{F1}"));
        sheet.m_pageStroke.m_editRelease->setPlainText(QStringLiteral("X"));
        sheet.TabWidget()->setCurrentIndex(0);
        sheet.m_pageDesc.m_pRadioStep->click();
        sheet.m_pageDesc.m_pRadioNormal->click();
        sheet.TabWidget()->setCurrentIndex(1);
        QCOMPARE(sheet.m_pageStroke.m_editPress->toPlainText(), QStringLiteral("{F1}"));
        sheet.m_pageDesc.m_pEditDescription->setText(QStringLiteral("not saved yet"));
        Ok(sheet);
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        sheet.SaveTo(f);
        QCOMPARE(f.m_strPress, std::string("{F1}"));
        QCOMPARE(f.m_strRelease, std::string("X"));
    }

    void clickedKeystrokesTabKeepsTheFocus() {
        CKeyFunction f;
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowActive(&sheet));
        sheet.m_pageDesc.m_pEditDescription->setFocus();
        QTRY_VERIFY(sheet.m_pageDesc.m_pEditDescription->hasFocus());
        QTabBar* pBar = sheet.TabWidget()->tabBar();
        QTest::mouseClick(pBar, Qt::LeftButton, {}, pBar->tabRect(1).center());
        QCOMPARE(sheet.TabWidget()->currentWidget(), &sheet.m_pageStroke);
        QVERIFY(pBar->hasFocus());
        // Tab goes to the press field before the release field.
        QWidget* pNext = pBar;
        do
            pNext = pNext->nextInFocusChain();
        while (pNext != sheet.m_pageStroke.m_editPress &&
               pNext != sheet.m_pageStroke.m_editRelease);
        QCOMPARE(pNext, sheet.m_pageStroke.m_editPress);
    }

    void okOnTheDescriptionPageSavesIt() {
        CKeyFunction f;
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.show();
        sheet.m_pageDesc.m_pEditDescription->setText(QStringLiteral("Fire"));
        sheet.m_pageDesc.m_pEditComments->setPlainText(QStringLiteral("two\nlines"));
        Ok(sheet);
        sheet.SaveTo(f);
        QCOMPARE(f.m_strDescription, std::string("Fire"));
        QCOMPARE(f.m_strComments, std::string("two\nlines"));
    }

    void cancelWritesNothingBack() {
        CKeyFunction f;
        f.m_strDescription = "Old";
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.show();
        sheet.m_pageDesc.m_pEditDescription->setText(QStringLiteral("New"));
        sheet.m_pageDesc.m_pRadioStep->click();
        Cancel(sheet);
        QCOMPARE(sheet.result(), int(QDialog::Rejected));
        QCOMPARE(f.m_strDescription, std::string("Old"));
        QCOMPARE(f.m_nMode, 0);
    }

    void modeTwoStaysTwo() {
        CKeyFunction f = StepFunction({});
        f.m_nMode = 2;
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.show();
        QVERIFY(sheet.m_pageDesc.m_pRadioStep->isChecked());
        sheet.m_pageDesc.m_pCheckLoop->click();
        Ok(sheet);
        sheet.SaveTo(f);
        QCOMPARE(f.m_nMode, 2);
        QCOMPARE(f.m_bLoop, 1);
    }

    void stepsLeftOnTheDescriptionTabStayAfterCancel() {
        CKeyFunction f = StepFunction({"A"});
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.m_pageStep.m_fnEnterStep = [](QWidget*, QString& str) {
            str = QStringLiteral("B");
            return true;
        };
        sheet.show();
        sheet.TabWidget()->setCurrentIndex(1);
        sheet.m_pageStep.OnCommand(CFuncStepPage::kCmdAdd);
        sheet.TabWidget()->setCurrentIndex(0);
        Cancel(sheet);
        QCOMPARE(f.m_steps, std::vector<std::string>({"A", "B"}));
    }

    void stepsAddedOnTheStepTabGoWithCancel() {
        CKeyFunction f = StepFunction({"A"});
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.m_pageStep.m_fnEnterStep = [](QWidget*, QString& str) {
            str = QStringLiteral("B");
            return true;
        };
        sheet.show();
        sheet.TabWidget()->setCurrentIndex(1);
        sheet.m_pageStep.OnCommand(CFuncStepPage::kCmdAdd);
        Cancel(sheet);
        QCOMPARE(f.m_steps, std::vector<std::string>({"A"}));
    }

    void okOnTheStepTabSavesTheSteps() {
        CKeyFunction f = StepFunction({"A"});
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.m_pageStep.m_fnEnterStep = [](QWidget*, QString& str) {
            str.clear();
            return true;
        };
        sheet.show();
        sheet.TabWidget()->setCurrentIndex(1);
        sheet.m_pageStep.OnCommand(CFuncStepPage::kCmdAdd);
        Ok(sheet);
        // An empty step string is a step like any other.
        QCOMPARE(f.m_steps, std::vector<std::string>({"A", ""}));
    }

    void typingGoesIntoTheFirstField() {
        CKeyFunction f;
        CFuncPropSheet sheet;
        sheet.LoadFrom(f);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowActive(&sheet));
        QTest::keyClicks(QApplication::focusWidget(), "Jump");
        QCOMPARE(sheet.m_pageDesc.m_pEditDescription->text(), QString("Jump"));
    }

    void stepListCommands() {
        std::vector<std::string> steps{"1", "2", "3"};
        CFuncStepPage page;
        page.m_pSteps = &steps;
        page.DoDataExchange(false);
        CStepListBox* pList = page.m_listSteps;
        int nDialogs = 0;
        page.m_fnEnterStep = [&nDialogs](QWidget*, QString& str) {
            ++nDialogs;
            str += QStringLiteral("*");
            return true;
        };

        // Without a selection Delete, Move and Edit do nothing.
        page.OnCommand(CFuncStepPage::kCmdDelete);
        page.OnCommand(CFuncStepPage::kCmdMoveUp);
        page.OnCommand(CFuncStepPage::kCmdMoveDown);
        page.OnEdit();
        QCOMPARE(Items(pList), QStringList({"1", "2", "3"}));
        QCOMPARE(nDialogs, 0);

        pList->setCurrentRow(0);
        page.OnCommand(CFuncStepPage::kCmdMoveUp);
        QCOMPARE(Items(pList), QStringList({"1", "2", "3"}));
        page.OnCommand(CFuncStepPage::kCmdMoveDown);
        QCOMPARE(Items(pList), QStringList({"2", "1", "3"}));
        QCOMPARE(pList->currentRow(), 1);
        page.OnCommand(CFuncStepPage::kCmdMoveDown);
        QCOMPARE(Items(pList), QStringList({"2", "3", "1"}));
        page.OnCommand(CFuncStepPage::kCmdMoveDown);
        QCOMPARE(Items(pList), QStringList({"2", "3", "1"}));
        page.OnCommand(CFuncStepPage::kCmdMoveUp);
        QCOMPARE(Items(pList), QStringList({"2", "1", "3"}));
        QCOMPARE(pList->currentRow(), 1);

        page.OnEdit();
        QCOMPARE(Items(pList), QStringList({"2", "1*", "3"}));
        QCOMPARE(pList->currentRow(), 1);

        // Deleting the last item selects the new last one.
        pList->setCurrentRow(2);
        page.OnCommand(CFuncStepPage::kCmdDelete);
        QCOMPARE(Items(pList), QStringList({"2", "1*"}));
        QCOMPARE(pList->currentRow(), 1);
        pList->setCurrentRow(0);
        page.OnCommand(CFuncStepPage::kCmdDelete);
        QCOMPARE(Items(pList), QStringList({"1*"}));
        QCOMPARE(pList->currentRow(), 0);

        // Add appends and leaves the selection alone.
        page.OnCommand(CFuncStepPage::kCmdAdd);
        QCOMPARE(Items(pList), QStringList({"1*", "*"}));
        QCOMPARE(pList->currentRow(), 0);

        page.DoDataExchange(true);
        QCOMPARE(steps, std::vector<std::string>({"1*", "*"}));
    }

    void stepToolsAreGreyWhereTheyDoNothing() {
        std::vector<std::string> steps{"1", "2"};
        CFuncStepPage page;
        page.m_pSteps = &steps;
        page.DoDataExchange(false);
        const auto states = [&page] { // add, delete, up, down
            QString s;
            for (QAction* pAction : page.m_toolBar->actions())
                s += pAction->isEnabled() ? '+' : '-';
            return s;
        };
        QCOMPARE(states(), QString("+---"));
        page.m_listSteps->setCurrentRow(0);
        QCOMPARE(states(), QString("++-+"));
        page.OnCommand(CFuncStepPage::kCmdMoveDown);
        QCOMPARE(states(), QString("+++-"));
        page.OnCommand(CFuncStepPage::kCmdDelete);
        QCOMPARE(states(), QString("++--"));
    }

    void stepListActsOnlyOnASelectedStep() {
        std::vector<std::string> steps{"1", "2", "3"};
        CFuncStepPage page;
        page.m_pSteps = &steps;
        page.DoDataExchange(false);
        page.m_fnEnterStep = [](QWidget*, QString&) { return true; };
        page.show();
        CStepListBox* pList = page.m_listSteps;
        // Ctrl+click deselects the row but leaves it current, as taking the focus by keyboard
        // makes a row current without selecting it.
        pList->setCurrentRow(1);
        QTest::mouseClick(pList->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          pList->visualItemRect(pList->item(1)).center());
        QCOMPARE(pList->currentRow(), 1);
        QVERIFY(pList->selectedItems().isEmpty());
        for (int nId :
             {CFuncStepPage::kCmdDelete, CFuncStepPage::kCmdMoveUp, CFuncStepPage::kCmdMoveDown})
            page.OnCommand(nId);
        QTest::keyClick(pList, Qt::Key_Delete);
        page.OnEdit();
        QCOMPARE(Items(pList), QStringList({"1", "2", "3"}));
    }

    void insertAndDeleteKeysOnRelease() {
        std::vector<std::string> steps{"1", "2"};
        CFuncStepPage page;
        page.m_pSteps = &steps;
        page.DoDataExchange(false);
        int nDialogs = 0;
        page.m_fnEnterStep = [&nDialogs](QWidget*, QString&) {
            ++nDialogs;
            return false;
        };
        page.show();
        QTest::keyPress(page.m_listSteps, Qt::Key_Insert);
        QCOMPARE(nDialogs, 0);
        QTest::keyRelease(page.m_listSteps, Qt::Key_Insert);
        QCOMPARE(nDialogs, 1);
        page.m_listSteps->setCurrentRow(1);
        QTest::keyClick(page.m_listSteps, Qt::Key_Delete);
        QCOMPARE(Items(page.m_listSteps), QStringList({"1"}));
    }

    void dragMoveRules() {
        CStepListBox list;
        list.addItems({"a", "b", "c", "d"});
        list.MoveItem(1, 1); // on itself
        list.MoveItem(1, 2); // just below itself
        QCOMPARE(Items(&list), QStringList({"a", "b", "c", "d"}));
        list.MoveItem(0, 3);
        QCOMPARE(Items(&list), QStringList({"b", "c", "a", "d"}));
        QCOMPARE(list.currentRow(), 2);
        list.MoveItem(3, 0);
        QCOMPARE(Items(&list), QStringList({"d", "b", "c", "a"}));
        QCOMPARE(list.currentRow(), 0);
        list.MoveItem(1, 4);
        QCOMPARE(Items(&list), QStringList({"d", "c", "a", "b"}));
        list.MoveItem(7, 0);
        QCOMPARE(Items(&list), QStringList({"d", "c", "a", "b"}));

        list.resize(200, 200);
        list.show();
        const QRect second = list.visualItemRect(list.item(1));
        QCOMPARE(list.DropIndexAt(second.center() - QPoint(0, 2)), 1);
        QCOMPARE(list.DropIndexAt(second.center() + QPoint(0, 2)), 2);
        QCOMPARE(list.DropIndexAt(QPoint(5, 190)), 4);
    }

    void toolbarTooltips() {
        CFuncStepPage page;
        const QList<QAction*> actions = page.m_toolBar->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions[0]->toolTip(), QStringLiteral("Add a step string"));
        QCOMPARE(actions[1]->toolTip(), QStringLiteral("Delete the selected step string"));
        QCOMPARE(actions[2]->toolTip(), QStringLiteral("Move the selected step string up"));
        QCOMPARE(actions[3]->toolTip(), QStringLiteral("Move the selected step string down"));
        QCOMPARE(actions[2]->data().toInt(), 104);
        QVERIFY(!actions[0]->icon().isNull());
    }

    void stepStringDialogCapturesKeys() {
        vext::ResetCaptureFlags();
        CStepStringDlg dlg;
        dlg.m_strStep = QStringLiteral("A");
        QTimer::singleShot(0, &dlg, [&dlg] {
            QVERIFY(QTest::qWaitForWindowActive(&dlg));
            QTRY_VERIFY(dlg.m_editStep->hasFocus());
            QTest::keyClick(dlg.m_editStep, Qt::Key_Escape);
            QTest::keyClick(dlg.m_editStep, Qt::Key_Return);
            QVERIFY(dlg.isVisible());
            dlg.accept();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_strStep, QStringLiteral("A{Esc}{Return}"));
    }

    void stepStringDialogCancelKeepsTheString() {
        CStepStringDlg dlg;
        dlg.m_strStep = QStringLiteral("B");
        QTimer::singleShot(0, &dlg, [&dlg] {
            dlg.m_editStep->setPlainText(QStringLiteral("changed"));
            dlg.reject();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QCOMPARE(dlg.m_strStep, QStringLiteral("B"));
    }
};

QTEST_MAIN(FuncPropSheetTest)
#include "FuncPropSheetTest.moc"
