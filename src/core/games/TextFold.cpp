#include "core/games/TextFold.h"

#include <cstdint>

namespace vext {
namespace {

// Bytes that are no UTF-8 become code points no decoder gives (lone surrogates), so they still
// compare byte for byte.
constexpr char32_t kStrayByte = 0xDC00;

char32_t DecodeOne(std::string_view text, size_t& i) {
    const auto c = static_cast<uint8_t>(text[i]);
    size_t nMore = 0;
    char32_t cp = 0;
    if (c < 0x80) {
        ++i;
        return c;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        nMore = 1;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        nMore = 2;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        nMore = 3;
        cp = c & 0x07;
    } else {
        ++i;
        return kStrayByte + c;
    }
    if (i + nMore >= text.size()) {
        ++i;
        return kStrayByte + c;
    }
    for (size_t k = 1; k <= nMore; ++k) {
        const auto b = static_cast<uint8_t>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kStrayByte + c;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms and surrogates are not characters.
    const bool bOverlong = (nMore == 2 && cp < 0x800) || (nMore == 3 && cp < 0x10000);
    if (bOverlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        ++i;
        return kStrayByte + c;
    }
    i += nMore + 1;
    return cp;
}

char32_t Lower(char32_t c) {
    if (c >= 'A' && c <= 'Z') {
        return c + 32;
    }
    if (c < 0xC0) {
        return c;
    }
    if (c <= 0xDE) {
        return c == 0xD7 ? c : c + 32; // Latin-1 capitals, not the multiplication sign
    }
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A: capitals and small letters alternate, in two runs.
        if ((c <= 0x137 && c != 0x130 && c != 0x131) || (c >= 0x14A && c <= 0x177)) {
            return c | 1;
        }
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
            return (c & 1) != 0 ? c + 1 : c;
        }
        return c == 0x178 ? 0xFF : c;
    }
    if (c >= 0x386 && c <= 0x3AB) {
        if (c >= 0x391 && c != 0x3A2) {
            return c + 32;
        }
        switch (c) {
        case 0x386:
            return 0x3AC;
        case 0x388:
        case 0x389:
        case 0x38A:
            return c + 37;
        case 0x38C:
            return 0x3CC;
        case 0x38E:
        case 0x38F:
            return c + 63;
        default:
            return c;
        }
    }
    if (c == 0x3C2) {
        return 0x3C3; // final sigma
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 80;
    }
    if (c >= 0x410 && c <= 0x42F) {
        return c + 32;
    }
    return c;
}

} // namespace

std::u32string FoldCase(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        out.push_back(Lower(DecodeOne(utf8, i)));
    }
    return out;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return FoldCase(a) == FoldCase(b);
}

bool GlobMatchNoCase(std::string_view pattern, std::string_view text) {
    const std::u32string p = FoldCase(pattern);
    const std::u32string t = FoldCase(text);
    // Greedy with one point to return to: the last "*" seen, so the match is linear in most
    // cases and never exponential.
    size_t ip = 0;
    size_t it = 0;
    size_t nStar = std::u32string::npos;
    size_t nStarText = 0;
    while (it < t.size()) {
        if (ip < p.size() && (p[ip] == U'?' || (p[ip] != U'*' && p[ip] == t[it]))) {
            ++ip;
            ++it;
        } else if (ip < p.size() && p[ip] == U'*') {
            nStar = ip++;
            nStarText = it;
        } else if (nStar != std::u32string::npos) {
            ip = nStar + 1;
            it = ++nStarText;
        } else {
            return false;
        }
    }
    while (ip < p.size() && p[ip] == U'*') {
        ++ip;
    }
    return ip == p.size();
}

} // namespace vext
