#include "vextd/focus/X11FocusSource.h"

#include <cstdlib>

namespace vext {

std::unique_ptr<X11FocusSource> X11FocusSource::Open(const char* pszDisplay, std::string* pWhyNot) {
    const char* pszName = pszDisplay != nullptr ? pszDisplay : std::getenv("DISPLAY");
    if (pszName == nullptr || *pszName == '\0') {
        *pWhyNot = "no X display: DISPLAY is not set";
        return nullptr;
    }
    int nScreen = 0;
    xcb_connection_t* pConnection = xcb_connect(pszName, &nScreen);
    if (xcb_connection_has_error(pConnection) != 0) {
        xcb_disconnect(pConnection);
        *pWhyNot = std::string("cannot connect to the X display ") + pszName;
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(pConnection));
    for (int i = 0; i < nScreen && it.rem > 0; ++i) {
        xcb_screen_next(&it);
    }
    if (it.rem == 0) {
        xcb_disconnect(pConnection);
        *pWhyNot = std::string("the X display ") + pszName + " has no such screen";
        return nullptr;
    }
    std::unique_ptr<X11FocusSource> pSource(
        new X11FocusSource(pConnection, it.data->root, pszName));
    if (!pSource->m_atoms.Intern(pConnection)) {
        *pWhyNot = std::string("the X display ") + pszName + " does not answer";
        return nullptr;
    }
    const uint32_t nMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(pConnection, pSource->m_root, XCB_CW_EVENT_MASK, &nMask);
    xcb_flush(pConnection);
    return pSource;
}

X11FocusSource::X11FocusSource(xcb_connection_t* pConnection, xcb_window_t root,
                               std::string strDisplay)
    : m_pConnection(pConnection), m_root(root), m_strDisplay(std::move(strDisplay)) {}

X11FocusSource::~X11FocusSource() {
    xcb_disconnect(m_pConnection);
}

int X11FocusSource::WaitFd() const {
    return m_strLost.empty() ? xcb_get_file_descriptor(m_pConnection) : -1;
}

void X11FocusSource::Follow(xcb_window_t window) {
    if (window == m_followed) {
        return;
    }
    // Another client's window: only our own event mask on it changes. One already gone gives
    // an error event, which Dispatch skips.
    const uint32_t nNone = XCB_EVENT_MASK_NO_EVENT;
    const uint32_t nProperties = XCB_EVENT_MASK_PROPERTY_CHANGE;
    if (m_followed != XCB_WINDOW_NONE && m_followed != m_root) {
        xcb_change_window_attributes(m_pConnection, m_followed, XCB_CW_EVENT_MASK, &nNone);
    }
    if (window != XCB_WINDOW_NONE && window != m_root) {
        xcb_change_window_attributes(m_pConnection, window, XCB_CW_EVENT_MASK, &nProperties);
    }
    m_followed = window;
}

FocusedWindow X11FocusSource::ReadActive() {
    const xcb_window_t active = ReadWindowProperty(m_pConnection, m_root, m_atoms.netActiveWindow);
    // Following first, reading after: a title set in between is read, not missed.
    Follow(active);
    xcb_flush(m_pConnection);
    m_last = active == m_root ? FocusedWindow{} : ReadWindowFacts(m_pConnection, m_atoms, active);
    return m_last;
}

bool X11FocusSource::TakeEvent(xcb_generic_event_t* pEvent) {
    bool bRelevant = false;
    if ((pEvent->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
        const auto* pNotify = reinterpret_cast<const xcb_property_notify_event_t*>(pEvent);
        bRelevant = (pNotify->window == m_root && pNotify->atom == m_atoms.netActiveWindow) ||
                    (pNotify->window == m_followed &&
                     (pNotify->atom == XCB_ATOM_WM_NAME || pNotify->atom == m_atoms.netWmName ||
                      pNotify->atom == XCB_ATOM_WM_CLASS || pNotify->atom == m_atoms.netWmPid));
    }
    std::free(pEvent);
    return bRelevant;
}

bool X11FocusSource::ReadUntilQuiet(bool bRead) {
    // Replies read for a window's facts bring the events sent meanwhile into XCB's queue, where
    // the descriptor no longer shows them: they are taken here, until none is left.
    bool bChanged = false;
    while (bRead) {
        const FocusedWindow before = m_last;
        bChanged = !(ReadActive() == before) || bChanged;
        bRead = false;
        while (xcb_generic_event_t* pEvent = xcb_poll_for_queued_event(m_pConnection)) {
            bRead = TakeEvent(pEvent) || bRead;
        }
    }
    return bChanged;
}

FocusedWindow X11FocusSource::Current() {
    ReadUntilQuiet(true);
    return m_last;
}

std::optional<FocusedWindow> X11FocusSource::Dispatch() {
    if (!m_strLost.empty()) {
        return std::nullopt;
    }
    bool bRead = false;
    while (xcb_generic_event_t* pEvent = xcb_poll_for_event(m_pConnection)) {
        bRead = TakeEvent(pEvent) || bRead;
    }
    if (xcb_connection_has_error(m_pConnection) != 0) {
        m_strLost = "the X display " + m_strDisplay + " closed";
        return FocusedWindow{};
    }
    // The window manager also sets the property again for the same window now and then.
    if (!ReadUntilQuiet(bRead)) {
        return std::nullopt;
    }
    return m_last;
}

} // namespace vext
