#pragma once

// Where key events leave the driver: a virtual keyboard, an X server or a record file. The
// engine only ever sends transitions (a key goes down once, up once), already reference-counted.

#include <string>

namespace vext {

class KeyOutput {
public:
    virtual ~KeyOutput() = default;

    // nKeyNumber is a PC 101-key position number (1 to 127). False when the event was lost.
    virtual bool KeyEvent(int nKeyNumber, bool bDown) = 0;

    // A short name for log lines ("uinput", "xtest", "record").
    virtual std::string Name() const = 0;
};

} // namespace vext
