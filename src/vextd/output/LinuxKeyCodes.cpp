#include "vextd/output/LinuxKeyCodes.h"

#include <array>
#include <cstddef>
#include <linux/input-event-codes.h>
#include <utility>

namespace vext {
namespace {

// Position numbers of the 101/102-key layout; the gaps are positions that keyboard does not
// have. Beyond the keys that keystroke text can name, right Ctrl/Alt, keypad Enter and the
// 102nd key are filled in so that a record made elsewhere still plays them.
constexpr std::pair<int, int> kKeys[] = {
    {1, KEY_GRAVE},
    {2, KEY_1},
    {3, KEY_2},
    {4, KEY_3},
    {5, KEY_4},
    {6, KEY_5},
    {7, KEY_6},
    {8, KEY_7},
    {9, KEY_8},
    {10, KEY_9},
    {11, KEY_0},
    {12, KEY_MINUS},
    {13, KEY_EQUAL},
    {15, KEY_BACKSPACE},
    {16, KEY_TAB},
    {17, KEY_Q},
    {18, KEY_W},
    {19, KEY_E},
    {20, KEY_R},
    {21, KEY_T},
    {22, KEY_Y},
    {23, KEY_U},
    {24, KEY_I},
    {25, KEY_O},
    {26, KEY_P},
    {27, KEY_LEFTBRACE},
    {28, KEY_RIGHTBRACE},
    {29, KEY_BACKSLASH},
    {30, KEY_CAPSLOCK},
    {31, KEY_A},
    {32, KEY_S},
    {33, KEY_D},
    {34, KEY_F},
    {35, KEY_G},
    {36, KEY_H},
    {37, KEY_J},
    {38, KEY_K},
    {39, KEY_L},
    {40, KEY_SEMICOLON},
    {41, KEY_APOSTROPHE},
    {43, KEY_ENTER},
    {44, KEY_LEFTSHIFT},
    {45, KEY_102ND},
    {46, KEY_Z},
    {47, KEY_X},
    {48, KEY_C},
    {49, KEY_V},
    {50, KEY_B},
    {51, KEY_N},
    {52, KEY_M},
    {53, KEY_COMMA},
    {54, KEY_DOT},
    {55, KEY_SLASH},
    {57, KEY_RIGHTSHIFT},
    {58, KEY_LEFTCTRL},
    {60, KEY_LEFTALT},
    {61, KEY_SPACE},
    {62, KEY_RIGHTALT},
    {64, KEY_RIGHTCTRL},
    {75, KEY_INSERT},
    {76, KEY_DELETE},
    {79, KEY_LEFT},
    {80, KEY_HOME},
    {81, KEY_END},
    {83, KEY_UP},
    {84, KEY_DOWN},
    {85, KEY_PAGEUP},
    {86, KEY_PAGEDOWN},
    {89, KEY_RIGHT},
    {90, KEY_NUMLOCK},
    {91, KEY_KP7},
    {92, KEY_KP4},
    {93, KEY_KP1},
    {95, KEY_KPSLASH},
    {96, KEY_KP8},
    {97, KEY_KP5},
    {98, KEY_KP2},
    {99, KEY_KP0},
    {100, KEY_KPASTERISK},
    {101, KEY_KP9},
    {102, KEY_KP6},
    {103, KEY_KP3},
    {104, KEY_KPDOT},
    {105, KEY_KPMINUS},
    {106, KEY_KPPLUS},
    {108, KEY_KPENTER},
    {110, KEY_ESC},
    {112, KEY_F1},
    {113, KEY_F2},
    {114, KEY_F3},
    {115, KEY_F4},
    {116, KEY_F5},
    {117, KEY_F6},
    {118, KEY_F7},
    {119, KEY_F8},
    {120, KEY_F9},
    {121, KEY_F10},
    {122, KEY_F11},
    {123, KEY_F12},
    {124, KEY_SYSRQ},
    {125, KEY_SCROLLLOCK},
    {126, KEY_PAUSE},
};

constexpr std::array<int, 128> MakeTable() {
    std::array<int, 128> table{};
    for (const auto& [nNumber, nCode] : kKeys) {
        table[static_cast<std::size_t>(nNumber)] = nCode;
    }
    return table;
}

constexpr std::array<int, 128> kTable = MakeTable();

} // namespace

int LinuxKeyCode(int nKeyNumber) {
    if (nKeyNumber < 0 || nKeyNumber >= static_cast<int>(kTable.size())) {
        return 0;
    }
    return kTable[static_cast<std::size_t>(nKeyNumber)];
}

} // namespace vext
