#pragma once

// Turns Qt key events into what a keyboard hook of the older Windows program saw: a Windows
// virtual-key code and the key data (scan code in bits 16-23, Alt bit 29, previous-state bit 30,
// key-up bit 31). Keys that depend on the layout go by their position (the native scan code)
// where the platform gives one, so that Shift+1 stays the key "1" and left and right Shift are
// told apart. The keysym (Qt's native virtual key, on X11 and Wayland alike) tells what the key
// code cannot: the side of a Shift key of a virtual keyboard, and a keypad key on Wayland, where
// Qt sets no KeypadModifier.

#include <cstdint>

class QKeyEvent;

namespace vext {

struct HookedKey {
    uint32_t nVirtualKey = 0;
    uint32_t nKeyData = 0;
};

inline constexpr uint32_t kVkNone = 0xFF; // a key without a virtual key: yields no text
inline constexpr uint32_t kKeyDataAlt = 1u << 29;
inline constexpr uint32_t kKeyDataPrevious = 1u << 30;
inline constexpr uint32_t kKeyDataUp = 1u << 31;

HookedKey TranslateKeyEvent(const QKeyEvent& event);

// The virtual key at a native (X11/xkb) key code by its place on a US keyboard, or 0.
uint32_t VirtualKeyFromNativeScanCode(uint32_t nNativeScanCode);
// The native key code of a virtual key's place on a US keyboard, or 0.
uint32_t NativeScanCodeFromVirtualKey(uint32_t nVirtualKey);
// The PC (set 1) scan code of a native key code, or 0.
uint32_t PcScanCodeFromNativeScanCode(uint32_t nNativeScanCode);

} // namespace vext
