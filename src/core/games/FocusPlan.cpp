#include "core/games/FocusPlan.h"

#include "core/games/TextFold.h"

#include <algorithm>
#include <cstdlib>

namespace vext {
namespace {

std::string Env(const char* pszName) {
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr ? pszValue : "";
}

// XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME").
bool DesktopIs(std::string_view desktops, std::string_view name) {
    for (size_t nStart = 0; nStart <= desktops.size();) {
        const size_t nEnd = std::min(desktops.find(':', nStart), desktops.size());
        if (EqualNoCase(desktops.substr(nStart, nEnd - nStart), name)) {
            return true;
        }
        nStart = nEnd + 1;
    }
    return false;
}

bool Offers(const std::vector<std::string>& globals, std::string_view prefix) {
    return std::any_of(globals.begin(), globals.end(),
                       [prefix](const std::string& global) { return global.starts_with(prefix); });
}

} // namespace

FocusSessionFacts FocusSessionFromEnvironment() {
    FocusSessionFacts facts;
    facts.bWayland = !Env("WAYLAND_DISPLAY").empty() || Env("XDG_SESSION_TYPE") == "wayland";
    facts.bX11Display = !Env("DISPLAY").empty();
    facts.strDesktop = Env("XDG_CURRENT_DESKTOP");
    return facts;
}

FocusPlan PlanFocusSource(const FocusSessionFacts& facts) {
    const bool bGnome = DesktopIs(facts.strDesktop, "GNOME");
    if (!facts.bWayland) {
        // Without a display the X11 source says so itself.
        if (bGnome) {
            return {{FocusSourceKind::kGnome, FocusSourceKind::kX11}, false};
        }
        return {{FocusSourceKind::kX11}, false};
    }
    if (DesktopIs(facts.strDesktop, "KDE")) {
        return {{FocusSourceKind::kKWin, FocusSourceKind::kWlroots}, facts.bX11Display};
    }
    if (bGnome) {
        return {{FocusSourceKind::kGnome}, false};
    }
    return {{FocusSourceKind::kWlroots, FocusSourceKind::kKWin, FocusSourceKind::kGnome},
            facts.bX11Display};
}

std::string WhyNoWaylandFocus(std::string_view desktop, const WaylandFocusFailure& failure) {
    // XWayland's _NET_ACTIVE_WINDOW there knows X windows only: following it instead would
    // switch by a window that has long lost the focus to a Wayland one.
    if (DesktopIs(desktop, "GNOME") || Offers(failure.globals, "gtk_shell1")) {
        if (failure.strGnome.empty()) {
            return std::string(kGnomeWaylandFocus);
        }
        // The extension's advice names GNOME itself; other reasons need the context.
        return failure.strGnome.starts_with("GNOME:") ? failure.strGnome
                                                      : "GNOME on Wayland: " + failure.strGnome;
    }
    // KWin keeps org_kde_plasma_shell to Plasma's own programs; its other globals are public.
    if (DesktopIs(desktop, "KDE") || failure.bKWinOnBus ||
        Offers(failure.globals, "org_kde_plasma_shell") ||
        Offers(failure.globals, "org_kde_kwin_")) {
        return std::string(kKdeWaylandFocus) + ": " +
               (failure.strKWin.empty() ? "KWin is not on the session bus" : failure.strKWin);
    }
    return failure.strWlroots;
}

FocusedWindow MergeXWaylandFocus(const FocusedWindow& wayland, const FocusedWindow& x11) {
    if (!wayland.bPresent || !x11.bPresent) {
        return wayland;
    }
    const std::string appId = wayland.classes.empty() ? std::string() : wayland.classes.front();
    const bool bSameClass = !appId.empty() && std::any_of(x11.classes.begin(), x11.classes.end(),
                                                          [&appId](const std::string& c) {
                                                              return EqualNoCase(c, appId);
                                                          });
    // A window without a class is known by its title alone.
    const bool bSameTitle =
        appId.empty() && !wayland.strTitle.empty() && wayland.strTitle == x11.strTitle;
    if (!bSameClass && !bSameTitle) {
        return wayland;
    }
    FocusedWindow merged = x11;
    merged.strId = wayland.strId + " = X window " + x11.strId;
    if (merged.strTitle.empty()) {
        merged.strTitle = wayland.strTitle;
    }
    return merged;
}

} // namespace vext
