#pragma once

// Rows written many to a statement. Values set inside a transaction wait in a RegValueQueue and
// go kRowBatch at a time; whatever reads or deletes values, and the commit, flushes it first. A
// tree write sends its rows through WriteRowBatches. Not for use outside the store.

#include "core/registry/RegConnection.h"
#include "core/registry/RegistrySql.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vext::detail {

class RegValueQueue {
public:
    // Queues a value; true when the queue is to be flushed now (a batch is full, or large
    // values are held back).
    bool Add(int64_t nKey, std::string_view name, uint32_t nType, std::span<const uint8_t> data);
    // Writes what waits; the queue is empty afterwards, whatever the outcome.
    RegStatus Flush(RegConnection& conn);
    void Clear();

private:
    struct Pending {
        int64_t nKey = 0;
        uint32_t nType = 0;
        size_t nName = 0; // offsets into m_bytes
        size_t nNameLength = 0;
        size_t nData = 0;
        size_t nDataLength = 0;
    };
    static constexpr size_t kMaxBytes = 1u << 20;

    std::vector<Pending> m_values;
    std::vector<uint8_t> m_bytes;
};

// Writes nRows rows of nColumns columns: kRowBatch at a time through pBatch, the rest one by one
// through pSingle. bind(q, nFirst, i) binds row i's columns after column nFirst. With bGate every
// row passes the connection's gate before it is written.
template <typename Bind>
RegStatus WriteRowBatches(RegConnection& conn, sqlite3_stmt* pBatch, sqlite3_stmt* pSingle,
                          int nColumns, size_t nRows, bool bGate, Bind bind, const char* what) {
    for (size_t i = 0; i < nRows;) {
        const size_t nBatch = nRows - i >= kRowBatch ? kRowBatch : 1;
        for (size_t n = 0; bGate && n < nBatch; ++n) {
            if (!conn.AllowWrite()) {
                return RegStatus::kFailed;
            }
        }
        Use q(nBatch > 1 ? pBatch : pSingle);
        for (size_t n = 0; n < nBatch; ++n) {
            bind(q, static_cast<int>(n) * nColumns, i + n);
        }
        if (q.Step() != SQLITE_DONE) {
            return conn.DbFail(what);
        }
        i += nBatch;
    }
    return RegStatus::kOk;
}

// Deletes the rows of these ids (sorted here), each run of consecutive ids in one step; every
// row passes the gate.
RegStatus DeleteIdRuns(RegConnection& conn, sqlite3_stmt* pDelete, std::vector<int64_t>& ids,
                       const char* what);

} // namespace vext::detail
