#pragma once

// Turns pad inputs (button ID down and up) into key events, playing the functions of the loaded
// key set: Normal, Step with its step-down companion, and Auto-Repeat. Time is passed in by the
// caller, so the engine never reads a clock and tests drive it with plain numbers.
//
// Every key is reference-counted per input and overall: a key goes down on the output when its
// first holder presses it and up when its last holder lets go, and whatever an input still
// holds when it ends (or on disable, reload, unplug) is released, so no key can stick.
//
// With a minimum hold time, a key code that would lift a key sooner than that after it went
// down waits, and the codes of the same input after it wait behind it, so a chord keeps its
// order; other inputs play on meanwhile. The waiting codes are played by Tick.

#include "vextd/engine/KeySetTable.h"
#include "vextd/output/KeyOutput.h"

#include <array>
#include <cstdint>
#include <deque>
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

    // The shortest time between a key's down and its up on the output; 0 plays at once.
    void SetMinHold(Nanos nMinHold);
    // How long Auto-Repeat waits after the press before its first replay, as a held keyboard
    // key does; 0 (the default) replays after one interval.
    void SetRepeatDelay(Nanos nRepeatDelay);

    // Releases everything, then plays the new table. A Step function keeps its position when
    // the old table had a function of the same identity with the same step strings; any other
    // starts with no step played. A null table is an empty one.
    void SetTable(std::shared_ptr<const KeySetTable> pTable);
    const KeySetTable& Table() const { return *m_pTable; }

    // Releases everything, then plays pTable from the Step positions given (as this returned
    // them when pTable was left; a list of another length is none played). Returns the
    // positions of the table it leaves, so each key set keeps its own.
    std::vector<int> ExchangeTable(std::shared_ptr<const KeySetTable> pTable,
                                   std::vector<int> positions);
    // The positions SetTable gives a new table from the old one's.
    static std::vector<int> CarryPositions(const KeySetTable& from,
                                           const std::vector<int>& positions,
                                           const KeySetTable& to);
    // The table in use, to hold on to: a large one is freed best away from the serving lock.
    std::shared_ptr<const KeySetTable> SharedTable() const { return m_pTable; }

    // Disabling releases every held key; inputs held across enabling need a fresh press.
    void SetEnabled(bool bEnabled);
    bool IsEnabled() const { return m_bEnabled; }

    void InputDown(uint32_t nButtonId, Nanos nNow);
    void InputUp(uint32_t nButtonId, Nanos nNow);

    // Plays every Auto-Repeat and every held-back key code that is due at nNow.
    void Tick(Nanos nNow);

    // When Tick next has work, if ever.
    std::optional<Nanos> NextDeadline() const;

    // A pad left: its inputs end without playing their release codes, and their keys go up.
    void ReleaseSlot(int nSlot);

    // Ends every input and releases every key at once, minimum hold or not.
    void ReleaseAll();

    bool IsKeyHeld(int nKeyNumber) const;
    int HeldKeyCount() const;
    size_t ActiveInputCount() const { return m_active.size(); }

    // The step a Step function (or its companion) played last: -1 for none yet and for a
    // Normal function.
    int StepPosition(int nFunction) const;

private:
    // In an input's queue of waiting codes, the end of the input: whatever it still holds
    // goes up. Key number 0 is never played, so the code is free.
    static constexpr uint8_t kEndOfInput = 0;

    struct ActiveInput {
        int nFunction = -1;
        int nPlayedStep = -1; // the step whose press codes were played, -1 for none
        bool bRepeat = false;
        bool bReleased = false; // its up came; it stays only to play its waiting codes
        Nanos nNextRepeat = 0;
        std::deque<uint8_t> waiting;
        std::array<uint16_t, kKeyCount> held{};
    };

    void Press(ActiveInput& input, uint32_t nButtonId, Nanos nNow);
    void PlayPress(ActiveInput& input, Nanos nNow);
    void PlayRelease(ActiveInput& input, Nanos nNow);
    void PlayCodes(ActiveInput& input, const std::vector<uint8_t>& codes, Nanos nNow);
    // When the code may be played: now for a down, the key's down time plus the minimum hold
    // for an up.
    Nanos DueTime(const ActiveInput& input, uint8_t nCode) const;
    // Plays the input's waiting codes that are due; true when the input has ended.
    bool Drain(ActiveInput& input, Nanos nNow);
    void Apply(ActiveInput& input, uint8_t nCode, Nanos nNow);
    void KeyDown(ActiveInput& input, int nKey, Nanos nNow);
    void KeyUp(ActiveInput& input, int nKey);
    void Finish(ActiveInput& input);
    const std::vector<StrokeBytes>* StepList(int nFunction, int* pnOwner) const;

    KeyOutput* m_pOutput;
    Nanos m_nRepeatInterval;
    Nanos m_nMinHold = 0;
    Nanos m_nRepeatDelay = 0;
    std::shared_ptr<const KeySetTable> m_pTable;
    bool m_bEnabled = true;
    std::map<uint32_t, ActiveInput> m_active;
    std::vector<int> m_positions; // per Step function: the step played last, -1 for none
    std::array<uint32_t, kKeyCount> m_held{};
    std::array<Nanos, kKeyCount> m_downAt{};
};

} // namespace vext
