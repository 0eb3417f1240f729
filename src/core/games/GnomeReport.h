#pragma once

// The focus in GNOME Shell: Mutter tells no other program which window has the focus, so the
// package installs a Shell extension (focus@vextkey) that calls the driver on the session bus at
// each change of the focused window. This unit holds what both sides agree on, the rules for
// what a call carries (only the Shell's own calls count, their text bounded), and what the
// driver says while the extension does not report.

#include "core/games/FocusedWindow.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vext {

inline constexpr std::string_view kGnomeExtensionUuid = "focus@vextkey";
inline constexpr std::string_view kGnomeShellName = "org.gnome.Shell";
// The driver owns this name; the extension calls it there.
inline constexpr std::string_view kGnomeFocusName = "org.vextkey.GnomeFocus";
inline constexpr std::string_view kGnomeFocusPath = "/org/vextkey/GnomeFocus";
inline constexpr std::string_view kGnomeFocusInterface = "org.vextkey.GnomeFocus";
// Window(s wmClass, s title, u pid), NoWindow(), and Stopped() as the extension is turned off.
inline constexpr std::string_view kGnomeFocusWindow = "Window";
inline constexpr std::string_view kGnomeFocusNoWindow = "NoWindow";
inline constexpr std::string_view kGnomeFocusStopped = "Stopped";

inline constexpr size_t kMaxGnomeClass = 256;
inline constexpr size_t kMaxGnomeTitle = 1024;

// The window the extension reported: class and title cut to their bounds; a pid beyond the
// kernel's range is unknown (0).
FocusedWindow WindowFromGnome(std::string_view wmClass, std::string_view title, uint32_t nPid);

// The extension as GNOME Shell's GetExtensionInfo tells it.
enum class GnomeExtensionState {
    kUnknown,  // the Shell has not loaded it: not installed, or installed since the Shell started
    kEnabled,  // on; its calls tell the focus
    kDisabled, // installed and off
    kError,    // the Shell could not run it
    kOutOfDate // not made for this Shell's version
};

// From the "state" number of GetExtensionInfo (1 enabled, 2 disabled, 3 error, 4 out of date, 6
// initialized: loaded, never enabled); no state at all: the Shell does not know it.
GnomeExtensionState GnomeExtensionStateFrom(bool bHasState, double dState);

// Why the focus is not followed while the extension does not report, for "focus: unavailable
// (...)": "GNOME: turn on the VextKey extension: gnome-extensions enable focus@vextkey". Empty
// for kEnabled.
std::string GnomeExtensionAdvice(GnomeExtensionState state);

// Whether an advice of the driver's asks for the extension to be turned on (the configurator
// offers to), and whether a new login must follow before the Shell loads it.
bool AdviceAsksToEnable(std::string_view focusStatus);
bool AdviceAsksToLogIn(std::string_view focusStatus);

} // namespace vext
