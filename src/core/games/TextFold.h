#pragma once

// Text that game rules compare without regard to case: window titles, classes and program
// names are UTF-8, so the letters of the Latin, Greek and Cyrillic alphabets fold, not only
// A to Z. Bytes that are not UTF-8 stay themselves and compare only with themselves.

#include <string>
#include <string_view>

namespace vext {

// The text as code points with every letter in lower case.
std::u32string FoldCase(std::string_view utf8);

bool EqualNoCase(std::string_view a, std::string_view b);

// A glob over the whole text: "*" stands for any run of characters (none included), "?" for one
// character; everything else stands for itself, without regard to case.
bool GlobMatchNoCase(std::string_view pattern, std::string_view text);

} // namespace vext
