#pragma once

// The lines of pads.conf, as both of its readers (pad rules and driver settings) see them.

#include <string_view>

namespace vext {

inline std::string_view TrimConfig(std::string_view text) {
    const size_t nFirst = text.find_first_not_of(" \t\r");
    if (nFirst == std::string_view::npos) {
        return {};
    }
    return text.substr(nFirst, text.find_last_not_of(" \t\r") - nFirst + 1);
}

// Calls fn(nLine, line) for every line, trimmed, that is neither empty nor a "#" comment;
// lines count from 1.
template <class Fn>
void ForEachConfigLine(std::string_view text, Fn fn) {
    int nLine = 0;
    while (!text.empty()) {
        const size_t nEnd = text.find('\n');
        const std::string_view line = TrimConfig(text.substr(0, nEnd));
        text = nEnd == std::string_view::npos ? std::string_view() : text.substr(nEnd + 1);
        ++nLine;
        if (!line.empty() && line.front() != '#') {
            fn(nLine, line);
        }
    }
}

} // namespace vext
