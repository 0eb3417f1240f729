#pragma once

// The configurator's reading of the pads' live state: which inputs are down, which changed since
// the last poll, and which layout entries they light or map. The driver answers the positions
// (driver/PadStates.h); everything here is arithmetic on them.

#include "core/driver/PadStates.h"
#include "core/pad/PadLayout.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vext {

// Direction bits of a pad's X and Y positions: 1 left, 2 right, 4 down, 8 up, each when the
// position lies within 20 % of the range from that end (the low ends measured from zero).
uint32_t DirectionBits(const PadState& state);

// The buttons and directions of a slot as pad type nPadType numbers them: a positional pad's
// positions shown on that type, any other pad's button bits and X/Y directions as they are.
// Presses are counted as down.
PadInputs SlotInputs(const PadState& state, const PadPresses& pressed, int nPadType);

// Whether a layout entry's input is down in the button bits B or the direction bits D.
bool IsInputActive(const CPadButtonInfo& info, uint32_t nButtons, uint32_t nDirections);

// The button IDs of slot nSlot whose layout entries are active, in layout order.
std::vector<uint32_t> ActiveButtonIds(int nSlot, const CPadLayout& layout, uint32_t nButtons,
                                      uint32_t nDirections);

// Remembers the last input state of each slot, so that a poll tells what changed. Nothing is
// known at first: the first poll that finds a pad counts as a change.
class PadPoller {
public:
    struct SlotPoll {
        bool bPresent = false; // the driver answered for this slot
        uint32_t nButtons = 0;
        uint32_t nDirections = 0;
        bool bButtonsChanged = false;
        bool bDirectionsChanged = false;

        bool Changed() const { return bButtonsChanged || bDirectionsChanged; }
    };
    using Poll = std::array<SlotPoll, 4>;

    // A slot without a pad keeps its previous state. An input that went down since the
    // previous poll (presses) counts as down in this one, even if it is up again: a tap
    // between two polls lights and maps like a press that lasts. A pad read by position shows
    // on padTypes' type for its slot (index 0 for slot 1), whatever type the driver plays it
    // on.
    Poll Update(const PadStates& states, const PadPressesAll& presses = {},
                const std::array<int, 4>& padTypes = {});

private:
    struct Previous {
        bool bKnown = false;
        uint32_t nButtons = 0;
        uint32_t nDirections = 0;
    };
    std::array<Previous, 4> m_previous;
};

} // namespace vext
