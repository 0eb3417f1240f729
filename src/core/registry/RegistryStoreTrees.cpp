// The registry store's whole-tree operations: reading a tree in a go (by one connection or two)
// and replacing one by writing only what differs.

#include "core/registry/RegTree.h"
#include "core/registry/RegistryStore.h"
#include "core/registry/RegistryStoreRows.h"

#include <algorithm>
#include <cstdint>
#include <future>
#include <numeric>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <sqlite3.h>

namespace vext {

using namespace detail;

RegStatus RegKey::ReplaceSubKeyTree(std::string_view path, const RegTree& tree) const {
    if (!m_pStore) {
        return RegStatus::kInvalid;
    }
    return m_pStore->ReplaceTree(m_nId, path, tree);
}

RegStatus RegistryStore::ReplaceKeyTree(RegHive hive, std::string_view path, const RegTree& tree) {
    return Root(hive).ReplaceSubKeyTree(path, tree);
}

RegStatus RegistryStore::ReplaceTree(int64_t nFrom, std::string_view path, const RegTree& tree) {
    if (path.empty()) {
        return Fail(RegStatus::kInvalid, "no sub-key named to replace");
    }
    // Everything is checked first: a bad name or value anywhere writes nothing.
    for (uint32_t k = 1; k < tree.m_keys.size(); ++k) {
        if (!ValidKeyName(tree.KeyName(k))) {
            return Fail(RegStatus::kInvalid,
                        "invalid key name \"" + std::string(tree.KeyName(k)) + "\"");
        }
    }
    for (const RegTree::ValueRef& v : tree.m_values) {
        if (!ValidValueName(tree.ValueName(v)) || !ValidValueShape(v.nType, tree.ValueData(v))) {
            return Fail(RegStatus::kInvalid,
                        "invalid value \"" + std::string(tree.ValueName(v)) + "\"");
        }
    }
    if (m_pStatements->insertKeysWithIds == nullptr) {
        return Fail(RegStatus::kFailed, "the registry store is open read-only");
    }
    const bool bOwnTransaction = m_nTransactionDepth == 0;
    if (bOwnTransaction && !Begin()) {
        return FailedIn("cannot write a key tree");
    }
    int64_t nRoot = 0;
    RegTree old;
    RegStatus status = FlushValues();
    if (status == RegStatus::kOk) {
        status = Walk(nFrom, path, false, nRoot);
        if (status == RegStatus::kNotFound) {
            status = Walk(nFrom, path, true, nRoot);
            old.m_keys[RegTree::kRoot].nId = nRoot;
        } else if (status == RegStatus::kOk) {
            // Holding the write lock with nothing changed yet, this connection sees what any
            // other sees: a second one may read half the old tree.
            int nConnections = 0;
            if (!m_bTransactionChanged) {
                status = ReadTreeInHalves(nRoot, old, nConnections);
            }
            if (status == RegStatus::kOk && nConnections == 0) {
                status = ReadTree(nRoot, old);
            }
            if (status == RegStatus::kBadData) {
                // Nothing of a damaged tree is worth keeping: it is written anew. (Damage on
                // the way to it is the caller's to hear of.)
                status = DeleteTree(nRoot);
                if (status == RegStatus::kOk) {
                    status = Walk(nFrom, path, true, nRoot);
                }
                old = RegTree();
                old.m_keys[RegTree::kRoot].nId = nRoot;
            }
        }
    }
    if (status == RegStatus::kOk) {
        status = WriteTreeChanges(old, tree);
    }
    // The keys written here are not in the lists that spare Walk its queries.
    ForgetKnownKeys();
    if (status != RegStatus::kOk) {
        m_bTransactionFailed = m_nTransactionDepth > 0;
        if (bOwnTransaction) {
            Rollback();
        }
        return status;
    }
    if (bOwnTransaction && !Commit()) {
        return FailedIn("cannot write a key tree");
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::WriteTreeChanges(const RegTree& old, const RegTree& tree) {
    // The result must be what deleting the old tree and writing the new one key by key would
    // give, enumeration order included. A key or value is kept where it is (and rewritten if
    // it differs) only while the ones kept under its parent stay in their old order with no
    // new one before them; past that point everything under the parent is new.
    const size_t nOldKeys = old.m_keys.size();
    std::vector<uint32_t> oldOfKey(tree.m_keys.size(), RegTree::kNoKey);
    oldOfKey[RegTree::kRoot] = RegTree::kRoot;
    std::vector<uint8_t> keptKeys(nOldKeys, 0);
    keptKeys[RegTree::kRoot] = 1;
    std::vector<uint32_t> lastKept(nOldKeys, RegTree::kNoKey);
    std::vector<uint8_t> closed(nOldKeys, 0);
    const auto keep = [&](uint32_t nOwner, uint32_t nOld) {
        if (nOld != RegTree::kNoKey && !closed[nOwner] &&
            (lastKept[nOwner] == RegTree::kNoKey || nOld > lastKept[nOwner])) {
            lastKept[nOwner] = nOld;
            return true;
        }
        closed[nOwner] = 1;
        return false;
    };
    std::vector<uint32_t> renamed;
    for (uint32_t k = 1; k < tree.m_keys.size(); ++k) {
        const uint32_t nParent = oldOfKey[tree.m_keys[k].nParent];
        if (nParent == RegTree::kNoKey) {
            continue;
        }
        const uint32_t nOld = old.Child(nParent, tree.KeyName(k));
        if (keep(nParent, nOld)) {
            oldOfKey[k] = nOld;
            keptKeys[nOld] = 1;
            if (old.KeyName(nOld) != tree.KeyName(k)) {
                renamed.push_back(k);
            }
        }
    }
    std::fill(lastKept.begin(), lastKept.end(), RegTree::kNoKey);
    std::fill(closed.begin(), closed.end(), 0);
    std::vector<uint8_t> keptValues(old.m_values.size(), 0);
    std::vector<std::pair<uint32_t, uint32_t>> rewritten; // (new, old)
    std::vector<std::pair<uint32_t, uint32_t>> renamedValues;
    std::vector<uint32_t> added;
    for (uint32_t v = 0; v < tree.m_values.size(); ++v) {
        const RegTree::ValueRef& value = tree.m_values[v];
        const uint32_t nKey = oldOfKey[value.nKey];
        const uint32_t nOld =
            nKey != RegTree::kNoKey ? old.FindValue(nKey, tree.ValueName(value)) : RegTree::kNoKey;
        if (nKey == RegTree::kNoKey || !keep(nKey, nOld)) {
            added.push_back(v);
            continue;
        }
        keptValues[nOld] = 1;
        const RegTree::ValueRef& was = old.m_values[nOld];
        const auto data = tree.ValueData(value);
        const auto oldData = old.ValueData(was);
        if (was.nType != value.nType ||
            !std::equal(data.begin(), data.end(), oldData.begin(), oldData.end())) {
            rewritten.emplace_back(v, nOld);
        }
        if (old.ValueName(was) != tree.ValueName(value)) {
            renamedValues.emplace_back(v, nOld);
        }
    }

    // Out with the old first: a new key or value may take a name one of them had.
    std::vector<int64_t> doomedValues;
    for (uint32_t v = 0; v < old.m_values.size(); ++v) {
        if (!keptValues[v]) {
            doomedValues.push_back(old.m_values[v].nId);
        }
    }
    std::vector<int64_t> doomedKeys;
    for (uint32_t k = 1; k < nOldKeys; ++k) {
        if (!keptKeys[k]) {
            doomedKeys.push_back(old.m_keys[k].nId);
        }
    }
    RegStatus status =
        DeleteRuns(m_pStatements->deleteValueRun, doomedValues, "cannot delete a value");
    if (status == RegStatus::kOk) {
        status = DeleteRuns(m_pStatements->deleteKeyRun, doomedKeys, "cannot delete a key");
    }
    for (const uint32_t k : renamed) {
        if (status == RegStatus::kOk && !AllowWrite()) {
            return RegStatus::kFailed;
        }
        if (status == RegStatus::kOk && Use(m_pStatements->renameKey)
                                                .Int(1, old.m_keys[oldOfKey[k]].nId)
                                                .Text(2, tree.KeyName(k))
                                                .Step() != SQLITE_DONE) {
            status = DbFail("cannot rename a key");
        }
    }
    for (const auto& [v, nOld] : renamedValues) {
        if (status == RegStatus::kOk && !AllowWrite()) {
            return RegStatus::kFailed;
        }
        if (status == RegStatus::kOk && Use(m_pStatements->renameValue)
                                                .Int(1, old.m_values[nOld].nId)
                                                .Text(2, tree.ValueName(tree.m_values[v]))
                                                .Step() != SQLITE_DONE) {
            status = DbFail("cannot write a value");
        }
    }
    if (status == RegStatus::kOk) {
        status = WriteRows(
            m_pStatements->rewriteValues, m_pStatements->rewriteValue, 5, rewritten.size(),
            [&](Use& q, int n, size_t i) {
                const RegTree::ValueRef& value = tree.m_values[rewritten[i].first];
                const RegTree::ValueRef& was = old.m_values[rewritten[i].second];
                q.Int(n + 1, was.nId)
                    .Int(n + 2, old.m_keys[was.nKey].nId)
                    .Text(n + 3, old.ValueName(was))
                    .Int(n + 4, value.nType)
                    .Blob(n + 5, tree.ValueData(value));
            },
            "cannot write a value");
    }
    if (status != RegStatus::kOk) {
        return status;
    }

    // New keys: ids from the first free one on, parents before children.
    int64_t nNextId = 0;
    {
        Use q(m_pStatements->nextKeyId);
        if (q.Step() != SQLITE_ROW) {
            return DbFail("cannot create a key");
        }
        // Past the largest id SQLite gives a real number: a damaged store has no ids left.
        if (!ColumnInt(q.Stmt(), 0, nNextId) ||
            nNextId > INT64_MAX - static_cast<int64_t>(tree.m_keys.size())) {
            return Fail(RegStatus::kBadData, "damaged: no key ids left");
        }
    }
    std::vector<int64_t> idOfKey(tree.m_keys.size(), 0);
    std::vector<uint32_t> newKeys;
    for (uint32_t k = 0; k < tree.m_keys.size(); ++k) {
        if (oldOfKey[k] != RegTree::kNoKey) {
            idOfKey[k] = old.m_keys[oldOfKey[k]].nId;
        } else {
            idOfKey[k] = nNextId++;
            newKeys.push_back(k);
        }
    }
    status = WriteRows(
        m_pStatements->insertKeysWithIds, m_pStatements->insertKeyWithId, 3, newKeys.size(),
        [&](Use& q, int n, size_t i) {
            const uint32_t k = newKeys[i];
            q.Int(n + 1, idOfKey[k])
                .Int(n + 2, idOfKey[tree.m_keys[k].nParent])
                .Text(n + 3, tree.KeyName(k));
        },
        "cannot create a key");
    if (status != RegStatus::kOk) {
        return status;
    }
    return WriteRows(
        m_pStatements->setValues, m_pStatements->setValue, 4, added.size(),
        [&](Use& q, int n, size_t i) {
            const RegTree::ValueRef& value = tree.m_values[added[i]];
            q.Int(n + 1, idOfKey[value.nKey])
                .Text(n + 2, tree.ValueName(value))
                .Int(n + 3, value.nType)
                .Blob(n + 4, tree.ValueData(value));
        },
        "cannot write a value");
}

RegStatus RegistryStore::DeleteRuns(sqlite3_stmt* pDelete, std::vector<int64_t>& ids,
                                    const char* what) {
    // Ids one apart have no row of anyone else between them: each such run goes in one step.
    std::sort(ids.begin(), ids.end());
    for (size_t i = 0; i < ids.size();) {
        size_t j = i + 1;
        while (j < ids.size() && ids[j] == ids[j - 1] + 1) {
            ++j;
        }
        for (size_t n = i; n < j; ++n) {
            if (!AllowWrite()) {
                return RegStatus::kFailed;
            }
        }
        if (Use(pDelete).Int(1, ids[i]).Int(2, ids[j - 1]).Step() != SQLITE_DONE) {
            return DbFail(what);
        }
        i = j;
    }
    return RegStatus::kOk;
}

template <typename Bind>
RegStatus RegistryStore::WriteRows(sqlite3_stmt* pBatch, sqlite3_stmt* pSingle, int nColumns,
                                   size_t nRows, Bind bind, const char* what) {
    for (size_t i = 0; i < nRows;) {
        const size_t nBatch = nRows - i >= kValueBatch ? kValueBatch : 1;
        for (size_t n = 0; n < nBatch; ++n) {
            if (!AllowWrite()) {
                return RegStatus::kFailed;
            }
        }
        Use q(nBatch > 1 ? pBatch : pSingle);
        for (size_t n = 0; n < nBatch; ++n) {
            bind(q, static_cast<int>(n) * nColumns, i + n);
        }
        if (q.Step() != SQLITE_DONE) {
            return DbFail(what);
        }
        i += nBatch;
    }
    return RegStatus::kOk;
}

// The keys of a tree being read, by id: for finding the key each value row belongs to.
struct RegistryStore::TreeKeys {
    std::vector<int64_t> ids;       // every key row of the store, ascending
    std::vector<uint32_t> keyOfRow; // the tree's key for each, or kNoKey

    // A key's values mostly follow one another: the last key found is kept by each reader.
    struct Cursor {
        int64_t nId = 0;
        uint32_t nKey = RegTree::kNoKey;
    };
    uint32_t Find(int64_t nId, Cursor& cursor) const {
        if (nId != cursor.nId || cursor.nKey == RegTree::kNoKey) {
            const auto it = std::lower_bound(ids.begin(), ids.end(), nId);
            cursor.nKey = it != ids.end() && *it == nId
                              ? keyOfRow[static_cast<size_t>(it - ids.begin())]
                              : RegTree::kNoKey;
            cursor.nId = nId;
        }
        return cursor.nKey;
    }
};

// Value rows read by the helper connection, kept until the keys they belong to are known.
struct RegistryStore::ValueRows {
    // nKey is the key's id; the offsets are into bytes.
    struct Row : PendingValue {
        int64_t nId = 0;
        int nBad = -1; // index into whys: the row is damaged, which matters if it is in the tree
    };
    std::vector<Row> rows;
    std::vector<uint8_t> bytes;
    std::vector<std::string> whys;
    // Once the keys are known: the rows in the tree, with their keys, up to a damaged one.
    std::vector<std::pair<size_t, uint32_t>> kept;
    int nFirstBad = -1;
};

RegStatus RegistryStore::ReadTree(int64_t nRoot, RegTree& tree) {
    tree = RegTree();
    RegStatus status = FlushValues();
    if (status == RegStatus::kOk) {
        status = KeyExists(nRoot);
    }
    TreeKeys keys;
    if (status == RegStatus::kOk) {
        status = ReadTreeKeys(nRoot, tree, keys);
    }
    TreeKeys::Cursor cursor;
    if (status == RegStatus::kOk) {
        status = ReadValueRows(INT64_MIN, INT64_MAX,
                               [&](int64_t nKeyId, RegTree::ValueRef& value, std::string_view name,
                                   std::span<const uint8_t> data, const std::string* pWhy) {
                                   value.nKey = keys.Find(nKeyId, cursor);
                                   return AddTreeValue(tree, value, name, data, pWhy);
                               });
    }
    return status;
}

RegStatus RegistryStore::ReadTreeKeys(int64_t nRoot, RegTree& tree, TreeKeys& keys) {
    struct KeyRow {
        int64_t nParent = 0;
        uint32_t nName = 0; // into names
        uint32_t nNameLength = 0;
    };
    std::vector<KeyRow> rows; // in the order of keys.ids
    std::string names;
    {
        Use q(m_pStatements->allKeys);
        int rc;
        while ((rc = q.Step()) == SQLITE_ROW) {
            sqlite3_value* pName = sqlite3_column_value(q.Stmt(), 2);
            const unsigned char* pText =
                sqlite3_value_type(pName) == SQLITE_TEXT ? sqlite3_value_text(pName) : nullptr;
            const int nBytes = pText != nullptr ? sqlite3_value_bytes(pName) : -1;
            int64_t nId = 0;
            KeyRow row;
            if (!ColumnInt(q.Stmt(), 0, nId) || !ColumnInt(q.Stmt(), 1, row.nParent) ||
                nBytes < 0 || static_cast<size_t>(nBytes) > kMaxKeyNameLength ||
                names.size() > UINT32_MAX) {
                return Fail(RegStatus::kBadData, "damaged: a key with a bad name or parent");
            }
            row.nName = static_cast<uint32_t>(names.size());
            row.nNameLength = static_cast<uint32_t>(nBytes);
            names.append(reinterpret_cast<const char*>(pText), static_cast<size_t>(nBytes));
            keys.ids.push_back(nId);
            rows.push_back(row);
        }
        if (rc != SQLITE_DONE) {
            return DbFail("cannot list keys");
        }
    }

    // Rows by parent, so that each key's children are found by a binary search, in the order
    // they were made. A parent chain that loops back is visited once.
    std::vector<uint32_t> byParent(rows.size());
    std::iota(byParent.begin(), byParent.end(), 0u);
    std::stable_sort(byParent.begin(), byParent.end(),
                     [&](uint32_t a, uint32_t b) { return rows[a].nParent < rows[b].nParent; });
    keys.keyOfRow.assign(rows.size(), RegTree::kNoKey);
    tree.ReserveKeys(rows.size());
    if (const auto it = std::lower_bound(keys.ids.begin(), keys.ids.end(), nRoot);
        it != keys.ids.end() && *it == nRoot) {
        keys.keyOfRow[static_cast<size_t>(it - keys.ids.begin())] = RegTree::kRoot;
    }
    tree.m_keys[RegTree::kRoot].nId = nRoot;
    for (uint32_t nKey = 0; nKey < tree.m_keys.size(); ++nKey) {
        const int64_t nParent = tree.m_keys[nKey].nId;
        auto it = std::lower_bound(byParent.begin(), byParent.end(), nParent,
                                   [&](uint32_t r, int64_t n) { return rows[r].nParent < n; });
        for (; it != byParent.end() && rows[*it].nParent == nParent; ++it) {
            const KeyRow& row = rows[*it];
            const std::string_view name(names.data() + row.nName, row.nNameLength);
            if (!ValidKeyName(name)) {
                return Fail(RegStatus::kBadData, "damaged: a key with a bad name");
            }
            if (keys.keyOfRow[*it] != RegTree::kNoKey) {
                continue;
            }
            RegTree::Key key;
            key.nParent = nKey;
            key.nNameLength = row.nNameLength;
            key.nId = keys.ids[*it];
            uint32_t nUnused = 0;
            if (tree.m_keys.size() >= RegTree::kNoKey - 1 ||
                !tree.Append(name, {}, key.nName, nUnused)) {
                return Fail(RegStatus::kBadData, "damaged: more keys than a tree can hold");
            }
            keys.keyOfRow[*it] = static_cast<uint32_t>(tree.m_keys.size());
            tree.m_keys.push_back(key);
            if (!tree.IndexKey(keys.keyOfRow[*it])) {
                return Fail(RegStatus::kBadData,
                            "damaged: two keys named \"" + std::string(name) + "\" in one key");
            }
        }
    }
    return RegStatus::kOk;
}

template <typename Sink>
RegStatus RegistryStore::ReadValueRows(int64_t nFrom, int64_t nTo, Sink sink) {
    Use q(m_pStatements->valueRange);
    q.Int(1, nFrom).Int(2, nTo);
    int rc;
    while ((rc = q.Step()) == SQLITE_ROW) {
        int64_t nKeyId = 0;
        RegTree::ValueRef value;
        if (!ColumnInt(q.Stmt(), 3, nKeyId) || !ColumnInt(q.Stmt(), 4, value.nId)) {
            return Fail(RegStatus::kBadData, "damaged: a value without a key");
        }
        std::string_view name;
        std::span<const uint8_t> data;
        std::string why;
        const bool bSound = CheckValueRow(q.Stmt(), name, value.nType, data, why);
        if (!sink(nKeyId, value, name, data, bSound ? nullptr : &why)) {
            return RegStatus::kBadData;
        }
    }
    return rc == SQLITE_DONE ? RegStatus::kOk : DbFail("cannot list values");
}

bool RegistryStore::AddTreeValue(RegTree& tree, RegTree::ValueRef& value, std::string_view name,
                                 std::span<const uint8_t> data, const std::string* pWhy) {
    if (value.nKey == RegTree::kNoKey) {
        return true; // not in the tree, whatever it holds
    }
    if (pWhy != nullptr) {
        Fail(RegStatus::kBadData, "damaged " + *pWhy);
        return false;
    }
    value.nNameLength = static_cast<uint32_t>(name.size());
    value.nDataLength = static_cast<uint32_t>(data.size());
    if (tree.m_values.size() >= RegTree::kNoKey - 1 ||
        !tree.Append(name, data, value.nName, value.nData)) {
        Fail(RegStatus::kBadData, "damaged: more values than a tree can hold");
        return false;
    }
    // Two of one name cannot be in a sound store; in a damaged one the first is found.
    tree.m_values.push_back(value);
    tree.LinkValue(static_cast<uint32_t>(tree.m_values.size() - 1));
    return true;
}

RegStatus RegistryStore::ReadKeyTree(RegHive hive, std::string_view path, RegTree& tree) {
    if (m_nTransactionDepth == 0 && sqlite3_get_autocommit(m_pDb)) {
        bool bRead = false;
        const RegStatus status = ReadKeyTreeInHalves(hive, path, tree, bRead);
        if (status != RegStatus::kOk || bRead) {
            return status;
        }
        // The store changed between the halves: read again, all on this connection.
    }
    const RegReadSnapshot snapshot(*this);
    RegKey key;
    const RegStatus status = OpenKey(hive, path, key);
    return status == RegStatus::kOk ? ReadTree(key.m_nId, tree) : status;
}

RegStatus RegistryStore::ReadKeyTreeInHalves(RegHive hive, std::string_view path, RegTree& tree,
                                             bool& bRead) {
    bRead = false;
    int64_t nVersion = 0;
    RegStatus status = RegStatus::kOk;
    {
        // The snapshot starts with the version read; any commit after it changes the version.
        const RegReadSnapshot snapshot(*this);
        if (!snapshot.IsActive() || !DataVersion(nVersion)) {
            return DbFail("cannot read");
        }
        RegKey key;
        if ((status = OpenKey(hive, path, key)) != RegStatus::kOk) {
            return status;
        }
        int nConnections = 0;
        status = ReadTreeInHalves(key.m_nId, tree, nConnections);
        bRead = nConnections > 0;
        if (status != RegStatus::kOk || nConnections < 2) {
            return status; // one connection read it in this snapshot, or nothing was read
        }
    }
    int64_t nVersionAfter = 0;
    if (!DataVersion(nVersionAfter)) {
        return DbFail("cannot read");
    }
    if (nVersionAfter != nVersion) {
        // The second connection may have seen a later state than this one.
        tree = RegTree();
        bRead = false;
    }
    return RegStatus::kOk;
}

// Both connections must see one state: the caller's read snapshot began before and another
// writer's commit is caught after, or the caller holds the write lock and has changed nothing.
RegStatus RegistryStore::ReadTreeInHalves(int64_t nRoot, RegTree& tree, int& nConnections) {
    nConnections = 0;
    RegStatus status = RegStatus::kOk;
    ValueRows helperRows;
    TreeKeys keys;
    {
        int64_t nLow = 0;
        int64_t nHigh = 0;
        {
            Use q(m_pStatements->valueSpan);
            if (q.Step() != SQLITE_ROW) {
                return DbFail("cannot list values");
            }
            nLow = sqlite3_column_int64(q.Stmt(), 0);
            nHigh = sqlite3_column_int64(q.Stmt(), 1);
        }
        // Ids of a damaged store may be anything: the span is worked out without overflow.
        const uint64_t nSpan = static_cast<uint64_t>(nHigh) - static_cast<uint64_t>(nLow);
        RegistryStore* pHelper = nHigh >= nLow && nSpan >= kReadInHalvesFrom ? Helper() : nullptr;
        if (pHelper == nullptr) {
            nConnections = 1;
            return ReadTree(nRoot, tree);
        }
        // This connection reads the keys as well, so it takes the smaller share of the values.
        const auto nSplit = static_cast<int64_t>(static_cast<uint64_t>(nLow) + nSpan / 10 * 3);
        if (m_halvesHook) {
            m_halvesHook();
        }
        const RegReadSnapshot helperSnapshot(*pHelper);
        RegStatus helperStatus = RegStatus::kOk;
        // The helper finds its rows' keys itself once this connection has read the keys.
        std::promise<bool> keysRead;
        const std::shared_future<bool> keysKnown = keysRead.get_future().share();
        const auto readHelperHalf = [&] {
            helperStatus = pHelper->ReadValueRows(
                nSplit, INT64_MAX,
                [&](int64_t nKeyId, RegTree::ValueRef& value, std::string_view name,
                    std::span<const uint8_t> data, const std::string* pWhy) {
                    ValueRows::Row row;
                    row.nKey = nKeyId;
                    row.nId = value.nId;
                    row.nType = value.nType;
                    if (pWhy != nullptr) {
                        row.nBad = static_cast<int>(helperRows.whys.size());
                        helperRows.whys.push_back(*pWhy);
                    }
                    row.nName = helperRows.bytes.size();
                    row.nNameLength = name.size();
                    helperRows.bytes.insert(helperRows.bytes.end(), name.begin(), name.end());
                    row.nData = helperRows.bytes.size();
                    row.nDataLength = data.size();
                    helperRows.bytes.insert(helperRows.bytes.end(), data.begin(), data.end());
                    helperRows.rows.push_back(row);
                    return true;
                });
            if (helperStatus != RegStatus::kOk || !keysKnown.get()) {
                return;
            }
            TreeKeys::Cursor cursor;
            for (size_t i = 0; i < helperRows.rows.size(); ++i) {
                const ValueRows::Row& row = helperRows.rows[i];
                const uint32_t nKey = keys.Find(row.nKey, cursor);
                if (nKey != RegTree::kNoKey && row.nBad >= 0) {
                    helperRows.nFirstBad = row.nBad;
                    break;
                }
                if (nKey != RegTree::kNoKey) {
                    helperRows.kept.emplace_back(i, nKey);
                }
            }
        };
        std::thread helper;
        try {
            helper = std::thread(readHelperHalf);
        } catch (const std::system_error&) {
            // No thread to be had: the same, one after the other.
        }
        tree = RegTree();
        status = FlushValues();
        if (status == RegStatus::kOk) {
            status = ReadTreeKeys(nRoot, tree, keys);
        }
        keysRead.set_value(status == RegStatus::kOk);
        if (!helper.joinable()) {
            readHelperHalf();
        }
        TreeKeys::Cursor cursor;
        if (status == RegStatus::kOk) {
            status =
                ReadValueRows(INT64_MIN, nSplit - 1,
                              [&](int64_t nKeyId, RegTree::ValueRef& value, std::string_view name,
                                  std::span<const uint8_t> data, const std::string* pWhy) {
                                  value.nKey = keys.Find(nKeyId, cursor);
                                  return AddTreeValue(tree, value, name, data, pWhy);
                              });
        }
        if (helper.joinable()) {
            helper.join();
        }
        if (status != RegStatus::kOk) {
            return status;
        }
        if (helperStatus != RegStatus::kOk) {
            m_pHelper.reset(); // whatever it met, this connection reads again on its own
            tree = RegTree();
            return RegStatus::kOk;
        }
    }
    // The helper's rows, all of them after this connection's, join the tree.
    if (helperRows.nFirstBad >= 0) {
        return Fail(RegStatus::kBadData,
                    "damaged " + helperRows.whys[static_cast<size_t>(helperRows.nFirstBad)]);
    }
    if (helperRows.bytes.size() > UINT32_MAX - tree.m_bytes.size() ||
        helperRows.kept.size() > RegTree::kNoKey - 1 - tree.m_values.size()) {
        return Fail(RegStatus::kBadData, "damaged: more values than a tree can hold");
    }
    const auto nBase = static_cast<uint32_t>(tree.m_bytes.size());
    tree.m_bytes.insert(tree.m_bytes.end(), helperRows.bytes.begin(), helperRows.bytes.end());
    tree.m_values.reserve(tree.m_values.size() + helperRows.kept.size());
    for (const auto& [nRow, nKey] : helperRows.kept) {
        const ValueRows::Row& row = helperRows.rows[nRow];
        RegTree::ValueRef value;
        value.nKey = nKey;
        value.nId = row.nId;
        value.nType = row.nType;
        value.nName = nBase + static_cast<uint32_t>(row.nName);
        value.nNameLength = static_cast<uint32_t>(row.nNameLength);
        value.nData = nBase + static_cast<uint32_t>(row.nData);
        value.nDataLength = static_cast<uint32_t>(row.nDataLength);
        tree.m_values.push_back(value);
        tree.LinkValue(static_cast<uint32_t>(tree.m_values.size() - 1));
    }
    nConnections = 2;
    return RegStatus::kOk;
}

RegistryStore* RegistryStore::Helper() {
    if (!m_pHelper) {
        std::string strError;
        m_pHelper = Open(m_strPath, strError, OpenMode::kReadOnly, nullptr, m_nBusyTimeoutMs);
        // Only a second look at the very file this connection has open will do.
        struct stat st {};
        if (m_pHelper && (::stat(m_strPath.c_str(), &st) != 0 || st.st_dev != m_nDevice ||
                          st.st_ino != m_nInode)) {
            m_pHelper.reset();
        }
    }
    return m_pHelper.get();
}

} // namespace vext
