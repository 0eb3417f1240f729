#pragma once

// Which focus source the driver follows in a desktop session, why none can tell the focus on
// some desktops, and how a Wayland compositor's view of an XWayland window is completed from
// X11's. Pure rules, so that the choice for each desktop is tested without one.

#include "games/FocusedWindow.h"

#include <string>
#include <string_view>
#include <vector>

namespace vext {

enum class FocusSourceKind {
    kX11,     // _NET_ACTIVE_WINDOW
    kWlroots, // the wlroots foreign-toplevel protocol (sway, Hyprland, labwc, ...)
};

struct FocusSessionFacts {
    bool bWayland = false;    // WAYLAND_DISPLAY set, or XDG_SESSION_TYPE=wayland
    bool bX11Display = false; // DISPLAY set
    std::string strDesktop;   // XDG_CURRENT_DESKTOP: "sway", "KDE", "ubuntu:GNOME"
};

struct FocusPlan {
    FocusSourceKind kind = FocusSourceKind::kX11;
    // The X11 source completes XWayland windows (class, pid, program) for a Wayland source.
    bool bXWayland = false;

    bool operator==(const FocusPlan&) const = default;
};

inline constexpr std::string_view kGnomeWaylandFocus =
    "GNOME on Wayland: no focus information for other programs";
inline constexpr std::string_view kKdeWaylandFocus =
    "KDE Plasma on Wayland: vextd cannot follow KWin's focus yet";

FocusSessionFacts FocusSessionFromEnvironment();

// A Wayland session follows the compositor (with X11 for XWayland windows where there is a
// display), whatever the desktop's name says: a compositor that offers the protocol is asked.
// Any other session follows X11.
FocusPlan PlanFocusSource(const FocusSessionFacts& facts);

// Why the focus cannot be followed in a Wayland session whose compositor gave no foreign-
// toplevel protocol (strFailure): GNOME and KDE Plasma, told by the desktop's name or by the
// globals their compositors offer, have reasons of their own.
std::string WhyNoWaylandFocus(std::string_view desktop, const std::vector<std::string>& globals,
                              const std::string& strFailure);

// The window a Wayland source reports, completed from the window X11 names active when that one
// is it: wlroots compositors report an XWayland window with its WM_CLASS class as app_id (sway)
// and its title. The X window gives the classes, pid and program, so that program rules and
// Proton's steam_app_<id> match there too. Any other X window (X11 keeps naming the last X
// window for a moment after a Wayland window took the focus) leaves the Wayland window as it is.
FocusedWindow MergeXWaylandFocus(const FocusedWindow& wayland, const FocusedWindow& x11);

} // namespace vext
