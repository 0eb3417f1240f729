#include "core/driver/DriverPadTypes.h"

#include "core/driver/DeviceChannel.h"
#include "core/pad/PadTypes.h"

#include <cstdint>

namespace vext {

std::array<int, 4> DriverPadTypes::PadTypes() {
    std::array<int, 4> types{kUnknown, kUnknown, kUnknown, kUnknown};
    if (GetDriverVersion() == 0) {
        return types;
    }
    for (int nSlot = 1; nSlot <= 4; ++nSlot) {
        int32_t buffer = nSlot;
        uint32_t nSize = sizeof buffer;
        // The driver answers the type + 1, 0 when the slot is empty or it cannot tell.
        if (DeviceQuery(VEXT_IOCTL_GET_PAD_TYPE, &buffer, &nSize) && nSize == sizeof buffer &&
            FindPadType(buffer - 1) != nullptr) {
            types[static_cast<size_t>(nSlot - 1)] = buffer - 1;
        }
    }
    return types;
}

} // namespace vext
