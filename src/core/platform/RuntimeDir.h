#pragma once

// The private folder of this user's sockets (the driver's device channel, the configurator's
// single-instance socket). Whoever can enter a socket's folder could put a socket of their own
// in its place, so the folder must belong to this user and be closed to everyone else.

#include <cstddef>
#include <string>

namespace vext {

// $XDG_RUNTIME_DIR/vext when XDG_RUNTIME_DIR is an absolute path, else /tmp/vext-<uid>.
std::string PrivateRuntimeDir();

// Creates dir (mode 0700) when missing. An existing one must be a real folder (not a link) of
// this user, closed to group and others. False with the reason, naming the folder, in *pWhy.
bool PreparePrivateDirectory(const std::string& dir, std::string* pWhy);

// Whether dir is such a folder now; creates nothing. A client checks this before it believes
// what a socket in it says.
bool IsPrivateDirectory(const std::string& dir, std::string* pWhy);

// The user's state folder for VextKey: $XDG_STATE_HOME/vext when that is absolute, else
// ~/.local/state/vext. The registry store and the driver's log live there.
std::string UserStateDir();

// Where a driver that runs in the background logs: vextd.log in the state folder.
std::string DriverLogPath();

// Opens the log at path for appending: created with mode 0600 (its folder, when missing, with
// 0700), never through a symbolic link, and only when it is a regular file of this user. A log
// grown past nMaxBytes starts anew. The descriptor (close-on-exec), or -1 with the reason.
int OpenPrivateLog(const std::string& path, std::size_t nMaxBytes, std::string* pWhy);

} // namespace vext
