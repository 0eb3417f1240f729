#include "core/driver/PadStates.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/WireWords.h"

#include <algorithm>

namespace vext {

std::vector<uint8_t> EncodePadStates(const PadStates& states, const PadPressesAll* pPresses,
                                     bool bPositions) {
    std::vector<uint8_t> bytes;
    bytes.reserve(kPadStatesWithPositionsWireSize);
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
        for (size_t i = 0; bPositions && i < states.size(); ++i) {
            const PadState& s = states[i];
            const PadPresses& p = (*pPresses)[i];
            for (const uint32_t value :
                 {s.bPositional ? 1u : 0u, s.positions.nButtons, s.positions.nDirections,
                  p.positions.nButtons, p.positions.nDirections}) {
                PutU32(value, &bytes);
            }
        }
    }
    return bytes;
}

bool DecodePadStates(std::span<const uint8_t> bytes, PadStates* pStates, PadPressesAll* pPresses) {
    const bool bWithPositions =
        pPresses != nullptr && bytes.size() == kPadStatesWithPositionsWireSize;
    const bool bWithPresses =
        bWithPositions || (pPresses != nullptr && bytes.size() == kPadStatesAndPressesWireSize);
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
    PadPressesAll presses{};
    for (size_t i = 0; bWithPresses && i < presses.size(); ++i) {
        presses[i].nButtons = GetU32(bytes, kPadStatesWireSize + i * 8);
        presses[i].nDirections = GetU32(bytes, kPadStatesWireSize + i * 8 + 4);
    }
    for (size_t i = 0; bWithPositions && i < states.size(); ++i) {
        const size_t nBase = kPadStatesAndPressesWireSize + i * 20;
        const uint32_t nPositional = GetU32(bytes, nBase);
        if (nPositional > 1 || (nPositional == 1 && !states[i].bPresent)) {
            return false;
        }
        states[i].bPositional = nPositional == 1;
        states[i].positions = {GetU32(bytes, nBase + 4), GetU32(bytes, nBase + 8)};
        presses[i].positions = {GetU32(bytes, nBase + 12), GetU32(bytes, nBase + 16)};
    }
    *pStates = states;
    if (pPresses) {
        *pPresses = presses;
    }
    return true;
}

bool QueryPadStates(PadStates* pStates, uint32_t nToken, PadPressesAll* pPresses) {
    if (pStates == nullptr) {
        return false;
    }
    // The longest request asks for the presses and the positions too; a driver from before them
    // refuses it, and is asked the shorter one it knows.
    const bool bPresses = nToken != 0 && pPresses != nullptr;
    for (const size_t nAsked :
         {kPadStatesWithPositionsWireSize, kPadStatesAndPressesWireSize, kPadStatesWireSize}) {
        if (bPresses == (nAsked == kPadStatesWireSize)) {
            continue;
        }
        std::array<uint8_t, kPadStatesWithPositionsWireSize> buffer{};
        auto nSize = static_cast<uint32_t>(nAsked);
        if (bPresses) {
            std::vector<uint8_t> token;
            PutU32(nToken, &token);
            std::copy(token.begin(), token.end(), buffer.begin() + kPadStatesWireSize);
        }
        if (DeviceQuery(VEXT_IOCTL_GET_PAD_STATES, buffer.data(), &nSize) != 0) {
            return DecodePadStates(std::span<const uint8_t>(buffer.data(), nSize), pStates,
                                   bPresses ? pPresses : nullptr);
        }
    }
    if (!bPresses) {
        return false;
    }
    // A driver from before the presses refuses every longer request: the states alone, then.
    *pPresses = {};
    return QueryPadStates(pStates);
}

} // namespace vext
