#include "core/platform/StringTable.h"

#include "core/platform/StringTableData.h"

#include <limits>

namespace vext {
namespace {

bool ParseId(std::string_view text, int& nId) {
    if (text.empty()) {
        return false;
    }
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int>::max()) {
            return false;
        }
    }
    nId = static_cast<int>(value);
    return true;
}

// Resolves the escapes; false on an unknown escape or a lone trailing backslash.
bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return false;
        }
        switch (text[i]) {
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            return false;
        }
    }
    return true;
}

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

bool StringTable::AddFile(std::string_view fileName, std::string_view text) {
    bool bClean = true;
    std::size_t lineNo = 0;
    auto fail = [&](std::string_view why) {
        m_errors.push_back(std::string(fileName) + ":" + std::to_string(lineNo) + ": " +
                           std::string(why));
        bClean = false;
    };
    while (!text.empty()) {
        ++lineNo;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (IsBlank(line) || line.front() == '#') {
            continue;
        }
        const std::size_t tab = line.find('\t');
        int nId = 0;
        if (tab == std::string_view::npos || !ParseId(line.substr(0, tab), nId)) {
            fail("expected a number, a tab and the text");
            continue;
        }
        std::string value;
        if (!Unescape(line.substr(tab + 1), value)) {
            fail("unknown escape (use \\n, \\t or \\\\)");
            continue;
        }
        if (!m_strings.emplace(nId, std::move(value)).second) {
            fail("string " + std::to_string(nId) + " is defined twice");
        }
    }
    return bClean;
}

std::optional<std::string> StringTable::Find(int nId) const {
    const auto it = m_strings.find(nId);
    if (it == m_strings.end()) {
        return std::nullopt;
    }
    return it->second;
}

const StringTable& AppStringTable() {
    static const StringTable table = [] {
        StringTable built;
        for (std::size_t i = 0; i < detail::kStringFileCount; ++i) {
            const detail::EmbeddedStringFile& file = detail::kStringFiles[i];
            built.AddFile(file.name, std::string_view(file.text, file.size));
        }
        return built;
    }();
    return table;
}

bool LoadString(int nId, std::string& out) {
    std::optional<std::string> text = AppStringTable().Find(nId);
    if (!text) {
        return false;
    }
    out = std::move(*text);
    return true;
}

std::optional<std::string> StringResource(int nId) {
    return AppStringTable().Find(nId);
}

} // namespace vext
