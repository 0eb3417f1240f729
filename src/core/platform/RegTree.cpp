#include "platform/RegTree.h"

namespace vext {
namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

void RegTree::FoldInto(std::string_view text, std::string& out) {
    for (const char c : text) {
        out.push_back(Lower(c));
    }
}

int64_t RegTree::Find(std::string_view path) const {
    if (m_nLastKey >= 0 && m_strLastPath == path) {
        return m_nLastKey;
    }
    m_strFolded.clear();
    FoldInto(path, m_strFolded);
    const auto it = m_keys.find(m_strFolded);
    if (it == m_keys.end()) {
        return -1;
    }
    m_strLastPath = path;
    m_nLastKey = it->second;
    return m_nLastKey;
}

bool RegTree::Value(std::string_view path, std::string_view name, RegValueView* pValue) const {
    const int64_t nKey = Find(path);
    if (nKey < 0) {
        return false;
    }
    const auto nIndex = static_cast<size_t>(nKey);
    for (uint32_t i = m_valueStart[nIndex]; i < m_valueStart[nIndex + 1]; ++i) {
        const ValueRef& ref = m_values[i];
        const std::string_view valueName(reinterpret_cast<const char*>(m_bytes.data()) + ref.nName,
                                         ref.nNameLength);
        if (SameNoCase(valueName, name)) {
            pValue->name = valueName;
            pValue->nType = ref.nType;
            pValue->data = std::span<const uint8_t>(m_bytes.data() + ref.nData, ref.nDataLength);
            return true;
        }
    }
    return false;
}

} // namespace vext
