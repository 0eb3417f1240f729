#pragma once

// Builds the key-set table from the driver record. A record that is missing, or damaged in any
// way (a value missing or of the wrong type, a count beyond reason, an index outside the
// table), gives an empty table and says why: the driver plays nothing rather than something
// half-read.

#include "core/registry/RegTree.h"
#include "vextd/engine/KeySetTable.h"

#include <memory>
#include <string>

namespace vext {

// The only limit on counts: positions in the tables are ints. Anything a count names must be
// in the record, so a count cannot make the reader allocate more than the record holds, and
// key codes are bounded by the registry store's value size.
inline constexpr uint32_t kMaxRecordCount = 0x7FFFFFFF;

enum class RecordProblem {
    kNone,
    kUnreadable, // the registry store cannot be opened or is not one of ours
    kDamaged,    // a key or value is missing, of the wrong type, or names nothing
    kTooLarge,   // a count beyond what the driver can index
    kBusy,       // another program held the store's lock: nothing was read, try again later
};

struct RecordLoad {
    std::shared_ptr<const KeySetTable> pTable; // never null
    bool bFound = false;                       // a record was there
    RecordProblem problem = RecordProblem::kNone;
    std::string strProblem; // empty when the record was read whole
};

// pRecord is the record's root key copied out of the store; null when there is none. pPadTypes,
// when there, is the key of pad types beside it.
RecordLoad ReadDriverRecord(const RegTree* pRecord, const RegTree* pPadTypes = nullptr);

} // namespace vext
