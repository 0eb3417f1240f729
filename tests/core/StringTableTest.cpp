#include "core/platform/StringTable.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(StringTable, ReadsIdsAndTexts) {
    StringTable table;
    EXPECT_TRUE(table.AddFile("a.txt", "1\tOne\n# 2\tcomment\n\n   \n20\tTwenty words here\n"));
    EXPECT_EQ(table.Size(), 2u);
    EXPECT_EQ(table.Find(1), "One");
    EXPECT_EQ(table.Find(20), "Twenty words here");
    EXPECT_EQ(table.Find(2), std::nullopt);
    EXPECT_TRUE(table.Errors().empty());
}

TEST(StringTable, TextForms) {
    struct Case {
        const char* line;
        std::string text;
    };
    const Case cases[] = {
        {"5\t", ""},
        {"5\ta\\nb", "a\nb"},
        {"5\ta\\tb", "a\tb"},
        {"5\ta\\\\nb", "a\\nb"},
        {"5\tx\ty", "x\ty"},
        {"5\t  padded  ", "  padded  "},
        {"5\tline\r", "line"},
        {"5\t#not a comment", "#not a comment"},
        {"005\tleading zeros", "leading zeros"},
        {"5\tA=\"{Ctrl+Alt+Del}\" 100%", "A=\"{Ctrl+Alt+Del}\" 100%"},
    };
    for (const Case& c : cases) {
        StringTable table;
        EXPECT_TRUE(table.AddFile("t.txt", c.line)) << c.line;
        EXPECT_EQ(table.Find(5), c.text) << c.line;
    }
}

TEST(StringTable, LastLineNeedsNoNewlineAndCrLfFilesWork) {
    StringTable table;
    EXPECT_TRUE(table.AddFile("t.txt", "1\tone\r\n2\ttwo"));
    EXPECT_EQ(table.Find(1), "one");
    EXPECT_EQ(table.Find(2), "two");
}

TEST(StringTable, MalformedLinesAreReportedAndSkipped) {
    const char* const lines[] = {
        "no tab at all",          "12 spaced\tid",     "-1\tnegative",   "x1\tletters",  "\tno id",
        "99999999999\ttoo large", "7\tbad \\q escape", "7\ttrailing \\", " 7\tindented",
    };
    for (const char* line : lines) {
        StringTable table;
        EXPECT_FALSE(table.AddFile("bad.txt", std::string(line) + "\n8\tfine\n")) << line;
        ASSERT_EQ(table.Errors().size(), 1u) << line;
        EXPECT_NE(table.Errors()[0].find("bad.txt:1"), std::string::npos) << table.Errors()[0];
        EXPECT_EQ(table.Find(7), std::nullopt) << line;
        EXPECT_EQ(table.Find(8), "fine") << line;
    }
}

TEST(StringTable, DuplicateIdsAreErrorsAndTheFirstStays) {
    StringTable table;
    EXPECT_TRUE(table.AddFile("a.txt", "1\tfirst\n"));
    EXPECT_FALSE(table.AddFile("b.txt", "2\tother\n1\tsecond\n"));
    ASSERT_EQ(table.Errors().size(), 1u);
    EXPECT_NE(table.Errors()[0].find("b.txt:2"), std::string::npos);
    EXPECT_EQ(table.Find(1), "first");

    StringTable same;
    EXPECT_FALSE(same.AddFile("a.txt", "3\tx\n3\ty\n"));
    EXPECT_EQ(same.Find(3), "x");
}

TEST(AppStringTable, BuildsWithoutErrors) {
    const StringTable& table = AppStringTable();
    for (const std::string& error : table.Errors()) {
        ADD_FAILURE() << error;
    }
    EXPECT_GT(table.Size(), 0u);
}

TEST(AppStringTable, LoadsPadCounts) {
    std::string text;
    ASSERT_TRUE(LoadString(200, text));
    EXPECT_EQ(text, "12");
    EXPECT_EQ(StringResource(201), "14");
}

TEST(AppStringTable, MissingStringLeavesTheOutputAlone) {
    std::string text = "unchanged";
    EXPECT_FALSE(LoadString(-5, text));
    EXPECT_FALSE(LoadString(1999999999, text));
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(StringResource(-5), std::nullopt);
}

} // namespace
} // namespace vext
