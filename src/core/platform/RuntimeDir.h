#pragma once

// The private folder of this user's sockets (the driver's device channel, the configurator's
// single-instance socket). Whoever can enter a socket's folder could put a socket of their own
// in its place, so the folder must belong to this user and be closed to everyone else.

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

} // namespace vext
