#pragma once

// Turns pad inputs (button ID down and up) into key events, playing the functions of the loaded
// key set: Normal, Step with its step-down companion, and Auto-Repeat. Time is passed in by the
// caller, so the engine never reads a clock and tests drive it with plain numbers.
//
// Every key is reference-counted per input and overall: a key goes down on the output when its
// first holder presses it and up when its last holder lets go, and whatever an input still
// holds when it ends (or on disable, reload, unplug) is released, so no key can stick.

#include "KeyOutput.h"
#include "KeySetTable.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace vext {

class EmulationEngine {
public:
    using Nanos = int64_t;
    static constexpr int kKeyCount = 128;

    // pOutput must outlive the engine. nRepeatInterval is the Auto-Repeat period.
    EmulationEngine(KeyOutput* pOutput, Nanos nRepeatInterval);
    ~EmulationEngine();
    EmulationEngine(const EmulationEngine&) = delete;
    EmulationEngine& operator=(const EmulationEngine&) = delete;

    // Releases everything, then plays the new table from its first steps. A null table is an
    // empty one.
    void SetTable(std::shared_ptr<const KeySetTable> pTable);
    const KeySetTable& Table() const { return *m_pTable; }

    // Disabling releases every held key; inputs held across enabling need a fresh press.
    void SetEnabled(bool bEnabled);
    bool IsEnabled() const { return m_bEnabled; }

    void InputDown(uint32_t nButtonId, Nanos nNow);
    void InputUp(uint32_t nButtonId, Nanos nNow);

    // Plays every Auto-Repeat that is due at nNow.
    void Tick(Nanos nNow);

    // When Tick next has work, if ever.
    std::optional<Nanos> NextDeadline() const;

    // A pad left: its inputs end without playing their release codes, and their keys go up.
    void ReleaseSlot(int nSlot);

    // Ends every input and releases every key.
    void ReleaseAll();

    bool IsKeyHeld(int nKeyNumber) const;
    int HeldKeyCount() const;
    size_t ActiveInputCount() const { return m_active.size(); }

    // The step position a function plays next (for tests and logs); -1 for a Normal function.
    int StepPosition(int nFunction) const;

private:
    struct ActiveInput {
        int nFunction = -1;
        int nPlayedStep = -1; // the step whose press codes were played, -1 for none
        bool bRepeat = false;
        Nanos nNextRepeat = 0;
        std::array<uint16_t, kKeyCount> held{};
    };

    void PlayPress(ActiveInput& input);
    void PlayRelease(ActiveInput& input);
    void PlayCodes(ActiveInput& input, const std::vector<uint8_t>& codes);
    void KeyDown(ActiveInput& input, int nKey);
    void KeyUp(ActiveInput& input, int nKey);
    void Finish(ActiveInput& input);
    const std::vector<StrokeBytes>* StepList(int nFunction, int* pnOwner) const;

    KeyOutput* m_pOutput;
    Nanos m_nRepeatInterval;
    std::shared_ptr<const KeySetTable> m_pTable;
    bool m_bEnabled = true;
    std::map<uint32_t, ActiveInput> m_active;
    std::vector<int> m_positions;
    std::array<uint32_t, kKeyCount> m_held{};
};

} // namespace vext
