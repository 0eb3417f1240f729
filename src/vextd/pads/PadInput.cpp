#include "vextd/pads/PadInput.h"

#include "core/model/ButtonId.h"
#include "core/pad/PadLayoutTable.h"

#include <array>

namespace vext {

uint32_t DirectionBits(int nX, int nY) {
    // The axis as an unsigned position from 0 to 65535, measured like the system joystick
    // interface reports it, with the thresholds computed the same way.
    constexpr uint32_t kMin = 0;
    constexpr uint32_t kMax = 65535;
    constexpr uint32_t kDelta = ((kMax - kMin) / 10) * 2;
    const auto x = static_cast<uint32_t>(nX + 32768);
    const auto y = static_cast<uint32_t>(nY + 32768);
    uint32_t nBits = 0;
    if (x < kDelta) {
        nBits |= kDirLeft;
    }
    if (x > kMax - kDelta) {
        nBits |= kDirRight;
    }
    if (y > kMax - kDelta) {
        nBits |= kDirDown;
    }
    if (y < kDelta) {
        nBits |= kDirUp;
    }
    return nBits;
}

uint32_t HatDirectionBits(unsigned nHat) {
    constexpr std::array<uint32_t, 4> kHatOrder{kDirUp, kDirRight, kDirDown, kDirLeft};
    uint32_t nBits = 0;
    for (size_t i = 0; i < kHatOrder.size(); ++i) {
        if ((nHat & (1u << i)) != 0) {
            nBits |= kHatOrder[i];
        }
    }
    return nBits;
}

PadState LiveState(uint32_t nButtons, int nX, int nY, uint32_t nHatDirections) {
    constexpr uint32_t kMax = 65535;
    PadState state;
    state.bPresent = true;
    state.nButtons = nButtons;
    state.nX = static_cast<uint32_t>(nX + 32768);
    state.nY = static_cast<uint32_t>(nY + 32768);
    state.nXMax = kMax;
    state.nYMax = kMax;
    if ((nHatDirections & kDirLeft) != 0) {
        state.nX = 0;
    } else if ((nHatDirections & kDirRight) != 0) {
        state.nX = kMax;
    }
    if ((nHatDirections & kDirUp) != 0) {
        state.nY = 0;
    } else if ((nHatDirections & kDirDown) != 0) {
        state.nY = kMax;
    }
    return state;
}

bool TriggerDown(bool bWasDown, int nValue, int nPercent) {
    constexpr int kTravel = 32767;
    const int nDownAt = kTravel * nPercent / 100;
    return nValue >= (bWasDown ? nDownAt * 4 / 5 : nDownAt);
}

void DiffInputs(int nSlot, uint32_t nOldButtons, uint32_t nNewButtons, uint32_t nOldDirections,
                uint32_t nNewDirections, const std::function<void(uint32_t, bool)>& onChange) {
    const uint32_t nButtonChanges = nOldButtons ^ nNewButtons;
    for (int i = 0; i < 32; ++i) {
        const uint32_t nBit = 1u << i;
        if ((nButtonChanges & nBit) != 0) {
            onChange(MakeButtonId(nSlot, i, 1, kInputButton), (nNewButtons & nBit) != 0);
        }
    }
    const uint32_t nDirectionChanges = nOldDirections ^ nNewDirections;
    for (int i = 0; i < 2 * kDirectionAxes; ++i) {
        const uint32_t nBit = 1u << i;
        if ((nDirectionChanges & nBit) != 0) {
            onChange(MakeButtonId(nSlot, i / 2, (i % 2) * 2, kInputDirection),
                     (nNewDirections & nBit) != 0);
        }
    }
}

} // namespace vext
