// The function list control on real documents: row texts and images, the function block it puts
// on the clipboard, the drop rules between two key sets' lists, the keyboard context menu, and
// the emulation switch-off while it has the focus, against the fake driver.

#include "gui/views/FunctionListCtrl.h"

#include "FakeDeviceServer.h"
#include "ScopedEnv.h"
#include "core/driver/DeviceChannel.h"
#include "core/model/AppState.h"
#include "core/model/ButtonId.h"
#include "core/model/TransferBlock.h"
#include "core/model/VextKeyDoc.h"
#include "gui/views/FunctionListModel.h"

#include <memory>
#include <vector>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QVBoxLayout>

static void InitResources() {
    Q_INIT_RESOURCE(vextkey);
}

namespace {

CKeyFunction* Add(CVextKeyDoc& doc, const char* pszDescription, int32_t nMode = 0) {
    auto p = std::make_unique<CKeyFunction>();
    p->m_strDescription = pszDescription;
    p->m_strPress = "a";
    p->m_nMode = nMode;
    if (nMode != 0)
        p->m_steps = {"1", "2"};
    return doc.AddFunction(std::move(p));
}

void Fill(CFunctionListCtrl& list, CVextKeyDoc& doc) {
    list.Create(&doc);
    for (std::size_t i = 0; i < doc.m_functions.size(); ++i)
        list.InsertItem(static_cast<int>(i), doc.m_functions[i]->m_nCookie);
}

QMimeData* BlockData(const std::vector<uint8_t>& block) {
    auto* pData = new QMimeData;
    pData->setData(QString::fromLatin1(vext::kTransferMimeType),
                   QByteArray(reinterpret_cast<const char*>(block.data()),
                              static_cast<qsizetype>(block.size())));
    return pData;
}

std::vector<uint32_t> Codes(const vext::test::FakeDeviceServer& server) {
    std::vector<uint32_t> codes;
    for (const auto& request : server.Requests())
        codes.push_back(request.nCode);
    return codes;
}

// A function list and a line edit to take the focus from it, in one window.
struct ListBesideEdit {
    QWidget window;
    CFunctionListCtrl* pList = new CFunctionListCtrl(&window);
    QLineEdit* pOther = new QLineEdit(&window);
    ListBesideEdit() {
        auto* pLayout = new QVBoxLayout(&window);
        pLayout->addWidget(pList);
        pLayout->addWidget(pOther);
    }
};

} // namespace

class FunctionListCtrlTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InitResources(); }

    void init() {
        vext::TheAppState().m_bSavedEmulation = 0;
        vext::TheAppState().m_bListHasFocus = 0;
    }

    void rowsShowTextAndImage() {
        CVextKeyDoc doc;
        CKeyFunction* pJump = Add(doc, "Jump");
        CKeyFunction* pCycle = Add(doc, "Cycle", 1);
        Add(doc, "Fire");
        CFunctionListCtrl list;
        Fill(list, doc);
        CFunctionListModel* pModel = list.Model();
        QCOMPARE(list.GetItemCount(), 4);
        QCOMPARE(pModel->ItemText(0), QStringLiteral("Jump"));
        QCOMPARE(pModel->ItemText(1), QStringLiteral("Cycle"));
        // The companion row shows its Step function's description.
        QCOMPARE(pModel->ItemText(2), QStringLiteral("Cycle"));
        QCOMPARE(pModel->ItemImage(0), 0);
        QCOMPARE(pModel->ItemImage(1), 3);
        QCOMPARE(pModel->ItemImage(2), 6);

        doc.MapButton(pJump->m_nCookie, vext::MakeButtonId(1, 0, 1, 1));
        doc.MapButton(pCycle->m_nCookie, vext::MakeButtonId(1, 1, 1, 1));
        doc.MapButton(pCycle->m_nLinkCookie, vext::MakeButtonId(1, 2, 1, 1));
        QCOMPARE(pModel->ItemImage(0), 1);
        QCOMPARE(pModel->ItemImage(1), 4);
        QCOMPARE(pModel->ItemImage(2), 7);
        QCOMPARE(pModel->ItemImage(3), 0);
        QCOMPARE(list.GetItemData(2), pCycle->m_nLinkCookie);
        QCOMPARE(list.FindItem(pCycle->m_nLinkCookie), 2);
        QVERIFY(!pModel->data(pModel->index(0), Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(pModel->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Key Functions"));

        // A row whose cookie names no function shows nothing.
        list.InsertItem(4, 999);
        QCOMPARE(pModel->ItemText(4), QString());
        QCOMPARE(pModel->ItemImage(4), -1);
    }

    void copyPutsAFunctionBlockOnTheClipboard() {
        CVextKeyDoc doc;
        doc.SetTitle("Game");
        Add(doc, "Jump");
        CFunctionListCtrl list;
        Fill(list, doc);
        QApplication::clipboard()->clear();
        QVERIFY(!list.CopySelection());
        QVERIFY(!vext::ClipboardHasFunctionBlock());

        list.SetSelectedItem(0);
        QVERIFY(list.CopySelection());
        QVERIFY(vext::ClipboardHasFunctionBlock());
        const std::vector<uint8_t> block =
            vext::TransferBlockOf(QApplication::clipboard()->mimeData());
        CKeyFunction read;
        vext::FunctionBlockSource source;
        QVERIFY(vext::ReadFunctionBlock(block, read, &source));
        QCOMPARE(read.m_strDescription, std::string("Jump"));
        QCOMPARE(source.strTitle, std::string("Game"));
        QCOMPARE(source.nSourceList, list.SourceListId());
        // Game, Jump, comments, "a", release: 48 + 5 + 5 + 1 + 2 + 1.
        QCOMPARE(block.size(), std::size_t(62));
    }

    void dropRules() {
        CVextKeyDoc docA;
        CVextKeyDoc docB;
        docA.SetTitle("A");
        docB.SetTitle("B");
        Add(docA, "Jump");
        CFunctionListCtrl listA;
        CFunctionListCtrl listB;
        Fill(listA, docA);
        Fill(listB, docB);
        listA.SetSelectedItem(0);
        std::unique_ptr<QMimeData> pFromA(listA.MakeSelectionData());
        QVERIFY(pFromA);

        QCOMPARE(listB.DragEnterEffect(pFromA.get()), Qt::CopyAction);
        QCOMPARE(listB.DragOverEffect(pFromA.get(), false), Qt::MoveAction);
        QCOMPARE(listB.DragOverEffect(pFromA.get(), true), Qt::CopyAction);
        // Not back into the list it came from.
        QCOMPARE(listA.DragEnterEffect(pFromA.get()), Qt::CopyAction);
        QCOMPARE(listA.DragOverEffect(pFromA.get(), false), Qt::IgnoreAction);
        QCOMPARE(listA.DragOverEffect(pFromA.get(), true), Qt::IgnoreAction);

        // A pad button's block and foreign data are refused everywhere.
        std::unique_ptr<QMimeData> pButton(
            BlockData(vext::BuildButtonBlock(vext::MakeButtonId(1, 0, 1, 1), "B")));
        QCOMPARE(listB.DragEnterEffect(pButton.get()), Qt::IgnoreAction);
        QCOMPARE(listB.DragOverEffect(pButton.get(), false), Qt::IgnoreAction);
        QMimeData text;
        text.setText(QStringLiteral("Jump"));
        QCOMPARE(listB.DragEnterEffect(&text), Qt::IgnoreAction);
        QCOMPARE(listB.DragOverEffect(&text, true), Qt::IgnoreAction);
        // A truncated block is no function block.
        std::vector<uint8_t> truncated = vext::TransferBlockOf(pFromA.get());
        truncated.resize(50);
        std::unique_ptr<QMimeData> pShort(BlockData(truncated));
        QCOMPARE(listB.DragEnterEffect(pShort.get()), Qt::IgnoreAction);
    }

    void dropPastesACopyAndTheSourceKeepsIt() {
        CVextKeyDoc docA;
        CVextKeyDoc docB;
        Add(docA, "Cycle", 1);
        CFunctionListCtrl listA;
        CFunctionListCtrl listB;
        Fill(listA, docA);
        Fill(listB, docB);
        int nPasted = 0;
        listB.m_fnPasteDrop = [&](const QMimeData& data) {
            CKeyFunction* p = vext::PasteFunctionBlock(docB, vext::TransferBlockOf(&data));
            nPasted += p ? 1 : 0;
        };
        listA.m_fnPasteDrop = [&](const QMimeData&) { QFAIL("dropped into its own list"); };
        listA.SetSelectedItem(0);
        std::unique_ptr<QMimeData> pData(listA.MakeSelectionData());
        listB.resize(200, 200);
        listB.show();

        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction | Qt::MoveAction, pData.get(),
                              Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(listB.viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction | Qt::MoveAction, pData.get(),
                        Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(listB.viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QCOMPARE(nPasted, 1);
        // The Step function came with a companion; the source list is untouched.
        QCOMPARE(docB.m_functions.size(), std::size_t(2));
        QCOMPARE(docA.m_functions.size(), std::size_t(2));

        listA.resize(200, 200);
        listA.show();
        QDragEnterEvent enterA(QPoint(20, 20), Qt::CopyAction | Qt::MoveAction, pData.get(),
                               Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(listA.viewport(), &enterA);
        QDragMoveEvent moveA(QPoint(20, 20), Qt::CopyAction | Qt::MoveAction, pData.get(),
                             Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(listA.viewport(), &moveA);
        QVERIFY(!moveA.isAccepted());
        QDropEvent back(QPointF(20, 20), Qt::CopyAction | Qt::MoveAction, pData.get(),
                        Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(listA.viewport(), &back);
        QVERIFY(!back.isAccepted());
    }

    void shiftF10ShowsTheMenuAtFiveFive() {
        CVextKeyDoc doc;
        Add(doc, "Jump");
        CFunctionListCtrl list;
        Fill(list, doc);
        list.show();
        std::vector<QPoint> shown;
        list.m_fnContextMenu = [&](const QPoint& pos) { shown.push_back(pos); };
        QTest::keyClick(&list, Qt::Key_F10);
        QVERIFY(shown.empty());
        QTest::keyClick(&list, Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(shown.size(), std::size_t(1));
        QCOMPARE(shown.back(), list.mapToGlobal(QPoint(5, 5)));
        QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(30, 40),
                                list.mapToGlobal(QPoint(30, 40)));
        QApplication::sendEvent(list.viewport(), &mouse);
        QCOMPARE(shown.size(), std::size_t(2));
        QCOMPARE(shown.back(), list.mapToGlobal(QPoint(30, 40)));
    }

    void focusSwitchesEmulationOffAndRestoresIt() {
        vext::test::FakeDeviceServer server;
        QVERIFY(server.IsRunning());
        server.SetEmulationEnabled(1);
        CVextKeyDoc doc;
        ListBesideEdit form;
        CFunctionListCtrl* pList = form.pList;
        QLineEdit* pOther = form.pOther;
        QWidget& window = form.window;
        Fill(*pList, doc);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        pOther->setFocus();
        QTRY_VERIFY(pOther->hasFocus());
        const std::size_t before = server.RequestCount();

        pList->setFocus();
        QTRY_VERIFY(pList->hasFocus());
        QCOMPARE(server.EmulationEnabled(), 0);
        QCOMPARE(vext::TheAppState().m_bListHasFocus, 1);
        QCOMPARE(vext::TheAppState().m_bSavedEmulation, 1);
        std::vector<uint32_t> codes = Codes(server);
        codes.erase(codes.begin(), codes.begin() + static_cast<std::ptrdiff_t>(before));
        QCOMPARE(codes, std::vector<uint32_t>({VEXT_IOCTL_GET_VERSION, VEXT_IOCTL_QUERY_ENABLED,
                                               VEXT_IOCTL_DISABLE}));

        pOther->setFocus();
        QTRY_VERIFY(pOther->hasFocus());
        QCOMPARE(server.EmulationEnabled(), 1);
        QCOMPARE(vext::TheAppState().m_bListHasFocus, 0);

        // The toggle flipped while the list had the focus takes effect when the focus leaves.
        pList->setFocus();
        QTRY_VERIFY(pList->hasFocus());
        vext::TheAppState().m_bSavedEmulation = 0;
        pOther->setFocus();
        QTRY_VERIFY(pOther->hasFocus());
        QCOMPARE(server.EmulationEnabled(), 0);
        QCOMPARE(Codes(server).back(), uint32_t(VEXT_IOCTL_DISABLE));
    }

    void aPopupLeavesEmulationOff() {
        vext::test::FakeDeviceServer server;
        QVERIFY(server.IsRunning());
        server.SetEmulationEnabled(1);
        ListBesideEdit form;
        CFunctionListCtrl* pList = form.pList;
        QLineEdit* pOther = form.pOther;
        QWidget& window = form.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        pList->setFocus();
        QTRY_VERIFY(pList->hasFocus());
        QCOMPARE(server.EmulationEnabled(), 0);

        // A menu opened over the list takes the keyboard: a pad must not type into it.
        QMenu menu;
        menu.addAction(QStringLiteral("Cu&t"));
        menu.popup(pList->mapToGlobal(QPoint(5, 5)));
        QTRY_VERIFY(menu.isVisible());
        QCOMPARE(server.EmulationEnabled(), 0);
        QCOMPARE(vext::TheAppState().m_bListHasFocus, 1);
        menu.close();
        QTRY_VERIFY(pList->hasFocus());
        QCOMPARE(server.EmulationEnabled(), 0);

        pOther->setFocus();
        QTRY_VERIFY(pOther->hasFocus());
        QCOMPARE(server.EmulationEnabled(), 1);
    }

    void withoutDriverFocusOnlySetsTheFlag() {
        const vext::test::ScopedEnv device("VEXT_DEVICE", std::string("/nonexistent/vext/device"));
        ListBesideEdit form;
        CFunctionListCtrl* pList = form.pList;
        QLineEdit* pOther = form.pOther;
        QWidget& window = form.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        vext::TheAppState().m_bSavedEmulation = 1;
        pList->setFocus();
        QTRY_VERIFY(pList->hasFocus());
        QCOMPARE(vext::TheAppState().m_bListHasFocus, 1);
        QCOMPARE(vext::TheAppState().m_bSavedEmulation, 1);
        pOther->setFocus();
        QTRY_VERIFY(pOther->hasFocus());
        QCOMPARE(vext::TheAppState().m_bListHasFocus, 0);
    }
};

QTEST_MAIN(FunctionListCtrlTest)
#include "FunctionListCtrlTest.moc"
