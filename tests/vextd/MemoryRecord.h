#pragma once

// An in-memory driver record for reader tests: keys by path, values by name, both compared
// without regard to ASCII case as the registry store does. Easier to damage than a RegTree,
// which it turns into for reading.

#include "core/registry/RegTree.h"
#include "vextd/engine/RecordReader.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace vext::test {

class MemoryRecord {
public:
    using Value = std::variant<uint32_t, std::vector<uint8_t>, std::string>;

    void AddKey(const std::string& path) {
        std::string prefix;
        for (size_t i = 0; i <= path.size(); ++i) {
            if (i == path.size() || path[i] == '\\') {
                m_keys[Fold(path.substr(0, i))];
            }
        }
        m_bRoot = true;
    }
    void Set(const std::string& path, const std::string& name, Value value) {
        AddKey(path);
        m_keys[Fold(path)][Fold(name)] = std::move(value);
    }
    void Erase(const std::string& path, const std::string& name) {
        m_keys[Fold(path)].erase(Fold(name));
    }
    void EraseKey(const std::string& path) {
        const std::string folded = Fold(path);
        for (auto it = m_keys.begin(); it != m_keys.end();) {
            const bool bBelow = it->first == folded || it->first.rfind(folded + "\\", 0) == 0;
            it = bBelow ? m_keys.erase(it) : std::next(it);
        }
    }

    bool HasRoot() const { return m_bRoot; }

    // Keys in path order, so that each parent comes before its children.
    RegTree Tree() const {
        RegTree tree;
        for (const auto& [path, values] : m_keys) {
            uint32_t nKey = RegTree::kRoot;
            for (size_t pos = 0; !path.empty() && pos <= path.size();) {
                const size_t end = std::min(path.find('\\', pos), path.size());
                nKey = tree.AddKey(nKey, path.substr(pos, end - pos));
                pos = end + 1;
            }
            for (const auto& [name, value] : values) {
                if (const auto* p = std::get_if<uint32_t>(&value)) {
                    tree.SetDword(nKey, name, *p);
                } else if (const auto* b = std::get_if<std::vector<uint8_t>>(&value)) {
                    tree.SetBinary(nKey, name, *b);
                } else {
                    tree.SetString(nKey, name, std::get<std::string>(value));
                }
            }
        }
        return tree;
    }

private:
    static std::string Fold(std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    }
    bool m_bRoot = false;
    std::map<std::string, std::map<std::string, Value>> m_keys;
};

inline RecordLoad ReadDriverRecord(const MemoryRecord& record) {
    if (!record.HasRoot()) {
        return vext::ReadDriverRecord(nullptr);
    }
    const RegTree tree = record.Tree();
    return vext::ReadDriverRecord(&tree);
}

} // namespace vext::test
