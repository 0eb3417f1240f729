#include "core/keys/StrokeCodes.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct CodesCase {
    std::string press;
    std::string release;
    bool bJoin;
    std::string pressCodes;
    std::string releaseCodes;
};

void PrintTo(const CodesCase& c, std::ostream* os) {
    *os << '"' << c.press << "\" / \"" << c.release << '"' << (c.bJoin ? " joined" : "");
}

class MakeCodesCase : public testing::TestWithParam<CodesCase> {};

TEST_P(MakeCodesCase, GivesTheCodes) {
    const CodesCase& c = GetParam();
    CStrokeCodes codes;
    codes.m_strPressText = c.press;
    codes.m_strReleaseText = c.release;
    codes.MakeCodes(c.bJoin);
    EXPECT_EQ(codes.m_strPressCodes, c.pressCodes);
    EXPECT_EQ(codes.m_strReleaseCodes, c.releaseCodes);
    EXPECT_EQ(codes.m_strPressText, c.press);
    EXPECT_EQ(codes.m_strReleaseText, c.release);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, MakeCodesCase,
    testing::Values(CodesCase{"A", "", false, "1F ", "9F "},
                    CodesCase{"AB", "", false, "1F 9F 32 ", "B2 "},
                    CodesCase{"{Ctrl+A}B", "", false, "3A 1F 9F BA 32 ", "B2 "},
                    CodesCase{"{Ctrl+Alt+Del}", "", false, "3A 3C 4C ", "CC BC BA "},
                    CodesCase{"{LShift}", "X", false, "2C ", "AC 2F AF "},
                    CodesCase{"{Ctrl+A}", "{Alt+B}", false, "3A 1F ", "9F BA 3C 32 B2 BC "},
                    CodesCase{"{Return}{Return}", "", false, "2B AB 2B ", "AB "},
                    CodesCase{"AB", "", true, "1F 9F 32 B2 ", ""}));

INSTANTIATE_TEST_SUITE_P(
    KeypadPlus, MakeCodesCase,
    testing::Values(CodesCase{"{Num+}", "", false, "6A ", "EA "},
                    CodesCase{"{Ctrl+Num+}", "", false, "3A 6A ", "EA BA "},
                    CodesCase{"{num+}", "", false, "6A ", "EA "},
                    CodesCase{"{NUM+}", "", false, "6A ", "EA "},
                    // Only a "+" right after exactly "Num" belongs to the name.
                    CodesCase{"{Num++A}", "", false, "6A 1F ", "9F EA "},
                    CodesCase{"{Num-+A}", "", false, "69 1F ", "9F E9 "},
                    CodesCase{"{XNum+}", "", false, "", ""},
                    CodesCase{"", "{Num+}", false, "", "6A EA "},
                    // Outside a group "Num+" is four plain characters, the "+" a stray key.
                    CodesCase{"Num+", "", false, "33 B3 17 97 34 B4 ", ""}));

INSTANTIATE_TEST_SUITE_P(
    NoKeyCode, MakeCodesCase,
    testing::Values(CodesCase{"{L-Win}", "", false, "", ""},
                    CodesCase{"{R-Win}", "", false, "", ""}, CodesCase{"{Apps}", "", false, "", ""},
                    CodesCase{"{Shift}", "", false, "", ""}, CodesCase{"{Foo}", "", false, "", ""},
                    CodesCase{"", "{L-Win}{Foo}", false, "", ""},
                    CodesCase{" \r\n", " ", false, "", ""}, CodesCase{"", "", false, "", ""},
                    CodesCase{"", "", true, "", ""}, CodesCase{"+}", "+}", false, "", ""},
                    CodesCase{"\xC3\xA9", "\xC3\xA9", false, "", ""},
                    CodesCase{"{L-Win+A}", "", false, "1F ", "9F "},
                    CodesCase{"{}", "", false, "", ""}, CodesCase{"{++}", "", false, "", ""}));

INSTANTIATE_TEST_SUITE_P(IgnoringCase, MakeCodesCase,
                         testing::Values(CodesCase{"a", "", false, "1F ", "9F "},
                                         CodesCase{"A", "", false, "1F ", "9F "},
                                         CodesCase{"{a}", "", false, "1F ", "9F "},
                                         CodesCase{"{ctrl+a}", "", false, "3A 1F ", "9F BA "},
                                         CodesCase{"{RETURN}", "{esc}", false, "2B ",
                                                   "AB 6E EE "}));

