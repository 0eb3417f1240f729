#pragma once

// Text from files, devices and peers on its way into line-based output (--status, the driver's
// log, registry exports): one line per fact holds only if a name cannot bring its own line
// break or terminal escape.

#include <string>
#include <string_view>

namespace vext {

// The text with every control character (C0, DEL, and C1 as UTF-8), and every byte that is not
// part of valid UTF-8, written as a C-style escape: "\n", "\t", "\r", "\e" or "\xNN". A
// backslash stays as it is, so ordinary Windows paths read as before.
std::string EscapeForLine(std::string_view text);

} // namespace vext
