#pragma once

// Key events for an X11 session through the XTest extension, for desktops where the user has
// no access to /dev/uinput.

#include "vextd/output/KeyOutput.h"

#include <string>

namespace vext {

class XTestOutput : public KeyOutput {
public:
    ~XTestOutput() override;

    // Connects to $DISPLAY. False with the reason in *pError.
    bool Open(std::string* pError);

    bool KeyEvent(int nKeyNumber, bool bDown) override;
    std::string Name() const override { return "xtest"; }

private:
    void* m_pDisplay = nullptr; // Display*, kept out of this header: Xlib's macros leak
};

} // namespace vext
