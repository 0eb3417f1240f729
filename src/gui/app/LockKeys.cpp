#include "gui/app/LockKeys.h"

#include <QGuiApplication>

#ifdef VEXT_HAVE_XKB
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace vext {

#ifdef VEXT_HAVE_XKB
namespace {

Display* LockDisplay() {
    static Display* pDisplay = [] {
        return QGuiApplication::platformName() == QLatin1String("xcb") ? XOpenDisplay(nullptr)
                                                                       : nullptr;
    }();
    return pDisplay;
}

bool IndicatorOn(Display* pDisplay, const char* pszName) {
    const Atom atom = XInternAtom(pDisplay, pszName, True);
    Bool bOn = False;
    if (atom == None || !XkbGetNamedIndicator(pDisplay, atom, nullptr, &bOn, nullptr, nullptr)) {
        return false;
    }
    return bOn != False;
}

} // namespace
#endif

LockKeyState ReadLockKeys() {
    LockKeyState state;
#ifdef VEXT_HAVE_XKB
    if (Display* pDisplay = LockDisplay()) {
        state.bKnown = true;
        state.bCaps = IndicatorOn(pDisplay, "Caps Lock");
        state.bNum = IndicatorOn(pDisplay, "Num Lock");
        state.bScroll = IndicatorOn(pDisplay, "Scroll Lock");
    }
#endif
    return state;
}

} // namespace vext
