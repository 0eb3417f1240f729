#pragma once

// The lines of pads.conf, as both of its readers (pad rules and driver settings) see them.

#include "core/platform/AtomicFile.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vext {

// Larger than any configuration a person writes; anything bigger is not one.
inline constexpr std::size_t kMaxConfigBytes = 1 << 20;

// Reads a configuration file once, without blocking on a FIFO or a device and never more than
// kMaxConfigBytes. A missing file is an empty configuration. False, with a warning naming what
// (e.g. "pad configuration") and why, when the file is there but cannot be used.
inline bool ReadConfigFile(const std::string& path, const std::string& what, std::string* pText,
                           std::vector<std::string>* pWarnings) {
    bool bExists = false;
    const FileStatus status = ReadWholeFile(path, pText, &bExists, kMaxConfigBytes);
    if (!status.ok()) {
        pText->clear();
        pWarnings->push_back("cannot read the " + what + ": " + status.message);
        return false;
    }
    return true;
}

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
