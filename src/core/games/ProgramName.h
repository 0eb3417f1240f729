#pragma once

// The program behind a window's process, as game rules name it: the executable's file name, or
// for a Windows game run by Wine or Proton (whose executable is Wine's loader) the Windows
// program's ".exe" from its command line.

#include <cstdint>
#include <string>
#include <string_view>

namespace vext {

// wine, wine64, wine-preloader, wine64-preloader.
bool IsWineLoader(std::string_view fileName);

// The file name of the first ".exe" in a command line whose arguments are separated by NULs
// (as /proc/PID/cmdline holds it): "Z:\Games\Racing.exe" gives "Racing.exe". An argument that
// holds a whole command line ("C:\My Game\Game.exe -windowed") is searched too. Empty when there
// is none.
std::string WindowsProgramFromCommandLine(std::string_view cmdline);

// The program of process nPid, read from procRoot (/proc): its executable's file name, or the
// Windows program's for Wine's loader. Empty when the process is gone or not ours to read.
std::string ProgramOfProcess(int32_t nPid, const std::string& procRoot = "/proc");

} // namespace vext
