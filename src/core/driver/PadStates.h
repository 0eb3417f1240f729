#pragma once

// The live state of the four pad slots as the driver reports it for the configurator's pad
// polling: one device-channel request (VEXT_IOCTL_GET_PAD_STATES) answers all four, so the
// window and the driver always agree which pad is in which slot. The wire layout is in
// docs/device-channel.md.

#include "core/pad/PadPositions.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vext {

// Live state of one pad slot as the configurator's polling reads it.
struct PadState {
    bool bPresent = false;
    uint32_t nButtons = 0;         // bit i = button i down
    uint32_t nX = 0, nY = 0;       // positions
    uint32_t nXMin = 0, nXMax = 0; // ranges
    uint32_t nYMin = 0, nYMax = 0;
    // A pad read through SDL's game-controller layer: what is down by position, for the window
    // to show on whichever picture its key set has for the slot. The fields above give the same
    // inputs as the pad type the driver plays them on numbers them, for clients that know no
    // positions.
    bool bPositional = false;
    PadInputs positions;

    bool operator==(const PadState&) const = default;
};
using PadStates = std::array<PadState, 4>; // slots 1..4 at index 0..3

// The inputs of a slot that went down since the same client's previous answer, whether or not
// they are still down: a tap between two polls is never lost.
struct PadPresses {
    uint32_t nButtons = 0;    // bit i = button i
    uint32_t nDirections = 0; // the bits of DirectionBits: 1 left, 2 right, 4 down, 8 up
    PadInputs positions;      // of a positional pad, by position

    bool operator==(const PadPresses&) const = default;
};
using PadPressesAll = std::array<PadPresses, 4>;

// One request for all four slots. False (and *pStates untouched) when no driver answers. With
// a client token (any number but 0, the same for every poll of one poller) and pPresses, also
// what went down since that token's previous answer, and the positional inputs of pads read as
// game controllers; a driver that does not know presses leaves them all 0, one that does not
// know positions reads every pad as a joystick.
bool QueryPadStates(PadStates* pStates, uint32_t nToken = 0, PadPressesAll* pPresses = nullptr);

// Eight little-endian uint32 per slot (present, buttons, x, y, x min, x max, y min, y max).
inline constexpr size_t kPadStateWireSize = 8 * 4;
inline constexpr size_t kPadStatesWireSize = 4 * kPadStateWireSize;
// After them, in a request that is this long: the client token in (the first uint32), and out
// two uint32 per slot, the buttons and the directions that went down.
inline constexpr size_t kPadPressesWireSize = 4 * 2 * 4;
inline constexpr size_t kPadStatesAndPressesWireSize = kPadStatesWireSize + kPadPressesWireSize;
// After those, in a request that is this long: out five uint32 per slot, the positional flag,
// the positional buttons and directions down, and those that went down.
inline constexpr size_t kPadPositionsWireSize = 4 * 5 * 4;
inline constexpr size_t kPadStatesWithPositionsWireSize =
    kPadStatesAndPressesWireSize + kPadPositionsWireSize;

// The states; with pPresses the presses after them, and with bPositions the positions too.
std::vector<uint8_t> EncodePadStates(const PadStates& states,
                                     const PadPressesAll* pPresses = nullptr,
                                     bool bPositions = false);

// False (and *pStates untouched) unless bytes is exactly one answer: the right size, every
// present and positional flag 0 or 1, and a present slot's ranges not reversed. With pPresses,
// an answer with the presses (and the positions) is taken too, and one without them gives
// presses of 0 and no positions.
bool DecodePadStates(std::span<const uint8_t> bytes, PadStates* pStates,
                     PadPressesAll* pPresses = nullptr);

} // namespace vext
