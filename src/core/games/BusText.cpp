#include "core/games/BusText.h"

#include <algorithm>

namespace vext {

bool IsUniqueBusName(std::string_view name) {
    if (name.size() < 2 || name.size() > 255 || name.front() != ':') {
        return false;
    }
    return std::all_of(name.begin() + 1, name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-' || c == '.';
    });
}

bool IsFromNameOwner(std::string_view sender, std::string_view owner) {
    return IsUniqueBusName(owner) && sender == owner;
}

std::string BoundedUtf8(std::string_view text, size_t nMax) {
    if (text.size() <= nMax) {
        return std::string(text);
    }
    size_t nEnd = nMax;
    while (nEnd > 0 && (static_cast<unsigned char>(text[nEnd]) & 0xC0) == 0x80) {
        --nEnd;
    }
    return std::string(text.substr(0, nEnd));
}

} // namespace vext
