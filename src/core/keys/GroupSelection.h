#pragma once

// Keeps the groups of keystroke text whole while it is edited: a caret never stays inside a
// "{...}" group when text is inserted, and a selection grows to whole groups before it is
// replaced or cut. Positions are UTF-16 indexes, as the edit fields count them.

#include <cstddef>
#include <string_view>

namespace vext {

// Counts the groups opened and not closed in [nFrom, nTo). Returns -1 as soon as a "}" comes
// before any "{" (the range begins inside a group).
int BraceBalance(std::u16string_view text, std::size_t nFrom, std::size_t nTo);

// Grows [nStart, nEnd) until its braces balance. Where a needed brace does not exist (an
// unbalanced text) it stops and leaves the range as far as it got.
void WidenToGroups(std::u16string_view text, std::size_t& nStart, std::size_t& nEnd);

// Where a caret at nPos goes before text is inserted: just after the "}" of the group it stands
// in, else unchanged.
std::size_t CaretOutOfGroup(std::u16string_view text, std::size_t nPos);

// The start of a selection that begins at nStart, moved back to the "{" of the group it begins
// in, else unchanged.
std::size_t SelectionStartOutOfGroup(std::u16string_view text, std::size_t nStart);

} // namespace vext
