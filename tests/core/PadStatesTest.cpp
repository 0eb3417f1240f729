#include "core/driver/PadStates.h"

#include "FakeDeviceServer.h"
#include "core/driver/DeviceChannel.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

using Bytes = std::vector<uint8_t>;

PadStates Sample() {
    PadStates states;
    states[0] = {true, 0x80000001u, 0, 65535, 0, 65535, 0, 65535, false, {}};
    states[2] = {true, 0x20u, 32767, 1, 10, 40000, 1, 2, false, {}};
    return states;
}

// A sentinel no decoder would produce, to see that failures leave the caller's states alone.
PadStates Sentinel() {
    PadStates states;
    states[3].nButtons = 0xDEADBEEF;
    return states;
}

void PutAt(Bytes* pBytes, size_t nOffset, uint32_t nValue) {
    for (size_t i = 0; i < 4; ++i) {
        (*pBytes)[nOffset + i] = static_cast<uint8_t>(nValue >> (8 * i));
    }
}

TEST(PadStates, WireLayoutIsEightLittleEndianWordsPerSlot) {
    const Bytes bytes = EncodePadStates(Sample());
    ASSERT_EQ(bytes.size(), 128u);
    // Slot 1: present, buttons bits 0 and 31, y 65535.
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 16),
              (Bytes{1, 0, 0, 0, 1, 0, 0, 0x80, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0}));
    // Slot 2 is empty: all zeros. Slot 3's x max sits at offset 64 + 20.
    EXPECT_EQ(Bytes(bytes.begin() + 32, bytes.begin() + 64), Bytes(32, 0));
    EXPECT_EQ(Bytes(bytes.begin() + 84, bytes.begin() + 88), (Bytes{0x40, 0x9C, 0, 0}));
    PadStates decoded = Sentinel();
    ASSERT_TRUE(DecodePadStates(bytes, &decoded));
    EXPECT_EQ(decoded, Sample());
}

// After the states, the presses: two words a slot. A client that asks for them takes an older
// driver's answer without them as "no presses"; one that does not ask takes only the states.
TEST(PadStates, PressesFollowTheStatesAndAreOptional) {
    PadPressesAll presses{};
    presses[0] = {0x8, 0, {}};
    presses[3] = {0, 4, {}};
    const Bytes bytes = EncodePadStates(Sample(), &presses);
    ASSERT_EQ(bytes.size(), kPadStatesAndPressesWireSize);
    EXPECT_EQ(Bytes(bytes.begin() + 128, bytes.begin() + 136), (Bytes{8, 0, 0, 0, 0, 0, 0, 0}));
    PadStates decoded = Sentinel();
    PadPressesAll got{};
    ASSERT_TRUE(DecodePadStates(bytes, &decoded, &got));
    EXPECT_EQ(decoded, Sample());
    EXPECT_EQ(got, presses);
    EXPECT_FALSE(DecodePadStates(bytes, &decoded)) << "not asked for: not one answer";
    got[0].nButtons = 0xFF;
    ASSERT_TRUE(DecodePadStates(EncodePadStates(Sample()), &decoded, &got));
    EXPECT_EQ(got, PadPressesAll{});
}

// After the presses, for pads read by position: five words a slot (the flag, the positions down
// and those that went down). A client takes an answer without them as "read as joysticks".
TEST(PadStates, PositionsFollowThePresses) {
    PadStates states = Sample();
    states[2].bPositional = true;
    states[2].positions = {1u << kPosLeftTrigger, 1u << 9};
    PadPressesAll presses{};
    presses[2].positions = {1u << kPosPaddle1, 0};
    const Bytes bytes = EncodePadStates(states, &presses, true);
    ASSERT_EQ(bytes.size(), kPadStatesWithPositionsWireSize);
    EXPECT_EQ(Bytes(bytes.begin() + 160 + 40, bytes.begin() + 160 + 60),
              (Bytes{1, 0, 0, 0, 0x40, 0, 0, 0, 0, 2, 0, 0, 0, 0x20, 0, 0, 0, 0, 0, 0}));
    PadStates decoded = Sentinel();
    PadPressesAll got{};
    ASSERT_TRUE(DecodePadStates(bytes, &decoded, &got));
    EXPECT_EQ(decoded, states);
    EXPECT_EQ(got, presses);
    // A flag that is no flag, or a pad read by position in an empty slot, is no answer.
    for (const auto& [nOffset, nValue] : {std::pair{160 + 40, 2u}, std::pair{160 + 20, 1u}}) {
        Bytes damaged = bytes;
        PutAt(&damaged, nOffset, nValue);
        decoded = Sentinel();
        EXPECT_FALSE(DecodePadStates(damaged, &decoded, &got)) << nOffset;
        EXPECT_EQ(decoded, Sentinel());
    }
}

struct DamageCase {
    std::string name;
    size_t nSize;
    size_t nOffset; // word to overwrite, or SIZE_MAX
    uint32_t nValue;
};

class PadStatesDamage : public testing::TestWithParam<DamageCase> {};

TEST_P(PadStatesDamage, IsRefusedAndLeavesTheStatesAlone) {
    const DamageCase& c = GetParam();
    Bytes bytes = EncodePadStates(Sample());
    bytes.resize(c.nSize);
    if (c.nOffset != SIZE_MAX) {
        PutAt(&bytes, c.nOffset, c.nValue);
    }
    PadStates states = Sentinel();
    EXPECT_FALSE(DecodePadStates(bytes, &states));
    EXPECT_EQ(states, Sentinel());
}

INSTANTIATE_TEST_SUITE_P(PadStates, PadStatesDamage,
                         testing::Values(DamageCase{"Empty", 0, SIZE_MAX, 0},
                                         DamageCase{"OneShort", 127, SIZE_MAX, 0},
                                         DamageCase{"OneOver", 129, SIZE_MAX, 0},
                                         DamageCase{"PresentFlagTwo", 128, 32, 2},
                                         DamageCase{"ReversedXRange", 128, 16, 70000},
                                         DamageCase{"ReversedYRange", 128, 64 + 24, 3}),
                         [](const testing::TestParamInfo<DamageCase>& info) {
                             return info.param.name;
                         });

TEST(PadStates, QueryReadsTheDriversAnswerInOneRequest) {
    test::FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    for (int nSlot = 1; nSlot <= 4; ++nSlot) {
        server.SetPadState(nSlot, Sample()[static_cast<size_t>(nSlot - 1)]);
    }
    PadStates states = Sentinel();
    ASSERT_TRUE(QueryPadStates(&states));
    EXPECT_EQ(states, Sample());
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].nCode, static_cast<uint32_t>(VEXT_IOCTL_GET_PAD_STATES));
    EXPECT_EQ(requests[0].buffer.size(), kPadStatesWireSize);
}

TEST(PadStates, NoUsableAnswerLeavesTheStatesAlone) {
    test::FakeDeviceServer server;
    ASSERT_TRUE(server.IsRunning());
    PadStates states = Sentinel();
    server.SetRefused(VEXT_IOCTL_GET_PAD_STATES, true);
    EXPECT_FALSE(QueryPadStates(&states));
    // A driver that answers the code with fewer bytes (an older one, or a wrong one).
    server.SetRawAnswer({1, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0});
    EXPECT_FALSE(QueryPadStates(&states));
    server.Stop();
    EXPECT_FALSE(QueryPadStates(&states));
    EXPECT_EQ(states, Sentinel());
    EXPECT_FALSE(QueryPadStates(nullptr));
}

} // namespace
} // namespace vext
