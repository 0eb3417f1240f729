#pragma once

// A copy of one registry key with everything below it, read from the store in two passes
// (RegKey::ReadTree). For readers of a whole tree, such as the driver loading its record,
// which would otherwise ask the database key by key. Paths are relative to the copied key,
// names separated by "\", and compare without regard to ASCII case as in the store. Names and
// bytes are kept back to back in one buffer, so a large tree costs a few allocations.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vext {

// A value of the copy; valid as long as the copy.
struct RegValueView {
    std::string_view name;
    uint32_t nType = 0;
    std::span<const uint8_t> data; // as stored: a REG_SZ with its NUL, a REG_DWORD as 4 bytes LE
};

class RegTree {
public:
    RegTree() = default;
    RegTree(RegTree&&) = default;
    RegTree& operator=(RegTree&&) = default;
    RegTree(const RegTree&) = delete;
    RegTree& operator=(const RegTree&) = delete;

    // The empty path is the copied key itself.
    bool HasKey(std::string_view path) const { return Find(path) >= 0; }

    // False when the key or the value is not there.
    bool Value(std::string_view path, std::string_view name, RegValueView* pValue) const;

    size_t KeyCount() const { return m_keys.size(); }
    size_t ValueCount() const { return m_values.size(); }

private:
    friend class RegistryStore;

    struct ValueRef {
        uint32_t nName = 0; // offsets into m_bytes
        uint32_t nNameLength = 0;
        uint32_t nType = 0;
        uint32_t nData = 0;
        uint32_t nDataLength = 0;
    };

    static void FoldInto(std::string_view text, std::string& out);
    int64_t Find(std::string_view path) const;

    std::string m_paths;                                   // every key's folded path, back to back
    std::unordered_map<std::string_view, uint32_t> m_keys; // views into m_paths
    std::vector<uint32_t> m_valueStart; // key k's values are [start[k], start[k + 1])
    std::vector<ValueRef> m_values;     // grouped by key, each key's in creation order
    std::vector<uint8_t> m_bytes;       // value names and data
    // Readers ask for one key's values in a row; the last key found is kept.
    mutable std::string m_strFolded;
    mutable std::string m_strLastPath;
    mutable int64_t m_nLastKey = -1;
};

} // namespace vext
