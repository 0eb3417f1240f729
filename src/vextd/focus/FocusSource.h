#pragma once

// Where the driver learns which window has the focus, so that each game gets its key set. A
// source hands the driver's loop a descriptor to wait on (no polling: an idle desktop costs
// nothing) and tells the window with the focus whenever it changes. OpenFocusSource picks the
// source by session: X11, or in a Wayland session the compositor's (wlroots' foreign-toplevel
// protocol, with X11 completing XWayland windows; KWin's, through a script of the driver's);
// GNOME Shell's through the package's extension, on Wayland and X11.

#include "core/games/FocusedWindow.h"

#include <memory>
#include <optional>
#include <string>

namespace vext {

class FocusSource {
public:
    virtual ~FocusSource() = default;

    // How --status names the source: "X11", "wlroots + XWayland", "KWin", "GNOME Shell".
    virtual std::string Name() const = 0;

    // The descriptor the loop waits on (readable: Dispatch has work); -1 once the source is
    // lost.
    virtual int WaitFd() const = 0;

    // The window with the focus now; asked when the driver starts following the focus.
    virtual FocusedWindow Current() = 0;

    // Runs when WaitFd is readable (or reports an error): handles what waits, without
    // blocking. Returns the window with the focus when it, or what the rules look at in it
    // (title, class), changed.
    virtual std::optional<FocusedWindow> Dispatch() = 0;

    // Empty while the source works; once it has stopped for good (the display closed), why.
    virtual std::string Lost() const = 0;

    // Empty while the source can tell the focus; while it cannot yet (a desktop's part that the
    // user must turn on), what to do. It may change at each Dispatch.
    virtual std::string Waiting() const { return {}; }
};

// The first source that works in this session, or null with the reason in *pWhyNot, for
// "focus: unavailable (<reason>)".
std::unique_ptr<FocusSource> OpenFocusSource(std::string* pWhyNot);

} // namespace vext
