#include "core/keys/UsKeyboardState.h"

namespace vext {

char32_t UsKeyboardState::CharForVirtualKey(uint32_t nVirtualKey) const {
    if ((nVirtualKey >= 'A' && nVirtualKey <= 'Z') || (nVirtualKey >= '0' && nVirtualKey <= '9'))
        return static_cast<char32_t>(nVirtualKey);
    switch (nVirtualKey) {
    case 0xBA:
        return U';';
    case 0xBB:
        return U'=';
    case 0xBC:
        return U',';
    case 0xBD:
        return U'-';
    case 0xBE:
        return U'.';
    case 0xBF:
        return U'/';
    case 0xC0:
        return U'`';
    case 0xDB:
        return U'[';
    case 0xDC:
        return U'\\';
    case 0xDD:
        return U']';
    case 0xDE:
        return U'\'';
    default:
        return 0;
    }
}

} // namespace vext
