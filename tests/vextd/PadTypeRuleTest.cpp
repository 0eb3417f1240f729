#include "vextd/pads/PadTypeRule.h"

#include "TempDir.h"
#include "vextd/common/ConfigLines.h"

#include <array>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

struct RuleCase {
    const char* config;
    const char* name;
    int nButtons;
    int nExpected;
};

class PadTypeRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(PadTypeRuleTest, ChoosesType) {
    PadTypeRule rule;
    std::vector<std::string> warnings;
    rule.Parse(GetParam().config, &warnings);
    EXPECT_EQ(rule.TypeFor(GetParam().name, GetParam().nButtons), GetParam().nExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Pads, PadTypeRuleTest,
    ::testing::Values(RuleCase{"", "Any", 0, kPadStandard}, RuleCase{"", "Any", 9, kPadStandard},
                      RuleCase{"", "Any", 10, kPadCorvel}, RuleCase{"", "Any", 32, kPadCorvel},
                      RuleCase{"Big Pad = standard\n", "big pad", 14, kPadStandard},
                      RuleCase{"  Small Pad  =  CORVEL \r\n", "Small Pad", 4, kPadCorvel},
                      RuleCase{"Small Pad = 1\nSmall Pad = 0\n", "SMALL PAD", 4, kPadCorvel},
                      RuleCase{"A=B Pad = 0\n", "A=B Pad", 12, kPadStandard},
                      RuleCase{"# Small Pad = corvel\n", "Small Pad", 4, kPadStandard},
                      RuleCase{"Other = corvel\n", "Small Pad", 4, kPadStandard}));

TEST(PadTypeRuleTest, BadLinesAreSkippedWithAWarning) {
    PadTypeRule rule;
    std::vector<std::string> warnings;
    rule.Parse("no equals sign\n= corvel\nPad = huge\nGood = corvel", &warnings);
    EXPECT_EQ(rule.OverrideCount(), 1u);
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_NE(warnings[0].find("line 1"), std::string::npos);
    EXPECT_NE(warnings[2].find("line 3"), std::string::npos);
    EXPECT_EQ(rule.TypeFor("good", 2), kPadCorvel);
}

TEST(PadTypeRuleTest, SlotsAndTypesByNameGuidOrPath) {
    PadTypeRule rule;
    std::vector<std::string> warnings;
    rule.Parse("Pad = slot 5\nPad = slot\nPad = corvel slot 2\nPinned = slot 2\n"
               "03000000AA = corvel\n/dev/input/event3 = standard, slot 3\n",
               &warnings);
    EXPECT_EQ(warnings.size(), 3u);
    // A line with only a slot leaves the type to the button count.
    EXPECT_EQ(rule.TypeFor(PadKey{"pinned", "", ""}, 12), kPadCorvel);
    EXPECT_EQ(rule.PinnedSlot(PadKey{"PINNED", "", ""}), 2);
    EXPECT_EQ(rule.TypeFor(PadKey{"x", "03000000aa", ""}, 2), kPadCorvel);
    EXPECT_EQ(rule.PinnedSlot(PadKey{"x", "03000000aa", ""}), 0);
    EXPECT_EQ(rule.TypeFor(PadKey{"x", "", "/dev/input/event3"}, 12), kPadStandard);
    EXPECT_EQ(rule.PinnedSlot(PadKey{"/dev/input/event3", "", ""}), 0); // a name is no path
    EXPECT_EQ(rule.PinnedSlots(), (std::array<bool, 4>{false, true, true, false}));
}

TEST(PadTypeRuleTest, LoadsAFileAndTakesAMissingOneAsEmpty) {
    test::TempDir dir;
    PadTypeRule rule;
    std::vector<std::string> warnings;
    std::string text = "junk";
    EXPECT_TRUE(ReadConfigFile(dir.file("absent.conf"), "pads", &text, &warnings));
    EXPECT_EQ(text, "");
    std::ofstream(dir.file("pads.conf")) << "Mine = corvel\n";
    EXPECT_TRUE(ReadConfigFile(dir.file("pads.conf"), "pads", &text, &warnings));
    rule.Parse(text, &warnings);
    EXPECT_EQ(rule.TypeFor("Mine", 1), kPadCorvel);
    EXPECT_TRUE(warnings.empty());
}

// What can sit where the file should be: nothing of it blocks, fills the memory or is read.
TEST(PadTypeRuleTest, AnythingButASmallRegularFileIsRefusedAtOnce) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::ofstream(dir.file("huge.conf")) << std::string(kMaxConfigBytes + 1, '#');
    for (const std::string& path :
         {dir.file("fifo"), std::string("/dev/zero"), dir.path().string(), dir.file("huge.conf")}) {
        std::vector<std::string> warnings;
        std::string text;
        EXPECT_FALSE(ReadConfigFile(path, "pad configuration", &text, &warnings)) << path;
        EXPECT_TRUE(text.empty()) << path;
        ASSERT_EQ(warnings.size(), 1u) << path;
        EXPECT_NE(warnings[0].find("cannot read the pad configuration"), std::string::npos);
    }
}

} // namespace
} // namespace vext
