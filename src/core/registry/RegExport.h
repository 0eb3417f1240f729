#pragma once

// The registry store as REGEDIT4 text, so that users and tests can read exactly what the driver
// will: the key and each key below it (a key before its sub-keys, sub-keys in creation order),
// each as "[full path]", its values in the order first written, then an empty line.

#include "core/registry/RegistryStore.h"

#include <string>

namespace vext {

// Appends "REGEDIT4", an empty line and the tree of key to out. On a failure (a damaged store)
// out holds what was written before it and the status says why.
RegStatus ExportRegedit4(const RegKey& key, std::string& out);

// One value as its REGEDIT4 line, without the line feed: "Name"="text", "Name"=dword:0000001f or
// "Name"=hex:1f,9f.
std::string Regedit4ValueLine(const RegValue& value);

} // namespace vext
