#include "core/pad/PadLayoutTable.h"

#include "core/pad/PadPositions.h"

#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(PadLayoutTable, CountStrings) {
    struct Case {
        const char* text;
        int32_t count;
    };
    const Case cases[] = {
        {"20", 15},
        {"15", 15},
        {"14", 14},
        {"12", 12},
        {"1", 1},
        {"0", 0},
        {"-3", 0},
        {"-0", 0},
        {"", 0},
        {"abc", 0},
        {"+5", 5},
        {" \t\n7", 7},
        {"7x", 7},
        {"3,4", 3},
        {"- 3", 0},
        {"+", 0},
        {"x7", 0},
        {"99999999999999999999", 15},
        {"-99999999999999999999", 0},
        {"2147483648", 15},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseCountString(c.text), c.count) << '"' << c.text << '"';
    }
}

TEST(PadLayoutTable, ScanDecimalFollowsPercentD) {
    struct Case {
        const char* text;
        bool read;
        int32_t value;
        std::size_t end;
    };
    const Case cases[] = {
        {"42,", true, 42, 2},
        {"  -17x", true, -17, 5},
        {"+0", true, 0, 2},
        {"-", false, 0, 0},
        {",1", false, 0, 0},
        {"2147483647", true, 2147483647, 10},
        {"-2147483648", true, -2147483647 - 1, 11},
        {"2147483648", true, 2147483647, 10},
        {"-2147483649", true, -2147483647 - 1, 11},
    };
    for (const Case& c : cases) {
        std::size_t pos = 0;
        int32_t value = 0;
        EXPECT_EQ(ScanDecimal(c.text, pos, value), c.read) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(pos, c.end) << c.text;
    }
}

TEST(PadLayoutTable, LayoutStringOfAButton) {
    const CPadButtonInfo info = ParseLayoutString("1,3,1,10,20,30,40,1,Fire");
    EXPECT_EQ(info.m_nKind, 1);
    EXPECT_EQ(info.m_nX, 3);
    EXPECT_EQ(info.m_nY, 1);
    EXPECT_EQ(info.m_nMask, 8u);
    EXPECT_EQ(info.m_nLeft, 10);
    EXPECT_EQ(info.m_nTop, 20);
    EXPECT_EQ(info.m_nLabelX, 30);
    EXPECT_EQ(info.m_nLabelY, 40);
    EXPECT_EQ(info.m_nLabelAlign, 1);
    EXPECT_EQ(info.m_strName, "Fire");
}

TEST(PadLayoutTable, MasksOfButtonsAndDirections) {
    struct Case {
        const char* text;
        int32_t kind;
        uint32_t mask;
    };
    const Case cases[] = {
        {"1,0,1,0,0,0,0,0,n", 1, 1u},
        {"1,31,1,0,0,0,0,0,n", 1, 0x80000000u},
        {"1,32,1,0,0,0,0,0,n", 1, 0u},
        {"1,-1,1,0,0,0,0,0,n", 1, 0u},
        {"2,0,0,0,0,0,0,0,Left", 2, 1u},
        {"2,0,2,0,0,0,0,0,Right", 2, 2u},
        {"2,1,0,0,0,0,0,0,Down", 2, 4u},
        {"2,1,2,0,0,0,0,0,Up", 2, 8u},
        {"2,1,1,0,0,0,0,0,Centre", 2, 0u},
        // The right stick's axes 2 and 3, a D-pad of its own 4 and 5; there is no axis 6.
        {"2,2,0,0,0,0,0,0,Right stick left", 2, 16u},
        {"2,3,2,0,0,0,0,0,Right stick up", 2, 128u},
        {"2,5,2,0,0,0,0,0,D-pad up", 2, 2048u},
        {"2,6,0,0,0,0,0,0,Axis 6", 2, 0u},
        // The first character decides, not the number.
        {"12,3,1,0,0,0,0,0,n", 1, 8u},
        {"2147483647,0,2,0,0,0,0,0,n", 2, 2u},
    };
    for (const Case& c : cases) {
        const CPadButtonInfo info = ParseLayoutString(c.text);
        EXPECT_EQ(info.m_nKind, c.kind) << c.text;
        EXPECT_EQ(info.m_nMask, c.mask) << c.text;
    }
}

