#include "core/platform/TextEncoding.h"

#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace vext {
namespace {

struct Utf8Case {
    const char* name;
    std::string bytes;
    bool bValid;
};

TEST(TextEncoding, RecognisesWellFormedUtf8Only) {
    const Utf8Case cases[] = {
        {"ascii", "Fire=A", true},
        {"two bytes", "caf\xC3\xA9", true},
        {"three bytes", "\xE2\x82\xAC", true},
        {"four bytes", "\xF0\x9F\x8E\xAE", true},
        {"max code point", "\xF4\x8F\xBF\xBF", true},
        {"latin1 e acute", "caf\xE9", false},
        {"lone continuation", "\x80", false},
        {"overlong slash", "\xC0\xAF", false},
        {"overlong three", "\xE0\x80\xAF", false},
        {"overlong four", "\xF0\x80\x80\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"above max", "\xF4\x90\x80\x80", false},
        {"truncated at end", "ab\xE2\x82", false},
        {"bad continuation", "\xE2\x28\xA1", false},
        {"f5 lead", "\xF5\x80\x80\x80", false},
    };
    for (const Utf8Case& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.bytes), c.bValid) << c.name;
    }
}

TEST(TextEncoding, DecodesWindows1252) {
    EXPECT_EQ(Cp1252ToUtf8("plain"), "plain");
    EXPECT_EQ(Cp1252ToUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC"); // euro sign
    EXPECT_EQ(Cp1252ToUtf8("\x99"), "\xE2\x84\xA2"); // trade mark
    EXPECT_EQ(Cp1252ToUtf8("\x9F"), "\xC5\xB8");     // Y with diaeresis
    EXPECT_EQ(Cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(Cp1252ToUtf8("\xA0\xFF"), "\xC2\xA0\xC3\xBF");
    EXPECT_TRUE(IsValidUtf8(Cp1252ToUtf8(std::string("\x80\x81\xFE\xFF\x00x", 6))));
}

TEST(TextEncoding, DecodesUtf16LittleEndian) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"A\0\xE9\0"s, "A\xC3\xA9"},
        {"\x3C\xD8\xAE\xDF"s, "\xF0\x9F\x8E\xAE"}, // a surrogate pair
        {"\x3C\xD8"
         "A\0"s,
         "\xEF\xBF\xBD"
         "A"},                         // its first half alone
        {"\xAE\xDF"s, "\xEF\xBF\xBD"}, // its second half alone
        {"A\0B"s, "A\xEF\xBF\xBD"},    // an odd last byte
    };
    for (const auto& [bytes, utf8] : cases) {
        EXPECT_EQ(Utf16LeToUtf8(bytes), utf8);
    }
}

TEST(TextEncoding, ToUtf8KeepsUtf8AndDecodesTheRest) {
    EXPECT_EQ(ToUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(ToUtf8("caf\xE9"), "caf\xC3\xA9");
}

TEST(TextEncoding, PrefixNeverSplitsASequence) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC"; // a, e acute (2 bytes), euro (3 bytes)
    EXPECT_EQ(Utf8Prefix(text, 0), "");
    EXPECT_EQ(Utf8Prefix(text, 1), "a");
    EXPECT_EQ(Utf8Prefix(text, 2), "a");
    EXPECT_EQ(Utf8Prefix(text, 3), "a\xC3\xA9");
    EXPECT_EQ(Utf8Prefix(text, 4), "a\xC3\xA9");
    EXPECT_EQ(Utf8Prefix(text, 5), "a\xC3\xA9");
    EXPECT_EQ(Utf8Prefix(text, 6), text);
    EXPECT_EQ(Utf8Prefix(text, 100), text);
}

} // namespace
} // namespace vext
