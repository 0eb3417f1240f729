#pragma once

// The key table: every key that keystroke text can name, with the virtual-key code the capture
// turns into that name and the PC key number that goes into key codes. Lookups walk the rows in
// order and take the first match, so the order is part of the meaning.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vext {

struct KeyName {
    uint16_t nCode;        // virtual-key code, or the character itself for one-character names
    std::string_view name; // as written in keystroke text
    int nKeyNumber;        // position on the 101-key PC keyboard; 0 = yields no key code
};

inline constexpr std::size_t kKeyNameCount = 101;

// The first row whose name has two or more characters and whose code is nVirtualKey, or
// nullptr. One-character rows are skipped: their code is a character, not a virtual key.
const KeyName* NamedKeyForVirtualKey(uint32_t nVirtualKey);

} // namespace vext

extern const std::array<vext::KeyName, vext::kKeyNameCount> KeyNameTable;

// The key number of the first row whose name equals strName ignoring case, else 0. Table names
// are ASCII, so folding ASCII letters only is exact for UTF-8 names too.
int KeyNumberFromName(std::string_view strName);

// The number of keys of strText that begin at or before byte index nLast (negative: the whole
// text). A "{" begins one key that runs to the next "}"; outside a group every other character
// except "}" begins one key. A UTF-8 character counts once, however many bytes it takes.
int CountKeys(std::string_view strText, int nLast);
