#include "core/registry/RegExport.h"

#include "core/platform/LineText.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace vext {

namespace {

// Quotes and backslashes are escaped as REGEDIT4 does; control characters as EscapeForLine does,
// so a name with a line break cannot start a section of its own.
void AppendQuoted(std::string& out, std::string_view text) {
    std::string quoted;
    for (char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    out += '"';
    out += EscapeForLine(quoted);
    out += '"';
}

RegStatus ExportTree(const RegKey& key, std::string& out, int nDepth) {
    // Deeper than anything written; a store that claims more is damaged.
    if (nDepth > 512) {
        return RegStatus::kBadData;
    }
    std::string path;
    RegStatus status = key.GetPath(path);
    if (status != RegStatus::kOk) {
        return status;
    }
    std::vector<RegValue> values;
    std::vector<std::string> subKeys;
    if ((status = key.EnumValues(values)) != RegStatus::kOk ||
        (status = key.EnumSubKeys(subKeys)) != RegStatus::kOk) {
        return status;
    }
    out += '[';
    out += EscapeForLine(path);
    out += "]\n";
    for (const RegValue& value : values) {
        out += Regedit4ValueLine(value);
        out += '\n';
    }
    out += '\n';
    for (const std::string& name : subKeys) {
        RegKey sub;
        if ((status = key.OpenSubKey(name, sub)) != RegStatus::kOk ||
            (status = ExportTree(sub, out, nDepth + 1)) != RegStatus::kOk) {
            return status;
        }
    }
    return RegStatus::kOk;
}

} // namespace

std::string Regedit4ValueLine(const RegValue& value) {
    std::string line;
    AppendQuoted(line, value.strName);
    line += '=';
    char hex[16];
    switch (value.nType) {
    case REG_SZ: {
        // Without the stored NUL; a reader of the string stops at the first one.
        const auto* p = reinterpret_cast<const char*>(value.data.data());
        AppendQuoted(line,
                     p ? std::string_view(p, ::strnlen(p, value.data.size())) : std::string_view());
        break;
    }
    case REG_DWORD:
        if (value.data.size() == 4) {
            const uint32_t n = static_cast<uint32_t>(value.data[0]) |
                               static_cast<uint32_t>(value.data[1]) << 8 |
                               static_cast<uint32_t>(value.data[2]) << 16 |
                               static_cast<uint32_t>(value.data[3]) << 24;
            std::snprintf(hex, sizeof hex, "%08x", n);
            line += "dword:";
            line += hex;
            break;
        }
        [[fallthrough]];
    default:
        line += "hex:";
        for (size_t i = 0; i < value.data.size(); ++i) {
            std::snprintf(hex, sizeof hex, i == 0 ? "%02x" : ",%02x", value.data[i]);
            line += hex;
        }
        break;
    }
    return line;
}

RegStatus ExportRegedit4(const RegKey& key, std::string& out) {
    if (!key.IsOpen()) {
        return RegStatus::kInvalid;
    }
    out += "REGEDIT4\n\n";
    return ExportTree(key, out, 0);
}

} // namespace vext
