#include "vextd/pads/PadInput.h"

#include "core/model/ButtonId.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

struct AxisCase {
    int nX;
    int nY;
    uint32_t nExpected;
};

class DirectionTest : public ::testing::TestWithParam<AxisCase> {};

TEST_P(DirectionTest, TwentyPercentFromEitherEnd) {
    EXPECT_EQ(DirectionBits(GetParam().nX, GetParam().nY), GetParam().nExpected)
        << GetParam().nX << "," << GetParam().nY;
}

// The range is 0..65535 once shifted; 20 % of it is 13106, so the low thresholds lie at
// 13106 (-19662 raw) and the high ones above 52429 (19661 raw).
INSTANTIATE_TEST_SUITE_P(
    Pads, DirectionTest,
    ::testing::Values(AxisCase{0, 0, 0}, AxisCase{-1, -1, 0}, AxisCase{-32768, 0, kDirLeft},
                      AxisCase{32767, 0, kDirRight}, AxisCase{0, 32767, kDirDown},
                      AxisCase{0, -32768, kDirUp}, AxisCase{-19663, 0, kDirLeft},
                      AxisCase{-19662, 0, 0}, AxisCase{19661, 0, 0}, AxisCase{19662, 0, kDirRight},
                      AxisCase{0, 19662, kDirDown}, AxisCase{0, 19661, 0},
                      AxisCase{0, -19663, kDirUp}, AxisCase{0, -19662, 0},
                      AxisCase{-32768, -32768, kDirLeft | kDirUp},
                      AxisCase{32767, 32767, kDirRight | kDirDown}));

struct HatCase {
    unsigned nHat;
    uint32_t nDirections;
    uint32_t nX; // live position, axes centred
    uint32_t nY;
};

class HatTest : public ::testing::TestWithParam<HatCase> {};

// SDL's hat values: up 1, right 2, down 4, left 8.
TEST_P(HatTest, GivesTheAxisDirectionsAndFoldsIntoTheLivePosition) {
    const HatCase& c = GetParam();
    EXPECT_EQ(HatDirectionBits(c.nHat), c.nDirections);
    const PadState state = LiveState(5, 0, -1, c.nDirections);
    EXPECT_EQ(state, (PadState{true, 5, c.nX, c.nY, 0, 65535, 0, 65535, false, {}}));
    // A poller with the 20 % thresholds sees the same directions.
    EXPECT_EQ(DirectionBits(static_cast<int>(state.nX) - 32768, static_cast<int>(state.nY) - 32768),
              c.nDirections);
}

INSTANTIATE_TEST_SUITE_P(
    Pads, HatTest,
    ::testing::Values(HatCase{0, 0, 32768, 32767}, HatCase{1, kDirUp, 32768, 0},
                      HatCase{2, kDirRight, 65535, 32767}, HatCase{4, kDirDown, 32768, 65535},
                      HatCase{8, kDirLeft, 0, 32767}, HatCase{9, kDirLeft | kDirUp, 0, 0},
                      HatCase{6, kDirRight | kDirDown, 65535, 65535}));

TEST(PadInputTest, DiffNamesEveryChangedInputInOrder) {
    std::vector<std::pair<uint32_t, bool>> changes;
    // Bit 6 is the right stick's down (axis 3), bit 9 the D-pad's right (axis 4).
    DiffInputs(3, 0b1010, 0b0110 | (1u << 31), kDirLeft | 1u << 6, kDirRight | kDirUp | 1u << 9,
               [&](uint32_t nId, bool bDown) { changes.emplace_back(nId, bDown); });
    const std::vector<std::pair<uint32_t, bool>> expected{
        {MakeButtonId(3, 2, 1, kInputButton), true},
        {MakeButtonId(3, 3, 1, kInputButton), false},
        {MakeButtonId(3, 31, 1, kInputButton), true},
        {MakeButtonId(3, 0, 0, kInputDirection), false},
        {MakeButtonId(3, 0, 2, kInputDirection), true},
        {MakeButtonId(3, 1, 2, kInputDirection), true},
        {MakeButtonId(3, 3, 0, kInputDirection), false},
        {MakeButtonId(3, 4, 2, kInputDirection), true},
    };
    EXPECT_EQ(changes, expected);
    changes.clear();
    DiffInputs(1, 5, 5, kDirDown, kDirDown,
               [&](uint32_t nId, bool bDown) { changes.emplace_back(nId, bDown); });
    EXPECT_TRUE(changes.empty());
    DiffInputs(1, 0, 0, 0, kDirDown,
               [&](uint32_t nId, bool bDown) { changes.emplace_back(nId, bDown); });
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].first, MakeButtonId(1, 1, 0, kInputDirection));
}

// A finger resting on a trigger does not make it chatter: down past the threshold, up again
// only below four fifths of it.
TEST(PadInputTest, TriggersGoDownPastTheThresholdAndUpBelowFourFifthsOfIt) {
    const struct {
        bool bWasDown;
        int nValue;
        int nPercent;
        bool bDown;
    } cases[] = {
        {false, 16382, 50, false},  {false, 16383, 50, true},  {true, 16000, 50, true},
        {true, 13106, 50, true},    {true, 13105, 50, false},  {false, 13106, 50, false},
        {false, 32766, 100, false}, {false, 32767, 100, true}, {true, 26213, 100, true},
        {false, 0, 1, false},       {false, 327, 1, true},     {true, 0, 1, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TriggerDown(c.bWasDown, c.nValue, c.nPercent), c.bDown)
            << c.bWasDown << " " << c.nValue << " " << c.nPercent;
    }
}

} // namespace
} // namespace vext
