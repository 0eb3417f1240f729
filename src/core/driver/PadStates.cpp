#include "core/driver/PadStates.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/WireWords.h"

#include <algorithm>

namespace vext {

std::vector<uint8_t> EncodePadStates(const PadStates& states, const PadPressesAll* pPresses) {
    std::vector<uint8_t> bytes;
    bytes.reserve(kPadStatesAndPressesWireSize);
    for (const PadState& s : states) {
        for (const uint32_t value :
             {s.bPresent ? 1u : 0u, s.nButtons, s.nX, s.nY, s.nXMin, s.nXMax, s.nYMin, s.nYMax}) {
            PutU32(value, &bytes);
        }
    }
    if (pPresses) {
        for (const PadPresses& p : *pPresses) {
            PutU32(p.nButtons, &bytes);
            PutU32(p.nDirections, &bytes);
        }
    }
    return bytes;
}

bool DecodePadStates(std::span<const uint8_t> bytes, PadStates* pStates, PadPressesAll* pPresses) {
    const bool bWithPresses = pPresses != nullptr && bytes.size() == kPadStatesAndPressesWireSize;
    if (bytes.size() != kPadStatesWireSize && !bWithPresses) {
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
    if (pPresses) {
        PadPressesAll presses{};
        for (size_t i = 0; bWithPresses && i < presses.size(); ++i) {
            presses[i].nButtons = GetU32(bytes, kPadStatesWireSize + i * 8);
            presses[i].nDirections = GetU32(bytes, kPadStatesWireSize + i * 8 + 4);
        }
        *pPresses = presses;
    }
    return true;
}

bool QueryPadStates(PadStates* pStates, uint32_t nToken, PadPressesAll* pPresses) {
    if (pStates == nullptr) {
        return false;
    }
    // The longer request asks for the presses too; an older driver answers the states only.
    const bool bPresses = nToken != 0 && pPresses != nullptr;
    std::array<uint8_t, kPadStatesAndPressesWireSize> buffer{};
    auto nSize =
        static_cast<uint32_t>(bPresses ? kPadStatesAndPressesWireSize : kPadStatesWireSize);
    if (bPresses) {
        std::vector<uint8_t> token;
        PutU32(nToken, &token);
        std::copy(token.begin(), token.end(), buffer.begin() + kPadStatesWireSize);
    }
    if (DeviceQuery(VEXT_IOCTL_GET_PAD_STATES, buffer.data(), &nSize) == 0) {
        if (!bPresses) {
            return false;
        }
        // A driver from before the presses refuses the longer request: the states alone, then.
        *pPresses = {};
        return QueryPadStates(pStates);
    }
    return DecodePadStates(std::span<const uint8_t>(buffer.data(), nSize), pStates,
                           bPresses ? pPresses : nullptr);
}

} // namespace vext
