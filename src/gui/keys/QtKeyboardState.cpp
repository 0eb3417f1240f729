#include "gui/keys/QtKeyboardState.h"

#include "gui/keys/KeyTranslation.h"
#include "gui/keys/WaylandKeymap.h"

#include <QGuiApplication>
#include <QKeyEvent>

#ifdef VEXT_HAVE_XKB
#include <X11/XKBlib.h>

#include <QtGui/qguiapplication_platform.h>
#endif

namespace vext {

namespace {

#ifdef VEXT_HAVE_XKB
// Latin-1 keysyms are their characters; keysyms 0x01000000 + n are Unicode n.
char32_t CharFromKeySym(unsigned long keySym) {
    if ((keySym >= 0x20 && keySym <= 0x7E) || (keySym >= 0xA0 && keySym <= 0xFF))
        return static_cast<char32_t>(keySym);
    if ((keySym & 0xFF000000ul) == 0x01000000ul)
        return static_cast<char32_t>(keySym & 0x00FFFFFFul);
    return 0;
}

char32_t LayoutChar(uint32_t nNativeCode) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display || nNativeCode < 8 || nNativeCode > 255)
        return 0;
    XkbStateRec state{};
    const int group = XkbGetState(display, XkbUseCoreKbd, &state) == Success ? state.group : 0;
    const KeySym keySym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(nNativeCode), group, 0);
    return CharFromKeySym(keySym);
}
#endif

} // namespace

QtKeyboardState& QtKeyboardState::Instance() {
    static QtKeyboardState state;
    return state;
}

Qt::KeyboardModifiers QtKeyboardState::CurrentModifiers() const {
    return m_bInEvent ? m_eventModifiers : QGuiApplication::queryKeyboardModifiers();
}

bool QtKeyboardState::IsCtrlDown() const {
    return CurrentModifiers().testFlag(Qt::ControlModifier);
}

bool QtKeyboardState::IsAltDown() const {
    return CurrentModifiers().testFlag(Qt::AltModifier);
}

bool QtKeyboardState::IsShiftDown() const {
    return CurrentModifiers().testFlag(Qt::ShiftModifier);
}

char32_t QtKeyboardState::CharForVirtualKey(uint32_t nVirtualKey) const {
    KeyOrigin origin{NativeScanCodeFromVirtualKey(nVirtualKey), 0};
    if (const auto it = m_origins.find(nVirtualKey); it != m_origins.end())
        origin = it->second;
    if (origin.nCode != 0) {
        char32_t ch = 0;
#ifdef VEXT_HAVE_XKB
        ch = LayoutChar(origin.nCode);
#endif
        if (ch == 0) {
            if (WaylandKeymap* pKeymap = WaylandKeymap::Instance())
                ch = pKeymap->BaseChar(origin.nCode, origin.nKeySym);
        }
        if (ch != 0) {
            if (ch < 0x80 && ch >= U'a' && ch <= U'z')
                ch = ch - U'a' + U'A';
            else if (ch >= 0x80)
                ch = static_cast<char32_t>(QChar::toUpper(ch));
            return ch;
        }
    }
    return m_us.CharForVirtualKey(nVirtualKey);
}

void QtKeyboardState::BeginEvent(const QKeyEvent& event, uint32_t nVirtualKey) {
    m_bInEvent = true;
    m_eventModifiers = event.modifiers();
    if (event.nativeScanCode() != 0)
        m_origins[nVirtualKey] = {event.nativeScanCode(), event.nativeVirtualKey()};
}

} // namespace vext
