#include "core/driver/PadPolling.h"

#include "core/model/ButtonId.h"
#include "core/pad/PadLayoutTable.h"

#include <gtest/gtest.h>

namespace vext {
namespace {

PadState At(uint32_t nX, uint32_t nY, uint32_t nButtons = 0) {
    return {true, nButtons, nX, nY, 0, 1000, 0, 1000, false, {}};
}

TEST(PadPolling, DirectionsBeyondTwentyPercentFromEitherEnd) {
    const struct {
        uint32_t nX, nY, nBits;
    } cases[] = {
        {500, 500, 0}, {200, 800, 0}, {199, 500, 1},    {801, 500, 2},
        {500, 801, 4}, {500, 199, 8}, {0, 1000, 1 | 4}, {1000, 0, 2 | 8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DirectionBits(At(c.nX, c.nY)), c.nBits) << c.nX << "," << c.nY;
    }
}

TEST(PadPolling, FirstPollIsAChangeThenOnlyChangesAre) {
    PadPoller poller;
    PadStates states{};
    states[0] = At(500, 500, 0x1);
    PadPoller::Poll poll = poller.Update(states);
    EXPECT_TRUE(poll[0].bButtonsChanged && poll[0].bDirectionsChanged);
    EXPECT_FALSE(poll[1].bPresent);

    poll = poller.Update(states);
    EXPECT_FALSE(poll[0].Changed());

    states[0] = At(0, 500, 0x1);
    poll = poller.Update(states);
    EXPECT_FALSE(poll[0].bButtonsChanged);
    EXPECT_TRUE(poll[0].bDirectionsChanged);
    EXPECT_EQ(poll[0].nDirections, 1u);

    // A pad that does not answer keeps what was seen last: its return is no change.
    states[0].bPresent = false;
    EXPECT_FALSE(poller.Update(states)[0].bPresent);
    states[0].bPresent = true;
    EXPECT_FALSE(poller.Update(states)[0].Changed());
}

// A tap that went down and up again between two polls lights for one poll, then goes out.
TEST(PadPolling, ATapBetweenPollsCountsAsDownForOnePoll) {
    PadPoller poller;
    PadStates states{};
    states[0] = At(500, 500);
    poller.Update(states);
    PadPressesAll presses{};
    presses[0] = {0x4, 8, {}};
    PadPoller::Poll poll = poller.Update(states, presses);
    EXPECT_TRUE(poll[0].bButtonsChanged && poll[0].bDirectionsChanged);
    EXPECT_EQ(poll[0].nButtons, 0x4u);
    EXPECT_EQ(poll[0].nDirections, 8u);
    poll = poller.Update(states);
    EXPECT_TRUE(poll[0].Changed());
    EXPECT_EQ(poll[0].nButtons, 0u);
}

TEST(PadPolling, ActiveButtonIdsFollowTheLayout) {
    const CPadLayout* pLayout = AppPadLayouts().Find(0);
    ASSERT_NE(pLayout, nullptr);
    // Buttons 0 and 2 and the direction "up" (Y low).
    EXPECT_EQ(ActiveButtonIds(3, *pLayout, 0x5, 8),
              (std::vector<uint32_t>{MakeButtonId(3, 0, 1, 1), MakeButtonId(3, 2, 1, 1),
                                     MakeButtonId(3, 1, 2, 2)}));
    EXPECT_TRUE(ActiveButtonIds(3, *pLayout, 0, 0).empty());
}

} // namespace
} // namespace vext
