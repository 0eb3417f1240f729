#pragma once

// The two command-line modes that act on the driver without any window: load a key-set file
// and download it ("ld"), or unload the driver's key set ("ul").

#include "core/app/VextKeyCommandLineInfo.h"

#include <string>

class CVextKeyDoc;

namespace vext {

class RegTree;

// Exit codes of the modes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // the file or the store could not be used
inline constexpr int kExitNoFile = 2; // "ld" without a file name

// Runs the mode the command line asks for, silently (AppState's m_bSilent is set). Returns false
// for an interactive start, which it leaves untouched. Otherwise sets nExitCode, and on a
// failure strError to one line saying what went wrong.
bool RunCommandLineMode(const CVextKeyCommandLineInfo& info, int& nExitCode, std::string& strError);

// Reads a key-set file for a mode without windows: checks its version, opens it into doc and
// sets its path (and so its title). kExitOk, or kExitFailed with the reason in strError.
int OpenKeySetFile(const std::string& strPath, CVextKeyDoc& doc, std::string& strError);

// A key-set file as the driver plays it, for a game's key set: read as OpenKeySetFile reads it
// and built into the record's tree, and its pad types into theirs, as a download builds them,
// without touching the store. kExitOk, or kExitFailed with the reason in strError.
int ReadKeySetForDriver(const std::string& strPath, RegTree& tree, RegTree& padTypes,
                        std::string& strError);

// The load mode on its own: reads the file's version, opens it silently, downloads it.
int LoadAndDownload(const std::string& strPath, std::string& strError);

// The unload mode on its own: deletes the driver record, then sends disable and enable.
int Unload(std::string& strError);

} // namespace vext
