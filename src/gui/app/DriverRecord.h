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
// Deletes the record key with everything below it.
void RemoveDriverRecord();

} // namespace vext
