#pragma once

// A keyboard with nothing held and the US layout: the stand-in until the GUI installs the real
// keyboard, and what a program without a window gets.

#include "core/keys/KeyboardState.h"

#include <cstdint>

namespace vext {

class UsKeyboardState final : public IKeyboardState {
public:
    bool IsCtrlDown() const override { return false; }
    bool IsAltDown() const override { return false; }

    // Letters, digits and the eleven punctuation keys (VK_OEM_*) as on a US keyboard, else 0.
    char32_t CharForVirtualKey(uint32_t nVirtualKey) const override;
};

} // namespace vext
