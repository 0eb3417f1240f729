#pragma once

// An in-memory driver record for reader tests: keys by path, values by name, both compared
// without regard to ASCII case as the registry store does.

#include "RecordSource.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace vext::test {

class MemoryRecord : public RecordSource {
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

    bool HasRoot() const override { return m_bRoot; }
    bool HasKey(std::string_view path) const override {
        return m_keys.contains(Fold(std::string(path)));
    }
    bool ReadDword(std::string_view path, std::string_view name, uint32_t* p) const override {
        return Read(path, name, p);
    }
    bool ReadBinary(std::string_view path, std::string_view name,
                    std::vector<uint8_t>* p) const override {
        return Read(path, name, p);
    }
    bool ReadString(std::string_view path, std::string_view name, std::string* p) const override {
        return Read(path, name, p);
    }

private:
    static std::string Fold(std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    }
    template <typename T>
    bool Read(std::string_view path, std::string_view name, T* pValue) const {
        const auto key = m_keys.find(Fold(std::string(path)));
        if (key == m_keys.end()) {
            return false;
        }
        const auto value = key->second.find(Fold(std::string(name)));
        if (value == key->second.end() || !std::holds_alternative<T>(value->second)) {
            return false;
        }
        *pValue = std::get<T>(value->second);
        return true;
    }

    bool m_bRoot = false;
    std::map<std::string, std::map<std::string, Value>> m_keys;
};

} // namespace vext::test
