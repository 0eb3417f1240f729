#pragma once

#include "core/keys/KeyboardState.h"

#include <cstdint>
#include <map>

namespace vext::test {

// A keyboard whose held Ctrl, Alt and Shift and whose layout characters the test sets by hand. Keys
// without an entry give no character.
class FakeKeyboardState final : public IKeyboardState {
public:
    bool IsCtrlDown() const override { return m_bCtrlDown; }
    bool IsAltDown() const override { return m_bAltDown; }
    bool IsShiftDown() const override { return m_bShiftDown; }
    char32_t CharForVirtualKey(uint32_t nVirtualKey) const override {
        const auto it = m_chars.find(nVirtualKey);
        return it == m_chars.end() ? 0 : it->second;
    }

    bool m_bCtrlDown = false;
    bool m_bAltDown = false;
    bool m_bShiftDown = false;
    std::map<uint32_t, char32_t> m_chars;
};

} // namespace vext::test
