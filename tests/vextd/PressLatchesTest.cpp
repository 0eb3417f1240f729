#include "vextd/service/PressLatches.h"

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(PressLatchesTest, EachClientGetsWhatWentDownSinceItsOwnLastPoll) {
    PressLatches latches;
    EXPECT_EQ(latches.Take(7), PadPressesAll{}) << "a new client starts now";
    latches.Note(0, {0x1, 0, {}});
    EXPECT_EQ(latches.Take(9), PadPressesAll{}) << "nothing from before it came";
    latches.Note(0, {0x2, 0, {}});
    latches.Note(2, {0, 4, {}});
    PadPressesAll seven{};
    seven[0] = {0x3, 0, {}};
    seven[2] = {0, 4, {}};
    EXPECT_EQ(latches.Take(7), seven);
    EXPECT_EQ(latches.Take(7), PadPressesAll{}) << "taken once";
    PadPressesAll nine{};
    nine[0] = {0x2, 0, {}};
    nine[2] = {0, 4, {}};
    EXPECT_EQ(latches.Take(9), nine);
    latches.Note(4, {0xFF, 0xF, {}}); // no such slot
    EXPECT_EQ(latches.Take(9), PadPressesAll{});
    // A pad read by position latches its positions alike.
    latches.Note(1, {0, 0, {0x40, 0x200}});
    latches.Note(1, {0, 0, {0x1, 0}});
    EXPECT_EQ(latches.Take(9)[1].positions, (PadInputs{0x41, 0x200}));
}

TEST(PressLatchesTest, TheLongestUnusedClientMakesRoom) {
    PressLatches latches;
    for (uint32_t nToken = 1; nToken <= PressLatches::kMaxClients; ++nToken) {
        latches.Take(nToken);
    }
    latches.Take(1); // used again: client 2 is now the longest unused
    latches.Take(100);
    latches.Note(0, {0x1, 0, {}});
    EXPECT_EQ(latches.Take(1)[0].nButtons, 0x1u);
    EXPECT_EQ(latches.Take(2)[0].nButtons, 0u) << "forgotten, so it starts again";
}

} // namespace
} // namespace vext
