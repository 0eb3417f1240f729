#include "core/model/UndoHistory.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace vext {

KeySetState KeySetState::Capture(const std::vector<std::unique_ptr<CKeyFunction>>& functions,
                                 const MappingTable& mappings, const std::vector<int32_t>& padTypes,
                                 int32_t nLastCookie, const KeySetState& previous) {
    KeySetState state;
    state.functions.reserve(functions.size());
    // Most steps leave the functions where they were; the rest are found by cookie.
    std::unordered_map<int32_t, const std::shared_ptr<const CKeyFunction>*> byCookie;
    const auto findPrevious = [&](size_t nIndex, const CKeyFunction& f) {
        if (nIndex < previous.functions.size() && *previous.functions[nIndex] == f) {
            return &previous.functions[nIndex];
        }
        if (byCookie.empty()) {
            for (const auto& p : previous.functions) {
                byCookie.emplace(p->m_nCookie, &p);
            }
        }
        const auto found = byCookie.find(f.m_nCookie);
        return found != byCookie.end() && **found->second == f ? found->second : nullptr;
    };
    for (size_t i = 0; i < functions.size(); ++i) {
        const CKeyFunction& f = *functions[i];
        const auto* pShared = findPrevious(i, f);
        state.functions.push_back(pShared ? *pShared : std::make_shared<const CKeyFunction>(f));
    }
    mappings.ForEach([&](const MappingTable::Entry& e) { state.mappings.push_back(e); });
    state.padTypes = padTypes;
    state.nLastCookie = nLastCookie;
    return state;
}

bool KeySetState::operator==(const KeySetState& other) const {
    const auto sameEntry = [](const MappingTable::Entry& a, const MappingTable::Entry& b) {
        return a.nButtonId == b.nButtonId && a.nCookie == b.nCookie;
    };
    const auto sameFunction = [](const auto& a, const auto& b) { return a == b || *a == *b; };
    return nLastCookie == other.nLastCookie && padTypes == other.padTypes &&
           std::equal(mappings.begin(), mappings.end(), other.mappings.begin(),
                      other.mappings.end(), sameEntry) &&
           std::equal(functions.begin(), functions.end(), other.functions.begin(),
                      other.functions.end(), sameFunction);
}

void UndoHistory::Reset(KeySetState base) {
    m_states.clear();
    m_states.push_back(std::move(base));
    m_nCurrent = 0;
    m_nSaved = 0;
}

void UndoHistory::Commit(KeySetState state) {
    m_states.erase(m_states.begin() + static_cast<std::ptrdiff_t>(m_nCurrent) + 1, m_states.end());
    if (m_nSaved && *m_nSaved > m_nCurrent) {
        m_nSaved.reset();
    }
    m_states.push_back(std::move(state));
    ++m_nCurrent;
    if (m_nCurrent > kMostSteps) {
        m_states.pop_front();
        --m_nCurrent;
        if (m_nSaved) {
            m_nSaved = *m_nSaved > 0 ? std::optional<size_t>(*m_nSaved - 1) : std::nullopt;
        }
    }
}

const KeySetState* UndoHistory::Undo() {
    if (!CanUndo()) {
        return nullptr;
    }
    return &m_states[--m_nCurrent];
}

const KeySetState* UndoHistory::Redo() {
    if (!CanRedo()) {
        return nullptr;
    }
    return &m_states[++m_nCurrent];
}

} // namespace vext
