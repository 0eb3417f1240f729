#include "gui/views/VextKeyView.h"

#include "core/driver/PadStates.h"
#include "core/model/AppState.h"
#include "core/model/ButtonId.h"
#include "core/model/TransferBlock.h"
#include "core/model/VextKeyDoc.h"
#include "core/pad/PadLayoutTable.h"
#include "gui/dialogs/FuncPropSheet.h"
#include "gui/framework/AppContext.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/HelpTexts.h"
#include "gui/framework/MDIFrameWnd.h"
#include "gui/framework/Resources.h"
#include "gui/framework/WinApp.h"
#include "gui/views/FunctionListCtrl.h"
#include "gui/views/KeySetDocument.h"
#include "gui/views/KeySetPrinter.h"
#include "gui/views/PadButton.h"
#include "gui/views/VextPadView.h"

#include <memory>
#include <utility>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPixmap>
#include <QRandomGenerator>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

using namespace vext;

namespace {

// Bitmap 21128: six 16 x 15 images: add, delete, pad 1 to pad 4.
QIcon ToolIcon(const QPixmap& strip, int nIndex) {
    if (strip.isNull())
        return {};
    return QIcon(strip.copy(nIndex * 16, 0, 16, 15));
}

} // namespace

CVextKeyView::CVextKeyView(QWidget* pParent)
    : CView(pParent), m_pToolBar(new QToolBar(this)), m_pList(new CFunctionListCtrl(this)),
      m_pPollTimer(new QTimer(this)), m_nPollToken(QRandomGenerator::global()->generate() | 1u) {
    InitAppResources();
    setWhatsThis(ResString(IDH_FUNCTION_LIST));
    const QPixmap strip(QStringLiteral(":/icons/21128.png"));
    m_pToolBar->setIconSize(QSize(16, 15));
    struct Button {
        int nID;
        int nTip;
        const char* pszText;
    };
    const Button buttons[] = {{ID_FUNC_ADD, 104, "Add"}, {ID_FUNC_DELETE, 105, "Delete"},
                              {0, 0, nullptr},           {ID_VIEW_PAD1, 106, "1"},
                              {ID_VIEW_PAD2, 107, "2"},  {ID_VIEW_PAD3, 108, "3"},
                              {ID_VIEW_PAD4, 109, "4"}};
    int image = 0;
    for (const Button& b : buttons) {
        if (b.nID == 0) {
            m_pToolBar->addSeparator();
            continue;
        }
        QAction* pAction = m_pToolBar->addAction(ToolIcon(strip, image++), b.pszText);
        pAction->setData(b.nID);
        pAction->setToolTip(ResString(b.nTip));
        pAction->setCheckable(b.nID >= ID_VIEW_PAD1);
        const int id = b.nID;
        connect(pAction, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
    m_pToolBar->setToolButtonStyle(strip.isNull() ? Qt::ToolButtonTextOnly
                                                  : Qt::ToolButtonIconOnly);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(1);
    pLayout->addWidget(m_pToolBar);
    pLayout->addWidget(m_pList);
    setFocusProxy(m_pList);

    m_pList->m_fnContextMenu = [this](const QPoint& pos) { ShowListMenu(pos); };
    m_pList->m_fnPasteDrop = [this](const QMimeData& data) { PasteFromData(&data); };
    connect(m_pList, &CFunctionListCtrl::ItemDoubleClicked, this,
            [this] { EditSelectedFunction(); });

    OnCommandId(ID_FUNC_ADD, [this] { AddFunction(); });
    OnCommandId(ID_FUNC_DELETE, [this] { DeleteSelectedFunction(); });
    OnCommandRange(ID_VIEW_PAD1, ID_VIEW_PAD4, [this](int nID) {
        if (CVextKeyDoc* pDoc = GetDoc())
            pDoc->TogglePadView(nID - ID_VIEW_PAD1 + 1);
    });
    OnUpdateRange(ID_VIEW_PAD1, ID_VIEW_PAD4, [this](CCmdUI& ui) {
        CVextKeyDoc* pDoc = GetDoc();
        ui.Enable(pDoc != nullptr);
        ui.SetCheck(pDoc && pDoc->IsPadViewOpen(ui.m_nID - ID_VIEW_PAD1 + 1) ? 1 : 0);
    });
    OnCommandId(ID_EDIT_COPY, [this] { CopyFunction(); });
    OnCommandId(ID_EDIT_CUT, [this] { CutFunction(); });
    OnCommandId(ID_EDIT_PASTE, [this] { PasteFunction(); });
    OnUpdateId(ID_EDIT_COPY, [this](CCmdUI& ui) { ui.Enable(m_pList->GetSelectedItem() >= 0); });
    OnUpdateId(ID_EDIT_CUT, [this](CCmdUI& ui) { ui.Enable(m_pList->GetSelectedItem() >= 0); });
    OnUpdateId(ID_EDIT_PASTE, [](CCmdUI& ui) { ui.Enable(ClipboardHasFunctionBlock()); });
    OnCommandId(ID_LIST_UNMAP_ALL, [this] { UnmapAllMappedButtons(); });
    OnUpdateId(ID_LIST_UNMAP_ALL, [this](CCmdUI& ui) {
        CVextKeyDoc* pDoc = GetDoc();
        const int row = m_pList->GetSelectedItem();
        ui.Enable(pDoc && row >= 0 && pDoc->IsFunctionMapped(m_pList->GetItemData(row)));
    });
    OnUpdateId(ID_FILE_SAVE, [this](CCmdUI& ui) {
        CVextKeyDoc* pDoc = GetDoc();
        ui.Enable(pDoc && pDoc->IsModified());
    });

    // Printing: enabled, as every handled command, while this key set's view is active.
    const struct {
        int nID;
        PrintCommand command;
    } printCommands[] = {{ID_FILE_PRINT, PrintCommand::Print},
                         {ID_FILE_PRINT_DIRECT, PrintCommand::PrintDirect},
                         {ID_FILE_PRINT_PREVIEW, PrintCommand::PrintPreview}};
    for (const auto& entry : printCommands) {
        OnCommandId(entry.nID, [this, command = entry.command] {
            if (const KeySetDocument* pDoc = GetKeySetDocument())
                RunPrintCommand(command, *pDoc, window());
        });
    }
}

CVextKeyView::~CVextKeyView() = default;

KeySetDocument* CVextKeyView::GetKeySetDocument() const {
    return dynamic_cast<KeySetDocument*>(GetDocument());
}

CVextKeyDoc* CVextKeyView::GetDoc() const {
    KeySetDocument* pDoc = GetKeySetDocument();
    return pDoc ? &pDoc->Doc() : nullptr;
}

QAction* CVextKeyView::ToolAction(int nID) const {
    for (QAction* pAction : m_pToolBar->actions()) {
        if (pAction->data().toInt() == nID)
            return pAction;
    }
    return nullptr;
}

void CVextKeyView::OnInitialUpdate() {
    CVextKeyDoc* pDoc = GetDoc();
    m_pList->Create(pDoc);
    if (pDoc) {
        for (std::size_t i = 0; i < pDoc->m_functions.size(); ++i)
            m_pList->InsertItem(static_cast<int>(i), pDoc->m_functions[i]->m_nCookie);
    }
    CView::OnInitialUpdate();
    connect(m_pPollTimer, &QTimer::timeout, this, [this] { PollPads(); });
    m_pPollTimer->start(kPollIntervalMs);
}

void CVextKeyView::PollPads() {
    KeySetDocument* pKeySet = GetKeySetDocument();
    CVextKeyDoc* pDoc = GetDoc();
    vext::IAppContext* pApp = vext::TheAppContext();
    if (!pKeySet || !pDoc) {
        return;
    }
    const bool bAutoMapping = pApp && pApp->IsAutoMapping() && m_pList->hasFocus();
    bool bPadWindow = false;
    for (int nSlot = 1; nSlot <= CVextKeyDoc::kSlotCount; ++nSlot) {
        bPadWindow = bPadWindow || pKeySet->PadView(nSlot) != nullptr;
    }
    PadStates states;
    PadPressesAll presses{};
    // Nothing would light or be mapped, or no driver answers (its coming is seen without
    // asking): the driver is not asked.
    if ((!bAutoMapping && !bPadWindow) || (pApp && !pApp->DriverAnswers())) {
        return;
    }
    const bool bAnswered = QueryPadStates(&states, m_nPollToken, &presses) != 0;
    // A driver that went or came shows at once, not when the window next asks it.
    if (pApp && bAnswered != m_bPollAnswered && bAnswered != pApp->DriverAnswers()) {
        pApp->DriverChanged();
    }
    m_bPollAnswered = bAnswered;
    if (!bAnswered) {
        return;
    }
    const std::array<int, 4> padTypes = {pDoc->GetPadType(1), pDoc->GetPadType(2),
                                         pDoc->GetPadType(3), pDoc->GetPadType(4)};
    const PadPoller::Poll poll = m_poller.Update(states, presses, padTypes);
    const int nRow = m_pList->GetSelectedItem();
    const PadLayoutTable* pLayouts = TheAppState().m_pPadLayouts;
    for (int nSlot = 1; nSlot <= CVextKeyDoc::kSlotCount; ++nSlot) {
        const PadPoller::SlotPoll& pad = poll[static_cast<size_t>(nSlot - 1)];
        if (!pad.bPresent || pDoc->m_padTypes.empty()) {
            continue;
        }
        if (CVextPadView* pView = pKeySet->PadView(nSlot)) {
            for (CPadButton* pButton : pView->Buttons()) {
                const bool bButton = pButton->Kind() == kInputButton && pad.bButtonsChanged;
                const bool bDirection =
                    pButton->Kind() == kInputDirection && pad.bDirectionsChanged;
                if (bButton || bDirection) {
                    const bool bPressed =
                        (pButton->Mask() & (bButton ? pad.nButtons : pad.nDirections)) != 0;
                    pButton->SetHighlight(bPressed);
                    pButton->setDown(bPressed);
                }
            }
        }
        const CPadLayout* pLayout =
            (pLayouts ? *pLayouts : AppPadLayouts()).Find(pDoc->GetPadType(nSlot));
        if (!bAutoMapping || !pad.Changed() || nRow < 0 || !pLayout) {
            continue;
        }
        // Every input down after the change maps to the row selected when the poll began; the
        // selection then moves on by one row (or goes, after the last).
        const int nCookie = m_pList->GetItemData(nRow);
        for (uint32_t nButtonId : ActiveButtonIds(nSlot, *pLayout, pad.nButtons, pad.nDirections)) {
            pDoc->MapButton(nCookie, nButtonId);
            m_pList->RedrawItem(nRow);
            if (nRow + 1 < m_pList->GetItemCount()) {
                m_pList->SetSelectedItem(nRow + 1);
            } else {
                m_pList->ClearSelectedItem(nRow);
            }
            pKeySet->RefreshPadButton(nSlot, ButtonKind(nButtonId), ButtonX(nButtonId),
                                      ButtonY(nButtonId));
        }
    }
}

void CVextKeyView::OnFunctionInserted(int nIndex) {
    CVextKeyDoc* pDoc = GetDoc();
    if (!pDoc || nIndex < 0 || nIndex >= static_cast<int>(pDoc->m_functions.size()))
        return;
    m_pList->InsertItem(nIndex, pDoc->m_functions[static_cast<std::size_t>(nIndex)]->m_nCookie);
}

void CVextKeyView::ReloadFunctions() {
    CVextKeyDoc* pDoc = GetDoc();
    std::vector<int> cookies;
    if (pDoc) {
        cookies.reserve(pDoc->m_functions.size());
        for (const auto& pFunction : pDoc->m_functions)
            cookies.push_back(pFunction->m_nCookie);
    }
    m_pList->ResetItems(std::move(cookies));
}

void CVextKeyView::OnFunctionRemoved(int nIndex) {
    m_pList->DeleteItem(nIndex);
}

void CVextKeyView::OnFunctionChanged(int nIndex) {
    m_pList->RedrawItem(nIndex);
}

int CVextKeyView::FindFunctionItem(int nCookie) const {
    return m_pList->FindItem(nCookie);
}

void CVextKeyView::CheckPadButton(int nSlot, int nCheck) {
    if (nSlot < 1 || nSlot > CVextKeyDoc::kSlotCount)
        return;
    if (QAction* pAction = ToolAction(ID_VIEW_PAD1 + nSlot - 1))
        pAction->setChecked(nCheck != 0);
}

bool CVextKeyView::RunSheet(CFuncPropSheet& sheet) {
    if (m_fnRunSheet)
        return m_fnRunSheet(sheet);
    return sheet.exec() == QDialog::Accepted;
}

int CVextKeyView::AddFunction() {
    CVextKeyDoc* pDoc = GetDoc();
    if (!pDoc)
        return 0;
    auto pFunction = std::make_unique<CKeyFunction>();
    CFuncPropSheet sheet(window());
    sheet.LoadFrom(*pFunction);
    if (!RunSheet(sheet))
        return 0;
    sheet.SaveTo(*pFunction);
    if (pFunction->m_strDescription.empty())
        return 0;
    CKeyFunction* pAdded = pDoc->AddFunction(std::move(pFunction));
    m_pList->viewport()->update();
    return pAdded ? pAdded->m_nCookie : 0;
}

void CVextKeyView::EditSelectedFunction() {
    CVextKeyDoc* pDoc = GetDoc();
    const int row = m_pList->GetSelectedItem();
    if (!pDoc || row < 0)
        return;
    CKeyFunction* pFunction = pDoc->EditTarget(m_pList->GetItemData(row));
    if (!pFunction)
        return;
    const int32_t nOldMode = pFunction->m_nMode;
    const std::vector<std::string> oldSteps = pFunction->m_steps;
    CFuncPropSheet sheet(window());
    sheet.LoadFrom(*pFunction);
    if (!RunSheet(sheet)) {
        // Steps saved by leaving the Step Mode page stay even when the sheet is cancelled; the
        // key set has changed then and must say so, or closing it would lose them silently.
        if (pFunction->m_steps != oldSteps)
            pDoc->SetModifiedFlag();
        return;
    }
    sheet.SaveTo(*pFunction);
    pDoc->FinishEdit(pFunction, nOldMode);
    m_pList->viewport()->update();
}

void CVextKeyView::DeleteSelectedFunction() {
    CVextKeyDoc* pDoc = GetDoc();
    const int row = m_pList->GetSelectedItem();
    if (!pDoc || row < 0)
        return;
    pDoc->DeleteFunction(m_pList->GetItemData(row), true);
}

void CVextKeyView::CopyFunction() {
    m_pList->CopySelection();
}

void CVextKeyView::CutFunction() {
    if (m_pList->CopySelection())
        DeleteSelectedFunction();
}

void CVextKeyView::PasteFunction() {
    PasteFromData(QApplication::clipboard()->mimeData());
}

bool CVextKeyView::PasteFromData(const QMimeData* pData) {
    CVextKeyDoc* pDoc = GetDoc();
    const std::vector<uint8_t> block = TransferBlockOf(pData);
    if (!pDoc || block.empty())
        return false;
    const bool bPasted = PasteFunctionBlock(*pDoc, block) != nullptr;
    m_pList->viewport()->update();
    return bPasted;
}

void CVextKeyView::UnmapAllMappedButtons() {
    CVextKeyDoc* pDoc = GetDoc();
    const int row = m_pList->GetSelectedItem();
    if (!pDoc || row < 0)
        return;
    const int cookie = m_pList->GetItemData(row);
    std::vector<uint32_t> buttons;
    pDoc->m_mappings.ForEach([&](const MappingTable::Entry& e) {
        if (e.nCookie == cookie)
            buttons.push_back(e.nButtonId);
    });
    for (uint32_t id : buttons) {
        pDoc->UnmapButton(id);
        if (IDocViews* pViews = pDoc->Views())
            pViews->RefreshPadButton(ButtonSlot(id), ButtonKind(id), ButtonX(id), ButtonY(id));
    }
    m_pList->RedrawItem(row);
}

void CVextKeyView::SelectFunction(int nCookie) {
    m_pList->SetSelectedItem(FindFunctionItem(nCookie));
}

void CVextKeyView::ShowListMenu(const QPoint& globalPos) {
    CMDIFrameWnd* pFrame = AfxGetMainWnd();
    if (!pFrame)
        return;
    // Menu 139: its commands go through the main frame's routing to the active view.
    QMenu menu(this);
    const struct {
        int nID;
        const char* pszText;
    } items[] = {{ID_EDIT_CUT, "Cu&t"},
                 {ID_EDIT_COPY, "&Copy"},
                 {ID_EDIT_PASTE, "&Paste"},
                 {0, nullptr},
                 {ID_LIST_UNMAP_ALL, "&Unmap All Mapped Buttons"}};
    for (const auto& item : items) {
        if (item.nID == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* pAction = pFrame->CommandAction(item.nID);
        if (pAction->text().isEmpty())
            pFrame->SetCommandText(item.nID, QString::fromUtf8(item.pszText));
        menu.addAction(pAction);
    }
    pFrame->UpdateMenu(&menu);
    m_pLastMenu = &menu;
    menu.exec(globalPos);
    m_pLastMenu = nullptr;
}