TEST(PadLayoutTable, OtherFirstCharacterKeepsTheNumberAsKindAndNamesNoInput) {
    struct Case {
        const char* text;
        int32_t kind;
        int32_t left;
    };
    const Case cases[] = {
        {"3,4,5,6,7,8,9,1,Three", 3, 6},
        {"0,1,1,6,7,8,9,1,Zero", 0, 6},
        {" 1,3,1,6,7,8,9,1,Spaced", 1, 6},
        {"-1,3,1,6,7,8,9,1,Negative", -1, 6},
        {"+2,0,0,6,7,8,9,1,Plus", 2, 6},
        {"Name only", 0, 0},
        {"", 0, 0},
    };
    for (const Case& c : cases) {
        const CPadButtonInfo info = ParseLayoutString(c.text);
        EXPECT_EQ(info.m_nKind, c.kind) << c.text;
        EXPECT_EQ(info.m_nX, 0) << c.text;
        EXPECT_EQ(info.m_nY, 0) << c.text;
        EXPECT_EQ(info.m_nMask, 0u) << c.text;
        EXPECT_EQ(info.m_nLeft, c.left) << c.text;
    }
}

TEST(PadLayoutTable, ReadingStopsAtTheFirstMismatch) {
    struct Case {
        const char* text;
        int32_t fields[8];
    };
    const Case cases[] = {
        {"1,3,1,10", {1, 3, 1, 10, 0, 0, 0, 0}},
        {"1,3,1,10 ,20,30,40,1,n", {1, 3, 1, 10, 0, 0, 0, 0}},
        {"1, 3, 1, 10,20,30,40,1,n", {1, 3, 1, 10, 20, 30, 40, 1}},
        {"1,3,1,x,20,30,40,1,n", {1, 3, 1, 0, 0, 0, 0, 0}},
        {"1,3,1,10;20,30,40,1,n", {1, 3, 1, 10, 0, 0, 0, 0}},
        {"1,,1,10,20,30,40,1,n", {1, 0, 0, 0, 0, 0, 0, 0}},
        {"1,-4,1,-10,-20,-30,-40,0,n", {1, -4, 1, -10, -20, -30, -40, 0}},
        {"2,1,2,5,6,7,8,9,10,11,n", {2, 1, 2, 5, 6, 7, 8, 9}},
    };
    for (const Case& c : cases) {
        const CPadButtonInfo info = ParseLayoutString(c.text);
        const int32_t got[8] = {info.m_nKind, info.m_nX,      info.m_nY,      info.m_nLeft,
                                info.m_nTop,  info.m_nLabelX, info.m_nLabelY, info.m_nLabelAlign};
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(got[i], c.fields[i]) << c.text << " field " << i;
        }
    }
}

TEST(PadLayoutTable, NameIsWhatFollowsTheLastComma) {
    struct Case {
        const char* text;
        const char* name;
    };
    const Case cases[] = {
        {"1,3,1,10,20,30,40,1,Fire", "Fire"},
        {"1,3,1,10,20,30,40,1,Fire,Ball", "Ball"},
        {"1,3,1,10,20,30,40,1,", ""},
        {"1,3,1,10,20,30,40,1, Left Shoulder ", " Left Shoulder "},
        {"1,3,1,10,20,30,40,1", "1"},
        {"no comma", "no comma"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseLayoutString(c.text).m_strName, c.name) << c.text;
    }
}

class FakeStrings {
public:
    std::map<int, std::string> strings;
    PadLayoutTable::StringLookup Lookup() const {
        return [this](int nId) -> std::optional<std::string> {
            const auto it = strings.find(nId);
            if (it == strings.end()) {
                return std::nullopt;
            }
            return it->second;
        };
    }
};

TEST(PadLayoutTable, BuildsOneLayoutPerPadTypeFromItsStrings) {
    FakeStrings fake;
    fake.strings = {
        {200, "2"},
        {201, "3"},
        {202, "1,0,1,1,2,3,4,0,A"},
        {203, "2,1,2,5,6,7,8,1,Up"},
        {204, "1,9,1,0,0,0,0,0,Not counted"},
        {214, "1,4,1,0,0,0,0,0,R"},
        {215, "1,5,1,0,0,0,0,0,Y"},
        {216, "2,0,0,0,0,0,0,0,Left"},
    };
    const PadLayoutTable table = PadLayoutTable::Build(fake.Lookup());
    ASSERT_EQ(table.Size(), 3u);
    ASSERT_NE(table.Find(0), nullptr);
    const CPadLayout& type0 = *table.Find(0);
    EXPECT_EQ(type0.m_nCount, 2);
    ASSERT_EQ(type0.m_buttons.size(), 2u);
    EXPECT_EQ(type0.m_buttons[0].m_strName, "A");
    EXPECT_EQ(type0.m_buttons[1].m_strName, "Up");
    EXPECT_EQ(type0.m_buttons[1].m_nMask, 8u);

    const CPadLayout& type1 = *table.Find(1);
    EXPECT_EQ(type1.m_nCount, 3);
    ASSERT_EQ(type1.m_buttons.size(), 3u);
    EXPECT_EQ(type1.m_buttons[0].m_nMask, 16u);
    EXPECT_EQ(type1.m_buttons[2].m_strName, "Left");

    EXPECT_EQ(table.ButtonCount(0), 2);
    EXPECT_EQ(table.ButtonCount(1), 3);
    EXPECT_EQ(table.ButtonCount(2), 0);
    EXPECT_EQ(table.ButtonCount(-1), 0);
    EXPECT_EQ(table.Find(3), nullptr);
}

