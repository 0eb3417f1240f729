#include "core/pad/PadPositions.h"

#include "core/pad/PadTypes.h"

#include <gtest/gtest.h>

namespace vext {
namespace {

constexpr uint32_t Bit(int n) {
    return uint32_t{1} << n;
}

// What a pad read by position shows on each picture: its buttons where the picture has a like
// one, the D-pad in the left stick's directions on the older two, the rest nowhere.
TEST(PadPositions, EachPictureShowsThePositionsItHas) {
    struct Case {
        const char* name;
        PadInputs pressed;
        PadInputs standard;
        PadInputs corvel;
    };
    const Case cases[] = {
        {"south", {Bit(kPosSouth), 0}, {Bit(1), 0}, {Bit(3), 0}},
        {"east", {Bit(kPosEast), 0}, {Bit(2), 0}, {Bit(0), 0}},
        {"west", {Bit(kPosWest), 0}, {Bit(0), 0}, {Bit(2), 0}},
        {"north", {Bit(kPosNorth), 0}, {Bit(4), 0}, {Bit(1), 0}},
        {"bumpers",
         {Bit(kPosLeftBumper) | Bit(kPosRightBumper), 0},
         {Bit(3) | Bit(5), 0},
         {Bit(4) | Bit(5), 0}},
        {"triggers",
         {Bit(kPosLeftTrigger) | Bit(kPosRightTrigger), 0},
         {Bit(6) | Bit(7), 0},
         {Bit(6) | Bit(7), 0}},
        {"back and start", {Bit(kPosBack) | Bit(kPosStart), 0}, {}, {Bit(8) | Bit(9), 0}},
        {"what neither has",
         {Bit(kPosGuide) | Bit(kPosLeftStick) | Bit(kPosRightStick) | Bit(kPosPaddle1) |
              Bit(kPosPaddle4) | Bit(kPosTouchpad) | Bit(kPosExtra),
          kRightStickDirections},
         {},
         {}},
        {"left stick", {0, 0x5}, {0, 0x5}, {0, 0x5}},
        {"D-pad folds into the directions", {0, 0x800 | 0x100}, {0, 0x9}, {0, 0x9}},
        {"D-pad and stick alike", {0, 0x808}, {0, 0x8}, {0, 0x8}},
        {"beyond the positions", {Bit(kPositionCount) | Bit(31), 0}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ShowOnPadType(kPadStandard, c.pressed), c.standard);
        EXPECT_EQ(ShowOnPadType(kPadCorvel, c.pressed), c.corvel);
        EXPECT_EQ(ShowOnPadType(kPadTwinStick, c.pressed), c.pressed);
        EXPECT_EQ(ShowOnPadType(kPadTypeCount, c.pressed), PadInputs{});
        EXPECT_EQ(ShowOnPadType(-1, c.pressed), PadInputs{});
    }
    EXPECT_EQ(PositionButton(kPadTwinStick, kPosExtra), kPosExtra);
    EXPECT_EQ(PositionButton(kPadCorvel, kPositionCount), -1);
    EXPECT_EQ(PositionName(kPosLeftTrigger), "Left trigger");
    EXPECT_EQ(PositionName(kPositionCount), "");
}

} // namespace
} // namespace vext
