#pragma once

// Text from files the older Windows program or a Windows editor wrote: those are Windows-1252
// or UTF-16 ("Unicode"), ours are UTF-8.

#include <string>
#include <string_view>

namespace vext {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Decodes Windows-1252 to UTF-8. The five bytes the code page leaves undefined (81, 8D, 8F, 90,
// 9D) become the C1 controls of the same value, as Windows' own conversion does.
std::string Cp1252ToUtf8(std::string_view bytes);

// Decodes UTF-16 little-endian (without its byte-order mark) to UTF-8. Half a surrogate pair and
// an odd last byte become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

// The text as UTF-8: unchanged when it already is, else decoded from Windows-1252.
std::string ToUtf8(std::string_view bytes);

// The longest prefix of at most maxBytes bytes that does not end inside a UTF-8 sequence.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);

} // namespace vext
