#include "core/registry/RegTreeWriter.h"

#include "core/registry/RegValueBatch.h"
#include "core/registry/RegistrySql.h"

#include <cstdint>
#include <vector>

namespace vext::detail {
namespace {

RegStatus DeleteDoomed(RegConnection& conn, const RegTree& old, const RegTreeEdits& edits) {
    std::vector<int64_t> values;
    values.reserve(edits.doomedValues.size());
    for (const uint32_t v : edits.doomedValues) {
        values.push_back(old.ValueRowId(v));
    }
    std::vector<int64_t> keys;
    keys.reserve(edits.doomedKeys.size());
    for (const uint32_t k : edits.doomedKeys) {
        keys.push_back(old.KeyRowId(k));
    }
    const RegStatus status =
        DeleteIdRuns(conn, conn.Sql().deleteValueRun, values, "cannot delete a value");
    return status == RegStatus::kOk
               ? DeleteIdRuns(conn, conn.Sql().deleteKeyRun, keys, "cannot delete a key")
               : status;
}

// One row each, as renames are rare.
RegStatus Rename(RegConnection& conn, sqlite3_stmt* pRename, int64_t nRow, std::string_view name,
                 const char* what) {
    if (!conn.AllowWrite()) {
        return RegStatus::kFailed;
    }
    return Use(pRename).Int(1, nRow).Text(2, name).Step() == SQLITE_DONE ? RegStatus::kOk
                                                                         : conn.DbFail(what);
}

RegStatus ChangeKept(RegConnection& conn, const RegTree& old, const RegTree& tree,
                     const RegTreeEdits& edits) {
    RegStatements& sql = conn.Sql();
    for (const uint32_t k : edits.renamedKeys) {
        const RegStatus status = Rename(conn, sql.renameKey, old.KeyRowId(edits.oldOfKey[k]),
                                        tree.KeyName(k), "cannot rename a key");
        if (status != RegStatus::kOk) {
            return status;
        }
    }
    for (const auto& [v, nOld] : edits.renamedValues) {
        const RegStatus status = Rename(conn, sql.renameValue, old.ValueRowId(nOld),
                                        tree.ValueAt(v).name, "cannot write a value");
        if (status != RegStatus::kOk) {
            return status;
        }
    }
    const auto& rewritten = edits.rewrittenValues;
    return WriteRowBatches(
        conn, sql.rewriteValues, sql.rewriteValue, 5, rewritten.size(), true,
        [&](Use& q, int n, size_t i) {
            const RegValueView value = tree.ValueAt(rewritten[i].first);
            const uint32_t nOld = rewritten[i].second;
            q.Int(n + 1, old.ValueRowId(nOld))
                .Int(n + 2, old.KeyRowId(old.ValueKey(nOld)))
                .Text(n + 3, old.ValueAt(nOld).name)
                .Int(n + 4, value.nType)
                .Blob(n + 5, value.data);
        },
        "cannot write a value");
}

// The rows of the new tree's keys: kept ones keep theirs, new ones get ids from the first free
// one on.
RegStatus KeyRows(RegConnection& conn, const RegTree& old, const RegTree& tree,
                  const RegTreeEdits& edits, std::vector<int64_t>& rows) {
    int64_t nNextId = 0;
    {
        Use q(conn.Sql().nextKeyId);
        if (q.Step() != SQLITE_ROW) {
            return conn.DbFail("cannot create a key");
        }
        // Past the largest id SQLite gives a real number: a damaged store has no ids left.
        if (!ColumnInt(q.Stmt(), 0, nNextId) ||
            nNextId > INT64_MAX - static_cast<int64_t>(tree.KeyCount())) {
            return conn.Fail(RegStatus::kBadData, "damaged: no key ids left");
        }
    }
    rows.assign(tree.KeyCount(), 0);
    for (uint32_t k = 0; k < tree.KeyCount(); ++k) {
        const uint32_t nOld = edits.oldOfKey[k];
        rows[k] = nOld != RegTree::kNoKey ? old.KeyRowId(nOld) : nNextId++;
    }
    return RegStatus::kOk;
}

RegStatus AddNew(RegConnection& conn, const RegTree& tree, const RegTreeEdits& edits,
                 const std::vector<int64_t>& rows) {
    RegStatements& sql = conn.Sql();
    const RegStatus status = WriteRowBatches(
        conn, sql.insertKeysWithIds, sql.insertKeyWithId, 3, edits.newKeys.size(), true,
        [&](Use& q, int n, size_t i) {
            const uint32_t k = edits.newKeys[i];
            q.Int(n + 1, rows[k]).Int(n + 2, rows[tree.KeyParent(k)]).Text(n + 3, tree.KeyName(k));
        },
        "cannot create a key");
    if (status != RegStatus::kOk) {
        return status;
    }
    return WriteRowBatches(
        conn, sql.setValues, sql.setValue, 4, edits.addedValues.size(), true,
        [&](Use& q, int n, size_t i) {
            const uint32_t v = edits.addedValues[i];
            const RegValueView value = tree.ValueAt(v);
            q.Int(n + 1, rows[tree.ValueKey(v)])
                .Text(n + 2, value.name)
                .Int(n + 3, value.nType)
                .Blob(n + 4, value.data);
        },
        "cannot write a value");
}

} // namespace

RegStatus WriteTreeEdits(RegConnection& conn, const RegTree& old, const RegTree& tree,
                         const RegTreeEdits& edits) {
    RegStatus status = DeleteDoomed(conn, old, edits);
    if (status == RegStatus::kOk) {
        status = ChangeKept(conn, old, tree, edits);
    }
    std::vector<int64_t> rows;
    if (status == RegStatus::kOk) {
        status = KeyRows(conn, old, tree, edits, rows);
    }
    return status == RegStatus::kOk ? AddNew(conn, tree, edits, rows) : status;
}

} // namespace vext::detail
