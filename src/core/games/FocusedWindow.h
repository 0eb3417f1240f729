#pragma once

// The window that has the focus, as a focus source (X11, a Wayland compositor) sees it: what
// the game rules match against. Plain data, so that any source can fill it in.

#include <cstdint>
#include <string>
#include <vector>

namespace vext {

struct FocusedWindow {
    // False when no window has the focus (the desktop), or the source cannot tell which.
    bool bPresent = false;
    // The source's own name for the window, for the log: "0x3a00007" on X11.
    std::string strId;
    // The program's executable file name ("supertuxkart"); for a Wine or Proton game the Windows
    // program's ("Racing.exe"). Empty when unknown.
    std::string strProgram;
    // WM_CLASS instance and class on X11, the app_id on Wayland.
    std::vector<std::string> classes;
    std::string strTitle; // UTF-8
    int32_t nPid = 0;     // 0 when unknown

    bool operator==(const FocusedWindow&) const = default;
};

} // namespace vext
