#pragma once

// Builds the key-set table from the driver record. A record that is missing, or damaged in any
// way (a value missing or of the wrong type, a count beyond reason, an index outside the
// table), gives an empty table and says why: the driver plays nothing rather than something
// half-read.

#include "KeySetTable.h"
#include "RecordSource.h"

#include <memory>
#include <string>

namespace vext {

// Counts beyond these are not ones a key-set document writes.
inline constexpr uint32_t kMaxRecordFunctions = 10000;
inline constexpr uint32_t kMaxRecordStrings = 1000;
inline constexpr uint32_t kMaxRecordMappings = 10000;
inline constexpr size_t kMaxRecordCodes = 4096;

struct RecordLoad {
    std::shared_ptr<const KeySetTable> pTable; // never null
    bool bFound = false;                       // a record was there
    std::string strProblem;                    // empty when the record was read whole
};

RecordLoad ReadDriverRecord(const RecordSource& source);

} // namespace vext
