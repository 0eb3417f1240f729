#pragma once

// The pad types and what each is made of in the resources: its name, the word pads.conf names
// it by, the numbers of its pictures, button images and layout strings, and how many buttons its
// layout may hold. Pad types 0 and 1 are the Standard Vext Pad and the Corvel Pad; type 2, the
// Twin-Stick Pad, stands for today's pads (four face buttons, bumpers, triggers, two clickable
// sticks, a D-pad apart from the left stick, Back/Start/Guide, paddles).

#include <array>
#include <optional>
#include <string_view>

namespace vext {

enum : int {
    kPadStandard = 0,
    kPadCorvel = 1,
    kPadTwinStick = 2,
    kPadTypeCount = 3,
};

struct PadTypeInfo {
    std::string_view name;   // "Corvel Pad"
    std::string_view word;   // "corvel", as pads.conf names it
    int nPicture = 0;        // bitmap of the pad picture
    int nPrintPicture = 0;   // bitmap of the print picture
    int nFirstNormal = 0;    // bitmap of button 0's normal image; button i's is this + i
    int nFirstHighlight = 0; // and of its highlight image
    int nCountString = 0;    // string of the button count
    int nFirstLayout = 0;    // string of button 0's layout; button i's is this + i
    int nMaxButtons = 0;     // the count string is capped at this
};

inline constexpr std::array<PadTypeInfo, kPadTypeCount> kPadTypes = {{
    {"Standard Vext Pad", "standard", 200, 900, 214, 202, 200, 202, 15},
    {"Corvel Pad", "corvel", 201, 901, 166, 152, 201, 214, 15},
    {"Twin-Stick Pad", "twin", 300, 902, 340, 380, 300, 301, 32},
}};

// Null for a number that is no pad type.
inline const PadTypeInfo* FindPadType(int nPadType) {
    return nPadType >= 0 && nPadType < kPadTypeCount ? &kPadTypes[static_cast<size_t>(nPadType)]
                                                     : nullptr;
}

// The pad type pads.conf names by word ("twin") or number ("2").
std::optional<int> PadTypeFromWord(std::string_view word);

} // namespace vext
