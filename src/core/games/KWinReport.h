#pragma once

// The focus in KDE Plasma on Wayland: KWin tells no other program which window is active, so the
// driver loads a small KWin script that reports each activation back over the session bus. This
// unit holds the script and the rules for what it reports, which the session bus hands over
// from anyone on it: only KWin's own calls count, and their text is bounded.

#include "core/games/FocusedWindow.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace vext {

// Where the script calls the driver, on the driver's own unique bus name.
inline constexpr std::string_view kKWinFocusPath = "/org/vextkey/KWinFocus";
inline constexpr std::string_view kKWinFocusInterface = "org.vextkey.KWinFocus";
// Window(s resourceClass, s caption, s pid) and NoWindow().
inline constexpr std::string_view kKWinFocusWindow = "Window";
inline constexpr std::string_view kKWinFocusNoWindow = "NoWindow";
// The name KWin knows the script by; one driver per session, so one name.
inline constexpr std::string_view kKWinScriptName = "vextd-focus";

inline constexpr size_t kMaxKWinClass = 256;
inline constexpr size_t kMaxKWinCaption = 1024;

// The script's text for a driver on busName (a unique name such as ":1.42"); empty when the
// name is not one, so that nothing but a name ever lands in the script.
std::string KWinFocusScript(std::string_view busName);

// Whether a call came from KWin: its sender is the unique name that owns org.kde.KWin.
bool IsFromKWin(std::string_view sender, std::string_view kwinOwner);

// The window the script reported. Class and caption are cut to their bounds (at a character's
// start: both are UTF-8, as the bus guarantees); a pid that is not a plain positive number is
// unknown (0).
FocusedWindow WindowFromKWin(std::string_view resourceClass, std::string_view caption,
                             std::string_view pid);

} // namespace vext
