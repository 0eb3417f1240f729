#include "vextd/output/LinuxKeyCodes.h"

#include "core/keys/KeyNameTable.h"

#include <linux/input-event-codes.h>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace vext {
namespace {

// What each named key must type, by name: the table's key numbers are checked through it.
const std::map<std::string_view, int> kExpected = {
    {"Z", KEY_Z},
    {"X", KEY_X},
    {"C", KEY_C},
    {"V", KEY_V},
    {"B", KEY_B},
    {"N", KEY_N},
    {"M", KEY_M},
    {",", KEY_COMMA},
    {".", KEY_DOT},
    {"/", KEY_SLASH},
    {"A", KEY_A},
    {"S", KEY_S},
    {"D", KEY_D},
    {"F", KEY_F},
    {"G", KEY_G},
    {"H", KEY_H},
    {"J", KEY_J},
    {"K", KEY_K},
    {"L", KEY_L},
    {";", KEY_SEMICOLON},
    {"'", KEY_APOSTROPHE},
    {"Q", KEY_Q},
    {"W", KEY_W},
    {"E", KEY_E},
    {"R", KEY_R},
    {"T", KEY_T},
    {"Y", KEY_Y},
    {"U", KEY_U},
    {"I", KEY_I},
    {"O", KEY_O},
    {"P", KEY_P},
    {"[", KEY_LEFTBRACE},
    {"]", KEY_RIGHTBRACE},
    {"`", KEY_GRAVE},
    {"1", KEY_1},
    {"2", KEY_2},
    {"3", KEY_3},
    {"4", KEY_4},
    {"5", KEY_5},
    {"6", KEY_6},
    {"7", KEY_7},
    {"8", KEY_8},
    {"9", KEY_9},
    {"0", KEY_0},
    {"-", KEY_MINUS},
    {"=", KEY_EQUAL},
    {"\\", KEY_BACKSLASH},
    {"Up", KEY_UP},
    {"Down", KEY_DOWN},
    {"Left", KEY_LEFT},
    {"Right", KEY_RIGHT},
    {"Num-0", KEY_KP0},
    {"Num-1", KEY_KP1},
    {"Num-2", KEY_KP2},
    {"Num-3", KEY_KP3},
    {"Num-4", KEY_KP4},
    {"Num-5", KEY_KP5},
    {"Num-6", KEY_KP6},
    {"Num-7", KEY_KP7},
    {"Num-8", KEY_KP8},
    {"Num-9", KEY_KP9},
    {"Num-*", KEY_KPASTERISK},
    {"Num-/", KEY_KPSLASH},
    {"Num-", KEY_KPMINUS},
    {"Num.", KEY_KPDOT},
    {"Num+", KEY_KPPLUS},
    {"Home", KEY_HOME},
    {"Del", KEY_DELETE},
    {"Ins", KEY_INSERT},
    {"End", KEY_END},
    {"PgUp", KEY_PAGEUP},
    {"PgDn", KEY_PAGEDOWN},
    {"Space", KEY_SPACE},
    {"Bksp", KEY_BACKSPACE},
    {"Esc", KEY_ESC},
    {"Tab", KEY_TAB},
    {"Return", KEY_ENTER},
    {"Caps", KEY_CAPSLOCK},
    {"NumLk", KEY_NUMLOCK},
    {"Pause", KEY_PAUSE},
    {"PrtSc", KEY_SYSRQ},
    {"ScrLk", KEY_SCROLLLOCK},
    {"Ctrl", KEY_LEFTCTRL},
    {"Alt", KEY_LEFTALT},
    {"LShift", KEY_LEFTSHIFT},
    {"RShift", KEY_RIGHTSHIFT},
    {"F1", KEY_F1},
    {"F2", KEY_F2},
    {"F3", KEY_F3},
    {"F4", KEY_F4},
    {"F5", KEY_F5},
    {"F6", KEY_F6},
    {"F7", KEY_F7},
    {"F8", KEY_F8},
    {"F9", KEY_F9},
    {"F10", KEY_F10},
    {"F11", KEY_F11},
    {"F12", KEY_F12},
};

TEST(LinuxKeyCodesTest, EveryKeyTableRowTypesItsKey) {
    size_t nChecked = 0;
    for (const KeyName& row : KeyNameTable) {
        const std::string name(row.name);
        if (row.nKeyNumber == 0) {
            EXPECT_TRUE(name == "L-Win" || name == "R-Win" || name == "Apps") << name;
            continue;
        }
        const auto it = kExpected.find(row.name);
        ASSERT_NE(it, kExpected.end()) << "no expectation for " << name;
        EXPECT_EQ(LinuxKeyCode(row.nKeyNumber), it->second) << name;
        ++nChecked;
    }
    EXPECT_EQ(nChecked, kExpected.size());
}

TEST(LinuxKeyCodesTest, DistinctKeyNumbersTypeDistinctKeys) {
    std::set<int> seen;
    for (int nNumber = 1; nNumber < 128; ++nNumber) {
        const int nCode = LinuxKeyCode(nNumber);
        if (nCode != 0) {
            EXPECT_TRUE(seen.insert(nCode).second) << nNumber;
        }
    }
    EXPECT_EQ(LinuxKeyCode(62), KEY_RIGHTALT);
    EXPECT_EQ(LinuxKeyCode(64), KEY_RIGHTCTRL);
    EXPECT_EQ(LinuxKeyCode(108), KEY_KPENTER);
}

TEST(LinuxKeyCodesTest, NumbersWithoutKeyGiveZero) {
    for (const int nNumber : {-1, 0, 14, 42, 56, 59, 63, 65, 107, 109, 111, 127, 128, 255}) {
        EXPECT_EQ(LinuxKeyCode(nNumber), 0) << nNumber;
    }
}

} // namespace
} // namespace vext
