// vextd's real pad input path, end to end: a USB pad emulated with umockdev, found by SDL
// through libudev, its evdev events read as soon as they are written (vextd waits on the pad's
// device file and on SDL's udev socket, not on its 250 ms idle wake-up), every press and release
// played, short taps included; pads of two makes read by position alike. Runs under
// umockdev-wrapper.

#include "EmulatedPad.h"

#include "RecordWriter.h"
#include "TempDir.h"
#include "VextdProcess.h"
#include "core/model/ButtonId.h"

#include <csignal>
#include <linux/input.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

// How soon they come is bench/EmulatedPadBench.cpp's to measure.
constexpr int kWaitMs = 5000;

using test::PadEvent;

class EmulatedPadTest : public testing::Test {
protected:
    void SetUp() override {
        vextd.strSocket = dir.file("run/device");
        vextd.strRecord = dir.file("keys.log");
        // Buttons 0 and 1 type A and S; the left and up directions the arrows.
        ASSERT_TRUE(test::WriteRecord(
            registry, "Emulated",
            {test::NormalKey(31), test::NormalKey(32), test::NormalKey(79), test::NormalKey(83)},
            {{MakeButtonId(1, 0, 1, kInputButton), 0},
             {MakeButtonId(1, 1, 1, kInputButton), 1},
             {MakeButtonId(1, 0, 0, kInputDirection), 2},
             {MakeButtonId(1, 1, 2, kInputDirection), 3}}));
    }

    bool Start() {
        std::vector<std::string> env = pad.Environment();
        env.insert(env.end(), {"VEXTD_ALLOW_ROOT=1",
                               // The testbed's library is preloaded ahead of the sanitizer's.
                               "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:"
                               "verify_asan_link_order=0"});
        return vextd.Start({"--foreground", "--verbose", "--socket", vextd.strSocket, "--registry",
                            registry, "--output", "record:" + vextd.strRecord},
                           env);
    }

    test::TempDir dir;
    std::string registry = dir.file("registry.sqlite");
    test::EmulatedPad pad{VEXT_TEST_DATA_DIR "/emulated-pad"};
    test::VextdProcess vextd;
};

TEST_F(EmulatedPadTest, EveryPressAndReleaseGivesItsKeyAtOnce) {
    std::string error;
    ASSERT_TRUE(pad.Plug(false, &error)) << error;
    ASSERT_TRUE(Start()) << vextd.Log();
    ASSERT_NE(vextd.Log().find("pad in slot 1: \"VextKey Emulated Pad\", 12 buttons, 1 hat"),
              std::string::npos)
        << vextd.Log();

    const PadEvent press0{EV_KEY, BTN_SOUTH, 1};
    const PadEvent release0{EV_KEY, BTN_SOUTH, 0};
    struct Step {
        std::vector<PadEvent> events;
        std::string keys; // what the record gains
    };
    // A tap written in one go reaches vextd in one read: both halves must still play.
    const Step tap{{press0, release0}, "31+ 31-"};
    const std::vector<Step> steps{
        tap,
        {{press0}, "31+"},
        {{release0}, "31-"},
        {{{EV_KEY, BTN_EAST, 1}}, "32+"},
        tap,
        {{{EV_KEY, BTN_EAST, 0}}, "32-"},
        {{{EV_ABS, ABS_HAT0X, -1}}, "79+"},
        {{{EV_ABS, ABS_HAT0X, 0}}, "79-"},
        {{{EV_ABS, ABS_Y, -32768}}, "83+"},
        {{{EV_ABS, ABS_Y, 0}}, "83-"},
        tap,
        tap,
        tap,
    };
    size_t nRecords = 0;
    for (size_t i = 0; i < steps.size(); ++i) {
        ASSERT_GE(pad.Write(steps[i].events), 0);
        const size_t nBefore = nRecords;
        nRecords += steps[i].keys.size() / 4 + 1;
        ASSERT_TRUE(vextd.WaitForRecords(nRecords, kWaitMs))
            << "step " << i << ": " << vextd.RecordText(nBefore);
        EXPECT_EQ(vextd.RecordText(nBefore), steps[i].keys) << "step " << i;
    }
    EXPECT_EQ(vextd.Stop(SIGTERM), 0);
    EXPECT_EQ(vextd.Records().size(), nRecords); // nothing more, nothing stuck
}

TEST_F(EmulatedPadTest, PlugAndUnplugAreSeen) {
    ASSERT_TRUE(Start()) << vextd.Log();
    std::string error;
    for (int nRound = 0; nRound < 2; ++nRound) {
        size_t nFrom = vextd.Log().size();
        ASSERT_TRUE(pad.Plug(true, &error)) << error;
        EXPECT_TRUE(vextd.WaitForLog("pad in slot 1: \"VextKey Emulated Pad\"", kWaitMs, nFrom))
            << vextd.Log();
        if (nRound == 1) {
            EXPECT_NE(vextd.Log().find("(its slot before)", nFrom), std::string::npos);
        }
        nFrom = vextd.Log().size();
        pad.Unplug();
        EXPECT_TRUE(vextd.WaitForLog("pad left slot 1", kWaitMs, nFrom)) << vextd.Log();
    }
    EXPECT_EQ(vextd.Stop(SIGTERM), 0);
}

