#pragma once

// A count with its noun for a line of text: "1 function", "12 functions", "0 mappings".

#include <string>
#include <string_view>

namespace vext {

inline std::string CountOf(long long nCount, std::string_view noun) {
    std::string text = std::to_string(nCount) + ' ' + std::string(noun);
    if (nCount != 1) {
        text += 's';
    }
    return text;
}

} // namespace vext
