#include "gui/views/KeySetDocument.h"

#include "core/driver/DeviceChannel.h"
#include "gui/framework/AppContext.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/MDIFrameWnd.h"
#include "gui/framework/Placement.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"
#include "gui/framework/WinApp.h"
#include "gui/views/PadButton.h"
#include "gui/views/VextKeyView.h"
#include "gui/views/VextPadFrame.h"
#include "gui/views/VextPadView.h"

#include <QTimer>

namespace vext {

namespace {

// How often a step held open by Auto Mapping looks whether it may close.
constexpr int kAutoMappingCheckMs = 250;

} // namespace

KeySetDocument::KeySetDocument()
    : m_pDoc(std::make_unique<CVextKeyDoc>()), m_pCheckpointTimer(std::make_unique<QTimer>()) {
    m_pCheckpointTimer->setSingleShot(true);
    QObject::connect(m_pCheckpointTimer.get(), &QTimer::timeout, [this] {
        const IAppContext* pApp = TheAppContext();
        if (pApp && pApp->IsAutoMapping()) {
            m_pCheckpointTimer->start(kAutoMappingCheckMs);
            return;
        }
        m_pDoc->CheckpointChange();
    });
    OnCommandId(ID_EDIT_UNDO, [this] { m_pDoc->Undo(); });
    OnUpdateId(ID_EDIT_UNDO, [this](CCmdUI& ui) { ui.Enable(m_pDoc->CanUndo()); });
    OnCommandId(ID_EDIT_REDO, [this] { m_pDoc->Redo(); });
    OnUpdateId(ID_EDIT_REDO, [this](CCmdUI& ui) { ui.Enable(m_pDoc->CanRedo()); });
    m_pDoc->AttachViews(this);
    m_pDoc->AttachProgress(&m_progress);
    m_pDoc->AttachPadTypes(&m_padTypes);
    OnCommandId(ID_CONFIGURE_VEXT, [this] { OnConfigureVext(); });
    OnUpdateId(ID_CONFIGURE_VEXT, [](CCmdUI& ui) {
        const IAppContext* pApp = TheAppContext();
        ui.Enable(pApp ? pApp->DriverAnswers() : GetDriverVersion() != 0);
    });
}

KeySetDocument::~KeySetDocument() {
    m_pDoc->AttachViews(nullptr);
}

void KeySetDocument::OnConfigureVext() {
    std::string strError;
    const bool bDone = m_pDoc->DownloadToDriver(&strError);
    // The status bar names the key set the driver now holds at once, not at the next idle tick.
    if (IAppContext* pApp = TheAppContext()) {
        pApp->DriverChanged();
    }
    if (!bDone) {
        AfxMessageBox(FormatResString(150, QString::fromStdString(strError)), MsgButtons::Ok,
                      MsgIcon::Stop);
    }
}

bool KeySetDocument::IsModified() const {
    return m_pDoc->IsModified();
}

void KeySetDocument::SetModifiedFlag(bool bModified) {
    m_pDoc->SetModifiedFlag(bModified);
}

QString KeySetDocument::GetTitle() const {
    return QString::fromStdString(m_pDoc->GetTitle());
}

void KeySetDocument::SetTitle(const QString& strTitle) {
    m_pDoc->SetTitle(strTitle.toStdString());
    UpdateFrameCounts();
}

QString KeySetDocument::GetPathName() const {
    return QString::fromStdString(m_pDoc->GetPathName());
}

void KeySetDocument::SetPathName(const QString& strPath, bool bAddToMRU) {
    m_pDoc->SetPathName(strPath.toStdString(), bAddToMRU);
    UpdateFrameCounts();
}

bool KeySetDocument::OnNewDocument() {
    return m_pDoc->OnNewDocument();
}

bool KeySetDocument::OnOpenDocument(const QString& strPath) {
    if (m_pDoc->OnOpenDocument(strPath.toStdString())) {
        return true;
    }
    // A damaged or unreadable file says why; one of another version was refused before.
    if (!GetFileError().isEmpty()) {
        AfxMessageBox(FormatResString(AFX_IDP_FAILED_TO_OPEN_DOC, GetFileError()), MsgButtons::Ok,
                      MsgIcon::Stop);
    }
    return false;
}

bool KeySetDocument::OnSaveDocument(const QString& strPath) {
    return m_pDoc->OnSaveDocument(strPath.toStdString());
}

QString KeySetDocument::GetFileError() const {
    return QString::fromStdString(m_pDoc->GetFileError());
}

bool KeySetDocument::ClosesWithFrame(CMDIChildWnd* pFrame) const {
    if (pFrame && qobject_cast<CVextKeyView*>(pFrame->GetActiveView())) {
        return true;
    }
    return CDocument::ClosesWithFrame(pFrame);
}

CVextKeyView* KeySetDocument::FunctionListView() const {
    for (CView* pView : GetViews()) {
        if (auto* pList = qobject_cast<CVextKeyView*>(pView)) {
            return pList;
        }
    }
    return nullptr;
}

CVextPadView* KeySetDocument::PadView(int nSlot) const {
    for (CView* pView : GetViews()) {
        auto* pPad = qobject_cast<CVextPadView*>(pView);
        if (pPad && pPad->GetSlot() == nSlot) {
            return pPad;
        }
    }
    return nullptr;
}

bool KeySetDocument::HasFunctionListView() const {
    return FunctionListView() != nullptr;
}

bool KeySetDocument::IsPadViewOpen(int nSlot) const {
    return PadView(nSlot) != nullptr;
}

int KeySetDocument::FindFunctionItem(int nCookie) const {
    CVextKeyView* pList = FunctionListView();
    return pList ? pList->FindFunctionItem(nCookie) : -1;
}

void KeySetDocument::TogglePadView(int nSlot) {
    if (nSlot < 1 || nSlot > CVextKeyDoc::kSlotCount) {
        return;
    }
    if (CVextPadView* pPad = PadView(nSlot)) {
        if (CMDIChildWnd* pFrame = pPad->GetParentFrame()) {
            m_pDoc->m_padPlacements[static_cast<size_t>(nSlot - 1)] = GetWidgetPlacement(pFrame);
            pFrame->DestroyFrame();
        }
        return;
    }
    IAppContext* pApp = TheAppContext();
    CDocTemplate* pTemplate = pApp ? pApp->PadTemplate() : nullptr;
    if (!pTemplate) {
        return;
    }
    CMDIChildWnd* pFrame = pTemplate->CreateNewFrame(this, nullptr);
    if (!pFrame) {
        return;
    }
    if (auto* pPadFrame = qobject_cast<CVextPadFrame*>(pFrame)) {
        pPadFrame->SetSlot(nSlot);
    }
    WindowPlacement wp = m_pDoc->m_padPlacements[static_cast<size_t>(nSlot - 1)];
    if (!wp.IsEmpty()) {
        wp.showCmd = WindowPlacement::kShowRestore;
        SetWidgetPlacement(pFrame, wp);
    }
    pTemplate->InitialUpdateFrame(pFrame, this, true);
}

void KeySetDocument::CheckPadButton(int nSlot, int nCheck) {
    if (CVextKeyView* pList = FunctionListView()) {
        pList->CheckPadButton(nSlot, nCheck);
    }
}

void KeySetDocument::RefreshPadButton(int nSlot, int nKind, int nX, int nY) {
    CVextPadView* pPad = PadView(nSlot);
    if (CPadButton* pButton = pPad ? pPad->FindButton(nKind, nX, nY) : nullptr) {
        pButton->Refresh();
    }
}

void KeySetDocument::FunctionInserted(int nIndex) {
    if (CVextKeyView* pList = FunctionListView()) {
        pList->OnFunctionInserted(nIndex);
    }
}

void KeySetDocument::FunctionRemoved(int nIndex) {
    if (CVextKeyView* pList = FunctionListView()) {
        pList->OnFunctionRemoved(nIndex);
    }
}

void KeySetDocument::FunctionChanged(int nIndex) {
    if (CVextKeyView* pList = FunctionListView()) {
        pList->OnFunctionChanged(nIndex);
    }
}

bool KeySetDocument::GetMainWindowPlacement(WindowPlacement& wp) const {
    CMDIFrameWnd* pMain = AfxGetMainWnd();
    if (!pMain) {
        return false;
    }
    wp = GetWidgetPlacement(pMain);
    return true;
}

void KeySetDocument::SetMainWindowPlacement(const WindowPlacement& wp) {
    if (CMDIFrameWnd* pMain = AfxGetMainWnd()) {
        SetWidgetPlacement(pMain, wp);
    }
}

bool KeySetDocument::GetFunctionListPlacement(WindowPlacement& wp) const {
    CVextKeyView* pList = FunctionListView();
    CMDIChildWnd* pFrame = pList ? pList->GetParentFrame() : nullptr;
    if (!pFrame) {
        return false;
    }
    wp = GetWidgetPlacement(pFrame);
    return true;
}

void KeySetDocument::SetFunctionListPlacement(const WindowPlacement& wp) {
    CVextKeyView* pList = FunctionListView();
    if (CMDIChildWnd* pFrame = pList ? pList->GetParentFrame() : nullptr) {
        SetWidgetPlacement(pFrame, wp);
    }
}

bool KeySetDocument::GetPadWindowPlacement(int nSlot, WindowPlacement& wp) const {
    CVextPadView* pPad = PadView(nSlot);
    CMDIChildWnd* pFrame = pPad ? pPad->GetParentFrame() : nullptr;
    if (!pFrame) {
        return false;
    }
    wp = GetWidgetPlacement(pFrame);
    return true;
}

void KeySetDocument::SetFunctionListCaption(const std::string& strCaption) {
    CVextKeyView* pList = FunctionListView();
    if (CMDIChildWnd* pFrame = pList ? pList->GetParentFrame() : nullptr) {
        pFrame->setWindowTitle(QString::fromStdString(strCaption));
    }
}

void KeySetDocument::SetPadWindowCaption(int nSlot, const std::string& strCaption) {
    CVextPadView* pPad = PadView(nSlot);
    if (CMDIChildWnd* pFrame = pPad ? pPad->GetParentFrame() : nullptr) {
        pFrame->setWindowTitle(QString::fromStdString(strCaption));
    }
}

void KeySetDocument::UpdateAllViews() {
    CDocument::UpdateAllViews(nullptr);
}

void KeySetDocument::ChangePending() {
    m_pCheckpointTimer->start(0);
}

void KeySetDocument::ContentsReplaced() {
    if (CVextKeyView* pList = FunctionListView()) {
        pList->ReloadFunctions();
    }
    for (int nSlot = 1; nSlot <= CVextKeyDoc::kSlotCount; ++nSlot) {
        if (CVextPadView* pPad = PadView(nSlot)) {
            pPad->ReloadPad();
        }
    }
}

void KeySetDocument::AddToRecentFileList(const std::string& strPath) {
    if (CWinApp* pApp = AfxGetApp()) {
        pApp->AddToRecentFileList(QString::fromStdString(strPath));
    }
}

} // namespace vext
