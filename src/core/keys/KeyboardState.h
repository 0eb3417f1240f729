#pragma once

// What the keystroke capture needs to know about the keyboard beyond the key event itself. The
// GUI implements it over the window system; the core never calls the window system.

#include <cstdint>

namespace vext {

class IKeyboardState {
public:
    virtual ~IKeyboardState() = default;

    // Whether the key is down as of the key event being handled (its own modifier state).
    virtual bool IsCtrlDown() const = 0;
    virtual bool IsAltDown() const = 0;
    // Shift held as the keyboard's modifier state, which a virtual keyboard may set without any
    // Shift key event; Shift keys themselves are told by their events.
    virtual bool IsShiftDown() const { return false; }

    // The character the active layout gives for the virtual key without Shift, as a Unicode code
    // point with letters in upper case; 0 when the key gives no character.
    virtual char32_t CharForVirtualKey(uint32_t nVirtualKey) const = 0;
};

// The state KeyEventToText uses when none is passed. Until one is installed it is a
// UsKeyboardState. Returns the previously installed one (nullptr for the built-in default).
// The caller keeps ownership and must install nullptr again before destroying its object.
IKeyboardState* SetKeyboardState(IKeyboardState* pState);
const IKeyboardState& CurrentKeyboardState();

} // namespace vext
