#include "core/pad/PadPositions.h"

#include "core/pad/PadTypes.h"

namespace vext {
namespace {

constexpr int kNone = -1;

// Per position, the button of the Standard Vext Pad: its bottom row A, B, C under the thumb's
// west, south and east; its top row X, Y, Z the left bumper, north and right bumper; its
// shoulders the triggers.
constexpr std::array<int, kPositionCount> kStandard = {
    1,     2,     0,     4, // south B, east C, west A, north Y
    3,     5,               // bumpers: X, Z
    6,     7,               // triggers: the shoulders
    kNone, kNone, kNone,    // Back, Start, Guide
    kNone, kNone,           // stick clicks
    kNone, kNone, kNone, kNone, kNone, kNone,
};

// The Corvel Pad: its blue B at the bottom, red R east, green G west, yellow Y north; shoulder
// buttons 1 the bumpers, 2 the triggers; the small ovals Back and Start.
constexpr std::array<int, kPositionCount> kCorvel = {
    3,     0,     2,     1, // south B, east R, west G, north Y
    4,     5,               // bumpers: Left 1, Right 1
    6,     7,               // triggers: Left 2, Right 2
    8,     9,               // Back: Select, Start
    kNone,                  // Guide
    kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone,
};

constexpr std::array<std::string_view, kPositionCount> kNames = {
    "South",
    "East",
    "West",
    "North",
    "Left bumper",
    "Right bumper",
    "Left trigger",
    "Right trigger",
    "Back",
    "Start",
    "Guide",
    "Left stick click",
    "Right stick click",
    "Paddle 1",
    "Paddle 2",
    "Paddle 3",
    "Paddle 4",
    "Touchpad click",
    "Extra (Share/Capture/Mic)",
};

} // namespace

int PositionButton(int nPadType, int nPosition) {
    if (nPosition < 0 || nPosition >= kPositionCount) {
        return kNone;
    }
    switch (nPadType) {
    case kPadStandard:
        return kStandard[static_cast<size_t>(nPosition)];
    case kPadCorvel:
        return kCorvel[static_cast<size_t>(nPosition)];
    case kPadTwinStick:
        return nPosition;
    default:
        return kNone;
    }
}

PadInputs ShowOnPadType(int nPadType, PadInputs positions) {
    if (nPadType == kPadTwinStick) {
        return positions;
    }
    PadInputs shown;
    for (int nPosition = 0; nPosition < kPositionCount; ++nPosition) {
        const int nButton = PositionButton(nPadType, nPosition);
        if (nButton >= 0 && (positions.nButtons & (uint32_t{1} << nPosition)) != 0) {
            shown.nButtons |= uint32_t{1} << nButton;
        }
    }
    if (FindPadType(nPadType) != nullptr) {
        shown.nDirections = (positions.nDirections & kLeftStickDirections) |
                            ((positions.nDirections & kDPadDirections) >> 8);
    }
    return shown;
}

std::string_view PositionName(int nPosition) {
    return nPosition >= 0 && nPosition < kPositionCount ? kNames[static_cast<size_t>(nPosition)]
                                                        : std::string_view();
}

} // namespace vext
