#if VEXTD_HAVE_XTEST

#include "XKeyClient.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <chrono>
#include <poll.h>

namespace vext::test {
namespace {

Display* AsDisplay(void* p) {
    return static_cast<Display*>(p);
}

} // namespace

XKeyClient::~XKeyClient() {
    if (m_pDisplay != nullptr) {
        XDestroyWindow(AsDisplay(m_pDisplay), m_nWindow);
        XCloseDisplay(AsDisplay(m_pDisplay));
    }
}

bool XKeyClient::Open(const std::string& display) {
    Display* pDisplay = XOpenDisplay(display.c_str());
    if (pDisplay == nullptr) {
        return false;
    }
    m_pDisplay = pDisplay;
    m_nWindow = XCreateSimpleWindow(pDisplay, DefaultRootWindow(pDisplay), 0, 0, 100, 100, 0, 0, 0);
    XSelectInput(pDisplay, m_nWindow, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapWindow(pDisplay, m_nWindow);
    XEvent event;
    do {
        XNextEvent(pDisplay, &event);
    } while (event.type != MapNotify);
    XSetInputFocus(pDisplay, m_nWindow, RevertToParent, CurrentTime);
    XSync(pDisplay, False);
    return true;
}

std::string XKeyClient::NextKey(int nTimeoutMs) {
    Display* pDisplay = AsDisplay(m_pDisplay);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    for (;;) {
        while (XPending(pDisplay) > 0) {
            XEvent event;
            XNextEvent(pDisplay, &event);
            if (event.type == KeyPress || event.type == KeyRelease) {
                const KeySym sym =
                    XkbKeycodeToKeysym(pDisplay, static_cast<KeyCode>(event.xkey.keycode), 0, 0);
                const char* pName = XKeysymToString(sym);
                return std::string(event.type == KeyPress ? "+" : "-") +
                       (pName != nullptr ? pName : "?");
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return "";
        }
        pollfd p{ConnectionNumber(pDisplay), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left.count()));
    }
}

} // namespace vext::test

#endif