INSTANTIATE_TEST_SUITE_P(
    LastKeyHeldBack, MakeCodesCase,
    testing::Values(CodesCase{"A+", "", false, "1F 9F ", ""},
                    CodesCase{"A ", "", false, "1F 9F ", ""},
                    CodesCase{"{Ctrl+A} ", "", false, "3A 1F 9F BA ", ""},
                    CodesCase{"A{Foo}", "", false, "1F 9F ", ""},
                    // A "}" outside a group is no key, so the group stays the last one.
                    CodesCase{"{Ctrl+A}}", "", false, "3A 1F ", "9F BA "},
                    CodesCase{"B{Alt+F4}", "", false, "32 B2 3C 73 ", "F3 BC "},
                    CodesCase{"ABC", "", false, "1F 9F 32 B2 30 ", "B0 "},
                    CodesCase{"{Return}{Return}", "", false, "2B AB 2B ", "AB "},
                    CodesCase{"\xC3\xA9"
                              "A",
                              "", false, "1F ", "9F "},
                    CodesCase{"A\xC3\xA9", "", false, "1F 9F ", ""}));

INSTANTIATE_TEST_SUITE_P(OneKey, MakeCodesCase,
                         testing::Values(CodesCase{"Z", "", false, "2E ", "AE "},
                                         CodesCase{"Z", "", true, "2E AE ", ""},
                                         CodesCase{"{F1}", "", false, "70 ", "F0 "},
                                         CodesCase{"{F1}", "", true, "70 F0 ", ""},
                                         CodesCase{"", "Z", false, "", "2E AE "},
                                         CodesCase{"", "Z", true, "2E AE ", ""}));

INSTANTIATE_TEST_SUITE_P(
    ReleaseText, MakeCodesCase,
    testing::Values(CodesCase{"A", "BC", false, "1F ", "9F 32 B2 30 B0 "},
                    CodesCase{"", "{Ctrl+A}{Alt+B}", false, "", "3A 1F 9F BA 3C 32 B2 BC "},
                    CodesCase{"{Ctrl+A}", "{Alt+B}", true, "3A 1F 9F BA 3C 32 B2 BC ", ""},
                    CodesCase{"{LShift}", "X", true, "2C AC 2F AF ", ""}));

INSTANTIATE_TEST_SUITE_P(GroupsDoNotNest, MakeCodesCase,
                         testing::Values(CodesCase{"{Ctrl+{A}", "", false, "3A 1F ", "9F "},
                                         CodesCase{"{Ctrl+{A}B", "", false, "3A 1F 9F 32 ", "B2 "},
                                         CodesCase{"", "{Ctrl+{A}", false, "", "3A 1F 9F "}));

INSTANTIATE_TEST_SUITE_P(
    OpenGroupAtEnd, MakeCodesCase,
    testing::Values(CodesCase{"{Ctrl+A", "", false, "3A ", "BA "},
                    CodesCase{"{Ctrl+Alt+", "", false, "3A 3C ", "BC BA "},
                    CodesCase{"B{Ctrl+A", "", false, "32 B2 3A ", "BA "},
                    // The release text lets go of what an open group pressed: no key stays down.
                    CodesCase{"", "{Ctrl+A", false, "", "3A BA "},
                    CodesCase{"A", "{Alt+Ctrl+B", false, "1F ", "9F 3C 3A BA BC "},
                    CodesCase{"", "{Ctrl+A", true, "3A BA ", ""}));

TEST(MakeCodes, LeavesNoStateBetweenCalls) {
    CStrokeCodes codes;
    codes.m_strPressText = "{Ctrl+A";
    codes.m_strReleaseText = "B";
    codes.MakeCodes(false);
    codes.m_strPressText = "C";
    codes.m_strReleaseText = "";
    codes.MakeCodes(false);
    EXPECT_EQ(codes.m_strPressCodes, "30 ");
    EXPECT_EQ(codes.m_strReleaseCodes, "B0 ");
}

