#pragma once

// The keyboard's lock states for the status bar, read from the X server's keyboard extension.
// Where there is none (another platform, no X server) the states are unknown.

namespace vext {

struct LockKeyState {
    bool bKnown = false;
    bool bCaps = false;
    bool bNum = false;
    bool bScroll = false;
};

LockKeyState ReadLockKeys();

} // namespace vext
