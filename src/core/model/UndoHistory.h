#pragma once

// The states a key set went through, for Undo and Redo. A state holds what the key-set file
// holds of the document except the window placements; its functions are shared between states
// that have them unchanged, so a step costs about the functions it changed.

#include "core/model/KeyFunction.h"
#include "core/model/MappingTable.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace vext {

struct KeySetState {
    std::vector<std::shared_ptr<const CKeyFunction>> functions;
    std::vector<MappingTable::Entry> mappings;
    std::vector<int32_t> padTypes;
    int32_t nLastCookie = 0;

    // The state of these data, sharing every function that previous holds unchanged.
    static KeySetState Capture(const std::vector<std::unique_ptr<CKeyFunction>>& functions,
                               const MappingTable& mappings, const std::vector<int32_t>& padTypes,
                               int32_t nLastCookie, const KeySetState& previous);
    bool operator==(const KeySetState& other) const;
};

class UndoHistory {
public:
    // Steps kept back from the current state; the oldest go first.
    static constexpr size_t kMostSteps = 100;

    // Forgets every step: base is the only state, and the saved one.
    void Reset(KeySetState base);
    // Makes state the current one, one step after the previous, dropping the steps Redo had.
    void Commit(KeySetState state);
    const KeySetState& Current() const { return m_states[m_nCurrent]; }

    bool CanUndo() const { return m_nCurrent > 0; }
    bool CanRedo() const { return m_nCurrent + 1 < m_states.size(); }
    // The state to restore, or null when there is no step that way.
    const KeySetState* Undo();
    const KeySetState* Redo();

    // The current state is the one on disk; AtSaved says whether Undo or Redo came back to it.
    void MarkSaved() { m_nSaved = m_nCurrent; }
    bool AtSaved() const { return m_nSaved == m_nCurrent; }

private:
    std::deque<KeySetState> m_states{KeySetState{}};
    size_t m_nCurrent = 0;
    std::optional<size_t> m_nSaved = 0;
};

} // namespace vext
