#include "core/platform/LineText.h"

#include <cstdint>
#include <cstdio>

namespace vext {

namespace {

void AppendHex(std::string& out, uint8_t c) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += hex;
}

// The length of the valid UTF-8 sequence at the start of text, or 0.
size_t Utf8Length(std::string_view text) {
    const auto c0 = static_cast<uint8_t>(text[0]);
    size_t nLength = 0;
    uint32_t nMin = 0;
    uint32_t nCode = 0;
    if (c0 >= 0xC2 && c0 <= 0xDF) {
        nLength = 2, nMin = 0x80, nCode = c0 & 0x1Fu;
    } else if (c0 >= 0xE0 && c0 <= 0xEF) {
        nLength = 3, nMin = 0x800, nCode = c0 & 0x0Fu;
    } else if (c0 >= 0xF0 && c0 <= 0xF4) {
        nLength = 4, nMin = 0x10000, nCode = c0 & 0x07u;
    } else {
        return 0;
    }
    if (text.size() < nLength) {
        return 0;
    }
    for (size_t i = 1; i < nLength; ++i) {
        const auto c = static_cast<uint8_t>(text[i]);
        if ((c & 0xC0) != 0x80) {
            return 0;
        }
        nCode = (nCode << 6) | (c & 0x3Fu);
    }
    if (nCode < nMin || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF)) {
        return 0;
    }
    return nLength;
}

} // namespace

std::string EscapeForLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto c = static_cast<uint8_t>(text[0]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            text.remove_prefix(1);
            continue;
        }
        if (c < 0x80) {
            switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case 0x1B:
                out += "\\e";
                break;
            default:
                AppendHex(out, c);
                break;
            }
            text.remove_prefix(1);
            continue;
        }
        const size_t nLength = Utf8Length(text);
        // U+0080 to U+009F (C2 80 to C2 9F) include CSI, which some terminals obey.
        const bool bC1 = nLength == 2 && c == 0xC2 && static_cast<uint8_t>(text[1]) < 0xA0;
        if (nLength == 0 || bC1) {
            AppendHex(out, c);
            text.remove_prefix(1);
            continue;
        }
        out.append(text.substr(0, nLength));
        text.remove_prefix(nLength);
    }
    return out;
}

} // namespace vext
