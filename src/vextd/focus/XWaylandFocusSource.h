#pragma once

// The focus in a Wayland session with XWayland: the compositor's source says which window is
// active, and for an XWayland window the X11 source supplies what X knows of it (WM_CLASS
// instance and class, the pid and so the program), so that a Proton game matches by
// steam_app_<id> or its .exe as it does on X11. The loop waits on one descriptor for both.

#include "vextd/focus/FocusSource.h"

#include <memory>
#include <optional>
#include <string>

namespace vext {

class XWaylandFocusSource : public FocusSource {
public:
    // Null with the reason when the descriptor to wait on cannot be made.
    static std::unique_ptr<XWaylandFocusSource> Make(std::unique_ptr<FocusSource> pWayland,
                                                     std::unique_ptr<FocusSource> pX11,
                                                     std::string* pWhyNot);
    ~XWaylandFocusSource() override;
    XWaylandFocusSource(const XWaylandFocusSource&) = delete;
    XWaylandFocusSource& operator=(const XWaylandFocusSource&) = delete;

    std::string Name() const override;
    int WaitFd() const override;
    FocusedWindow Current() override;
    std::optional<FocusedWindow> Dispatch() override;
    // Lost with the compositor; XWayland's end leaves the Wayland source on its own.
    std::string Lost() const override { return m_pWayland->Lost(); }

private:
    XWaylandFocusSource(std::unique_ptr<FocusSource> pWayland, std::unique_ptr<FocusSource> pX11,
                        int nEpoll);
    FocusedWindow Merge();

    std::unique_ptr<FocusSource> m_pWayland;
    std::unique_ptr<FocusSource> m_pX11;
    int m_nEpoll;
    FocusedWindow m_wayland;
    FocusedWindow m_x11;
    // The XWayland window completed last: its toplevel and its X facts.
    std::string m_strCompletedId;
    FocusedWindow m_completed;
    FocusedWindow m_last;
};

} // namespace vext
