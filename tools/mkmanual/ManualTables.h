#pragma once

// The parts of the manual that come from the program itself, as HTML: the key names that
// keystroke text knows, what the driver plays for sample texts, and the pads' button names on
// their printed pictures. Generated at build time so that the manual cannot drift.

#include "core/pad/PadLayout.h"

#include <string>
#include <string_view>

namespace vext::manual {

std::string HtmlEscape(std::string_view text);

// Every row of the key table, grouped (letters, digits, punctuation, modifiers, function keys,
// keypad, cursor and editing keys, other keys, keys that type nothing), in table order.
std::string KeyNameTables();

// Sample press and release texts with the key transitions the driver plays for them.
std::string StrokeExamples();

// An inline SVG: the print picture at strImage (nWidth x nHeight pixels) with every button's
// name at the end of its leader line.
std::string PadFigure(const CPadLayout& layout, const std::string& strImage, int nWidth,
                      int nHeight, const std::string& strTitle);

} // namespace vext::manual
