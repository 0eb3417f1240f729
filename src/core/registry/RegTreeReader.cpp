#include "core/registry/RegTreeReader.h"

#include "core/registry/RegistrySql.h"

#include <algorithm>
#include <future>
#include <numeric>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <sqlite3.h>

namespace vext {

using namespace detail;

// The keys of a tree being read, by id: for finding the key each value row belongs to.
struct RegTreeReader::TreeKeys {
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
struct RegTreeReader::ValueRows {
    struct Row {
        int64_t nKey = 0; // the key's id
        int64_t nId = 0;
        uint32_t nType = 0;
        size_t nName = 0; // offsets into bytes
        size_t nNameLength = 0;
        size_t nData = 0;
        size_t nDataLength = 0;
        int nBad = -1; // index into whys: the row is damaged, which matters if it is in the tree
    };
    std::vector<Row> rows;
    std::vector<uint8_t> bytes;
    std::vector<std::string> whys;
    RegStatus status = RegStatus::kOk;
    // Once the keys are known: the rows in the tree, with their keys, up to a damaged one.
    std::vector<std::pair<size_t, uint32_t>> kept;
    int nFirstBad = -1;

    void KeepThoseOf(const TreeKeys& keys) {
        TreeKeys::Cursor cursor;
        for (size_t i = 0; i < rows.size(); ++i) {
            const uint32_t nKey = keys.Find(rows[i].nKey, cursor);
            if (nKey != RegTree::kNoKey && rows[i].nBad >= 0) {
                nFirstBad = rows[i].nBad;
                return;
            }
            if (nKey != RegTree::kNoKey) {
                kept.emplace_back(i, nKey);
            }
        }
    }
};

RegTree RegTreeReader::EmptyAt(int64_t nRoot) {
    RegTree tree;
    tree.m_keys[RegTree::kRoot].nId = nRoot;
    return tree;
}

RegStatus RegTreeReader::Read(RegConnection& conn, int64_t nRoot, RegTree& tree) {
    tree = RegTree();
    TreeKeys keys;
    const RegStatus status = ReadKeys(conn, nRoot, tree, keys);
    return status == RegStatus::kOk ? ReadOwnValues(conn, INT64_MIN, INT64_MAX, keys, tree)
                                    : status;
}

// Every key row of the store, in the order of their ids.
struct RegTreeReader::KeyRows {
    struct Row {
        int64_t nParent = 0;
        uint32_t nName = 0; // into names
        uint32_t nNameLength = 0;
    };
    std::vector<Row> rows;
    std::string names;

    std::string_view Name(uint32_t nRow) const {
        return {names.data() + rows[nRow].nName, rows[nRow].nNameLength};
    }
};

RegStatus RegTreeReader::ReadKeyRows(RegConnection& conn, KeyRows& out, TreeKeys& keys) {
    Use q(conn.Sql().allKeys);
    int rc;
    while ((rc = q.Step()) == SQLITE_ROW) {
        std::string_view name;
        int64_t nId = 0;
        KeyRows::Row row;
        if (!ColumnInt(q.Stmt(), 0, nId) || !ColumnInt(q.Stmt(), 1, row.nParent) ||
            !ColumnText(q.Stmt(), 2, kMaxKeyNameLength, name) || out.names.size() > UINT32_MAX) {
            return conn.Fail(RegStatus::kBadData, "damaged: a key with a bad name or parent");
        }
        row.nName = static_cast<uint32_t>(out.names.size());
        row.nNameLength = static_cast<uint32_t>(name.size());
        out.names.append(name);
        keys.ids.push_back(nId);
        out.rows.push_back(row);
    }
    return rc == SQLITE_DONE ? RegStatus::kOk : conn.DbFail("cannot list keys");
}

RegStatus RegTreeReader::ReadKeys(RegConnection& conn, int64_t nRoot, RegTree& tree,
                                  TreeKeys& keys) {
    KeyRows keyRows;
    if (const RegStatus status = ReadKeyRows(conn, keyRows, keys); status != RegStatus::kOk) {
        return status;
    }
    const std::vector<KeyRows::Row>& rows = keyRows.rows;
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
            const std::string_view name = keyRows.Name(*it);
            if (!ValidKeyName(name)) {
                return conn.Fail(RegStatus::kBadData, "damaged: a key with a bad name");
            }
            if (keys.keyOfRow[*it] != RegTree::kNoKey) {
                continue;
            }
            RegTree::Key key;
            key.nParent = nKey;
            key.nNameLength = rows[*it].nNameLength;
            key.nId = keys.ids[*it];
            uint32_t nUnused = 0;
            if (tree.m_keys.size() >= RegTree::kNoKey - 1 ||
                !tree.Append(name, {}, key.nName, nUnused)) {
                return conn.Fail(RegStatus::kBadData, "damaged: more keys than a tree can hold");
            }
            keys.keyOfRow[*it] = static_cast<uint32_t>(tree.m_keys.size());
            tree.m_keys.push_back(key);
            if (!tree.IndexKey(keys.keyOfRow[*it])) {
                return conn.Fail(RegStatus::kBadData, "damaged: two keys named \"" +
                                                          std::string(name) + "\" in one key");
            }
        }
    }
    return RegStatus::kOk;
}

