#include "core/keys/KeyNameTable.h"

#include <cctype>
#include <set>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace vext {
namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

TEST(KeyNameTable, HasOneHundredAndOneRows) {
    EXPECT_EQ(KeyNameTable.size(), 101u);
}

struct RowCase {
    std::size_t nRow; // 1-based, as the table is numbered
    uint16_t nCode;
    std::string_view name;
    int nKeyNumber;
};

class KeyNameTableRow : public testing::TestWithParam<RowCase> {};

TEST_P(KeyNameTableRow, StandsInItsPlace) {
    const RowCase& c = GetParam();
    const KeyName& row = KeyNameTable.at(c.nRow - 1);
    EXPECT_EQ(row.nCode, c.nCode);
    EXPECT_EQ(row.name, c.name);
    EXPECT_EQ(row.nKeyNumber, c.nKeyNumber);
}

INSTANTIATE_TEST_SUITE_P(
    SpotChecks, KeyNameTableRow,
    testing::Values(RowCase{1, 0x5B, "L-Win", 0}, RowCase{2, 0x5C, "R-Win", 0},
                    RowCase{3, 0x5D, "Apps", 0}, RowCase{4, 0x5A, "Z", 46},
                    RowCase{11, 0x2C, ",", 53}, RowCase{14, 0x41, "A", 31},
                    RowCase{24, 0x27, "'", 41}, RowCase{35, 0x5B, "[", 27},
                    RowCase{37, 0x60, "`", 1}, RowCase{47, 0x30, "0", 11},
                    RowCase{50, 0x5C, "\\", 29}, RowCase{54, 0x27, "Right", 89},
                    RowCase{55, 0x60, "Num-0", 99}, RowCase{65, 0x6A, "Num-*", 100},
                    RowCase{66, 0x6F, "Num-/", 95}, RowCase{67, 0x6D, "Num-", 105},
                    RowCase{68, 0x6E, "Num.", 104}, RowCase{69, 0x6B, "Num+", 106},
                    RowCase{71, 0x2E, "Del", 76}, RowCase{80, 0x0D, "Return", 43},
                    RowCase{83, 0x13, "Pause", 126}, RowCase{84, 0x2C, "PrtSc", 124},
                    RowCase{86, 0x11, "Ctrl", 58}, RowCase{88, 0xA0, "LShift", 44},
                    RowCase{89, 0xA1, "RShift", 57}, RowCase{90, 0x70, "F1", 112},
                    RowCase{101, 0x7B, "F12", 123}));

TEST(KeyNameTable, OnlyTheWindowsAndApplicationKeysHaveNoKeyNumber) {
    for (std::size_t i = 0; i < KeyNameTable.size(); ++i) {
        const KeyName& row = KeyNameTable[i];
        if (i < 3) {
            EXPECT_EQ(row.nKeyNumber, 0) << row.name;
        } else {
            EXPECT_GE(row.nKeyNumber, 1) << row.name;
            EXPECT_LE(row.nKeyNumber, 126) << row.name;
        }
    }
}

TEST(KeyNameTable, KeyNumbersAreUniqueAmongKeysThatHaveOne) {
    std::set<int> seen;
    for (const KeyName& row : KeyNameTable) {
        if (row.nKeyNumber != 0) {
            EXPECT_TRUE(seen.insert(row.nKeyNumber).second) << row.name;
        }
    }
    EXPECT_EQ(seen.size(), 98u);
}

TEST(KeyNameTable, NamesAreUniqueIgnoringCase) {
    std::set<std::string> seen;
    for (const KeyName& row : KeyNameTable)
        EXPECT_TRUE(seen.insert(Upper(row.name)).second) << row.name;
}

TEST(KeyNameTable, OneCharacterRowsCarryTheirOwnCharacter) {
    int oneCharacterRows = 0;
    for (const KeyName& row : KeyNameTable) {
        if (row.name.size() == 1) {
            ++oneCharacterRows;
            EXPECT_EQ(row.nCode, static_cast<unsigned char>(row.name[0])) << row.name;
        }
    }
    // 26 letters, 10 digits and 11 punctuation keys.
    EXPECT_EQ(oneCharacterRows, 47);
}

TEST(KeyNameTable, VirtualKeysOfNamedRowsAreUnique) {
    std::set<uint16_t> seen;
    for (const KeyName& row : KeyNameTable) {
        if (row.name.size() >= 2) {
            EXPECT_TRUE(seen.insert(row.nCode).second) << row.name;
        }
    }
}

struct NameCase {
    std::string_view name;
    int nKeyNumber;
};

class KeyNumberFromNameCase : public testing::TestWithParam<NameCase> {};

