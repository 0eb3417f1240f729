#include "core/pad/PadLayoutTable.h"

#include "core/platform/StringTable.h"

#include <limits>

namespace vext {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

bool ScanDecimal(std::string_view text, std::size_t& pos, int32_t& value) {
    std::size_t i = pos;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    bool bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        bNegative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || text[i] < '0' || text[i] > '9') {
        return false;
    }
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (magnitude < kLimit) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
    }
    if (magnitude > kLimit) {
        magnitude = kLimit;
    }
    const int64_t signedValue = bNegative ? -magnitude : magnitude;
    if (signedValue > std::numeric_limits<int32_t>::max()) {
        value = std::numeric_limits<int32_t>::max();
    } else {
        value = static_cast<int32_t>(signedValue);
    }
    pos = i;
    return true;
}

int32_t ParseCountString(std::string_view text, int32_t nCap) {
    std::size_t pos = 0;
    int32_t value = 0;
    if (!ScanDecimal(text, pos, value) || value < 0) {
        return 0;
    }
    return value < nCap ? value : nCap;
}

uint32_t PadInputMask(int32_t nKind, int32_t nX, int32_t nY) {
    if (nKind == 1) {
        // A shift by 32 or more, or by a negative count, would name no real button bit.
        return nX >= 0 && nX < 32 ? uint32_t{1} << nX : 0;
    }
    if (nKind == 2 && nX >= 0 && nX < kDirectionAxes && (nY == 0 || nY == 2)) {
        return uint32_t{1} << (2 * nX + nY / 2);
    }
    return 0;
}

CPadButtonInfo ParseLayoutString(std::string_view text) {
    int32_t numbers[8] = {};
    std::size_t pos = 0;
    for (int i = 0; i < 8; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',') {
                break;
            }
            ++pos;
        }
        if (!ScanDecimal(text, pos, numbers[i])) {
            break;
        }
    }

    CPadButtonInfo info;
    const char first = text.empty() ? '\0' : text.front();
    if (first == '1' || first == '2') {
        info.m_nKind = first - '0';
        info.m_nX = numbers[1];
        info.m_nY = numbers[2];
        info.m_nMask = PadInputMask(info.m_nKind, info.m_nX, info.m_nY);
    } else {
        // Neither a button nor a direction: keep what was read, with no input behind it (even
        // " 1,..." whose number reads as 1).
        info.m_nKind = numbers[0];
    }
    info.m_nLeft = numbers[3];
    info.m_nTop = numbers[4];
    info.m_nLabelX = numbers[5];
    info.m_nLabelY = numbers[6];
    info.m_nLabelAlign = numbers[7];
    const std::size_t comma = text.rfind(',');
    info.m_strName = std::string(comma == std::string_view::npos ? text : text.substr(comma + 1));
    return info;
}

PadLayoutTable PadLayoutTable::Build(const StringLookup& lookup) {
    auto load = [&](int nId) {
        std::optional<std::string> text = lookup ? lookup(nId) : std::nullopt;
        return text ? std::move(*text) : std::string();
    };
    PadLayoutTable table;
    for (const PadTypeInfo& type : kPadTypes) {
        CPadLayout& layout = table.m_layouts.emplace_back();
        layout.m_nCount = ParseCountString(load(type.nCountString), type.nMaxButtons);
        for (int i = 0; i < layout.m_nCount; ++i) {
            layout.m_buttons.push_back(ParseLayoutString(load(type.nFirstLayout + i)));
        }
    }
    return table;
}

const CPadLayout* PadLayoutTable::Find(int nPadType) const {
    if (nPadType < 0 || static_cast<std::size_t>(nPadType) >= m_layouts.size()) {
        return nullptr;
    }
    return &m_layouts[static_cast<std::size_t>(nPadType)];
}

int PadLayoutTable::ButtonCount(int nPadType) const {
    const CPadLayout* layout = Find(nPadType);
    return layout ? layout->m_nCount : 0;
}

const PadLayoutTable& AppPadLayouts() {
    static const PadLayoutTable table = PadLayoutTable::Build(StringResource);
    return table;
}

} // namespace vext
