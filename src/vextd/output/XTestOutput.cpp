#include "vextd/output/XTestOutput.h"

#include "vextd/output/LinuxKeyCodes.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace vext {
namespace {

Display* AsDisplay(void* p) {
    return static_cast<Display*>(p);
}

// X servers that take their keymap from evdev (Xorg, Xwayland, Xvfb) number keys as the kernel
// does, plus 8.
constexpr int kEvdevOffset = 8;

} // namespace

XTestOutput::~XTestOutput() {
    if (m_pDisplay != nullptr) {
        XCloseDisplay(AsDisplay(m_pDisplay));
    }
}

bool XTestOutput::Open(std::string* pError) {
    XInitThreads();
    Display* pDisplay = XOpenDisplay(nullptr);
    if (pDisplay == nullptr) {
        *pError = "cannot open the X display (is DISPLAY set?)";
        return false;
    }
    int nEvent = 0;
    int nError = 0;
    int nMajor = 0;
    int nMinor = 0;
    if (!XTestQueryExtension(pDisplay, &nEvent, &nError, &nMajor, &nMinor)) {
        XCloseDisplay(pDisplay);
        *pError = "the X server has no XTEST extension";
        return false;
    }
    m_pDisplay = pDisplay;
    return true;
}

bool XTestOutput::KeyEvent(int nKeyNumber, bool bDown) {
    const int nCode = LinuxKeyCode(nKeyNumber);
    if (m_pDisplay == nullptr || nCode == 0) {
        return false;
    }
    Display* pDisplay = AsDisplay(m_pDisplay);
    const bool bSent = XTestFakeKeyEvent(pDisplay, static_cast<unsigned>(nCode + kEvdevOffset),
                                         bDown ? True : False, CurrentTime) != 0;
    XFlush(pDisplay);
    return bSent;
}

} // namespace vext
