// The pad windows in the running application: the picture and its frame through a pad-type
// switch, the buttons' looks, tooltips, drops and menus, double clicks, saved placements, and
// live pads lighting buttons (every input of the Twin-Stick Pad too) and mapping them with Auto
// Mapping.

#include "FakeDeviceServer.h"
#include "GuiTestSupport.h"
#include "core/model/ButtonId.h"
#include "core/model/TransferBlock.h"
#include "core/model/VextKeyDoc.h"
#include "core/pad/PadLayoutTable.h"
#include "gui/app/MainFrame.h"
#include "gui/app/VextKeyApp.h"
#include "gui/dialogs/FuncPropSheet.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/MDIFrameWnd.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/WinApp.h"
#include "gui/views/FunctionListCtrl.h"
#include "gui/views/KeySetDocument.h"
#include "gui/views/PadButton.h"
#include "gui/views/PadButtonLooks.h"
#include "gui/views/VextKeyView.h"
#include "gui/views/VextPadFrame.h"
#include "gui/views/VextPadView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QStyle>
#include <QToolBar>
#include <QtTest>

using namespace vext;

namespace {

// golden.vks: Fire (cookie 1), Cycle (Step, 2) and its companion (3). Slot 1 is a Standard Vext
// Pad with button A mapped to Cycle and "down" to the companion; slot 2 a Corvel Pad.
QString Golden() {
    return QStringLiteral(VEXT_SOURCE_DIR "/tests/data/keyset/golden.vks");
}

QMimeData* FunctionData(CVextKeyView* pList, int nCookie) {
    pList->SelectFunction(nCookie);
    return pList->ListCtrl()->MakeSelectionData();
}

} // namespace

class PadViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CVextKeyApp> m_pApp;
    KeySetDocument* m_pKeySet = nullptr;
    CVextKeyDoc* m_pDoc = nullptr;
    CVextKeyView* m_pList = nullptr;

    CVextPadView* OpenPad(int nSlot) {
        if (!m_pDoc->IsPadViewOpen(nSlot)) {
            m_pDoc->TogglePadView(nSlot);
        }
        return m_pKeySet->PadView(nSlot);
    }

