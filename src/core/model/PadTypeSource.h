#pragma once

// Where a new key set learns which pad sits in each slot, so that it starts with the pictures of
// the pads plugged in. The key set itself never talks to the driver: the window gives it the
// driver's answers (driver/DriverPadTypes.h); without a source, every slot has the default type.

#include <array>

namespace vext {

class IPadTypeSource {
public:
    static constexpr int kUnknown = -1;

    virtual ~IPadTypeSource() = default;

    // The pad type in slots 1 to 4, kUnknown where no pad is or nobody can tell.
    virtual std::array<int, 4> PadTypes() = 0;
};

} // namespace vext
