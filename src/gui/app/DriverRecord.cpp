#include "app/DriverRecord.h"

namespace vext {

// The record store joins here with the driver download.
bool DriverRecordExists() {
    return false;
}

std::optional<std::string> DriverSetName() {
    return std::nullopt;
}

void DeleteDriverRecord() {}

} // namespace vext
