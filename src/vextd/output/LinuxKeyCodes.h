#pragma once

// PC 101-key position numbers, the numbers inside key codes, to Linux input key codes.

namespace vext {

// The KEY_* code of a key number, or 0 for a number that names no key.
int LinuxKeyCode(int nKeyNumber);

} // namespace vext
