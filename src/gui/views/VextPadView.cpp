#include "gui/views/VextPadView.h"

#include "core/model/AppState.h"
#include "core/model/VextKeyDoc.h"
#include "core/pad/PadLayoutTable.h"
#include "core/pad/PadTypes.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/HelpTexts.h"
#include "gui/framework/MdiPlacement.h"
#include "gui/framework/PopupMenu.h"
#include "gui/framework/Resources.h"
#include "gui/views/KeySetDocument.h"
#include "gui/views/PadButton.h"
#include "gui/views/VextKeyView.h"
#include "gui/views/VextPadFrame.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QPainter>

using namespace vext;

namespace {

const PadLayoutTable& Layouts() {
    const PadLayoutTable* pLayouts = TheAppState().m_pPadLayouts;
    return pLayouts ? *pLayouts : AppPadLayouts();
}

struct PadTypeCommand {
    int nId;
    int nPadType;
    const char* pszMenuText;
};
constexpr PadTypeCommand kPadTypeCommands[] = {
    {ID_PADTYPE_STANDARD, kPadStandard, "&Standard Vext Pad"},
    {ID_PADTYPE_CORVEL, kPadCorvel, "&Corvel Pad"},
    {ID_PADTYPE_TWINSTICK, kPadTwinStick, "&Twin-Stick Pad"},
};

// Where the keyboard opens the popup: near the top-left corner, as a right click there would.
constexpr QPoint kKeyboardMenuPoint(5, 5);

} // namespace

CVextPadView::CVextPadView(QWidget* pParent) : CView(pParent) {
    InitAppResources();
    setWhatsThis(ResString(IDH_PAD_VIEW));
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::DefaultContextMenu);

    for (const PadTypeCommand& command : kPadTypeCommands) {
        const int nPadType = command.nPadType;
        OnCommandId(command.nId, [this, nPadType] { SwitchPadType(nPadType); });
        OnUpdateId(command.nId, [this, nPadType](CCmdUI& ui) {
            ui.Enable(true);
            ui.SetCheck(m_nPadType == nPadType);
        });
    }
    OnCommandId(ID_PAD_UNMAP_ALL, [this] { UnmapAllButtons(); });
    OnUpdateId(ID_PAD_UNMAP_ALL, [this](CCmdUI& ui) {
        ui.Enable(std::any_of(m_buttons.begin(), m_buttons.end(),
                              [](const CPadButton* pButton) { return pButton->IsMapped(); }));
    });
    OnCommandRange(ID_VIEW_PAD1, ID_VIEW_PAD4, [this](int nID) {
        if (CVextKeyDoc* pDoc = GetDoc()) {
            pDoc->TogglePadView(nID - ID_VIEW_PAD1 + 1);
        }
    });
    OnUpdateRange(ID_VIEW_PAD1, ID_VIEW_PAD4, [this](CCmdUI& ui) {
        CVextKeyDoc* pDoc = GetDoc();
        ui.Enable(pDoc != nullptr);
        ui.SetCheck(pDoc && pDoc->IsPadViewOpen(ui.m_nID - ID_VIEW_PAD1 + 1));
    });
}

CVextPadView::~CVextPadView() {
    OnFrameClosing();
}

KeySetDocument* CVextPadView::GetKeySetDocument() const {
    return dynamic_cast<KeySetDocument*>(GetDocument());
}

CVextKeyDoc* CVextPadView::GetDoc() const {
    KeySetDocument* pDoc = GetKeySetDocument();
    return pDoc ? &pDoc->Doc() : nullptr;
}

CVextKeyView* CVextPadView::FunctionListView() const {
    KeySetDocument* pDoc = GetKeySetDocument();
    return pDoc ? pDoc->FunctionListView() : nullptr;
}

const CPadButtonInfo* CVextPadView::LayoutEntry(int nIndex) const {
    const CPadLayout* pLayout = Layouts().Find(m_nPadType);
    if (!pLayout || nIndex < 0 || nIndex >= static_cast<int>(pLayout->m_buttons.size())) {
        return nullptr;
    }
    return &pLayout->m_buttons[static_cast<size_t>(nIndex)];
}

void CVextPadView::OnInitialUpdate() {
    CView::OnInitialUpdate();
    auto* pFrame = qobject_cast<CVextPadFrame*>(GetParentFrame());
    CVextKeyDoc* pDoc = GetDoc();
    if (!pFrame || !pDoc) {
        return;
    }
    m_nSlot = pFrame->GetSlot();
    pFrame->OnUpdateFrameTitle(0);
    LoadPad(pDoc->GetPadType(m_nSlot));
    CreateButtons();
    RefreshButtons();
    connect(pFrame, &vext::CMDIChildWnd::frameDestroying, this, [this] { OnFrameClosing(); });
    pDoc->CheckPadButton(m_nSlot, 1);
    m_bToldOpen = true;
}

void CVextPadView::OnFrameClosing() {
    if (!m_bToldOpen) {
        return;
    }
    m_bToldOpen = false;
    // The frame is going: its Pad button on the function list's toolbar comes up again.
    if (CVextKeyView* pList = FunctionListView()) {
        pList->CheckPadButton(m_nSlot, 0);
    }
}

