#include "core/platform/LineText.h"

#include <string>

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(LineText, ControlCharactersAndBrokenUtf8AreEscaped) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"Game", "Game"},
        {"C:\\Games\\Racing.vks", "C:\\Games\\Racing.vks"},
        {"Game\nslot 1: Corvel Pad", "Game\\nslot 1: Corvel Pad"},
        {"a\r\tb", "a\\r\\tb"},
        {"red\x1b[31m", "red\\e[31m"},
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"del\x7f", "del\\x7F"},
        {"Manette \xc3\xa9t\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x8e\xae",
         "Manette \xc3\xa9t\xc3\xa9 \xe2\x9c\x93 \xf0\x9f\x8e\xae"},
        {"csi \xc2\x9b"
         "31m",
         "csi \\xC2\\x9B31m"},
        {"lone \x9b and \xff", "lone \\x9B and \\xFF"},
        {"cut \xe2\x9c", "cut \\xE2\\x9C"},
        {"overlong \xc0\xaf", "overlong \\xC0\\xAF"},
        {"surrogate \xed\xa0\x80", "surrogate \\xED\\xA0\\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeForLine(c.in), c.out) << c.in;
    }
}

} // namespace
} // namespace vext