// An Xbox 360 pad and a DualShock 4 number their inputs differently (the west button is BTN_X on
// one and BTN_WEST on the other, Back raw button 6 on one and 8 on the other; the DualShock's
// triggers are buttons as well as axes). Read by position, the same physical input plays the
// same key in either slot.
TEST_F(EmulatedPadTest, TwoMakesGiveTheSameInputsByPosition) {
    const std::pair<uint32_t, uint32_t> byPosition[] = {
        {MakeButtonId(0, 2, 1, kInputButton), 0},    // west
        {MakeButtonId(0, 8, 1, kInputButton), 1},    // Back
        {MakeButtonId(0, 6, 1, kInputButton), 2},    // left trigger
        {MakeButtonId(0, 2, 0, kInputDirection), 3}, // right stick left
        {MakeButtonId(0, 5, 2, kInputDirection), 4}, // D-pad up
    };
    std::vector<std::pair<uint32_t, uint32_t>> mappings;
    for (const int nSlot : {1, 2}) {
        for (const auto& [nId, nFunction] : byPosition) {
            mappings.emplace_back(nId | MakeButtonId(nSlot, 0, 0, 0), nFunction);
        }
    }
    ASSERT_TRUE(test::WriteRecord(registry, "Positions",
                                  {test::NormalKey(31), test::NormalKey(32), test::NormalKey(33),
                                   test::NormalKey(34), test::NormalKey(35)},
                                  mappings));
    test::EmulatedPad xbox{VEXT_TEST_DATA_DIR "/xbox360-pad", &pad};
    test::EmulatedPad ds4{VEXT_TEST_DATA_DIR "/ds4-pad", &pad};
    std::string error;
    ASSERT_TRUE(xbox.Plug(false, &error)) << error;
    ASSERT_TRUE(ds4.Plug(false, &error)) << error;
    ASSERT_TRUE(Start()) << vextd.Log();
    for (const char* make :
         {"game controller \"X360 Controller\"", "game controller \"PS4 Controller\""}) {
        EXPECT_NE(vextd.Log().find(make), std::string::npos) << vextd.Log();
    }

    struct Make {
        test::EmulatedPad* pPad;
        uint16_t nWest;
        int nStickLeft, nStickMiddle;
        bool bDigitalTriggers;
    };
    const Make makes[] = {{&xbox, BTN_NORTH, -32768, 0, false}, {&ds4, BTN_WEST, 0, 128, true}};
    size_t nRecords = 0;
    for (const Make& make : makes) {
        const auto trigger = [&](int nValue, int nButton) {
            std::vector<PadEvent> events{{EV_ABS, ABS_Z, nValue}};
            if (make.bDigitalTriggers && nButton >= 0) {
                events.push_back({EV_KEY, BTN_TL2, nButton});
            }
            return events;
        };
        const auto join = [](std::vector<std::vector<PadEvent>> parts) {
            std::vector<PadEvent> all;
            for (const auto& part : parts) {
                all.insert(all.end(), part.begin(), part.end());
            }
            return all;
        };
        const std::pair<std::vector<PadEvent>, std::string> steps[] = {
            {{{EV_KEY, make.nWest, 1}, {EV_KEY, make.nWest, 0}}, "31+ 31-"},
            {{{EV_KEY, BTN_SELECT, 1}, {EV_KEY, BTN_SELECT, 0}}, "32+ 32-"},
            // Down past half its travel (once, however the make reports it), on its way there as a
            // finger pulls it; a hand resting at 45 % keeps it down, below 40 % lets it go.
            {join({trigger(40, -1), trigger(153, 1)}), "33+"},
            {join({trigger(115, -1), trigger(160, -1), trigger(89, 0)}), "33-"},
            {{{EV_ABS, ABS_RX, make.nStickLeft}, {EV_ABS, ABS_RX, make.nStickMiddle}}, "34+ 34-"},
            {{{EV_ABS, ABS_HAT0Y, -1}, {EV_ABS, ABS_HAT0Y, 0}}, "35+ 35-"},
        };
        for (const auto& [events, keys] : steps) {
            ASSERT_GE(make.pPad->Write(events), 0);
            const size_t nBefore = nRecords;
            nRecords += keys.size() / 4 + 1;
            ASSERT_TRUE(vextd.WaitForRecords(nRecords, kWaitMs))
                << keys << ": " << vextd.RecordText(nBefore) << "\n"
                << vextd.Log();
            EXPECT_EQ(vextd.RecordText(nBefore), keys) << (make.bDigitalTriggers ? "DS4" : "Xbox");
        }
    }
    EXPECT_EQ(vextd.Stop(SIGTERM), 0);
    EXPECT_EQ(vextd.Records().size(), nRecords);
}

} // namespace
} // namespace vext
