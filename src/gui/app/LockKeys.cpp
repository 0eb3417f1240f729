#include "gui/app/LockKeys.h"

#include <memory>

#include <QGuiApplication>
#include <QSocketNotifier>

#ifdef VEXT_HAVE_XKB
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace vext {

#ifdef VEXT_HAVE_XKB
// A connection of its own, so that Qt's event handling never sees these events.
struct LockKeyWatch::Connection {
    Display* pDisplay = nullptr;
    int nXkbEvent = 0;
    Atom caps = None;
    Atom num = None;
    Atom scroll = None;

    bool On(Atom atom) const {
        Bool bOn = False;
        return atom != None &&
               XkbGetNamedIndicator(pDisplay, atom, nullptr, &bOn, nullptr, nullptr) &&
               bOn != False;
    }
    LockKeyState Read() const { return {true, On(caps), On(num), On(scroll)}; }
};

LockKeyWatch::LockKeyWatch(QObject* pParent) : QObject(pParent) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    Display* pDisplay = XOpenDisplay(nullptr);
    int nOpcode = 0;
    int nError = 0;
    int nMajor = XkbMajorVersion;
    int nMinor = XkbMinorVersion;
    auto pConnection = std::make_unique<Connection>();
    if (pDisplay == nullptr || !XkbQueryExtension(pDisplay, &nOpcode, &pConnection->nXkbEvent,
                                                  &nError, &nMajor, &nMinor)) {
        if (pDisplay != nullptr) {
            XCloseDisplay(pDisplay);
        }
        return;
    }
    pConnection->pDisplay = pDisplay;
    pConnection->caps = XInternAtom(pDisplay, "Caps Lock", True);
    pConnection->num = XInternAtom(pDisplay, "Num Lock", True);
    pConnection->scroll = XInternAtom(pDisplay, "Scroll Lock", True);
    XkbSelectEvents(pDisplay, XkbUseCoreKbd, XkbIndicatorStateNotifyMask,
                    XkbIndicatorStateNotifyMask);
    m_state = pConnection->Read();
    XFlush(pDisplay);
    m_pConnection = pConnection.release();
    m_pNotifier = new QSocketNotifier(ConnectionNumber(pDisplay), QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &LockKeyWatch::OnEvents);
}

LockKeyWatch::~LockKeyWatch() {
    if (m_pConnection != nullptr) {
        XCloseDisplay(m_pConnection->pDisplay);
        delete m_pConnection;
    }
}

void LockKeyWatch::OnEvents() {
    Display* pDisplay = m_pConnection->pDisplay;
    bool bIndicators = false;
    while (XPending(pDisplay) > 0) {
        XEvent event;
        XNextEvent(pDisplay, &event);
        bIndicators = bIndicators || event.type == m_pConnection->nXkbEvent;
    }
    if (!bIndicators) {
        return;
    }
    const LockKeyState state = m_pConnection->Read();
    if (state != m_state) {
        m_state = state;
        Q_EMIT changed();
    }
}
#else
struct LockKeyWatch::Connection {};

LockKeyWatch::LockKeyWatch(QObject* pParent) : QObject(pParent) {}

LockKeyWatch::~LockKeyWatch() = default;

void LockKeyWatch::OnEvents() {}
#endif

} // namespace vext
