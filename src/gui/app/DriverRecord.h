#pragma once

// The driver's key-set record as the main frame sees it: whether it is there, the name of the
// key set it holds, and removing it. Every call reads the store anew; it is never created.

#include <optional>
#include <string>

namespace vext {

struct DriverRecordFacts {
    // The record's "SetName"; nullopt without a record, empty when it has no name.
    std::optional<std::string> name;
    // A record is there and the store and its folder take writes, so Unload can remove it.
    bool bRemovable = false;
};
DriverRecordFacts ReadDriverRecordFacts();
// Deletes the record key with everything below it, and has the driver let go of the key set at
// once (emulation stays as it was, and off while the function list has the focus).
void RemoveDriverRecord();

} // namespace vext
