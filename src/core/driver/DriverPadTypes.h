#pragma once

// The pad types of the slots as the driver tells them (device-channel code 29), for new key
// sets; a slot is unknown when no driver of this version answers.

#include "core/model/PadTypeSource.h"

namespace vext {

class DriverPadTypes : public IPadTypeSource {
public:
    std::array<int, 4> PadTypes() override;
};

} // namespace vext
