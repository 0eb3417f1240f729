#pragma once

// A virtual keyboard through /dev/uinput: the kernel delivers its keys to every consumer (X,
// Wayland compositors, the console) as from a real keyboard.

#include "vextd/output/KeyOutput.h"

#include <string>

namespace vext {

class UinputOutput : public KeyOutput {
public:
    ~UinputOutput() override;

    // Creates the device. False with the reason (usually access to /dev/uinput) in *pError.
    bool Open(const std::string& devicePath, std::string* pError);

    bool KeyEvent(int nKeyNumber, bool bDown) override;
    std::string Name() const override { return "uinput"; }

private:
    bool Write(unsigned short nType, unsigned short nCode, int nValue);

    int m_nFd = -1;
};

} // namespace vext
