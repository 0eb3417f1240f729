#pragma once

// How a tree write turns the tree a key holds into the one it is to hold: which keys and values
// are kept (and renamed or rewritten), which go, and which are made. The result is what
// deleting the old tree and writing the new one key by key, value by value would give,
// enumeration order included; only what differs is written. Pure: no store is needed to plan.

#include "core/registry/RegTree.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace vext {

struct RegTreeEdits {
    // Per key of the new tree, the old key it keeps (its row), or RegTree::kNoKey for a new one.
    std::vector<uint32_t> oldOfKey;
    std::vector<uint32_t> doomedKeys;   // old keys that go (with their values)
    std::vector<uint32_t> doomedValues; // old values that go
    std::vector<uint32_t> renamedKeys;  // new keys kept whose name changed case
    // (new value, old value) pairs of values kept:
    std::vector<std::pair<uint32_t, uint32_t>> renamedValues;   // whose name changed case
    std::vector<std::pair<uint32_t, uint32_t>> rewrittenValues; // whose type or data changed
    std::vector<uint32_t> newKeys;     // new keys to make, parents before children
    std::vector<uint32_t> addedValues; // new values to write, in their order

    bool operator==(const RegTreeEdits&) const = default;
};

// A key or value is kept where it is only while the ones kept under its parent stay in their
// old order with no new one before them; past that point everything under the parent is new.
RegTreeEdits PlanTreeWrite(const RegTree& old, const RegTree& tree);

} // namespace vext
