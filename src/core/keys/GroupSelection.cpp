#include "core/keys/GroupSelection.h"

#include <algorithm>

namespace vext {

int BraceBalance(std::u16string_view text, std::size_t nFrom, std::size_t nTo) {
    nTo = std::min(nTo, text.size());
    int count = 0;
    bool bSeen = false;
    for (std::size_t i = nFrom; i < nTo; ++i) {
        if (text[i] == u'{') {
            bSeen = true;
            ++count;
        } else if (text[i] == u'}') {
            --count;
            if (!bSeen)
                return count;
        }
    }
    return count;
}

void WidenToGroups(std::u16string_view text, std::size_t& nStart, std::size_t& nEnd) {
    nEnd = std::min(nEnd, text.size());
    nStart = std::min(nStart, nEnd);
    for (;;) {
        const int balance = BraceBalance(text, nStart, nEnd);
        if (balance > 0) {
            const std::size_t close = text.find(u'}', nEnd);
            if (close == std::u16string_view::npos)
                return;
            nEnd = close + 1;
        } else if (balance < 0) {
            if (nStart == 0)
                return;
            // The "{" at or before the start; a start already on a "{" cannot go further back.
            const std::size_t open = text.rfind(u'{', nStart);
            if (open == std::u16string_view::npos || open == nStart)
                return;
            nStart = open;
        } else {
            return;
        }
    }
}

std::size_t CaretOutOfGroup(std::u16string_view text, std::size_t nPos) {
    for (std::size_t i = nPos; i < text.size(); ++i) {
        if (text[i] == u'{')
            return nPos;
        if (text[i] == u'}')
            return i + 1;
    }
    return nPos;
}

std::size_t SelectionStartOutOfGroup(std::u16string_view text, std::size_t nStart) {
    if (text.empty())
        return nStart;
    for (std::size_t i = std::min(nStart, text.size() - 1) + 1; i-- > 0;) {
        if (text[i] == u'{')
            return i;
        if (text[i] == u'}')
            return nStart;
    }
    return nStart;
}

} // namespace vext
