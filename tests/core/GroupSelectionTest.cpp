#include "core/keys/GroupSelection.h"

#include <cstddef>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace {

using vext::BraceBalance;
using vext::CaretOutOfGroup;
using vext::SelectionStartOutOfGroup;
using vext::WidenToGroups;

struct BalanceCase {
    std::u16string_view text;
    std::size_t from;
    std::size_t to;
    int expected;
};

TEST(BraceBalanceTest, CountsOpenGroupsAndStopsAtALeadingClose) {
    const BalanceCase cases[] = {
        {u"", 0, 0, 0},
        {u"ABC", 0, 3, 0},
        {u"{Ctrl+C}", 0, 8, 0},
        {u"{Ctrl+C}", 0, 4, 1},
        {u"A{B}{C", 0, 6, 1},
        {u"{A}{B}", 0, 6, 0},
        // A "}" before any "{" answers at once, whatever follows.
        {u"C}{D{E", 0, 6, -1},
        {u"Alt+F4}B", 2, 8, -1},
        // After a "{" was seen, a surplus "}" only counts down.
        {u"{A}}{", 0, 5, 0},
        {u"{A}}", 0, 4, -1},
        // The end is clamped to the text.
        {u"{A", 0, 99, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BraceBalance(c.text, c.from, c.to), c.expected)
            << std::string(c.text.begin(), c.text.end()) << " [" << c.from << "," << c.to << ")";
    }
}

struct WidenCase {
    std::u16string_view text;
    std::size_t start;
    std::size_t end;
    std::size_t expectedStart;
    std::size_t expectedEnd;
};

TEST(WidenToGroupsTest, GrowsToWholeGroups) {
    const WidenCase cases[] = {
        // Already whole.
        {u"A{Alt+F4}B", 1, 9, 1, 9},
        {u"ABC", 1, 2, 1, 2},
        // From a group's "{" into its middle: the end moves past its "}".
        {u"A{Alt+F4}B", 1, 5, 1, 9},
        // Starting inside a group: the start goes back to its "{".
        {u"A{Alt+F4}B", 6, 10, 1, 10},
        // Spanning the end of one group and the start of the next.
        {u"{Ctrl+A}{Alt+B}", 3, 11, 0, 15},
        // Unbalanced text: widening stops where the brace is missing.
        {u"A{Alt+F4", 1, 4, 1, 4},
        {u"Alt+F4}B", 2, 8, 2, 8},
        {u"{A}}", 0, 4, 0, 4},
    };
    for (const auto& c : cases) {
        std::size_t start = c.start;
        std::size_t end = c.end;
        WidenToGroups(c.text, start, end);
        EXPECT_EQ(start, c.expectedStart) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(end, c.expectedEnd) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(CaretOutOfGroupTest, LeavesAGroupItStandsIn) {
    // "AB{Ctrl+C}D": between "C" and "}" the caret goes after the group.
    EXPECT_EQ(CaretOutOfGroup(u"AB{Ctrl+C}D", 9), 10u);
    EXPECT_EQ(CaretOutOfGroup(u"AB{Ctrl+C}D", 3), 10u);
    // Before a group, between groups, at the end: unchanged.
    EXPECT_EQ(CaretOutOfGroup(u"AB{Ctrl+C}D", 2), 2u);
    EXPECT_EQ(CaretOutOfGroup(u"AB{Ctrl+C}D", 1), 1u);
    EXPECT_EQ(CaretOutOfGroup(u"AB{Ctrl+C}D", 11), 11u);
    EXPECT_EQ(CaretOutOfGroup(u"{A}{B}", 3), 3u);
    EXPECT_EQ(CaretOutOfGroup(u"", 0), 0u);
    // Past the end of the text.
    EXPECT_EQ(CaretOutOfGroup(u"AB", 7), 7u);
}

TEST(SelectionStartOutOfGroupTest, MovesBackToTheOpeningBrace) {
    EXPECT_EQ(SelectionStartOutOfGroup(u"A{Alt+F4}B", 3), 1u);
    EXPECT_EQ(SelectionStartOutOfGroup(u"A{Alt+F4}B", 1), 1u);
    EXPECT_EQ(SelectionStartOutOfGroup(u"A{Alt+F4}B", 0), 0u);
    // After a group: the "}" stops the scan.
    EXPECT_EQ(SelectionStartOutOfGroup(u"{A}BC", 4), 4u);
    // Starting on a "}": stays, the widening takes it from there.
    EXPECT_EQ(SelectionStartOutOfGroup(u"{Ab}C", 3), 3u);
    EXPECT_EQ(SelectionStartOutOfGroup(u"", 0), 0u);
}

} // namespace
