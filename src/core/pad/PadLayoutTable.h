#pragma once

// The pad button layout table, one CPadLayout per pad type (index = pad type), built from the
// count and layout strings of the string table.

#include "core/pad/PadButtonInfo.h"
#include "core/pad/PadLayout.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vext {

enum : int { kPadTypeCount = 2, kMaxPadButtons = 15 };

// String numbers: the count of pad type t is 200 + t; button i of type 0 is 202 + i, of type 1
// 214 + i.
constexpr int PadCountStringId(int nPadType) {
    return 200 + nPadType;
}
constexpr int PadLayoutStringId(int nPadType, int nButton) {
    return (nPadType == 0 ? 202 : 214) + nButton;
}

// Reads a decimal integer as the C library's %d does: white space, an optional sign, then
// digits. Returns false (pos unchanged) when no digit follows. Values beyond 32 bits saturate.
bool ScanDecimal(std::string_view text, std::size_t& pos, int32_t& value);

// The button count of a count string: its number capped at 15; no digits or below 1 is 0.
int32_t ParseCountString(std::string_view text);

// The input mask of an input: 1 << x for a button, the direction bit for a direction, 0 for
// anything that names no input.
uint32_t PadInputMask(int32_t nKind, int32_t nX, int32_t nY);

// One layout string, "kind,x,y,left,top,labelX,labelY,labelAlign,name". The numbers are read
// like "%d,%d,%d,%d,%d,%d,%d,%d" (reading stops at the first mismatch; unread fields stay 0);
// the first character decides the kind, and the name is what follows the last comma.
CPadButtonInfo ParseLayoutString(std::string_view text);

class PadLayoutTable {
public:
    using StringLookup = std::function<std::optional<std::string>(int nId)>;

    // A missing string reads as an empty one.
    static PadLayoutTable Build(const StringLookup& lookup);

    const CPadLayout* Find(int nPadType) const;
    // m_nCount of the pad type's layout; 0 for a pad type without one.
    int ButtonCount(int nPadType) const;
    std::size_t Size() const { return m_layouts.size(); }
    const std::vector<CPadLayout>& Layouts() const { return m_layouts; }

private:
    std::vector<CPadLayout> m_layouts;
};

// The program's table, built once from the program's string table.
const PadLayoutTable& AppPadLayouts();

} // namespace vext
