#include "core/model/VextKeyDoc.h"

#include "core/model/AppState.h"
#include "core/model/ButtonId.h"
#include "core/model/DocViews.h"
#include "core/model/PadTypeSource.h"

#include <cstdint>

CVextKeyDoc::CVextKeyDoc() = default;

CVextKeyDoc::~CVextKeyDoc() = default;

std::string CVextKeyDoc::TitleFromPath(const std::string& strPath) {
    const size_t slash = strPath.find_last_of('/');
    std::string name = slash == std::string::npos ? strPath : strPath.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

void CVextKeyDoc::SetPathName(const std::string& strPath, bool bAddToMRU) {
    m_strPathName = strPath;
    m_strTitle = TitleFromPath(strPath);
    if (bAddToMRU && m_pViews) {
        m_pViews->AddToRecentFileList(strPath);
    }
}

void CVextKeyDoc::SetModifiedFlag(bool bModified) {
    if (!bModified) {
        CheckpointChange();
        m_history.MarkSaved();
        m_bModified = false;
        return;
    }
    m_bModified = true;
    if (!m_bChangePending) {
        m_bChangePending = true;
        if (m_pViews) {
            m_pViews->ChangePending();
        }
    }
}

void CVextKeyDoc::CheckpointChange() {
    if (!m_bChangePending) {
        return;
    }
    m_bChangePending = false;
    vext::KeySetState state = vext::KeySetState::Capture(m_functions, m_mappings, m_padTypes,
                                                         m_nLastCookie, m_history.Current());
    // A change that came to nothing (a button mapped to the function it had) is no step.
    if (!(state == m_history.Current())) {
        m_history.Commit(std::move(state));
    }
}

bool CVextKeyDoc::Undo() {
    return TakeStep(&vext::UndoHistory::Undo);
}

bool CVextKeyDoc::Redo() {
    return TakeStep(&vext::UndoHistory::Redo);
}

bool CVextKeyDoc::TakeStep(const vext::KeySetState* (vext::UndoHistory::*step)()) {
    // A change still waiting for its checkpoint is the step to take back first.
    CheckpointChange();
    const vext::KeySetState* pState = (m_history.*step)();
    if (pState) {
        RestoreState(*pState);
    }
    return pState != nullptr;
}

void CVextKeyDoc::RestoreState(const vext::KeySetState& state) {
    m_functions.clear();
    m_functions.reserve(state.functions.size());
    for (const auto& pFunction : state.functions) {
        m_functions.push_back(std::make_unique<CKeyFunction>(*pFunction));
    }
    m_mappings.Assign(state.mappings);
    m_padTypes = state.padTypes;
    m_nLastCookie = state.nLastCookie;
    m_bModified = !m_history.AtSaved();
    if (m_pViews) {
        m_pViews->ContentsReplaced();
    }
}

void CVextKeyDoc::StartHistory() {
    m_bChangePending = false;
    m_bModified = false;
    m_history.Reset(vext::KeySetState::Capture(m_functions, m_mappings, m_padTypes, m_nLastCookie,
                                               vext::KeySetState{}));
}

void CVextKeyDoc::DeleteContents() {
    for (size_t i = m_functions.size(); i-- > 0;) {
        RemoveFunctionAt(i);
    }
    m_mappings.RemoveAll();
    m_padTypes.clear();
    m_nLastCookie = 0;
}

bool CVextKeyDoc::OnNewDocument() {
    DeleteContents();
    m_bModified = false;
    m_strPathName.clear();
    m_nLastCookie = 0;
    m_padPlacements.fill(vext::WindowPlacement{});

    const int nDefault = vext::TheAppState().m_nDefaultPadType;
    std::array<int, kSlotCount> types{};
    types.fill(vext::IPadTypeSource::kUnknown);
    if (m_pPadTypeSource) {
        types = m_pPadTypeSource->PadTypes();
    }
    for (const int nType : types) {
        m_padTypes.push_back(nType != vext::IPadTypeSource::kUnknown ? nType : nDefault);
    }
    StartHistory();
    return true;
}

int CVextKeyDoc::NewCookie() {
    SetModifiedFlag();
    // Counts up from the last cookie, skipping any a hand-edited file already gave a function or
    // a mapping; past the largest it starts again at 1, since cookies are positive.
    const auto bUsed = [this](int32_t nCookie) {
        return FindFunctionIndex(nCookie) >= 0 || IsFunctionMapped(nCookie);
    };
    int32_t nCookie = m_nLastCookie;
    do {
        nCookie = nCookie > 0 && nCookie < INT32_MAX ? nCookie + 1 : 1;
    } while (bUsed(nCookie));
    m_nLastCookie = nCookie;
    return nCookie;
}

CKeyFunction* CVextKeyDoc::FindFunction(int nCookie) const {
    const int nIndex = FindFunctionIndex(nCookie);
    return nIndex < 0 ? nullptr : m_functions[static_cast<size_t>(nIndex)].get();
}

int CVextKeyDoc::FindFunctionIndex(int nCookie) const {
    for (size_t i = 0; i < m_functions.size(); ++i) {
        if (m_functions[i]->m_nCookie == nCookie) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CVextKeyDoc::FindFunctionItem(int nCookie) const {
    return m_pViews ? m_pViews->FindFunctionItem(nCookie) : -1;
}

bool CVextKeyDoc::MapButton(int nCookie, uint32_t nButtonId) {
    m_mappings.SetAt(nButtonId, nCookie);
    SetModifiedFlag();
    return true;
}

bool CVextKeyDoc::UnmapButton(uint32_t nButtonId) {
    SetModifiedFlag();
    return m_mappings.RemoveKey(nButtonId);
}

bool CVextKeyDoc::SwapButtons(uint32_t nFirst, uint32_t nSecond) {
    int32_t nFirstCookie = 0;
    int32_t nSecondCookie = 0;
    if (!m_mappings.Lookup(nFirst, nFirstCookie) || !m_mappings.Lookup(nSecond, nSecondCookie)) {
        return false;
    }
    m_mappings.SetAt(nFirst, nSecondCookie);
    m_mappings.SetAt(nSecond, nFirstCookie);
    SetModifiedFlag();
    return true;
}

CKeyFunction* CVextKeyDoc::FindMappedFunction(int nSlot, int nX, int nY, int nKind) const {
    int32_t nCookie = 0;
    if (!m_mappings.Lookup(vext::MakeButtonId(nSlot, nX, nY, nKind), nCookie)) {
        return nullptr;
    }
    return FindFunction(nCookie);
}

bool CVextKeyDoc::IsFunctionMapped(int nCookie) const {
    bool bFound = false;
    m_mappings.ForEach(
        [&](const vext::MappingTable::Entry& e) { bFound = bFound || e.nCookie == nCookie; });
    return bFound;
}

bool CVextKeyDoc::PadHasMappings(int nSlot) const {
    bool bFound = false;
    m_mappings.ForEach([&](const vext::MappingTable::Entry& e) {
        bFound = bFound || vext::ButtonSlot(e.nButtonId) == nSlot;
    });
    return bFound;
}

CKeyFunction* CVextKeyDoc::InsertFunction(size_t nIndex, std::unique_ptr<CKeyFunction> pFunction) {
    CKeyFunction* pInserted = pFunction.get();
    m_functions.insert(m_functions.begin() + static_cast<std::ptrdiff_t>(nIndex),
                       std::move(pFunction));
    if (m_pViews) {
        m_pViews->FunctionInserted(static_cast<int>(nIndex));
    }
    return pInserted;
}

void CVextKeyDoc::RemoveFunctionAt(size_t nIndex) {
    m_functions.erase(m_functions.begin() + static_cast<std::ptrdiff_t>(nIndex));
    if (m_pViews) {
        m_pViews->FunctionRemoved(static_cast<int>(nIndex));
    }
}

CKeyFunction* CVextKeyDoc::InsertCompanion(CKeyFunction* pStep, size_t nIndex) {
    auto pCompanion = std::make_unique<CKeyFunction>();
    pCompanion->m_bStepDown = 1;
    pCompanion->m_nMode = CKeyFunction::kModeStep;
    pCompanion->m_nCookie = NewCookie();
    pCompanion->m_nLinkCookie = pStep->m_nCookie;
    pStep->m_nLinkCookie = pCompanion->m_nCookie;
    return InsertFunction(nIndex, std::move(pCompanion));
}

CKeyFunction* CVextKeyDoc::AddFunction(std::unique_ptr<CKeyFunction> pFunction) {
    if (!pFunction) {
        return nullptr;
    }
    pFunction->m_bStepDown = 0;
    pFunction->m_nCookie = NewCookie();
    pFunction->m_nLinkCookie = 0;
    CKeyFunction* pAdded = InsertFunction(m_functions.size(), std::move(pFunction));
    // Any non-zero mode plays as Step, so a hand-made negative mode gets its companion too.
    if (pAdded->IsStepMode()) {
        InsertCompanion(pAdded, m_functions.size());
    }
    SetModifiedFlag();
    return pAdded;
}

bool CVextKeyDoc::DeleteFunction(int nCookie, bool bWithLinked) {
    const int nIndex = FindFunctionIndex(nCookie);
    if (nIndex < 0) {
        return false;
    }
    const int32_t nLink = LinkOf(*m_functions[static_cast<size_t>(nIndex)]);
    RemoveFunctionAt(static_cast<size_t>(nIndex));

    const int nLinkedIndex = nLink != 0 ? FindFunctionIndex(nLink) : -1;
    SetModifiedFlag();
    if (bWithLinked && nLinkedIndex >= 0) {
        RemoveFunctionAt(static_cast<size_t>(nLinkedIndex));
    }

    m_mappings.RemoveIf(
        [&](const vext::MappingTable::Entry& e) {
            return e.nCookie == nCookie || (bWithLinked && nLink != 0 && e.nCookie == nLink);
        },
        [&](const vext::MappingTable::Entry& e) {
            const int nSlot = vext::ButtonSlot(e.nButtonId);
            if (m_pViews && m_pViews->IsPadViewOpen(nSlot)) {
                m_pViews->RefreshPadButton(nSlot, vext::ButtonKind(e.nButtonId),
                                           vext::ButtonX(e.nButtonId), vext::ButtonY(e.nButtonId));
            }
        });
    return true;
}

int32_t CVextKeyDoc::LinkOf(const CKeyFunction& f) {
    return f.m_nLinkCookie == f.m_nCookie ? 0 : f.m_nLinkCookie;
}

CKeyFunction* CVextKeyDoc::EditTarget(int nCookie) const {
    CKeyFunction* pFunction = FindFunction(nCookie);
    if (pFunction && pFunction->IsCompanion()) {
        return FindFunction(pFunction->m_nLinkCookie);
    }
    return pFunction;
}

void CVextKeyDoc::FinishEdit(CKeyFunction* pFunction, int32_t nOldMode) {
    const int nIndex = pFunction ? FindFunctionIndex(pFunction->m_nCookie) : -1;
    if (nIndex < 0) {
        return;
    }
    const bool bWasStep = nOldMode != 0;
    const bool bIsStep = pFunction->IsStepMode();
    if (bWasStep && !bIsStep) {
        // The companion goes; a link naming the function itself names none, or the function
        // being edited would delete itself.
        if (const int32_t nLink = LinkOf(*pFunction); nLink != 0) {
            DeleteFunction(nLink, false);
        }
        pFunction->m_nLinkCookie = 0;
    } else if (!bWasStep && bIsStep) {
        InsertCompanion(pFunction, static_cast<size_t>(nIndex) + 1);
    }
    if (m_pViews) {
        m_pViews->FunctionChanged(FindFunctionIndex(pFunction->m_nCookie));
        if (bWasStep && bIsStep) {
            const int nCompanion = FindFunctionIndex(pFunction->m_nLinkCookie);
            if (nCompanion >= 0) {
                m_pViews->FunctionChanged(nCompanion);
            }
        }
    }
    SetModifiedFlag();
}

int CVextKeyDoc::GetPadType(int nSlot) const {
    if (nSlot >= 1 && static_cast<size_t>(nSlot) <= m_padTypes.size()) {
        return m_padTypes[static_cast<size_t>(nSlot - 1)];
    }
    return vext::TheAppState().m_nDefaultPadType;
}

void CVextKeyDoc::SetPadType(int nSlot, int nPadType, bool bMarkModified) {
    if (nSlot < 1 || nSlot > kSlotCount) {
        return;
    }
    const size_t nIndex = static_cast<size_t>(nSlot - 1);
    while (m_padTypes.size() <= nIndex) {
        m_padTypes.push_back(vext::TheAppState().m_nDefaultPadType);
    }
    m_padTypes[nIndex] = nPadType;
    if (bMarkModified) {
        SetModifiedFlag();
    }
}

bool CVextKeyDoc::IsPadViewOpen(int nSlot) const {
    return m_pViews && m_pViews->IsPadViewOpen(nSlot);
}

bool CVextKeyDoc::HasFunctionListView() const {
    return m_pViews && m_pViews->HasFunctionListView();
}

void CVextKeyDoc::TogglePadView(int nSlot) {
    if (m_pViews) {
        m_pViews->TogglePadView(nSlot);
    }
}

void CVextKeyDoc::CheckPadButton(int nSlot, int nCheck) {
    if (m_pViews && m_pViews->HasFunctionListView() && nSlot >= 1 && nSlot <= kSlotCount) {
        m_pViews->CheckPadButton(nSlot, nCheck & 0xFFFF);
    }
}
