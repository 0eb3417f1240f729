#pragma once

// Names that compare without regard to ASCII case, as key-set files and the registry store
// compare them: only A to Z fold; every other byte, UTF-8 included, is compared as it is.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vext {

constexpr char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

struct NoCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const {
        uint64_t h = 14695981039346656037ull;
        for (const char c : s) {
            h ^= static_cast<uint8_t>(LowerAscii(c));
            h *= 1099511628211ull;
        }
        return static_cast<std::size_t>(h);
    }
};

struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (LowerAscii(a[i]) != LowerAscii(b[i])) {
                return false;
            }
        }
        return true;
    }
};

inline void AppendFolded(std::string_view text, std::string& out) {
    for (const char c : text) {
        out.push_back(LowerAscii(c));
    }
}

} // namespace vext
