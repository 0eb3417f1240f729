#include "vextd/pads/SlotPlanner.h"

#include "TempDir.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

const PadIdentity kPad{"Game Pad", "03000000aa", "", "/dev/input/event7"};
const PadIdentity kTwin{"Game Pad", "03000000aa", "", "/dev/input/event8"};

struct PlanCase {
    std::string name;
    std::string config;
    std::vector<std::pair<PadIdentity, int>> before; // pads that took these slots earlier
    std::array<bool, 4> taken;
    PadIdentity pad;
    int nSlot;
    std::string why;
};

class SlotPlannerTest : public testing::TestWithParam<PlanCase> {};

TEST_P(SlotPlannerTest, ChoosesTheSlotAndSaysWhy) {
    const PlanCase& c = GetParam();
    PadTypeRule rule;
    std::vector<std::string> warnings;
    rule.Parse(c.config, &warnings);
    ASSERT_TRUE(warnings.empty()) << warnings.front();
    SlotPlanner planner(&rule);
    for (const auto& [pad, nSlot] : c.before) {
        planner.Took(pad, nSlot);
    }
    const SlotPlanner::Choice choice = planner.Choose(c.pad, c.taken);
    EXPECT_EQ(choice.nSlot, c.nSlot);
    EXPECT_EQ(choice.strWhy, c.why);
}

constexpr std::array<bool, 4> kAllFree{};

INSTANTIATE_TEST_SUITE_P(
    Pads, SlotPlannerTest,
    testing::Values(
        PlanCase{"LowestFree", "", {}, {true, false, false, false}, kPad, 2, "first free slot"},
        PlanCase{"ReturnsToItsSlot", "", {{kPad, 3}}, kAllFree, kPad, 3, "its slot before"},
        PlanCase{"ItsSlotTaken",
                 "",
                 {{kPad, 3}},
                 {false, false, true, false},
                 kPad,
                 1,
                 "first free slot; its slot before, slot 3, is taken"},
        // Without a serial the device path tells identical pads apart.
        PlanCase{"TwinIsAnotherPad", "", {{kPad, 3}}, kAllFree, kTwin, 1, "first free slot"},
        PlanCase{"SerialOutranksPath",
                 "",
                 {{{"Game Pad", "03000000aa", "S1", "/dev/input/event7"}, 2}},
                 kAllFree,
                 {"Game Pad", "03000000aa", "S1", "/dev/input/event9"},
                 2,
                 "its slot before"},
        PlanCase{"PinnedByName",
                 "# pins\ngame pad = corvel, slot 4\n",
                 {{kPad, 3}},
                 kAllFree,
                 kPad,
                 4,
                 "pinned to slot 4 by pads.conf line 2"},
        PlanCase{"PinnedByGuid",
                 "03000000AA = slot 2\n",
                 {},
                 kAllFree,
                 kPad,
                 2,
                 "pinned to slot 2 by pads.conf line 1"},
        PlanCase{"PinnedByPath",
                 "/dev/input/event8 = slot 3\n/dev/input/event7 = slot 2\n",
                 {},
                 kAllFree,
                 kPad,
                 2,
                 "pinned to slot 2 by pads.conf line 2"},
        PlanCase{"PinnedSlotTaken",
                 "Game Pad = slot 1\n",
                 {{kPad, 3}},
                 {true, false, false, false},
                 kPad,
                 3,
                 "its slot before; pinned to slot 1 by pads.conf line 1, which is taken"},
        PlanCase{"KeepsClearOfOtherPins",
                 "Other Pad = slot 1\nThird = slot 2\n",
                 {},
                 kAllFree,
                 kPad,
                 3,
                 "first free slot"},
        PlanCase{"OnlyPinnedSlotsLeft",
                 "Other Pad = slot 4\n",
                 {},
                 {true, true, true, false},
                 kPad,
                 4,
                 "first free slot, though pads.conf pins another pad to it"},
        PlanCase{
            "AllTaken", "", {}, {true, true, true, true}, kPad, 0, "all four slots are taken"}),
    [](const testing::TestParamInfo<PlanCase>& info) { return info.param.name; });

TEST(SlotPlannerTest, PinByALinkToTheDeviceNode) {
    test::TempDir dir;
    const std::string link = dir.file("by-id-pad");
    std::filesystem::create_symlink(dir.file("event7"), link);
    std::ofstream(dir.file("event7")).flush();
    PadTypeRule rule;
    std::vector<std::string> warnings;
    rule.Parse(link + " = slot 4\n", &warnings);
    SlotPlanner planner(&rule);
    PadIdentity pad = kPad;
    pad.strPath = std::filesystem::canonical(dir.file("event7")).string();
    EXPECT_EQ(planner.Choose(pad, kAllFree).nSlot, 4);
    EXPECT_EQ(planner.Choose(kPad, kAllFree).nSlot, 1);
}

} // namespace
} // namespace vext
