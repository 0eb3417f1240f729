#include "driver/PadStates.h"

#include "driver/DeviceChannel.h"

namespace vext {
namespace {

void PutU32(uint32_t value, std::vector<uint8_t>* pOut) {
    for (int shift = 0; shift < 32; shift += 8) {
        pOut->push_back(static_cast<uint8_t>(value >> shift));
    }
}

uint32_t GetU32(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

} // namespace

std::vector<uint8_t> EncodePadStates(const PadStates& states) {
    std::vector<uint8_t> bytes;
    bytes.reserve(kPadStatesWireSize);
    for (const PadState& s : states) {
        for (const uint32_t value :
             {s.bPresent ? 1u : 0u, s.nButtons, s.nX, s.nY, s.nXMin, s.nXMax, s.nYMin, s.nYMax}) {
            PutU32(value, &bytes);
        }
    }
    return bytes;
}

bool DecodePadStates(std::span<const uint8_t> bytes, PadStates* pStates) {
    if (bytes.size() != kPadStatesWireSize) {
        return false;
    }
    PadStates states;
    for (size_t i = 0; i < states.size(); ++i) {
        const size_t nBase = i * kPadStateWireSize;
        const uint32_t nPresent = GetU32(bytes, nBase);
        PadState& s = states[i];
        s.bPresent = nPresent == 1;
        s.nButtons = GetU32(bytes, nBase + 4);
        s.nX = GetU32(bytes, nBase + 8);
        s.nY = GetU32(bytes, nBase + 12);
        s.nXMin = GetU32(bytes, nBase + 16);
        s.nXMax = GetU32(bytes, nBase + 20);
        s.nYMin = GetU32(bytes, nBase + 24);
        s.nYMax = GetU32(bytes, nBase + 28);
        // A reversed range would turn the poller's threshold arithmetic into nonsense.
        if (nPresent > 1 || (s.bPresent && (s.nXMin > s.nXMax || s.nYMin > s.nYMax))) {
            return false;
        }
    }
    *pStates = states;
    return true;
}

bool QueryPadStates(PadStates* pStates) {
    if (pStates == nullptr) {
        return false;
    }
    std::array<uint8_t, kPadStatesWireSize> buffer{};
    auto nSize = static_cast<uint32_t>(buffer.size());
    if (DeviceQuery(VEXT_IOCTL_GET_PAD_STATES, buffer.data(), &nSize) == 0) {
        return false;
    }
    return DecodePadStates(std::span<const uint8_t>(buffer.data(), nSize), pStates);
}

} // namespace vext
