#pragma once

// What the driver made of the record it loaded last: the answer to device-channel code 31.
// The configurator asks it after a download (Configure Vext, vextkey -ld) to tell the user
// when the driver refused the key set instead of leaving a silent driver. The wire format is
// in docs/device-channel.md.

#include "core/driver/DeviceCodes.h"

#include <cstdint>
#include <span>
#include <string>

// Code 31's buffer: 16 bytes in (zero), 16 bytes out. A driver still loading answers when it is
// done.

namespace vext {

enum class DriverLoadState : int32_t {
    kNoKeySet = 0, // no record in the driver's registry store
    kLoaded = 1,
    kRefused = 2, // a record is there, but the driver plays nothing of it
};

enum class DriverLoadReason : int32_t {
    kNone = 0,
    kStoreUnreadable = 1, // the registry store cannot be opened or is not a VextKey store
    kRecordDamaged = 2,   // a key or value of the record is missing, mistyped or dangling
    kRecordTooLarge = 3,  // a count beyond what the driver can index
    // Another program holds the store's lock: the driver plays what it had (the state and the
    // counts say what) and loads the record once the store is free.
    kStoreBusy = 4,
};

struct DriverLoadStatus {
    DriverLoadState state = DriverLoadState::kNoKeySet;
    int32_t nFunctions = 0;
    int32_t nMappings = 0;
    DriverLoadReason reason = DriverLoadReason::kNone;

    bool operator==(const DriverLoadStatus&) const = default;
};

inline constexpr uint32_t kLoadStatusSize = 16;

// The 16 answer bytes: state, functions, mappings, reason, each int32 little-endian.
void EncodeLoadStatus(const DriverLoadStatus& status, std::span<uint8_t, kLoadStatusSize> out);
// False for fewer than 16 bytes or a state or reason this program does not know.
bool DecodeLoadStatus(std::span<const uint8_t> bytes, DriverLoadStatus* pStatus);

// Asks the running driver (waiting up to a second for a load in progress). False when no
// driver answered, or it is one that does not know the code: then nothing is known.
bool QueryDriverLoadStatus(DriverLoadStatus* pStatus);

// One line for the user: "the driver loaded 12 functions and 30 mappings", "the driver refused
// the key set: its record is damaged", ...
std::string DescribeDriverLoadStatus(const DriverLoadStatus& status);

} // namespace vext
