#pragma once

// The pad button layout table, one CPadLayout per pad type (index = pad type), built from the
// count and layout strings of the string table.

#include "core/pad/PadButtonInfo.h"
#include "core/pad/PadLayout.h"
#include "core/pad/PadTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vext {

// The cap of the Standard Vext Pad's and the Corvel Pad's button counts.
inline constexpr int kMaxPadButtons = 15;
// The axes a direction input may name: the left stick's X and Y, the right stick's, a D-pad's.
inline constexpr int kDirectionAxes = 6;

// Reads a decimal integer as the C library's %d does: white space, an optional sign, then
// digits. Returns false (pos unchanged) when no digit follows. Values beyond 32 bits saturate.
bool ScanDecimal(std::string_view text, std::size_t& pos, int32_t& value);

// The button count of a count string: its number capped at nCap; no digits or below 1 is 0.
int32_t ParseCountString(std::string_view text, int32_t nCap = kMaxPadButtons);

// The input mask of an input: 1 << x for a button; for a direction of axis x (0 X and 1 Y of the
// left stick, 2 and 3 the right stick's, 4 and 5 a D-pad of its own) toward y (0 or 2), the bit
// 1 << (2x + y / 2): 1 left, 2 right, 4 down, 8 up for the left stick; 0 for anything that names
// no input.
uint32_t PadInputMask(int32_t nKind, int32_t nX, int32_t nY);

// One layout string, "kind,x,y,left,top,labelX,labelY,labelAlign,name". The numbers are read
// like "%d,%d,%d,%d,%d,%d,%d,%d" (reading stops at the first mismatch; unread fields stay 0);
// the first character decides the kind, and the name is what follows the last comma.
CPadButtonInfo ParseLayoutString(std::string_view text);

class PadLayoutTable {
public:
    using StringLookup = std::function<std::optional<std::string>(int nId)>;

    // One layout per pad type of core/pad/PadTypes.h; a missing string reads as an empty one.
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