template <typename Sink>
RegStatus RegTreeReader::ReadValueRows(RegConnection& conn, int64_t nFrom, int64_t nTo, Sink sink) {
    Use q(conn.Sql().valueRange);
    q.Int(1, nFrom).Int(2, nTo);
    int rc;
    while ((rc = q.Step()) == SQLITE_ROW) {
        int64_t nKeyId = 0;
        RegTree::ValueRef value;
        if (!ColumnInt(q.Stmt(), 3, nKeyId) || !ColumnInt(q.Stmt(), 4, value.nId)) {
            return conn.Fail(RegStatus::kBadData, "damaged: a value without a key");
        }
        std::string_view name;
        std::span<const uint8_t> data;
        std::string why;
        const bool bSound = CheckValueRow(q.Stmt(), name, value.nType, data, why);
        if (!sink(nKeyId, value, name, data, bSound ? nullptr : &why)) {
            return RegStatus::kBadData;
        }
    }
    return rc == SQLITE_DONE ? RegStatus::kOk : conn.DbFail("cannot list values");
}

RegStatus RegTreeReader::ReadOwnValues(RegConnection& conn, int64_t nFrom, int64_t nTo,
                                       const TreeKeys& keys, RegTree& tree) {
    TreeKeys::Cursor cursor;
    return ReadValueRows(conn, nFrom, nTo,
                         [&](int64_t nKeyId, RegTree::ValueRef& value, std::string_view name,
                             std::span<const uint8_t> data, const std::string* pWhy) {
                             value.nKey = keys.Find(nKeyId, cursor);
                             return AddValue(conn, tree, value, name, data, pWhy);
                         });
}

bool RegTreeReader::AddValue(RegConnection& conn, RegTree& tree, RegTree::ValueRef& value,
                             std::string_view name, std::span<const uint8_t> data,
                             const std::string* pWhy) {
    if (value.nKey == RegTree::kNoKey) {
        return true; // not in the tree, whatever it holds
    }
    if (pWhy != nullptr) {
        conn.Fail(RegStatus::kBadData, "damaged " + *pWhy);
        return false;
    }
    value.nNameLength = static_cast<uint32_t>(name.size());
    value.nDataLength = static_cast<uint32_t>(data.size());
    if (tree.m_values.size() >= RegTree::kNoKey - 1 ||
        !tree.Append(name, data, value.nName, value.nData)) {
        conn.Fail(RegStatus::kBadData, "damaged: more values than a tree can hold");
        return false;
    }
    // Two of one name cannot be in a sound store; in a damaged one the first is found.
    tree.m_values.push_back(value);
    tree.LinkValue(static_cast<uint32_t>(tree.m_values.size() - 1));
    return true;
}

RegStatus RegTreeReader::ReadHelperValues(RegConnection& helper, int64_t nFrom, ValueRows& out) {
    return ReadValueRows(helper, nFrom, INT64_MAX,
                         [&](int64_t nKeyId, RegTree::ValueRef& value, std::string_view name,
                             std::span<const uint8_t> data, const std::string* pWhy) {
                             ValueRows::Row row;
                             row.nKey = nKeyId;
                             row.nId = value.nId;
                             row.nType = value.nType;
                             if (pWhy != nullptr) {
                                 row.nBad = static_cast<int>(out.whys.size());
                                 out.whys.push_back(*pWhy);
                             }
                             row.nName = out.bytes.size();
                             row.nNameLength = name.size();
                             out.bytes.insert(out.bytes.end(), name.begin(), name.end());
                             row.nData = out.bytes.size();
                             row.nDataLength = data.size();
                             out.bytes.insert(out.bytes.end(), data.begin(), data.end());
                             out.rows.push_back(row);
                             return true;
                         });
}

