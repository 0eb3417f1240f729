#include "core/registry/RegTreePlan.h"

#include <algorithm>
#include <string_view>

namespace vext {
namespace {

// Which old keys or values stay kept under each owner: a kept one must come after the last one
// kept under the same owner, and the first that does not closes the owner to any more.
class KeptInOrder {
public:
    explicit KeptInOrder(size_t nOwners)
        : m_lastKept(nOwners, RegTree::kNoKey), m_closed(nOwners) {}

    bool Keep(uint32_t nOwner, uint32_t nOld) {
        if (nOld != RegTree::kNoKey && !m_closed[nOwner] &&
            (m_lastKept[nOwner] == RegTree::kNoKey || nOld > m_lastKept[nOwner])) {
            m_lastKept[nOwner] = nOld;
            return true;
        }
        m_closed[nOwner] = true;
        return false;
    }

private:
    std::vector<uint32_t> m_lastKept;
    std::vector<bool> m_closed;
};

// Fills oldOfKey and renamedKeys; returns which old keys are kept.
std::vector<bool> PlanKeys(const RegTree& old, const RegTree& tree, RegTreeEdits& edits) {
    edits.oldOfKey.assign(tree.KeyCount(), RegTree::kNoKey);
    edits.oldOfKey[RegTree::kRoot] = RegTree::kRoot;
    std::vector<bool> kept(old.KeyCount(), false);
    kept[RegTree::kRoot] = true;
    KeptInOrder order(old.KeyCount());
    for (uint32_t k = 1; k < tree.KeyCount(); ++k) {
        const uint32_t nParent = edits.oldOfKey[tree.KeyParent(k)];
        if (nParent == RegTree::kNoKey) {
            continue;
        }
        const uint32_t nOld = old.Child(nParent, tree.KeyName(k));
        if (order.Keep(nParent, nOld)) {
            edits.oldOfKey[k] = nOld;
            kept[nOld] = true;
            if (old.KeyName(nOld) != tree.KeyName(k)) {
                edits.renamedKeys.push_back(k);
            }
        }
    }
    for (uint32_t k = 0; k < tree.KeyCount(); ++k) {
        if (edits.oldOfKey[k] == RegTree::kNoKey) {
            edits.newKeys.push_back(k);
        }
    }
    return kept;
}

// Fills the value lists but doomedValues; returns which old values are kept.
std::vector<bool> PlanValues(const RegTree& old, const RegTree& tree, RegTreeEdits& edits) {
    std::vector<bool> kept(old.ValueCount(), false);
    KeptInOrder order(old.KeyCount());
    for (uint32_t v = 0; v < tree.ValueCount(); ++v) {
        const RegValueView value = tree.ValueAt(v);
        const uint32_t nKey = edits.oldOfKey[tree.ValueKey(v)];
        const uint32_t nOld =
            nKey != RegTree::kNoKey ? old.FindValue(nKey, value.name) : RegTree::kNoKey;
        if (nKey == RegTree::kNoKey || !order.Keep(nKey, nOld)) {
            edits.addedValues.push_back(v);
            continue;
        }
        kept[nOld] = true;
        const RegValueView was = old.ValueAt(nOld);
        if (was.nType != value.nType ||
            !std::equal(value.data.begin(), value.data.end(), was.data.begin(), was.data.end())) {
            edits.rewrittenValues.emplace_back(v, nOld);
        }
        if (was.name != value.name) {
            edits.renamedValues.emplace_back(v, nOld);
        }
    }
    return kept;
}

std::vector<uint32_t> NotKept(const std::vector<bool>& kept, uint32_t nFrom) {
    std::vector<uint32_t> doomed;
    for (uint32_t i = nFrom; i < kept.size(); ++i) {
        if (!kept[i]) {
            doomed.push_back(i);
        }
    }
    return doomed;
}

} // namespace

RegTreeEdits PlanTreeWrite(const RegTree& old, const RegTree& tree) {
    RegTreeEdits edits;
    const std::vector<bool> keptKeys = PlanKeys(old, tree, edits);
    const std::vector<bool> keptValues = PlanValues(old, tree, edits);
    edits.doomedKeys = NotKept(keptKeys, 1);
    edits.doomedValues = NotKept(keptValues, 0);
    return edits;
}

} // namespace vext
