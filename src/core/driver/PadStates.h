#pragma once

// The live state of the four pad slots as the driver reports it for the configurator's pad
// polling: one device-channel request (VEXT_IOCTL_GET_PAD_STATES) answers all four, so the
// window and the driver always agree which pad is in which slot. The wire layout is in
// docs/device-channel.md.

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

    bool operator==(const PadState&) const = default;
};
using PadStates = std::array<PadState, 4>; // slots 1..4 at index 0..3

// One request for all four slots. False (and *pStates untouched) when no driver answers.
bool QueryPadStates(PadStates* pStates);

// Eight little-endian uint32 per slot (present, buttons, x, y, x min, x max, y min, y max).
inline constexpr size_t kPadStateWireSize = 8 * 4;
inline constexpr size_t kPadStatesWireSize = 4 * kPadStateWireSize;

std::vector<uint8_t> EncodePadStates(const PadStates& states);

// False (and *pStates untouched) unless bytes is exactly one answer: the right size, every
// present flag 0 or 1, and a present slot's ranges not reversed.
bool DecodePadStates(std::span<const uint8_t> bytes, PadStates* pStates);

} // namespace vext
