#include "vextd/pads/SlotPlanner.h"

namespace vext {
namespace {

std::string SlotText(int nSlot) {
    return "slot " + std::to_string(nSlot);
}

} // namespace

std::string PadIdentity::Key() const {
    if (!strSerial.empty()) {
        return "guid " + strGuid + " serial " + strSerial;
    }
    if (!strPath.empty()) {
        return "path " + strPath;
    }
    // Virtual pads have neither; their GUID is all that tells them apart.
    return "guid " + strGuid;
}

SlotPlanner::Choice SlotPlanner::Choose(const PadIdentity& pad,
                                        const std::array<bool, 4>& taken) const {
    const auto isFree = [&](int nSlot) {
        return nSlot >= 1 && nSlot <= 4 && !taken[static_cast<size_t>(nSlot - 1)];
    };
    std::string note;
    int nLine = 0;
    const int nPinned = m_pRule->PinnedSlot(PadKey{pad.strName, pad.strGuid, pad.strPath}, &nLine);
    if (nPinned > 0) {
        const std::string pin =
            "pinned to " + SlotText(nPinned) + " by pads.conf line " + std::to_string(nLine);
        if (isFree(nPinned)) {
            return {nPinned, pin};
        }
        note = "; " + pin + ", which is taken";
    }
    if (const auto it = m_previous.find(pad.Key()); it != m_previous.end()) {
        if (isFree(it->second)) {
            return {it->second, "its slot before" + note};
        }
        note += "; its slot before, " + SlotText(it->second) + ", is taken";
    }
    const std::array<bool, 4> pinned = m_pRule->PinnedSlots();
    int nFallback = 0;
    for (int nSlot = 1; nSlot <= 4; ++nSlot) {
        if (!isFree(nSlot)) {
            continue;
        }
        if (!pinned[static_cast<size_t>(nSlot - 1)]) {
            return {nSlot, "first free slot" + note};
        }
        nFallback = nFallback == 0 ? nSlot : nFallback;
    }
    if (nFallback > 0) {
        return {nFallback, "first free slot, though pads.conf pins another pad to it" + note};
    }
    return {0, "all four slots are taken" + note};
}

void SlotPlanner::Took(const PadIdentity& pad, int nSlot) {
    m_previous[pad.Key()] = nSlot;
}

} // namespace vext
