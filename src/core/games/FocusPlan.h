#pragma once

// Which focus sources the driver tries in a desktop session, why none can tell the focus on
// some desktops, and how a Wayland compositor's view of an XWayland window is completed from
// X11's. Pure rules, so that the choice for each desktop is tested without one.

#include "core/games/FocusedWindow.h"

#include <string>
#include <string_view>
#include <vector>

namespace vext {

enum class FocusSourceKind {
    kX11,     // _NET_ACTIVE_WINDOW
    kWlroots, // the wlroots foreign-toplevel protocol (sway, Hyprland, labwc, ...)
    kKWin,    // a KWin script that reports each activation over the session bus (KDE Plasma)
    kGnome,   // GNOME Shell's extension of the package's, which calls the driver on the bus
};

struct FocusSessionFacts {
    bool bWayland = false;    // WAYLAND_DISPLAY set, or XDG_SESSION_TYPE=wayland
    bool bX11Display = false; // DISPLAY set
    std::string strDesktop;   // XDG_CURRENT_DESKTOP: "sway", "KDE", "ubuntu:GNOME"
};

struct FocusPlan {
    // Tried in turn; the first that works is followed.
    std::vector<FocusSourceKind> kinds{FocusSourceKind::kX11};
    // The X11 source completes XWayland windows (class, pid, program) for the wlroots source
    // (KWin knows the classes and pids of its XWayland windows itself).
    bool bXWayland = false;

    bool operator==(const FocusPlan&) const = default;
};

inline constexpr std::string_view kGnomeWaylandFocus =
    "GNOME on Wayland: no focus information for other programs";
inline constexpr std::string_view kKdeWaylandFocus = "KDE Plasma on Wayland";

FocusSessionFacts FocusSessionFromEnvironment();

// A Wayland session follows the compositor (with X11 for XWayland windows where there is a
// display), whatever the desktop's name says: a compositor that offers the protocol is asked,
// and KWin and GNOME Shell on the session bus too (KWin first on KDE Plasma; on GNOME only the
// Shell, which knows XWayland windows itself). Any other session follows X11, GNOME's the
// Shell's extension first where it is on.
FocusPlan PlanFocusSource(const FocusSessionFacts& facts);

// What the compositor sources said when none could follow the focus.
struct WaylandFocusFailure {
    std::vector<std::string> globals; // what the compositor offers, when it was asked
    std::string strWlroots;           // why the foreign-toplevel protocol could not be used
    std::string strKWin;              // why KWin's script could not be used; empty: not tried
    bool bKWinOnBus = false;          // org.kde.KWin has an owner on the session bus
    std::string strGnome;             // why GNOME Shell's extension could not be; empty: not tried
};

// Why the focus cannot be followed in a Wayland session: GNOME and KDE Plasma, told by the
// desktop's name, by the globals their compositors offer or by KWin on the bus, have reasons of
// their own ("KDE Plasma on Wayland: <why KWin's script failed>"; on GNOME what the extension
// needs).
std::string WhyNoWaylandFocus(std::string_view desktop, const WaylandFocusFailure& failure);

// The window a Wayland source reports, completed from the window X11 names active when that one
// is it: wlroots compositors report an XWayland window with its WM_CLASS class as app_id (sway)
// and its title. The X window gives the classes, pid and program, so that program rules and
// Proton's steam_app_<id> match there too. Any other X window (X11 keeps naming the last X
// window for a moment after a Wayland window took the focus) leaves the Wayland window as it is.
FocusedWindow MergeXWaylandFocus(const FocusedWindow& wayland, const FocusedWindow& x11);

} // namespace vext