TEST(MakeCodes, EveryCodeStringIsThreeCharactersPerCode) {
    CStrokeCodes codes;
    codes.m_strPressText = "{Ctrl+Alt+Del}Hello, world!{F12}";
    codes.m_strReleaseText = "{LShift+RShift+Num-9}xyz";
    codes.MakeCodes(false);
    ASSERT_FALSE(codes.m_strPressCodes.empty());
    EXPECT_EQ(codes.m_strPressCodes.size() % 3, 0u);
    EXPECT_EQ(codes.m_strReleaseCodes.size() % 3, 0u);
    for (std::size_t i = 2; i < codes.m_strPressCodes.size(); i += 3)
        EXPECT_EQ(codes.m_strPressCodes[i], ' ');
}

struct BytesCase {
    std::string codes;
    std::vector<uint8_t> bytes;
};

class CodesToBytesCase : public testing::TestWithParam<BytesCase> {};

TEST_P(CodesToBytesCase, ReadsEachPair) {
    EXPECT_EQ(CodesToBytes(GetParam().codes), GetParam().bytes) << '"' << GetParam().codes << '"';
}

INSTANTIATE_TEST_SUITE_P(WellFormed, CodesToBytesCase,
                         testing::Values(BytesCase{"3A 1F ", {0x3A, 0x1F}}, BytesCase{"", {}},
                                         BytesCase{"00 7E FE FF ", {0x00, 0x7E, 0xFE, 0xFF}},
                                         BytesCase{"1F 9F 32 B2 ", {0x1F, 0x9F, 0x32, 0xB2}}));

// Each pair reads like scanf's "%2X" on those two characters, without sign or "0x"; the third
// character of a group is never read.
INSTANTIATE_TEST_SUITE_P(
    Malformed, CodesToBytesCase,
    testing::Values(BytesCase{"3a ", {0x3A}}, BytesCase{"A  ", {0x0A}}, BytesCase{" A ", {0x0A}},
                    BytesCase{"  ", {}}, BytesCase{"   ", {0x00}}, BytesCase{"G1 ", {0x00}},
                    BytesCase{"1G ", {0x01}}, BytesCase{"-1 ", {0x00}},
                    BytesCase{"3A,1F,", {0x3A, 0x1F}}, BytesCase{"3A1F23", {0x3A, 0xF2}},
                    // Only whole groups count: a trailing partial group is dropped.
                    BytesCase{"3A 1F", {0x3A}}, BytesCase{"3A 1", {0x3A}}, BytesCase{"3", {}}));

TEST(CodesToBytes, NeverWritesPastTheBuffer) {
    std::array<uint8_t, 4> buffer{0xEE, 0xEE, 0xEE, 0xEE};
    const std::size_t written = CodesToBytes("3A 1F 9F ", std::span<uint8_t>(buffer.data(), 2));
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(buffer, (std::array<uint8_t, 4>{0x3A, 0x1F, 0xEE, 0xEE}));
}

TEST(CodesToBytes, WritesNothingForAnEmptyString) {
    std::array<uint8_t, 2> buffer{0xEE, 0xEE};
    EXPECT_EQ(CodesToBytes("", std::span<uint8_t>(buffer)), 0u);
    EXPECT_EQ(buffer, (std::array<uint8_t, 2>{0xEE, 0xEE}));
}

TEST(CodesToBytes, FillsABufferSizedByTheCaller) {
    const std::string codes = "3A 3C 4C ";
    std::vector<uint8_t> buffer(codes.size() / 3);
    EXPECT_EQ(CodesToBytes(codes, std::span<uint8_t>(buffer)), 3u);
    EXPECT_EQ(buffer, (std::vector<uint8_t>{0x3A, 0x3C, 0x4C}));
}

TEST(CodesToBytes, ReadsBackWhatMakeCodesWrote) {
    CStrokeCodes codes;
    codes.m_strPressText = "{Ctrl+Alt+Del}";
    codes.MakeCodes(false);
    EXPECT_EQ(CodesToBytes(codes.m_strPressCodes), (std::vector<uint8_t>{0x3A, 0x3C, 0x4C}));
    EXPECT_EQ(CodesToBytes(codes.m_strReleaseCodes), (std::vector<uint8_t>{0xCC, 0xBC, 0xBA}));
}

} // namespace