private Q_SLOTS:
    void init() {
        test::GuiTestEnv::ClearSettings();
        m_pApp = test::StartApp({Golden()});
        QVERIFY(m_pApp);
        m_pKeySet = dynamic_cast<KeySetDocument*>(m_pApp->m_pListTemplate->GetDocuments().at(0));
        m_pDoc = &m_pKeySet->Doc();
        m_pList = m_pKeySet->FunctionListView();
        QApplication::clipboard()->clear();
    }
    void cleanup() {
        m_pKeySet->SetModifiedFlag(false);
        test::StopApp(m_pApp);
    }

    void pictureFrameAndPadTypeSwitch() {
        CVextPadView* pView = OpenPad(1);
        QVERIFY(pView);
        CMDIChildWnd* pFrame = pView->GetParentFrame();
        QCOMPARE(pFrame->windowTitle(), QString("golden : Slot 1"));
        QVERIFY(!pFrame->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(m_pList->ToolAction(ID_VIEW_PAD1)->isChecked());
        QCOMPARE(pView->size(), QSize(329, 203));
        QCOMPARE(pView->Buttons().size(), std::size_t(12));
        QVERIFY(!m_pDoc->IsModified());

        pView->OnCommand(ID_PADTYPE_CORVEL);
        QCOMPARE(pView->size(), QSize(298, 287));
        QCOMPARE(pFrame->size(), pFrame->sizeHint());
        QCOMPARE(pView->Buttons().size(), std::size_t(14));
        QCOMPARE(m_pDoc->GetPadType(1), 1);
        QVERIFY(m_pDoc->IsModified());
        QVERIFY2(pView->FindButton(1, 0, 1)->IsMapped(), "the slot keeps its mappings");

        m_pDoc->SetModifiedFlag(false);
        pView->OnCommand(ID_PADTYPE_CORVEL);
        QVERIFY(!m_pDoc->IsModified());

        // Closed by its own close box: the toolbar's Pad button comes up.
        pFrame->close();
        test::Drain();
        QVERIFY(!m_pDoc->IsPadViewOpen(1));
        QVERIFY(!m_pList->ToolAction(ID_VIEW_PAD1)->isChecked());
    }

    void tooltipsAndMenus() {
        CVextPadView* pView = OpenPad(1);
        CPadButton* pA = pView->FindButton(1, 0, 1);
        CPadButton* pB = pView->FindButton(1, 1, 1);
        QCOMPARE(pA->TooltipText(), QString("Cycle (Step Up)"));
        QCOMPARE(pView->FindButton(2, 1, 0)->TooltipText(), QString("Cycle (Step Down)"));
        QCOMPARE(pB->TooltipText(), QString("B"));
        QCOMPARE(pB->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, pB), 1500);

        // A right click on an unmapped button offers nothing; on a mapped one, Unmap first.
        PromptScript script;
        QTest::mouseClick(pB, Qt::RightButton, {}, pB->Outline().boundingRect().center());
        QVERIFY(script.m_menus.empty());
        script.MenuChoiceNext(ID_BUTTON_UNMAP);
        QTest::mouseClick(pA, Qt::RightButton, {}, pA->Outline().boundingRect().center());
        QCOMPARE(script.m_menus.size(), std::size_t(1));
        QVERIFY(script.m_menus[0].items[0].bDefault);
        QVERIFY(!pA->IsMapped());
        QVERIFY(m_pDoc->IsModified());

        // The view's popup: between the buttons only, pad types checked, Unmap All grayed once
        // nothing of the view is mapped.
        pView->ShowPadMenu(pA->mapToGlobal(pA->Outline().boundingRect().center()));
        QCOMPARE(script.m_menus.size(), std::size_t(1));
        pView->OnCommand(ID_PAD_UNMAP_ALL);
        pView->ShowPadMenu(pView->mapToGlobal(QPoint(2, 2)));
        QCOMPARE(script.m_menus.size(), std::size_t(2));
        const auto& items = script.m_menus[1].items;
        QCOMPARE(items[2].strText, QString("&Twin-Stick Pad"));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(items[i].bEnabled);
            QCOMPARE(items[i].bChecked, i == pView->GetPadType());
        }
        QVERIFY(!items[3].bEnabled);
    }

    void dropsMoveCopyAndSwap() {
        CVextPadView* pView = OpenPad(1);
        CPadButton* pA = pView->FindButton(1, 0, 1);
        CPadButton* pB = pView->FindButton(1, 1, 1);
        CPadButton* pC = pView->FindButton(1, 2, 1);
        const uint32_t idA = pA->ButtonId();
        int32_t nCookie = 0;

        // Left drag: move; with Ctrl at entry: copy. The drag's block leaves the clipboard.
        std::unique_ptr<QMimeData> pFromA(pA->MakeDragData());
        QApplication::clipboard()->setMimeData(pA->MakeDragData());
        QCOMPARE(pB->DragEffect(pFromA.get(), false), Qt::MoveAction);
        pB->Drop(pFromA.get(), false, false, {});
        QVERIFY(pB->IsMapped() && !pA->IsMapped());
        const QMimeData* pClip = QApplication::clipboard()->mimeData();
        QVERIFY(!pClip || !pClip->hasFormat(kTransferMimeType));
        std::unique_ptr<QMimeData> pFromB(pB->MakeDragData());
        pC->Drop(pFromB.get(), false, true, {});
        QVERIFY(pB->IsMapped() && pC->IsMapped());

        // Onto itself: nothing. A function from the list maps it.
        pC->Drop(std::unique_ptr<QMimeData>(pC->MakeDragData()).get(), false, false, {});
        QVERIFY(pC->IsMapped());
        pA->Drop(std::unique_ptr<QMimeData>(FunctionData(m_pList, 1)).get(), false, false, {});
        QVERIFY(m_pDoc->m_mappings.Lookup(idA, nCookie) && nCookie == 1);

        // Right drag: the popup, Swap only onto a mapped button.
        PromptScript script;
        CPadButton* pX = pView->FindButton(1, 3, 1);
        script.MenuChoiceNext(ID_DROP_SWAP);
        pX->Drop(pFromB.get(), true, false, {});
        QTRY_COMPARE(script.m_menus.size(), std::size_t(1));
        QVERIFY(!script.m_menus[0].items[2].bEnabled);
        QVERIFY(script.m_menus[0].items[0].bDefault);
        QVERIFY(!pX->IsMapped());
        script.MenuChoiceNext(ID_DROP_SWAP);
        pA->Drop(pFromB.get(), true, false, {});
        QTRY_COMPARE(script.m_menus.size(), std::size_t(2));
        QVERIFY(m_pDoc->m_mappings.Lookup(idA, nCookie) && nCookie == 2);
        QCOMPARE(pB->TooltipText(), QString("Fire"));

        // A block of another key set is refused everywhere.
        const std::vector<uint8_t> foreign = BuildButtonBlock(idA, "other");
        QMimeData other;
        other.setData(kTransferMimeType, QByteArray(reinterpret_cast<const char*>(foreign.data()),
                                                    static_cast<qsizetype>(foreign.size())));
        QCOMPARE(pX->DragEffect(&other, false), Qt::IgnoreAction);
    }

    void undoAndRedoEditsOfEveryWindow() {
        CVextPadView* pView = OpenPad(1);
        CMainFrame* pMain = m_pApp->MainFrame();
        const auto rows = [this] { return m_pList->ListCtrl()->GetItemCount(); };
        const auto mapped = [pView](int nX, int nY) {
            return pView->FindButton(1, nX, nY)->IsMapped();
        };
        QVERIFY(!m_pDoc->CanUndo());

        // Three steps, from a pad window, the list and a drop; each closes once its event is done.
        pView->OnCommand(ID_PADTYPE_CORVEL);
        test::Drain();
        m_pList->SelectFunction(2);
        m_pList->OnCommand(ID_FUNC_DELETE); // Cycle, its companion and their mappings
        test::Drain();
        pView->FindButton(1, 1, 1)->Drop(std::unique_ptr<QMimeData>(FunctionData(m_pList, 1)).get(),
                                         false, false, {});
        test::Drain();
        QCOMPARE(rows(), 1);
        QVERIFY(mapped(1, 1) && !mapped(0, 1));

        QVERIFY(pMain->ExecuteCommand(ID_EDIT_UNDO));
        QVERIFY(!mapped(1, 1));
        QVERIFY(pMain->ExecuteCommand(ID_EDIT_UNDO));
        QCOMPARE(rows(), 3);
        QCOMPARE(pView->FindButton(1, 0, 1)->TooltipText(), QString("Cycle (Step Up)"));
        QVERIFY(m_pDoc->IsModified());
        QVERIFY(pMain->ExecuteCommand(ID_EDIT_UNDO));
        QCOMPARE(pView->GetPadType(), 0);
        QCOMPARE(pView->Buttons().size(), std::size_t(12));
        QVERIFY2(!m_pDoc->IsModified(), "back where it was saved");
        QVERIFY(!pMain->ExecuteCommand(ID_EDIT_UNDO));

        QVERIFY(pMain->ExecuteCommand(ID_EDIT_REDO));
        QCOMPARE(pView->Buttons().size(), std::size_t(14)); // the Corvel Pad again
    }

    void doubleClickEditsOrCreates() {
        CVextPadView* pView = OpenPad(1);
        CPadButton* pB = pView->FindButton(1, 1, 1);
        const QPoint at = pB->Outline().boundingRect().center();
        m_pList->m_fnRunSheet = [](CFuncPropSheet& sheet) {
            sheet.reject();
            return false;
        };
        QTest::mouseDClick(pB, Qt::LeftButton, {}, at);
        QVERIFY(!pB->IsMapped());
        m_pList->m_fnRunSheet = [](CFuncPropSheet& sheet) {
            sheet.show();
            sheet.m_pageDesc.m_pEditDescription->setText(QStringLiteral("Duck"));
            sheet.accept();
            return true;
        };
        QTest::mouseDClick(pB, Qt::LeftButton, {}, at);
        QVERIFY(pB->IsMapped());
        QCOMPARE(pB->TooltipText(), QString("Duck"));

        // On a mapped button the sheet edits the mapped function.
        QString strEdited;
        m_pList->m_fnRunSheet = [&strEdited](CFuncPropSheet& sheet) {
            sheet.show();
            strEdited = sheet.m_pageDesc.m_pEditDescription->text();
            return false;
        };
        QTest::mouseDClick(pB, Qt::LeftButton, {}, at);
        QCOMPARE(strEdited, QString("Duck"));
    }

    void placementSavedAndRestored() {
        CVextPadView* pView = OpenPad(3);
        CMDIChildWnd* pFrame = pView->GetParentFrame();
        pFrame->move(123, 45);
        QCOMPARE(m_pDoc->m_padPlacements[2].left, 123);
        QVERIFY2(!m_pDoc->IsModified(), "a move is no change of the key set");

        const QString strCopy = test::TheGuiTestEnv().FilePath(QStringLiteral("moved.vks"));
        QVERIFY(m_pKeySet->DoSave(strCopy, false));
        m_pKeySet->OnCloseDocument();
        test::Drain();
        auto* pReopened = dynamic_cast<KeySetDocument*>(m_pApp->OpenDocumentFile(strCopy));
        QVERIFY(pReopened);
        m_pKeySet = pReopened;
        CVextPadView* pAgain = pReopened->PadView(3);
        QVERIFY2(pAgain, "the pad window opens with its key set");
        QCOMPARE(pAgain->GetParentFrame()->pos(), QPoint(123, 45));
        QVERIFY(!pAgain->GetParentFrame()->isMinimized());
    }

    // Placements saved without windows (all zeros) or as slivers open at the default place.
    void degeneratePlacementsAreIgnored() {
        QFile golden(Golden());
        QVERIFY(golden.open(QIODevice::ReadOnly));
        QByteArray text = golden.readAll();
        text.replace("MainWindow=2C 0 1 FFFFFFFF FFFFFFFF FFFFFFFF FFFFFFFF 10 20 1F0 150",
                     "MainWindow=0 0 0 0 0 0 0 0 0 0 0");
        text.replace("FFFFFFFF 0 0 280 1E0", "FFFFFFFF 0 0 1E 1E");
        text.replace("FFFFFFFF 14 28 C8 A0", "FFFFFFFF 14 28 14 28");
        const QString strPath = test::TheGuiTestEnv().FilePath(QStringLiteral("sliver.vks"));
        QFile sliver(strPath);
        QVERIFY(sliver.open(QIODevice::WriteOnly) && sliver.write(text) == text.size());
        sliver.close();

        CMDIFrameWnd* pMain = AfxGetMainWnd();
        const QSize mainSize = pMain->size();
        auto* pDoc = dynamic_cast<KeySetDocument*>(m_pApp->OpenDocumentFile(strPath));
        QVERIFY(pDoc);
        test::Drain();
        QCOMPARE(pMain->size(), mainSize);
        const QSize listSize = pDoc->FunctionListView()->GetParentFrame()->size();
        QVERIFY2(listSize.width() >= 100 && listSize.height() >= 60,
                 qPrintable(QStringLiteral("%1x%2").arg(listSize.width()).arg(listSize.height())));
        QVERIFY(pDoc->PadView(2));
        QCOMPARE(pDoc->PadView(2)->GetParentFrame()->size(),
                 pDoc->PadView(2)->GetParentFrame()->sizeHint());
        pDoc->OnCloseDocument();
        test::Drain();
    }

    // Mapped and pressed show on every button of both pads: the label (what mapping changes)
    // reads against the button 2 or 3 pixels around it, where yellow on yellow and red on red
    // did not, and a press lights at least half of the button, not a thin line of it.
    void highlightsShowOnEveryButton() {
        const auto median = [](const QImage& image, QList<QPoint> points) {
            int channels[3];
            for (int i = 0; i < 3; ++i) {
                const auto value = [&](QPoint p) {
                    return (image.pixel(p) >> (16 - 8 * i)) & 0xFF;
                };
                const auto mid = points.begin() + points.size() / 2;
                std::nth_element(points.begin(), mid, points.end(),
                                 [&](QPoint a, QPoint b) { return value(a) < value(b); });
                channels[i] = int(value(*mid));
            }
            return qRgb(channels[0], channels[1], channels[2]);
        };
        for (const int nSlot : {1, 2, 3}) {
            CVextPadView* pView = OpenPad(nSlot);
            if (nSlot == 3) {
                pView->OnCommand(ID_PADTYPE_TWINSTICK);
            }
            for (CPadButton* pButton : pView->Buttons()) {
                const auto look = [&](bool bMapped, bool bPressed) {
                    bMapped ? m_pDoc->MapButton(1, pButton->ButtonId())
                            : m_pDoc->UnmapButton(pButton->ButtonId());
                    pButton->Refresh();
                    pButton->SetHighlight(bPressed);
                    pButton->setDown(bPressed);
                    return pView->grab(pButton->geometry()).toImage();
                };
                const QImage plain = look(false, false), mapped = look(true, false),
                             pressed = look(true, true);
                QList<QPoint> own, label, ring;
                for (const QRect& r : pButton->Outline())
                    for (int y = r.top(); y <= r.bottom(); ++y)
                        for (int x = r.left(); x <= r.right(); ++x)
                            own << QPoint(x, y);
                std::copy_if(own.begin(), own.end(), std::back_inserter(label),
                             [&](QPoint p) { return mapped.pixel(p) != plain.pixel(p); });
                std::copy_if(own.begin(), own.end(), std::back_inserter(ring), [&](QPoint p) {
                    int nNear = 9;
                    for (const QPoint& q : label)
                        nNear = std::min(
                            nNear, std::max(std::abs(p.x() - q.x()), std::abs(p.y() - q.y())));
                    return nNear == 2 || nNear == 3;
                });
                const QByteArray where =
                    QStringLiteral("slot %1 %2").arg(nSlot).arg(pButton->Name()).toUtf8();
                QVERIFY2(!label.isEmpty() && !ring.isEmpty(), where);
                QVERIFY2(ColourDistance(median(mapped, label), median(mapped, ring)) >=
                             kLabelContrast,
                         where + " mapped");
                QVERIFY2(ColourDistance(median(pressed, label), median(pressed, ring)) >=
                             kLabelContrast,
                         where + " pressed");
                const auto nLit = std::count_if(own.begin(), own.end(), [&](QPoint p) {
                    return ColourDistance(pressed.pixel(p), mapped.pixel(p)) >= 60;
                });
                QVERIFY2(nLit * 2 >= own.size(), where + " pressed");
            }
        }
    }

    // Today's pads: a trigger, a right-stick direction and a paddle take drops; the mappings
    // outlive a round through the other two types; each input of a pad read by position lights
    // its own button and no other.
    void twinStickPadMapsAndLightsEveryInput() {
        test::FakeDeviceServer driver;
        QTRY_VERIFY(m_pApp->DriverAnswers());
        CVextPadView* pView = OpenPad(3);
        pView->OnCommand(ID_PADTYPE_TWINSTICK);
        QCOMPARE(m_pDoc->GetPadType(3), 2);
        QCOMPARE(pView->size(), QSize(384, 348));
        QCOMPARE(pView->Buttons().size(), std::size_t(31));
        const int targets[3][3] = {{1, 6, 1}, {2, 2, 0}, {1, 13, 1}};
        for (const auto& t : targets) {
            CPadButton* pButton = pView->FindButton(t[0], t[1], t[2]);
            QVERIFY(pButton);
            pButton->Drop(std::unique_ptr<QMimeData>(FunctionData(m_pList, 1)).get(), false, false,
                          {});
            QCOMPARE(pButton->TooltipText(), QString("Fire"));
        }
        pView->OnCommand(ID_PADTYPE_CORVEL);
        QVERIFY2(pView->FindButton(1, 6, 1)->IsMapped(), "Left 2 is the same input");
        QVERIFY(!pView->FindButton(2, 2, 0));
        pView->OnCommand(ID_PADTYPE_STANDARD);
        pView->OnCommand(ID_PADTYPE_TWINSTICK);
        for (const auto& t : targets) {
            QVERIFY(pView->FindButton(t[0], t[1], t[2])->IsMapped());
        }

        for (CPadButton* pButton : pView->Buttons()) {
            PadState state;
            state.bPresent = true;
            state.nX = state.nY = 32768;
            state.nXMax = state.nYMax = 65535;
            state.bPositional = true;
            (pButton->Kind() == kInputButton ? state.positions.nButtons
                                             : state.positions.nDirections) =
                PadInputMask(pButton->Kind(), pButton->X(), pButton->Y());
            driver.SetPadState(3, state);
            m_pList->PollPads();
            for (CPadButton* pOther : pView->Buttons()) {
                QVERIFY2(pOther->IsHighlighted() == (pOther == pButton),
                         qPrintable(pButton->Name() + " lights " + pOther->Name()));
            }
        }
    }

    void livePadsLightAndAutoMap() {
        test::FakeDeviceServer driver;
        // The window sees the driver's socket come without asking it.
        QTRY_VERIFY(m_pApp->DriverAnswers());
        CVextPadView* pView = OpenPad(1);
        CPadButton* pA = pView->FindButton(1, 0, 1);
        CPadButton* pLeft = pView->FindButton(2, 0, 0);
        driver.SetPadState(1, {true, 0x1, 0, 500, 0, 1000, 0, 1000, false, {}});
        m_pList->PollPads();
        QVERIFY(pA->IsHighlighted() && pA->isDown());
        QVERIFY(pLeft->IsHighlighted());
        driver.SetPadState(1, {true, 0, 500, 500, 0, 1000, 0, 1000, false, {}});
        m_pList->PollPads();
        QVERIFY(!pA->IsHighlighted() && !pA->isDown() && !pLeft->isDown());

        // Auto Mapping: two inputs in one poll map to the selected row, which moves on once;
        // on the last row the selection goes, and further presses map nothing.
        m_pApp->SetAutoMapping(true);
        m_pList->ListCtrl()->setFocus();
        QTRY_VERIFY(m_pList->ListCtrl()->hasFocus());
        m_pList->ListCtrl()->SetSelectedItem(0);
        driver.SetPadState(1, {true, 0x6, 500, 500, 0, 1000, 0, 1000, false, {}});
        m_pList->PollPads();
        QCOMPARE(pView->FindButton(1, 1, 1)->TooltipText(), QString("Fire"));
        QCOMPARE(pView->FindButton(1, 2, 1)->TooltipText(), QString("Fire"));
        QCOMPARE(m_pList->ListCtrl()->GetSelectedItem(), 1);

        m_pList->ListCtrl()->SetSelectedItem(2);
        driver.SetPadState(1, {true, 0x8, 500, 500, 0, 1000, 0, 1000, false, {}});
        m_pList->PollPads();
        QVERIFY(pView->FindButton(1, 3, 1)->IsMapped());
        QCOMPARE(m_pList->ListCtrl()->GetSelectedItem(), -1);
        driver.SetPadState(1, {true, 0x10, 500, 500, 0, 1000, 0, 1000, false, {}});
        m_pList->PollPads();
        QVERIFY(!pView->FindButton(1, 4, 1)->IsMapped());
    }
};

VEXT_GUI_TEST_MAIN(PadViewTest)
#include "PadViewTest.moc"
