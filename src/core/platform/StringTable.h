#pragma once

// The numbered string table: the texts that the program shows, looked up by number. Files hold
// lines "ID<TAB>text"; blank lines and lines starting with '#' are skipped, and the text knows
// the escapes \n, \t and \\.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vext {

class StringTable {
public:
    // Adds the strings of one file. A malformed line or an ID seen before is recorded in
    // Errors() and skipped (the first definition stays); returns false if that happened.
    bool AddFile(std::string_view fileName, std::string_view text);

    std::optional<std::string> Find(int nId) const;
    std::size_t Size() const { return m_strings.size(); }
    const std::map<int, std::string>& Strings() const { return m_strings; }
    const std::vector<std::string>& Errors() const { return m_errors; }

private:
    std::map<int, std::string> m_strings;
    std::vector<std::string> m_errors;
};

// The program's own table, built from the embedded files on first use.
const StringTable& AppStringTable();

// Copies string nId into out and returns true; leaves out untouched when there is none.
bool LoadString(int nId, std::string& out);
std::optional<std::string> StringResource(int nId);

} // namespace vext
