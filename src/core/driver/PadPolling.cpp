#include "core/driver/PadPolling.h"

#include "core/model/ButtonId.h"

namespace vext {

uint32_t DirectionBits(const PadState& state) {
    const uint32_t dX = ((state.nXMax - state.nXMin) / 10) * 2;
    const uint32_t dY = ((state.nYMax - state.nYMin) / 10) * 2;
    uint32_t bits = 0;
    if (state.nX < dX) {
        bits |= 1;
    }
    if (state.nX > state.nXMax - dX) {
        bits |= 2;
    }
    if (state.nY > state.nYMax - dY) {
        bits |= 4;
    }
    if (state.nY < dY) {
        bits |= 8;
    }
    return bits;
}

PadInputs SlotInputs(const PadState& state, const PadPresses& pressed, int nPadType) {
    if (state.bPositional) {
        return ShowOnPadType(nPadType,
                             {state.positions.nButtons | pressed.positions.nButtons,
                              state.positions.nDirections | pressed.positions.nDirections});
    }
    return {state.nButtons | pressed.nButtons, DirectionBits(state) | pressed.nDirections};
}

bool IsInputActive(const CPadButtonInfo& info, uint32_t nButtons, uint32_t nDirections) {
    switch (info.m_nKind) {
    case kInputButton:
        return (info.m_nMask & nButtons) != 0;
    case kInputDirection:
        return (info.m_nMask & nDirections) != 0;
    default:
        return false;
    }
}

std::vector<uint32_t> ActiveButtonIds(int nSlot, const CPadLayout& layout, uint32_t nButtons,
                                      uint32_t nDirections) {
    std::vector<uint32_t> ids;
    for (const CPadButtonInfo& info : layout.m_buttons) {
        if (IsInputActive(info, nButtons, nDirections)) {
            ids.push_back(MakeButtonId(nSlot, info.m_nX, info.m_nY, info.m_nKind));
        }
    }
    return ids;
}

PadPoller::Poll PadPoller::Update(const PadStates& states, const PadPressesAll& presses,
                                  const std::array<int, 4>& padTypes) {
    Poll poll{};
    for (size_t i = 0; i < states.size(); ++i) {
        if (!states[i].bPresent) {
            continue;
        }
        SlotPoll& slot = poll[i];
        Previous& previous = m_previous[i];
        slot.bPresent = true;
        const PadInputs inputs = SlotInputs(states[i], presses[i], padTypes[i]);
        slot.nButtons = inputs.nButtons;
        slot.nDirections = inputs.nDirections;
        slot.bButtonsChanged = !previous.bKnown || slot.nButtons != previous.nButtons;
        slot.bDirectionsChanged = !previous.bKnown || slot.nDirections != previous.nDirections;
        previous = {true, slot.nButtons, slot.nDirections};
    }
    return poll;
}

} // namespace vext
