#pragma once

// Carrying out a tree write that PlanTreeWrite planned, on the store's connection and inside its
// transaction: out with the old first (a new key or value may take a name one of them had),
// then the renames and rewrites in place, then the new keys (ids given up front, parents before
// children) and values, many rows to a statement. Not for use outside the store.

#include "core/registry/RegConnection.h"
#include "core/registry/RegTree.h"
#include "core/registry/RegTreePlan.h"

namespace vext::detail {

// old was read from the store (its rows are the ones to change); tree is checked already.
RegStatus WriteTreeEdits(RegConnection& conn, const RegTree& old, const RegTree& tree,
                         const RegTreeEdits& edits);

} // namespace vext::detail
