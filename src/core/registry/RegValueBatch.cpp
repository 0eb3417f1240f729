#include "core/registry/RegValueBatch.h"

#include <algorithm>

namespace vext::detail {

bool RegValueQueue::Add(int64_t nKey, std::string_view name, uint32_t nType,
                        std::span<const uint8_t> data) {
    Pending pending;
    pending.nKey = nKey;
    pending.nType = nType;
    pending.nName = m_bytes.size();
    pending.nNameLength = name.size();
    m_bytes.insert(m_bytes.end(), name.begin(), name.end());
    pending.nData = m_bytes.size();
    pending.nDataLength = data.size();
    m_bytes.insert(m_bytes.end(), data.begin(), data.end());
    m_values.push_back(pending);
    return m_values.size() == kRowBatch || m_bytes.size() >= kMaxBytes;
}

RegStatus RegValueQueue::Flush(RegConnection& conn) {
    RegStatements& sql = conn.Sql();
    const RegStatus status = WriteRowBatches(
        conn, sql.setValues, sql.setValue, 4, m_values.size(), false,
        [this](Use& q, int n, size_t i) {
            const Pending& v = m_values[i];
            q.Int(n + 1, v.nKey)
                .Text(n + 2,
                      std::string_view(reinterpret_cast<const char*>(m_bytes.data()) + v.nName,
                                       v.nNameLength))
                .Int(n + 3, v.nType)
                .Blob(n + 4, std::span<const uint8_t>(m_bytes.data() + v.nData, v.nDataLength));
        },
        "cannot write a value");
    Clear();
    return status;
}

void RegValueQueue::Clear() {
    m_values.clear();
    m_bytes.clear();
}

RegStatus DeleteIdRuns(RegConnection& conn, sqlite3_stmt* pDelete, std::vector<int64_t>& ids,
                       const char* what) {
    // Ids one apart have no row of anyone else between them: each such run goes in one step.
    std::sort(ids.begin(), ids.end());
    for (size_t i = 0; i < ids.size();) {
        size_t j = i + 1;
        while (j < ids.size() && ids[j] == ids[j - 1] + 1) {
            ++j;
        }
        for (size_t n = i; n < j; ++n) {
            if (!conn.AllowWrite()) {
                return RegStatus::kFailed;
            }
        }
        if (Use(pDelete).Int(1, ids[i]).Int(2, ids[j - 1]).Step() != SQLITE_DONE) {
            return conn.DbFail(what);
        }
        i = j;
    }
    return RegStatus::kOk;
}

} // namespace vext::detail