TEST_P(KeyNumberFromNameCase, FindsTheRow) {
    EXPECT_EQ(KeyNumberFromName(GetParam().name), GetParam().nKeyNumber) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, KeyNumberFromNameCase,
                         testing::Values(NameCase{"A", 31}, NameCase{"a", 31}, NameCase{"Ctrl", 58},
                                         NameCase{"cTRL", 58}, NameCase{"RETURN", 43},
                                         NameCase{"num+", 106}, NameCase{"Num-", 105},
                                         NameCase{"NUM.", 104}, NameCase{"num-/", 95},
                                         NameCase{"\\", 29}, NameCase{"'", 41}, NameCase{"`", 1},
                                         NameCase{"f12", 123}, NameCase{"Pause", 126},
                                         NameCase{"LShift", 44}, NameCase{"rshift", 57}));

INSTANTIATE_TEST_SUITE_P(NoKeyCode, KeyNumberFromNameCase,
                         testing::Values(NameCase{"", 0}, NameCase{"L-Win", 0},
                                         NameCase{"r-win", 0}, NameCase{"Apps", 0},
                                         NameCase{"Shift", 0}, NameCase{"Foo", 0},
                                         NameCase{"F13", 0}, NameCase{" A", 0},
                                         NameCase{"Ctrl ", 0}, NameCase{"Num", 0}, NameCase{"+", 0},
                                         NameCase{" ", 0}, NameCase{"\xC3\xA9", 0},
                                         NameCase{std::string_view("A\0", 2), 0}));

struct CountCase {
    std::string_view text;
    int nLast;
    int nExpected;
};

class CountKeysCase : public testing::TestWithParam<CountCase> {};

TEST_P(CountKeysCase, Counts) {
    const CountCase& c = GetParam();
    EXPECT_EQ(CountKeys(c.text, c.nLast), c.nExpected) << c.text << " up to " << c.nLast;
}

INSTANTIATE_TEST_SUITE_P(WholeText, CountKeysCase,
                         testing::Values(CountCase{"", -1, 0}, CountCase{"A", -1, 1},
                                         CountCase{"AB", -1, 2}, CountCase{"{Ctrl+Alt+Del}", -1, 1},
                                         CountCase{"{Ctrl+A}B", -1, 2},
                                         CountCase{"{Return}{Return}", -1, 2},
                                         CountCase{"A+", -1, 2}, CountCase{"+", -1, 1},
                                         CountCase{"}", -1, 0}, CountCase{"A}B", -1, 2},
                                         CountCase{"{Ctrl+A", -1, 1}, CountCase{"{A{B}", -1, 2},
                                         CountCase{"A B\n", -1, 4}, CountCase{"\xC3\xA9", -1, 1},
                                         CountCase{"A\xE2\x82\xAC"
                                                   "B",
                                                   -1, 3},
                                         CountCase{"AB", -7, 2}));

INSTANTIATE_TEST_SUITE_P(UpToAnIndex, CountKeysCase,
                         testing::Values(CountCase{"AB", 0, 1}, CountCase{"AB", 1, 2},
                                         CountCase{"AB", 99, 2}, CountCase{"{Ctrl+A}B", 0, 1},
                                         CountCase{"{Ctrl+A}B", 7, 1}, CountCase{"{Ctrl+A}B", 8, 2},
                                         CountCase{"A{B}", 0, 1}, CountCase{"A{B}", 1, 2},
                                         CountCase{"", 0, 0},
                                         CountCase{"\xC3\xA9"
                                                   "A",
                                                   0, 1},
                                         CountCase{"\xC3\xA9"
                                                   "A",
                                                   1, 1},
                                         CountCase{"\xC3\xA9"
                                                   "A",
                                                   2, 2}));

struct VirtualKeyCase {
    uint32_t nVirtualKey;
    std::string_view name; // empty: no named row
};

class NamedKeyForVirtualKeyCase : public testing::TestWithParam<VirtualKeyCase> {};

TEST_P(NamedKeyForVirtualKeyCase, SkipsOneCharacterRows) {
    const KeyName* row = NamedKeyForVirtualKey(GetParam().nVirtualKey);
    if (GetParam().name.empty()) {
        EXPECT_EQ(row, nullptr);
    } else {
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->name, GetParam().name);
    }
}

INSTANTIATE_TEST_SUITE_P(VirtualKeys, NamedKeyForVirtualKeyCase,
                         testing::Values(VirtualKeyCase{0x2C, "PrtSc"}, VirtualKeyCase{0x2E, "Del"},
                                         VirtualKeyCase{0x2D, "Ins"}, VirtualKeyCase{0x27, "Right"},
                                         VirtualKeyCase{0x60, "Num-0"},
                                         VirtualKeyCase{0x5B, "L-Win"},
                                         VirtualKeyCase{0x5D, "Apps"}, VirtualKeyCase{0x11, "Ctrl"},
                                         VirtualKeyCase{0x90, "NumLk"}, VirtualKeyCase{0x41, ""},
                                         VirtualKeyCase{0x37, ""}, VirtualKeyCase{0x10, ""},
                                         VirtualKeyCase{0xBA, ""}, VirtualKeyCase{0x10041, ""}));

} // namespace
} // namespace vext
