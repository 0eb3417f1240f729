#pragma once

// The driver's key-set record as the main frame sees it: whether it is there, the name of the
// key set it holds, and removing it. Every call reads the store anew.

#include <optional>
#include <string>

namespace vext {

// Whether the record key can be opened for writing.
bool DriverRecordExists();
// The record's "SetName"; nullopt when the key cannot be opened, empty when it has no name.
std::optional<std::string> DriverSetName();
// Deletes the record key with everything below it, and has the driver let go of the key set at
// once (emulation stays as it was, and off while the function list has the focus).
void RemoveDriverRecord();

} // namespace vext
