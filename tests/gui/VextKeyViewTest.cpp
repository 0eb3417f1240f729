// The function list view in the running application: Add, Edit, Delete, Cut, Copy and Paste with
// step-down companions, Unmap All, the Pad buttons, the context menu's routing, and a drop from
// one key set's list into another's.

#include "gui/views/VextKeyView.h"

#include "GuiTestSupport.h"
#include "core/keys/KeyEventToText.h"
#include "core/model/ButtonId.h"
#include "core/model/TransferBlock.h"
#include "core/model/VextKeyDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/VextKeyApp.h"
#include "gui/dialogs/FuncPropSheet.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/keys/KeyCaptureEdit.h"
#include "gui/views/FunctionListCtrl.h"
#include "gui/views/FunctionListModel.h"
#include "gui/views/KeySetDocument.h"
#include "gui/views/KeyStrokeView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QRadioButton>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

using namespace vext;

namespace {

CVextKeyView* NewKeySet(CMainFrame* pMain) {
    pMain->ExecuteCommand(ID_FILE_NEW);
    CMDIChildWnd* pFrame = pMain->MDIGetActive();
    return pFrame ? qobject_cast<CVextKeyView*>(pFrame->GetActiveView()) : nullptr;
}

// Answers the property sheet: fills the Description page, and OK or Cancel.
std::function<bool(CFuncPropSheet&)> Answer(const QString& strDescription, bool bStep,
                                            bool bOk = true) {
    return [=](CFuncPropSheet& sheet) {
        sheet.show();
        sheet.m_pageDesc.m_pEditDescription->setText(strDescription);
        if (bStep)
            sheet.m_pageDesc.m_pRadioStep->click();
        else
            sheet.m_pageDesc.m_pRadioNormal->click();
        if (bOk)
            sheet.accept();
        else
            sheet.reject();
        return bOk;
    };
}

QStringList Rows(CVextKeyView* pView) {
    QStringList rows;
    CFunctionListModel* pModel = pView->ListCtrl()->Model();
    for (int i = 0; i < pModel->rowCount(); ++i)
        rows << QStringLiteral("%1:%2").arg(pModel->ItemText(i)).arg(pModel->ItemImage(i));
    return rows;
}

} // namespace

class VextKeyViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CVextKeyApp> m_pApp;

