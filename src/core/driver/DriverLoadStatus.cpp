#include "core/driver/DriverLoadStatus.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/WireWords.h"
#include "core/platform/CountText.h"

#include <array>
#include <chrono>

namespace vext {
namespace {

// A load of a very large key set may still be running when the question comes; the driver
// answers once it is done.
constexpr auto kLoadStatusTimeout = std::chrono::milliseconds(1000);

} // namespace

void EncodeLoadStatus(const DriverLoadStatus& status, std::span<uint8_t, kLoadStatusSize> out) {
    const int32_t fields[] = {static_cast<int32_t>(status.state), status.nFunctions,
                              status.nMappings, static_cast<int32_t>(status.reason)};
    for (size_t f = 0; f < 4; ++f) {
        SetU32(static_cast<uint32_t>(fields[f]), out, f * 4);
    }
}

bool DecodeLoadStatus(std::span<const uint8_t> bytes, DriverLoadStatus* pStatus) {
    if (bytes.size() < kLoadStatusSize) {
        return false;
    }
    const int32_t nState = static_cast<int32_t>(GetU32(bytes, 0));
    const int32_t nReason = static_cast<int32_t>(GetU32(bytes, 12));
    if (nState < 0 || nState > static_cast<int32_t>(DriverLoadState::kRefused) || nReason < 0 ||
        nReason > static_cast<int32_t>(DriverLoadReason::kStoreBusy)) {
        return false;
    }
    pStatus->state = static_cast<DriverLoadState>(nState);
    pStatus->nFunctions = static_cast<int32_t>(GetU32(bytes, 4));
    pStatus->nMappings = static_cast<int32_t>(GetU32(bytes, 8));
    pStatus->reason = static_cast<DriverLoadReason>(nReason);
    return true;
}

bool QueryDriverLoadStatus(DriverLoadStatus* pStatus) {
    std::array<uint8_t, kLoadStatusSize> buffer{};
    uint32_t nSize = kLoadStatusSize;
    if (DeviceQueryWithin(VEXT_IOCTL_GET_LOAD_STATUS, buffer.data(), &nSize, kLoadStatusTimeout) ==
        0) {
        return false;
    }
    return DecodeLoadStatus(std::span<const uint8_t>(buffer.data(), nSize), pStatus);
}

std::string DescribeDriverLoadStatus(const DriverLoadStatus& status) {
    if (status.reason == DriverLoadReason::kStoreBusy) {
        const std::string strBusy = ": its registry store is busy, locked by another program; it "
                                    "loads the record once the store is free";
        if (status.state != DriverLoadState::kLoaded) {
            return "store busy: the driver plays nothing yet" + strBusy;
        }
        return "store busy: the driver plays the key set it had (" +
               std::to_string(status.nFunctions) + " functions, " +
               std::to_string(status.nMappings) + " mappings)" + strBusy;
    }
    switch (status.state) {
    case DriverLoadState::kNoKeySet:
        return "the driver found no key set in its registry store";
    case DriverLoadState::kLoaded:
        return "the driver loaded " + CountOf(status.nFunctions, "function") + " and " +
               CountOf(status.nMappings, "mapping");
    case DriverLoadState::kRefused:
        break;
    }
    switch (status.reason) {
    case DriverLoadReason::kStoreUnreadable:
        return "the driver refused the key set: it cannot read its registry store";
    case DriverLoadReason::kRecordDamaged:
        return "the driver refused the key set: its record is damaged";
    case DriverLoadReason::kRecordTooLarge:
        return "the driver refused the key set: it is larger than the driver can hold";
    case DriverLoadReason::kNone:
    case DriverLoadReason::kStoreBusy:
        break;
    }
    return "the driver refused the key set";
}

} // namespace vext
