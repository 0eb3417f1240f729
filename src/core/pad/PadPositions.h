#pragma once

// The inputs of a pad read through SDL's game-controller layer, named by where they sit, so that
// a position is the same input on every make, and how each pad type's picture shows them. The
// positions are the Twin-Stick Pad's own numbering: button i is bit i, and a direction of axis a
// (0 and 1 the left stick, 2 and 3 the right stick, 4 and 5 the D-pad) toward y is bit
// 2a + y / 2, as PadInputMask gives it. The Standard Vext Pad and the Corvel Pad show them by
// position where they have a like button (the Corvel Pad's blue B is the south button), fold
// the D-pad into the stick's directions, and leave out what they lack.

#include <array>
#include <cstdint>
#include <string_view>

namespace vext {

enum PadPosition : int {
    kPosSouth = 0,
    kPosEast,
    kPosWest,
    kPosNorth,
    kPosLeftBumper,
    kPosRightBumper,
    kPosLeftTrigger,
    kPosRightTrigger,
    kPosBack,
    kPosStart,
    kPosGuide,
    kPosLeftStick,
    kPosRightStick,
    kPosPaddle1,
    kPosPaddle2,
    kPosPaddle3,
    kPosPaddle4,
    kPosTouchpad,
    kPosExtra, // Share, Capture or Mic
    kPositionCount,
};

// The direction bits of the three sticks (for each: left, right, down, up).
inline constexpr uint32_t kLeftStickDirections = 0x00F;
inline constexpr uint32_t kRightStickDirections = 0x0F0;
inline constexpr uint32_t kDPadDirections = 0xF00;

// What is down on a pad: button bits and direction bits, in a pad type's numbering.
struct PadInputs {
    uint32_t nButtons = 0;
    uint32_t nDirections = 0;

    bool operator==(const PadInputs&) const = default;
};

// The button that shows position p on pad type t's picture, or -1 when it has none (a position
// number outside kPositionCount, or a type the positions do not know, has none either).
int PositionButton(int nPadType, int nPosition);

// Positional inputs as pad type t numbers them: each position on its button, the D-pad folded
// into the left stick's directions where the type has no D-pad of its own, and what the type
// lacks left out. The Twin-Stick Pad takes them as they are.
PadInputs ShowOnPadType(int nPadType, PadInputs positions);

// The position's name: "South", "Left trigger", "Extra (Share/Capture/Mic)".
std::string_view PositionName(int nPosition);

} // namespace vext
