#pragma once

// The focus on X11: the window manager names the focused window in the root window's
// _NET_ACTIVE_WINDOW, and PropertyNotify says when that changes. The focused window's own
// title and class changes are followed too (a game that renames its window once loaded).

#include "vextd/focus/FocusSource.h"
#include "x11/X11WindowFacts.h"

#include <memory>
#include <optional>
#include <string>
#include <xcb/xcb.h>

namespace vext {

class X11FocusSource : public FocusSource {
public:
    // Connects to the display (null: $DISPLAY). Null with the reason when it cannot.
    static std::unique_ptr<X11FocusSource> Open(const char* pszDisplay, std::string* pWhyNot);
    ~X11FocusSource() override;
    X11FocusSource(const X11FocusSource&) = delete;
    X11FocusSource& operator=(const X11FocusSource&) = delete;

    std::string Name() const override { return "X11"; }
    int WaitFd() const override;
    FocusedWindow Current() override;
    std::optional<FocusedWindow> Dispatch() override;
    std::string Lost() const override { return m_strLost; }

private:
    X11FocusSource(xcb_connection_t* pConnection, xcb_window_t root, std::string strDisplay);
    // Reads the active window, follows its property changes, and gives its facts.
    FocusedWindow ReadActive();
    void Follow(xcb_window_t window);
    // Frees the event; true when it may change the focused window's facts.
    bool TakeEvent(xcb_generic_event_t* pEvent);
    // Reads the focused window (when bRead) and again for as long as events that matter came
    // in meanwhile; true when its facts changed.
    bool ReadUntilQuiet(bool bRead);

    xcb_connection_t* m_pConnection;
    xcb_window_t m_root;
    std::string m_strDisplay;
    X11Atoms m_atoms;
    xcb_window_t m_followed = XCB_WINDOW_NONE;
    FocusedWindow m_last;
    std::string m_strLost;
};

} // namespace vext
