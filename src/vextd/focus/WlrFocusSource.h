#pragma once

// The focus in wlroots compositors (sway, Hyprland, labwc, ...): the foreign-toplevel protocol
// tells each window's app_id, title and whether it is activated, as events on a connection of
// the driver's own. It tells no pid, so a native Wayland window has no program: rules match it
// by class (app_id) or title.

#include "vextd/focus/FocusSource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct zwlr_foreign_toplevel_manager_v1;

namespace vext {

class WlrFocusSource : public FocusSource {
public:
    // Connects to the compositor (null: $WAYLAND_DISPLAY) and learns the windows it has. Null
    // with the reason when there is no compositor or it lacks the protocol; *pGlobals then
    // lists what it offers, which tells GNOME's and KDE's apart.
    static std::unique_ptr<WlrFocusSource> Open(const char* pszDisplay, std::string* pWhyNot,
                                                std::vector<std::string>* pGlobals);
    ~WlrFocusSource() override;
    WlrFocusSource(const WlrFocusSource&) = delete;
    WlrFocusSource& operator=(const WlrFocusSource&) = delete;

    std::string Name() const override { return "wlroots"; }
    int WaitFd() const override;
    FocusedWindow Current() override;
    std::optional<FocusedWindow> Dispatch() override;
    std::string Lost() const override { return m_strLost; }

    struct Toplevel;

private:
    explicit WlrFocusSource(wl_display* pDisplay);
    // Reads and handles what the compositor sent, waiting up to nTimeoutMs for it; false once
    // the connection broke.
    bool Pump(int nTimeoutMs);
    // Waits until the compositor has answered everything asked so far (bounded: a compositor
    // that hangs never hangs the driver).
    bool Roundtrip();
    FocusedWindow Active() const;

    friend struct WlrListeners;
    wl_display* m_pDisplay;
    wl_registry* m_pRegistry = nullptr;
    zwlr_foreign_toplevel_manager_v1* m_pManager = nullptr;
    std::vector<std::string> m_globals;
    std::vector<std::unique_ptr<Toplevel>> m_toplevels;
    uint32_t m_nNextNumber = 1;
    uint64_t m_nActivations = 0;
    FocusedWindow m_last;
    std::string m_strLost;
};

} // namespace vext
