#include "core/registry/RegTree.h"

#include "core/platform/NoCase.h"
#include "core/registry/RegistryStore.h"

#include <algorithm>

namespace vext {

RegTree::RegTree() {
    m_keys.emplace_back();
}

uint64_t RegTree::Hash(uint32_t nOwner, std::string_view name) {
    const uint64_t h = NoCaseHash()(name) ^ (uint64_t{nOwner} * 0x9e3779b97f4a7c15ull);
    return h ^ (h >> 32);
}

uint32_t RegTree::Child(uint32_t nKey, std::string_view name) const {
    if (nKey >= m_keys.size() || m_keyIndex.cells.empty()) {
        return kNoKey;
    }
    const size_t nMask = m_keyIndex.cells.size() - 1;
    for (size_t i = Hash(nKey, name) & nMask;; i = (i + 1) & nMask) {
        const uint32_t nSlot = m_keyIndex.cells[i];
        if (nSlot == 0) {
            return kNoKey;
        }
        if (m_keys[nSlot - 1].nParent == nKey && NoCaseEqual()(KeyName(nSlot - 1), name)) {
            return nSlot - 1;
        }
    }
}

void RegTree::ReserveKeys(size_t nKeys) {
    m_keys.reserve(nKeys);
    GrowIndex(nKeys);
}

void RegTree::GrowIndex(size_t nKeys) {
    size_t nSlots = 64;
    while (nSlots < 2 * (nKeys + 1)) {
        nSlots *= 2;
    }
    if (nSlots > m_keyIndex.cells.size()) {
        std::vector<uint32_t> old(nSlots, 0);
        old.swap(m_keyIndex.cells);
        m_keyIndex.nCount = 0;
        for (const uint32_t nSlot : old) {
            if (nSlot != 0) {
                Insert(nSlot - 1);
            }
        }
    }
}

bool RegTree::IndexKey(uint32_t nKey) {
    // Kept at most half full, so that a miss ends soon.
    if (2 * (m_keyIndex.nCount + 1) > m_keyIndex.cells.size()) {
        GrowIndex(m_keyIndex.cells.size());
    }
    return Insert(nKey);
}

bool RegTree::Insert(uint32_t nKey) {
    const size_t nMask = m_keyIndex.cells.size() - 1;
    const uint32_t nParent = m_keys[nKey].nParent;
    const std::string_view name = KeyName(nKey);
    for (size_t i = Hash(nParent, name) & nMask;; i = (i + 1) & nMask) {
        const uint32_t nSlot = m_keyIndex.cells[i];
        if (nSlot == 0) {
            m_keyIndex.cells[i] = nKey + 1;
            ++m_keyIndex.nCount;
            return true;
        }
        if (m_keys[nSlot - 1].nParent == nParent && NoCaseEqual()(KeyName(nSlot - 1), name)) {
            return false;
        }
    }
}

uint32_t RegTree::FindValue(uint32_t nKey, std::string_view name) const {
    for (uint32_t v = m_keys[nKey].nFirstValue; v != kNoKey; v = m_values[v].nNext) {
        if (NoCaseEqual()(ValueName(m_values[v]), name)) {
            return v;
        }
    }
    return kNoKey;
}

void RegTree::LinkValue(uint32_t nValue) {
    Key& key = m_keys[m_values[nValue].nKey];
    if (key.nLastValue == kNoKey) {
        key.nFirstValue = nValue;
    } else {
        m_values[key.nLastValue].nNext = nValue;
    }
    key.nLastValue = nValue;
}

uint32_t RegTree::Find(std::string_view path) const {
    uint32_t nKey = kRoot;
    for (size_t pos = 0; nKey != kNoKey && !path.empty() && pos <= path.size();) {
        const size_t end = std::min(path.find('\\', pos), path.size());
        nKey = Child(nKey, path.substr(pos, end - pos));
        pos = end + 1;
    }
    return nKey;
}

bool RegTree::Value(uint32_t nKey, std::string_view name, RegValueView* pValue) const {
    const uint32_t nValue = nKey < m_keys.size() ? FindValue(nKey, name) : kNoKey;
    if (nValue == kNoKey) {
        return false;
    }
    const ValueRef& v = m_values[nValue];
    pValue->name = ValueName(v);
    pValue->nType = v.nType;
    pValue->data = ValueData(v);
    return true;
}

bool RegTree::Value(std::string_view path, std::string_view name, RegValueView* pValue) const {
    return Value(Find(path), name, pValue);
}

bool RegTree::Append(std::string_view a, std::span<const uint8_t> b, uint32_t& nA, uint32_t& nB) {
    if (a.size() + b.size() > UINT32_MAX - m_bytes.size()) {
        return false;
    }
    nA = static_cast<uint32_t>(m_bytes.size());
    m_bytes.insert(m_bytes.end(), a.begin(), a.end());
    nB = static_cast<uint32_t>(m_bytes.size());
    m_bytes.insert(m_bytes.end(), b.begin(), b.end());
    return true;
}

uint32_t RegTree::AddKey(uint32_t nParent, std::string_view name) {
    if (nParent >= m_keys.size() || m_keys.size() >= kNoKey - 1) {
        return kNoKey;
    }
    if (const uint32_t nChild = Child(nParent, name); nChild != kNoKey) {
        return nChild;
    }
    Key key;
    key.nParent = nParent;
    key.nNameLength = static_cast<uint32_t>(name.size());
    uint32_t nUnused = 0;
    if (!Append(name, {}, key.nName, nUnused)) {
        return kNoKey;
    }
    m_keys.push_back(key);
    const auto nKey = static_cast<uint32_t>(m_keys.size() - 1);
    IndexKey(nKey);
    return nKey;
}

bool RegTree::SetValue(uint32_t nKey, std::string_view name, uint32_t nType,
                       std::span<const uint8_t> data) {
    if (nKey >= m_keys.size() || m_values.size() >= kNoKey - 1) {
        return false;
    }
    ValueRef value;
    value.nKey = nKey;
    value.nType = nType;
    value.nNameLength = static_cast<uint32_t>(name.size());
    value.nDataLength = static_cast<uint32_t>(data.size());
    if (!Append(name, data, value.nName, value.nData)) {
        return false;
    }
    if (const uint32_t nOld = FindValue(nKey, name); nOld != kNoKey) {
        value.nNext = m_values[nOld].nNext;
        m_values[nOld] = value; // the old bytes stay behind unused
        return true;
    }
    m_values.push_back(value);
    LinkValue(static_cast<uint32_t>(m_values.size() - 1));
    return true;
}

bool RegTree::SetString(uint32_t nKey, std::string_view name, std::string_view text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return SetValue(nKey, name, REG_SZ, data);
}

bool RegTree::SetDword(uint32_t nKey, std::string_view name, uint32_t value) {
    const uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return SetValue(nKey, name, REG_DWORD, data);
}

bool RegTree::SetBinary(uint32_t nKey, std::string_view name, std::span<const uint8_t> data) {
    return SetValue(nKey, name, REG_BINARY, data);
}

} // namespace vext