bool CVextPadView::LoadPad(int nPadType) {
    const PadTypeInfo* pType = FindPadType(nPadType);
    if (!pType) {
        return false;
    }
    QPixmap picture(QStringLiteral(":/bitmaps/%1.bmp").arg(pType->nPicture));
    if (picture.isNull() || !Layouts().Find(nPadType)) {
        return false;
    }
    CMDIChildWnd* pFrame = GetParentFrame();
    const bool bWasVisible = pFrame && pFrame->isVisible();
    // Hidden while it changes, so that no half-made pad is ever seen.
    if (bWasVisible) {
        pFrame->hide();
    }
    DestroyButtons();
    m_picture = picture;
    m_nPadType = nPadType;
    SizeToPicture();
    if (CVextKeyDoc* pDoc = GetDoc()) {
        pDoc->SetPadType(m_nSlot, nPadType, false);
    }
    if (bWasVisible) {
        pFrame->showNormal();
        // A larger pad must not grow out of the workspace.
        if (QMdiArea* pArea = pFrame->mdiArea()) {
            KeepInside(pArea, pFrame);
        }
    }
    update();
    return true;
}

void CVextPadView::SizeToPicture() {
    setFixedSize(m_picture.size());
    if (auto* pFrame = qobject_cast<CVextPadFrame*>(GetParentFrame())) {
        pFrame->FitToView();
    }
}

void CVextPadView::CreateButtons() {
    const CPadLayout* pLayout = Layouts().Find(m_nPadType);
    const int nCount =
        pLayout ? std::min<int>(pLayout->m_nCount, static_cast<int>(pLayout->m_buttons.size())) : 0;
    for (int i = 0; i < nCount; ++i) {
        auto* pButton = new CPadButton(this, i);
        pButton->show();
        m_buttons.push_back(pButton);
    }
}

void CVextPadView::DestroyButtons() {
    for (CPadButton* pButton : m_buttons) {
        delete pButton;
    }
    m_buttons.clear();
}

void CVextPadView::RefreshButtons() {
    for (CPadButton* pButton : m_buttons) {
        pButton->Refresh();
    }
}

void CVextPadView::ReloadPad() {
    CVextKeyDoc* pDoc = GetDoc();
    if (pDoc && pDoc->GetPadType(m_nSlot) != m_nPadType && LoadPad(pDoc->GetPadType(m_nSlot))) {
        CreateButtons();
    }
    RefreshButtons();
}

CPadButton* CVextPadView::FindButton(int nKind, int nX, int nY) const {
    for (CPadButton* pButton : m_buttons) {
        if (pButton->Kind() == nKind && pButton->X() == nX && pButton->Y() == nY) {
            return pButton;
        }
    }
    return nullptr;
}

void CVextPadView::SwitchPadType(int nPadType) {
    CVextKeyDoc* pDoc = GetDoc();
    if (!pDoc || nPadType == m_nPadType || !LoadPad(nPadType)) {
        return;
    }
    CreateButtons();
    RefreshButtons();
    pDoc->SetModifiedFlag();
}

void CVextPadView::UnmapAllButtons() {
    for (CPadButton* pButton : m_buttons) {
        pButton->Unmap();
    }
}

void CVextPadView::ShowPadMenu(const QPoint& globalPos) {
    // A right click on a button is the button's own business, also where its picture shows.
    if (qobject_cast<CPadButton*>(childAt(mapFromGlobal(globalPos)))) {
        return;
    }
    const auto item = [](const PadTypeCommand& command) {
        return PopupItem{command.nId, command.pszMenuText};
    };
    RunPopupMenu(*this,
                 {item(kPadTypeCommands[0]),
                  item(kPadTypeCommands[1]),
                  item(kPadTypeCommands[2]),
                  {0, nullptr},
                  {ID_PAD_UNMAP_ALL, "&Unmap All Buttons"}},
                 globalPos, {.bUpdate = true}, this);
}

void CVextPadView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void CVextPadView::contextMenuEvent(QContextMenuEvent* pEvent) {
    pEvent->accept();
    if (pEvent->reason() == QContextMenuEvent::Keyboard) {
        ShowPadMenu(mapToGlobal(kKeyboardMenuPoint));
    } else {
        ShowPadMenu(pEvent->globalPos());
    }
}

void CVextPadView::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_F10 && pEvent->modifiers().testFlag(Qt::ShiftModifier)) {
        pEvent->accept();
        ShowPadMenu(mapToGlobal(kKeyboardMenuPoint));
        return;
    }
    CView::keyPressEvent(pEvent);
}

// Between the buttons nothing can be dropped: taking the drag here, and refusing every move,
// shows the no-drop cursor instead of passing the drag on to the main window.
void CVextPadView::dragEnterEvent(QDragEnterEvent* pEvent) {
    pEvent->setDropAction(Qt::IgnoreAction);
    pEvent->accept();
}

void CVextPadView::dragMoveEvent(QDragMoveEvent* pEvent) {
    pEvent->ignore();
}

void CVextPadView::dropEvent(QDropEvent* pEvent) {
    pEvent->ignore();
}