RegStatus RegTreeReader::ReadInHalves(RegConnection& conn,
                                      const std::function<RegConnection*()>& helper,
                                      const std::function<void()>& hook, int64_t nRoot,
                                      RegTree& tree, int& nConnections) {
    nConnections = 0;
    int64_t nLow = 0;
    int64_t nHigh = 0;
    {
        Use q(conn.Sql().valueSpan);
        if (q.Step() != SQLITE_ROW) {
            return conn.DbFail("cannot list values");
        }
        nLow = sqlite3_column_int64(q.Stmt(), 0);
        nHigh = sqlite3_column_int64(q.Stmt(), 1);
    }
    // Ids of a damaged store may be anything: the span is worked out without overflow.
    const uint64_t nSpan = static_cast<uint64_t>(nHigh) - static_cast<uint64_t>(nLow);
    RegConnection* pHelper = nHigh >= nLow && nSpan >= kReadInHalvesFrom ? helper() : nullptr;
    if (pHelper == nullptr) {
        nConnections = 1;
        return Read(conn, nRoot, tree);
    }
    // This connection reads the keys as well, so it takes the smaller share of the values.
    const auto nSplit = static_cast<int64_t>(static_cast<uint64_t>(nLow) + nSpan / 10 * 3);
    if (hook) {
        hook();
    }
    if (!pHelper->Exec("BEGIN DEFERRED")) {
        return RegStatus::kOk; // nothing read: the caller reads on one connection
    }
    ValueRows helperRows;
    TreeKeys keys;
    // The helper finds its rows' keys itself once this connection has read the keys.
    std::promise<bool> keysRead;
    const std::shared_future<bool> keysKnown = keysRead.get_future().share();
    const auto readHelperHalf = [&] {
        helperRows.status = ReadHelperValues(*pHelper, nSplit, helperRows);
        if (helperRows.status == RegStatus::kOk && keysKnown.get()) {
            helperRows.KeepThoseOf(keys);
        }
    };
    std::thread thread;
    try {
        thread = std::thread(readHelperHalf);
    } catch (const std::system_error&) {
        // No thread to be had: the same, one after the other.
    }
    tree = RegTree();
    RegStatus status = ReadKeys(conn, nRoot, tree, keys);
    keysRead.set_value(status == RegStatus::kOk);
    if (!thread.joinable()) {
        readHelperHalf();
    }
    if (status == RegStatus::kOk) {
        status = ReadOwnValues(conn, INT64_MIN, nSplit - 1, keys, tree);
    }
    if (thread.joinable()) {
        thread.join();
    }
    pHelper->Exec("ROLLBACK");
    if (status != RegStatus::kOk) {
        return status;
    }
    if (helperRows.status != RegStatus::kOk) {
        tree = RegTree(); // whatever the helper met, this connection reads again on its own
        return RegStatus::kOk;
    }
    status = JoinHelperValues(conn, helperRows, tree);
    nConnections = status == RegStatus::kOk ? 2 : 0;
    return status;
}

RegStatus RegTreeReader::JoinHelperValues(RegConnection& conn, ValueRows& rows, RegTree& tree) {
    if (rows.nFirstBad >= 0) {
        return conn.Fail(RegStatus::kBadData,
                         "damaged " + rows.whys[static_cast<size_t>(rows.nFirstBad)]);
    }
    if (rows.bytes.size() > UINT32_MAX - tree.m_bytes.size() ||
        rows.kept.size() > RegTree::kNoKey - 1 - tree.m_values.size()) {
        return conn.Fail(RegStatus::kBadData, "damaged: more values than a tree can hold");
    }
    const auto nBase = static_cast<uint32_t>(tree.m_bytes.size());
    tree.m_bytes.insert(tree.m_bytes.end(), rows.bytes.begin(), rows.bytes.end());
    tree.m_values.reserve(tree.m_values.size() + rows.kept.size());
    for (const auto& [nRow, nKey] : rows.kept) {
        const ValueRows::Row& row = rows.rows[nRow];
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
    return RegStatus::kOk;
}

} // namespace vext
