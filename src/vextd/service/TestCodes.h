#pragma once

// Extra device-channel codes that vextd answers only when started with --test-virtual-pads:
// the tests' way to press the buttons of its virtual pads. Each takes int32 arguments.

#include <cstdint>

namespace vext {

enum : uint32_t {
    kTestSetButton = 0x7601, // slot, button, pressed (0/1)
    kTestSetAxis = 0x7602,   // slot, axis (0 X, 1 Y), value (-32768 to 32767)
    kTestUnplug = 0x7603,    // slot
    kTestPlug = 0x7604,      // button count; answers the slot taken (0: none)
    kTestSetHat = 0x7605,    // slot, hat, value (SDL's: up 1, right 2, down 4, left 8)
    kTestHoldLoads = 0x7606, // 1: loads wait before they read the record, 0: go on; answers
                             // the number of loads pending
};

} // namespace vext
