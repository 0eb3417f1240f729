#pragma once

// What game rules look at in an X window, read over XCB: WM_CLASS, the title (_NET_WM_NAME,
// else WM_NAME), and the program behind _NET_WM_PID when the window's client runs on this
// machine. Every read is checked: a window that is gone reads as one with nothing known.

#include "core/games/FocusedWindow.h"

#include <xcb/xcb.h>

namespace vext {

struct X11Atoms {
    xcb_atom_t netActiveWindow = XCB_ATOM_NONE;
    xcb_atom_t netWmPid = XCB_ATOM_NONE;
    xcb_atom_t netWmName = XCB_ATOM_NONE;
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t wmState = XCB_ATOM_NONE;

    // False when the server did not answer.
    bool Intern(xcb_connection_t* pConnection);
};

// The window's facts; bPresent false when it is XCB_WINDOW_NONE or gone.
FocusedWindow ReadWindowFacts(xcb_connection_t* pConnection, const X11Atoms& atoms,
                              xcb_window_t window);

// The client window at or below a window manager's frame: the first with WM_STATE, searched
// breadth first; the frame itself when none has it.
xcb_window_t FindClientWindow(xcb_connection_t* pConnection, const X11Atoms& atoms,
                              xcb_window_t frame);

// The window named by a root window property of type WINDOW (_NET_ACTIVE_WINDOW);
// XCB_WINDOW_NONE when it is not set.
xcb_window_t ReadWindowProperty(xcb_connection_t* pConnection, xcb_window_t window,
                                xcb_atom_t property);

} // namespace vext
