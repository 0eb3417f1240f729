#pragma once

// Which slot an arriving pad takes. A pad pinned in pads.conf takes its pinned slot when free;
// a pad that comes back takes the slot it had before when free (identity: SDL GUID plus
// serial, else its device path); any other takes the lowest free slot, keeping clear of slots
// that pads.conf pins to other pads while another is free. Pure bookkeeping, so every rule is
// tested without a joystick.

#include "vextd/pads/PadTypeRule.h"

#include <array>
#include <map>
#include <string>

namespace vext {

struct PadIdentity {
    std::string strName;
    std::string strGuid;   // SDL's GUID string
    std::string strSerial; // empty when the pad reports none
    std::string strPath;   // device path, empty for a virtual pad

    // What tells this pad from others across a replug.
    std::string Key() const;
};

class SlotPlanner {
public:
    struct Choice {
        int nSlot = 0;      // 1 to 4, or 0: every slot is taken
        std::string strWhy; // for the log: why this slot
    };

    explicit SlotPlanner(const PadTypeRule* pRule) : m_pRule(pRule) {}

    // taken[i]: slot i + 1 holds a pad now.
    Choice Choose(const PadIdentity& pad, const std::array<bool, 4>& taken) const;

    // The pad now sits in nSlot; remembered for its return.
    void Took(const PadIdentity& pad, int nSlot);

private:
    const PadTypeRule* m_pRule;
    std::map<std::string, int> m_previous; // identity key -> slot
};

} // namespace vext
