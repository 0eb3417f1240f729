#pragma once

// What went down on each pad slot since each configurator's previous poll (device channel code
// 30 with a client token). The live state alone is a sample: a tap between two polls would be
// lost to Auto Mapping and to the pad window's highlight. Every client (one per poller, known
// by its token) has latches of its own; the table is bounded, the longest unused goes first.

#include "core/driver/PadStates.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vext {

class PressLatches {
public:
    static constexpr size_t kMaxClients = 16;

    // Inputs of slot index nSlot (0 to 3) that just went down, for every known client.
    void Note(size_t nSlot, const PadPresses& pressed);
    // What went down since this token's previous Take; nothing for a token not seen before,
    // whose latches start now.
    PadPressesAll Take(uint32_t nToken);

private:
    struct Client {
        uint32_t nToken = 0;
        uint64_t nLastUse = 0;
        PadPressesAll presses{};
    };
    std::vector<Client> m_clients;
    uint64_t m_nUses = 0;
};

} // namespace vext
