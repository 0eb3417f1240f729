#include "vextd/service/PressLatches.h"

#include <algorithm>
#include <utility>

namespace vext {

void PressLatches::Note(size_t nSlot, const PadPresses& pressed) {
    if (nSlot >= PadPressesAll().size() || pressed == PadPresses{}) {
        return;
    }
    for (Client& client : m_clients) {
        PadPresses& latched = client.presses[nSlot];
        latched.nButtons |= pressed.nButtons;
        latched.nDirections |= pressed.nDirections;
        latched.positions.nButtons |= pressed.positions.nButtons;
        latched.positions.nDirections |= pressed.positions.nDirections;
    }
}

PadPressesAll PressLatches::Take(uint32_t nToken) {
    const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                                 [nToken](const Client& c) { return c.nToken == nToken; });
    if (it != m_clients.end()) {
        it->nLastUse = ++m_nUses;
        return std::exchange(it->presses, PadPressesAll{});
    }
    if (m_clients.size() >= kMaxClients) {
        m_clients.erase(std::min_element(
            m_clients.begin(), m_clients.end(),
            [](const Client& a, const Client& b) { return a.nLastUse < b.nLastUse; }));
    }
    m_clients.push_back(Client{nToken, ++m_nUses, {}});
    return {};
}

} // namespace vext