private Q_SLOTS:
    void init() {
        test::GuiTestEnv::ClearSettings();
        m_pApp = test::StartApp();
        QVERIFY(m_pApp);
    }
    void cleanup() {
        test::StopApp(m_pApp);
        test::Drain();
    }

    void addEditDeleteWithCompanions() {
        CVextKeyView* pView = NewKeySet(m_pApp->MainFrame());
        QVERIFY(pView);
        CVextKeyDoc* pDoc = pView->GetDoc();

        pView->m_fnRunSheet = Answer("Jump", false);
        const int jump = pView->AddFunction();
        QVERIFY(jump > 0);
        pView->m_fnRunSheet = Answer("Cycle", true);
        const int cycle = pView->AddFunction();
        QCOMPARE(Rows(pView), QStringList({"Jump:0", "Cycle:3", "Cycle:6"}));
        QVERIFY(pDoc->IsModified());

        // Cancelled or nameless: nothing is added.
        pView->m_fnRunSheet = Answer("Lost", false, false);
        QCOMPARE(pView->AddFunction(), 0);
        pView->m_fnRunSheet = Answer("", false);
        QCOMPARE(pView->AddFunction(), 0);
        QCOMPARE(pView->ListCtrl()->GetItemCount(), 3);

        // Normal to Step: the companion row comes right after the function.
        pView->SelectFunction(jump);
        pView->m_fnRunSheet = Answer("Jump", true);
        pView->EditSelectedFunction();
        QCOMPARE(Rows(pView), QStringList({"Jump:3", "Jump:6", "Cycle:3", "Cycle:6"}));

        // Editing from the companion's row edits its Step function; Step to Normal drops it.
        pView->ListCtrl()->SetSelectedItem(3);
        pView->m_fnRunSheet = Answer("Single", false);
        pView->EditSelectedFunction();
        QCOMPARE(Rows(pView), QStringList({"Jump:3", "Jump:6", "Single:0"}));
        QCOMPARE(pDoc->FindFunction(cycle)->m_strDescription, std::string("Single"));

        // Deleting a Step function deletes its companion row too.
        pView->SelectFunction(jump);
        pView->DeleteSelectedFunction();
        QCOMPARE(Rows(pView), QStringList({"Single:0"}));
        QCOMPARE(pDoc->m_functions.size(), std::size_t(1));
    }

    void doubleClickEditsTheRow() {
        CVextKeyView* pView = NewKeySet(m_pApp->MainFrame());
        pView->m_fnRunSheet = Answer("Jump", false);
        const int jump = pView->AddFunction();
        pView->SelectFunction(jump);
        int nSheets = 0;
        pView->m_fnRunSheet = [&nSheets](CFuncPropSheet& sheet) {
            ++nSheets;
            return sheet.m_pageDesc.m_strDescription == QStringLiteral("Jump") && false;
        };
        Q_EMIT pView->ListCtrl()->ItemDoubleClicked();
        QCOMPARE(nSheets, 1);
    }

    void cutCopyPaste() {
        CMainFrame* pMain = m_pApp->MainFrame();
        CVextKeyView* pView = NewKeySet(pMain);
        CVextKeyDoc* pDoc = pView->GetDoc();
        pView->m_fnRunSheet = Answer("Cycle", true);
        const int cycle = pView->AddFunction();
        pDoc->MapButton(cycle, MakeButtonId(1, 0, 1, 1));
        QApplication::clipboard()->clear();

        pView->ListCtrl()->clearSelection();
        pMain->UpdateCommand(ID_EDIT_COPY);
        QVERIFY(!pMain->CommandAction(ID_EDIT_COPY)->isEnabled());
        pMain->UpdateCommand(ID_EDIT_PASTE);
        QVERIFY(!pMain->CommandAction(ID_EDIT_PASTE)->isEnabled());

        pView->SelectFunction(cycle);
        pMain->UpdateCommand(ID_EDIT_CUT);
        QVERIFY(pMain->CommandAction(ID_EDIT_CUT)->isEnabled());
        QVERIFY(pMain->ExecuteCommand(ID_EDIT_CUT));
        QCOMPARE(pDoc->m_functions.size(), std::size_t(0));
        QVERIFY(pDoc->m_mappings.IsEmpty());
        pMain->UpdateCommand(ID_EDIT_PASTE);
        QVERIFY(pMain->CommandAction(ID_EDIT_PASTE)->isEnabled());

        QVERIFY(pMain->ExecuteCommand(ID_EDIT_PASTE));
        QCOMPARE(Rows(pView), QStringList({"Cycle:3", "Cycle:6"}));
        const CKeyFunction* pPasted = pDoc->m_functions[0].get();
        QVERIFY(pPasted->m_nCookie != cycle);
        QCOMPARE(pPasted->m_steps, std::vector<std::string>({}));
        QVERIFY(!pDoc->IsFunctionMapped(pPasted->m_nCookie));

        // Copy leaves the function; Paste adds a second one.
        pView->ListCtrl()->SetSelectedItem(0);
        QVERIFY(pMain->ExecuteCommand(ID_EDIT_COPY));
        QVERIFY(pMain->ExecuteCommand(ID_EDIT_PASTE));
        QCOMPARE(pView->ListCtrl()->GetItemCount(), 4);

        // A pad button's block is no function to paste.
        const std::vector<uint8_t> button = BuildButtonBlock(MakeButtonId(1, 0, 1, 1), "x");
        auto* pData = new QMimeData;
        pData->setData(QString::fromLatin1(kTransferMimeType),
                       QByteArray(reinterpret_cast<const char*>(button.data()),
                                  static_cast<qsizetype>(button.size())));
        QApplication::clipboard()->setMimeData(pData);
        pMain->UpdateCommand(ID_EDIT_PASTE);
        QVERIFY(!pMain->CommandAction(ID_EDIT_PASTE)->isEnabled());
        pView->PasteFunction();
        QCOMPARE(pView->ListCtrl()->GetItemCount(), 4);
    }

    void unmapAllMappedButtons() {
        CMainFrame* pMain = m_pApp->MainFrame();
        CVextKeyView* pView = NewKeySet(pMain);
        CVextKeyDoc* pDoc = pView->GetDoc();
        pView->m_fnRunSheet = Answer("Jump", false);
        const int jump = pView->AddFunction();
        const int fire = pView->AddFunction();
        pDoc->MapButton(jump, MakeButtonId(1, 0, 1, 1));
        pDoc->MapButton(jump, MakeButtonId(2, 3, 1, 1));
        pDoc->MapButton(fire, MakeButtonId(1, 1, 1, 1));
        QAction* pUnmap = pMain->CommandAction(ID_LIST_UNMAP_ALL);
        pView->SelectFunction(fire);
        pView->ListCtrl()->clearSelection();
        pMain->UpdateCommand(ID_LIST_UNMAP_ALL);
        QVERIFY(!pUnmap->isEnabled());
        pView->SelectFunction(jump);
        pMain->UpdateCommand(ID_LIST_UNMAP_ALL);
        QVERIFY(pMain->CommandAction(ID_LIST_UNMAP_ALL)->isEnabled());
        QVERIFY(pMain->ExecuteCommand(ID_LIST_UNMAP_ALL));
        QVERIFY(!pDoc->IsFunctionMapped(jump));
        QVERIFY(pDoc->IsFunctionMapped(fire));
        QCOMPARE(pView->ListCtrl()->Model()->ItemImage(0), 0);
    }

    void padButtonsFollowThePadWindows() {
        CMainFrame* pMain = m_pApp->MainFrame();
        CVextKeyView* pView = NewKeySet(pMain);
        QAction* pPad2 = pView->ToolAction(ID_VIEW_PAD2);
        QVERIFY(pPad2);
        QCOMPARE(pPad2->toolTip(), QStringLiteral("Show or hide Pad 2"));
        QCOMPARE(pView->ToolAction(ID_FUNC_ADD)->toolTip(), QStringLiteral("Add Function"));
        pPad2->trigger();
        QVERIFY(pView->GetDoc()->IsPadViewOpen(2));
        QVERIFY(pPad2->isChecked());
        // The command's check mark comes from the list view once its window is active again.
        pMain->MdiArea()->setActiveSubWindow(pView->GetParentFrame());
        QAction* pCommand = pMain->CommandAction(ID_VIEW_PAD2);
        pMain->UpdateCommand(ID_VIEW_PAD2);
        QVERIFY(pCommand->isChecked());
        pPad2->trigger();
        QVERIFY(!pView->GetDoc()->IsPadViewOpen(2));
    }

    void contextMenuRoutesToTheView() {
        CMainFrame* pMain = m_pApp->MainFrame();
        CVextKeyView* pView = NewKeySet(pMain);
        pView->m_fnRunSheet = Answer("Jump", false);
        pView->SelectFunction(pView->AddFunction());
        QStringList texts;
        QTimer::singleShot(0, pView, [&] {
            QMenu* pMenu = pView->m_pLastMenu;
            QVERIFY(pMenu);
            for (QAction* pAction : pMenu->actions()) {
                if (!pAction->isSeparator())
                    texts << pAction->text() + (pAction->isEnabled() ? "+" : "-");
            }
            pMenu->close();
        });
        pView->ListCtrl()->ShowContextMenu(pView->ListCtrl()->mapToGlobal(QPoint(5, 5)));
        QCOMPARE(texts.size(), 4);
        QVERIFY(texts[0].startsWith("Cu&t") && texts[0].endsWith("+"));
        QVERIFY(texts[3].startsWith("&Unmap All Mapped Buttons") && texts[3].endsWith("-"));
    }

    void dropFromAnotherKeySetPastesACopy() {
        CMainFrame* pMain = m_pApp->MainFrame();
        CVextKeyView* pFirst = NewKeySet(pMain);
        pFirst->m_fnRunSheet = Answer("Cycle", true);
        pFirst->SelectFunction(pFirst->AddFunction());
        CVextKeyView* pSecond = NewKeySet(pMain);
        QVERIFY(pSecond && pSecond != pFirst);
        std::unique_ptr<QMimeData> pData(pFirst->ListCtrl()->MakeSelectionData());

        CFunctionListCtrl* pTarget = pSecond->ListCtrl();
        QCOMPARE(pTarget->DragOverEffect(pData.get(), false), Qt::MoveAction);
        QCOMPARE(pFirst->ListCtrl()->DragOverEffect(pData.get(), false), Qt::IgnoreAction);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, pData.get(),
                              Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pTarget->viewport(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, pData.get(), Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(pTarget->viewport(), &drop);
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QCOMPARE(Rows(pSecond), QStringList({"Cycle:3", "Cycle:6"}));
        QCOMPARE(Rows(pFirst), QStringList({"Cycle:3", "Cycle:6"}));
        QVERIFY(pSecond->GetDoc()->IsModified());
    }

    void keystrokeViewerShowsAKeystrokePerLine() {
        CMainFrame* pMain = m_pApp->MainFrame();
        pMain->show();
        QVERIFY(QTest::qWaitForWindowActive(pMain));
        QVERIFY(pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER));
        QVERIFY(m_pApp->ViewerFrame());
        auto* pViewer = qobject_cast<CKeyStrokeView*>(m_pApp->ViewerFrame()->GetActiveView());
        QVERIFY(pViewer);
        CKeyCaptureEdit* pField = pViewer->Field();
        QVERIFY(pField->m_bNewLinePerKey);
        pField->setFocus();
        QTRY_VERIFY(pField->hasFocus());
        vext::ResetCaptureFlags();
        const auto send = [pField](QEvent::Type type, int key, Qt::KeyboardModifiers mods,
                                   quint32 native) {
            QKeyEvent event(type, key, mods, native, 0, 0);
            QApplication::sendEvent(pField, &event);
        };
        send(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier, 50);
        send(QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier, 38);
        send(QEvent::KeyRelease, Qt::Key_A, Qt::ShiftModifier, 38);
        send(QEvent::KeyRelease, Qt::Key_Shift, {}, 50);
        send(QEvent::KeyPress, Qt::Key_Return, {}, 36);
        send(QEvent::KeyRelease, Qt::Key_Return, {}, 36);
        QCOMPARE(pField->toPlainText(), QStringLiteral("{LShift+A}\n{Return}\n"));
        QVERIFY(pMain->ExecuteCommand(ID_VIEW_KEYSTROKE_VIEWER));
        test::Drain();
        QVERIFY(!m_pApp->ViewerFrame());
    }

    void cancelledEditKeepsSavedStepsAndMarksTheKeySet() {
        CVextKeyView* pView = NewKeySet(m_pApp->MainFrame());
        CVextKeyDoc* pDoc = pView->GetDoc();
        pView->m_fnRunSheet = Answer("Cycle", true);
        const int cycle = pView->AddFunction();
        pDoc->SetModifiedFlag(false);
        pView->SelectFunction(cycle);
        pView->m_fnRunSheet = [](CFuncPropSheet& sheet) {
            sheet.m_pageStep.m_fnEnterStep = [](QWidget*, QString& str) {
                str = QStringLiteral("{F1}");
                return true;
            };
            sheet.show();
            sheet.TabWidget()->setCurrentIndex(1);
            sheet.m_pageStep.OnCommand(CFuncStepPage::kCmdAdd);
            sheet.TabWidget()->setCurrentIndex(0);
            sheet.reject();
            return false;
        };
        pView->EditSelectedFunction();
        QCOMPARE(pDoc->FindFunction(cycle)->m_steps, std::vector<std::string>({"{F1}"}));
        QVERIFY(pDoc->IsModified());
    }
};

VEXT_GUI_TEST_MAIN(VextKeyViewTest)
#include "VextKeyViewTest.moc"