TEST(PadLayoutTable, CountCapAndMissingStrings) {
    FakeStrings fake;
    fake.strings = {{200, "20"}, {216, "2,1,0,0,0,0,0,0,Fifteenth"}};
    const PadLayoutTable table = PadLayoutTable::Build(fake.Lookup());
    const CPadLayout& type0 = *table.Find(0);
    ASSERT_EQ(type0.m_nCount, 15);
    ASSERT_EQ(type0.m_buttons.size(), 15u);
    // Pad type 0 reads strings 202 to 216; the missing ones give empty entries.
    EXPECT_EQ(type0.m_buttons[0].m_nKind, 0);
    EXPECT_EQ(type0.m_buttons[0].m_strName, "");
    EXPECT_EQ(type0.m_buttons[14].m_strName, "Fifteenth");
    EXPECT_EQ(type0.m_buttons[14].m_nMask, 4u);
    // No count string: a pad type without buttons.
    EXPECT_EQ(table.Find(1)->m_nCount, 0);
    EXPECT_TRUE(table.Find(1)->m_buttons.empty());
}

TEST(PadLayoutTable, NoLookupGivesEmptyLayouts) {
    const PadLayoutTable table = PadLayoutTable::Build(nullptr);
    ASSERT_EQ(table.Size(), 3u);
    EXPECT_EQ(table.ButtonCount(0), 0);
    EXPECT_EQ(table.ButtonCount(1), 0);
    EXPECT_EQ(table.ButtonCount(2), 0);
}

// The shipped layouts: every button names a distinct input that a pad of its type can produce.
TEST(AppPadLayouts, ShippedLayoutsAreConsistent) {
    const PadLayoutTable& table = AppPadLayouts();
    ASSERT_EQ(table.Size(), 3u);
    EXPECT_EQ(table.ButtonCount(0), 12);
    EXPECT_EQ(table.ButtonCount(1), 14);
    // The Twin-Stick Pad: one button per position, and the three sticks' twelve directions.
    EXPECT_EQ(table.ButtonCount(2), kPositionCount + 12);
    for (int nType = 0; nType < 3; ++nType) {
        const CPadLayout& layout = *table.Find(nType);
        ASSERT_EQ(layout.m_buttons.size(), static_cast<std::size_t>(layout.m_nCount));
        std::set<uint32_t> buttonMasks;
        std::set<uint32_t> directionMasks;
        std::set<std::string> names;
        for (const CPadButtonInfo& info : layout.m_buttons) {
            SCOPED_TRACE(info.m_strName);
            EXPECT_NE(info.m_nMask, 0u);
            EXPECT_FALSE(info.m_strName.empty());
            EXPECT_TRUE(names.insert(info.m_strName).second);
            if (info.m_nKind == 1) {
                EXPECT_EQ(info.m_nY, 1);
                EXPECT_LT(info.m_nX, layout.m_nCount);
                EXPECT_TRUE(buttonMasks.insert(info.m_nMask).second);
            } else {
                EXPECT_EQ(info.m_nKind, 2);
                EXPECT_TRUE(directionMasks.insert(info.m_nMask).second);
            }
        }
        std::set<uint32_t> expected;
        for (int nBit = 0; nBit < (nType == kPadTwinStick ? 12 : 4); ++nBit) {
            expected.insert(uint32_t{1} << nBit);
        }
        EXPECT_EQ(directionMasks, expected);
        // Directions come last, after one button per bit from 0.
        EXPECT_EQ(buttonMasks.size(), layout.m_buttons.size() - expected.size());
        EXPECT_EQ(*buttonMasks.rbegin(), uint32_t{1} << (buttonMasks.size() - 1));
    }
}

} // namespace
} // namespace vext
