#pragma once

// A registry key with everything below it, held in memory: either copied out of the store in a
// go (RegistryStore::ReadKeyTree), for readers of a whole tree such as the driver loading its
// record, or built here and written in one go (RegKey::ReplaceSubKeyTree), as a download does.
// Names compare without regard to ASCII case as in the store and keep the case they were given;
// sub-keys and values keep the order they were made in. Names and bytes are kept back to back
// in one buffer, so a large tree costs a few allocations.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vext {

// A value of the tree; valid until the tree changes.
struct RegValueView {
    std::string_view name;
    uint32_t nType = 0;
    std::span<const uint8_t> data; // as stored: a REG_SZ with its NUL, a REG_DWORD as 4 bytes LE
};

class RegTree {
public:
    // Keys are numbered in the order they were made, the tree's own key first; a child always
    // comes after its parent.
    static constexpr uint32_t kRoot = 0;
    static constexpr uint32_t kNoKey = UINT32_MAX;

    RegTree();
    RegTree(RegTree&&) = default;
    RegTree& operator=(RegTree&&) = default;
    RegTree(const RegTree&) = delete;
    RegTree& operator=(const RegTree&) = delete;

    uint32_t Child(uint32_t nKey, std::string_view name) const;
    // Walks a path of names separated by "\"; the empty path is the tree's own key.
    uint32_t Find(std::string_view path) const;
    bool HasKey(std::string_view path) const { return Find(path) != kNoKey; }

    // False when the key or the value is not there.
    bool Value(uint32_t nKey, std::string_view name, RegValueView* pValue) const;
    bool Value(std::string_view path, std::string_view name, RegValueView* pValue) const;

    // Building. AddKey gives the child of that name when there is one already; SetValue
    // replaces a value of the same name in its place. Both fail (kNoKey, false) only when the
    // tree is full: 4 GiB of names and data. Names are checked when the tree is written.
    uint32_t AddKey(uint32_t nParent, std::string_view name);
    bool SetValue(uint32_t nKey, std::string_view name, uint32_t nType,
                  std::span<const uint8_t> data);
    bool SetString(uint32_t nKey, std::string_view name, std::string_view text); // adds the NUL
    bool SetDword(uint32_t nKey, std::string_view name, uint32_t value);
    bool SetBinary(uint32_t nKey, std::string_view name, std::span<const uint8_t> data);

    // Reading by number: keys 0 to KeyCount() - 1 (the tree's own key first, a parent before its
    // children), values 0 to ValueCount() - 1 in the order they were made.
    uint32_t KeyCount() const { return static_cast<uint32_t>(m_keys.size()); }
    uint32_t ValueCount() const { return static_cast<uint32_t>(m_values.size()); }
    uint32_t KeyParent(uint32_t nKey) const { return m_keys[nKey].nParent; }
    std::string_view KeyName(uint32_t nKey) const {
        return Name(m_keys[nKey].nName, m_keys[nKey].nNameLength);
    }
    uint32_t ValueKey(uint32_t nValue) const { return m_values[nValue].nKey; }
    RegValueView ValueAt(uint32_t nValue) const {
        const ValueRef& v = m_values[nValue];
        return {ValueName(v), v.nType, ValueData(v)};
    }
    // The key's value of that name; kNoKey when not there.
    uint32_t FindValue(uint32_t nKey, std::string_view name) const;
    // The rows a tree read from the store came from.
    int64_t KeyRowId(uint32_t nKey) const { return m_keys[nKey].nId; }
    int64_t ValueRowId(uint32_t nValue) const { return m_values[nValue].nId; }

private:
    friend class RegTreeReader;

    struct Key {
        uint32_t nParent = kNoKey;
        uint32_t nName = 0; // offset into m_bytes
        uint32_t nNameLength = 0;
        uint32_t nFirstValue = kNoKey; // its values, a list in the order they were made
        uint32_t nLastValue = kNoKey;
        int64_t nId = 0; // its row in the store, for a tree read from one
    };
    struct ValueRef {
        uint32_t nKey = 0;
        uint32_t nName = 0; // offsets into m_bytes
        uint32_t nNameLength = 0;
        uint32_t nType = 0;
        uint32_t nData = 0;
        uint32_t nDataLength = 0;
        uint32_t nNext = kNoKey; // the key's next value
        int64_t nId = 0;
    };

    // Open addressing over (parent, folded name); a slot holds a key + 1, 0 when free. Values
    // are looked up in their key's list instead: a key has a handful, and they lie together.
    struct SlotTable {
        std::vector<uint32_t> cells;
        size_t nCount = 0;
    };

    std::string_view Name(uint32_t nOffset, uint32_t nLength) const {
        return {reinterpret_cast<const char*>(m_bytes.data()) + nOffset, nLength};
    }
    std::string_view ValueName(const ValueRef& v) const { return Name(v.nName, v.nNameLength); }
    std::span<const uint8_t> ValueData(const ValueRef& v) const {
        return {m_bytes.data() + v.nData, v.nDataLength};
    }

    static uint64_t Hash(uint32_t nOwner, std::string_view name);
    // Room for two things of these sizes; false when the tree is full.
    bool Append(std::string_view a, std::span<const uint8_t> b, uint32_t& nA, uint32_t& nB);
    // Room for this many keys in all, so that the index is not grown on the way.
    void ReserveKeys(size_t nKeys);
    void GrowIndex(size_t nKeys);
    // Files a key under its parent and name; false when its parent has one of that name.
    bool IndexKey(uint32_t nKey);
    bool Insert(uint32_t nKey);
    // Adds a value at the end of its key's list.
    void LinkValue(uint32_t nValue);

    std::vector<Key> m_keys;
    std::vector<ValueRef> m_values; // in the order they were made
    std::vector<uint8_t> m_bytes;   // names and data
    SlotTable m_keyIndex;
};

} // namespace vext
