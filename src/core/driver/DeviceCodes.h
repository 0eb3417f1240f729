#pragma once

// Every request code of the device channel, in one place so that no two can collide: the
// driver's own codes (passed unchanged as the request code), and the test codes that vextd
// answers only when started with --test-virtual-pads. The wire format of each is in
// docs/device-channel.md.

#include <algorithm>
#include <array>
#include <cstdint>

enum : int {
    VEXT_IOCTL_GET_VERSION = 16,
    VEXT_IOCTL_APP_ACTIVE = 20,
    VEXT_IOCTL_APP_INACTIVE = 21,
    VEXT_IOCTL_QUERY_ENABLED = 22,
    VEXT_IOCTL_DISABLE = 23,
    VEXT_IOCTL_ENABLE = 24,
    VEXT_IOCTL_GET_PAD_TYPE = 29,
    VEXT_IOCTL_GET_PAD_STATES = 30,  // live state of all four slots: driver/PadStates.h
    VEXT_IOCTL_GET_LOAD_STATUS = 31, // driver/DriverLoadStatus.h
    VEXT_IOCTL_GET_PLAY_STATUS = 32, // driver/PlayStatus.h
    VEXT_IOCTL_GET_OUTPUT = 40,      // driver/DriverOutput.h
};

namespace vext {

// The tests' way to work vextd's virtual pads. Each takes int32 arguments.
enum : uint32_t {
    kTestSetButton = 0x7601, // slot, button, pressed (0/1)
    kTestSetAxis = 0x7602,   // slot, axis (0 X, 1 Y), value (-32768 to 32767)
    kTestUnplug = 0x7603,    // slot
    kTestPlug = 0x7604,      // button count; answers the slot taken (0: none)
    kTestSetHat = 0x7605,    // slot, hat, value (SDL's: up 1, right 2, down 4, left 8)
    kTestHoldLoads = 0x7606, // 1: loads wait before they read the record, 0: go on; answers
                             // the number of loads pending
};

// Every code above; a new code joins this list, and the check below refuses a clash.
inline constexpr std::array<uint32_t, 17> kDeviceCodes = {
    VEXT_IOCTL_GET_VERSION,
    VEXT_IOCTL_APP_ACTIVE,
    VEXT_IOCTL_APP_INACTIVE,
    VEXT_IOCTL_QUERY_ENABLED,
    VEXT_IOCTL_DISABLE,
    VEXT_IOCTL_ENABLE,
    VEXT_IOCTL_GET_PAD_TYPE,
    VEXT_IOCTL_GET_PAD_STATES,
    VEXT_IOCTL_GET_LOAD_STATUS,
    VEXT_IOCTL_GET_PLAY_STATUS,
    VEXT_IOCTL_GET_OUTPUT,
    kTestSetButton,
    kTestSetAxis,
    kTestUnplug,
    kTestPlug,
    kTestSetHat,
    kTestHoldLoads,
};

constexpr bool AllDistinct(std::array<uint32_t, kDeviceCodes.size()> codes) {
    std::sort(codes.begin(), codes.end());
    return std::adjacent_find(codes.begin(), codes.end()) == codes.end();
}
static_assert(AllDistinct(kDeviceCodes), "two device-channel codes are equal");

} // namespace vext
