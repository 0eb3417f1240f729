#include "core/registry/RegistrySql.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace vext::detail {
namespace {

struct Sql {
    sqlite3_stmt* RegStatements::*pStmt;
    std::string text;
};

// "head(?,?),(?,?) tail" with nRows rows of row.
std::string Rows(const char* head, const char* row, size_t nRows, const char* tail) {
    std::string sql = head;
    for (size_t i = 0; i < nRows; ++i) {
        sql += i > 0 ? "," : "";
        sql += row;
    }
    return sql + tail;
}

// Rows in the order they are queued, so that values keep their creation order; a name written
// twice in one batch is updated in place like one written twice apart.
std::string SetValuesSql() {
    std::string sql = "INSERT INTO vals(key, name, type, data) VALUES";
    for (size_t i = 0; i < kRowBatch; ++i) {
        const size_t n = 4 * i;
        sql += (i > 0 ? ",(?" : "(?") + std::to_string(n + 1) + ",?" + std::to_string(n + 2) +
               ",?" + std::to_string(n + 3) + ",?" + std::to_string(n + 4) + ")";
    }
    return sql + " ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, data=excluded.data";
}

const std::vector<Sql>& ReadingSql() {
    static const std::vector<Sql> sql = {
        {&RegStatements::findChild, "SELECT id FROM keys WHERE parent=?1 AND name=?2"},
        {&RegStatements::keyExists, "SELECT 1 FROM keys WHERE id=?1"},
        {&RegStatements::insertKey, "INSERT INTO keys(parent, name) VALUES(?1, ?2)"},
        {&RegStatements::setValue,
         "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
         "ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, data=excluded.data"},
        {&RegStatements::queryValue, "SELECT name, type, data FROM vals WHERE key=?1 AND name=?2"},
        {&RegStatements::enumKeys, "SELECT name FROM keys WHERE parent=?1 ORDER BY id"},
        {&RegStatements::enumValues, "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY id"},
        {&RegStatements::keyInfo, "SELECT parent, name FROM keys WHERE id=?1"},
        {&RegStatements::allKeys, "SELECT id, parent, name FROM keys ORDER BY id"},
        {&RegStatements::valueRange,
         "SELECT name, type, data, key, id FROM vals WHERE id BETWEEN ?1 AND ?2 ORDER BY id"},
        {&RegStatements::valueSpan,
         "SELECT (SELECT min(id) FROM vals), (SELECT max(id) FROM vals)"},
    };
    return sql;
}

const std::vector<Sql>& WritingSql() {
    // Replacing a tree writes only what differs, by row id; new keys get their ids up front so
    // that they too can be written many rows to a statement. An id past both the sequence and
    // the largest id in use is free even in a store whose sequence was tampered with. A value
    // is rewritten in place as an insert of its own id that gives way to an update: unlike
    // UPDATE, that takes many rows to a statement.
    static const char* const kRewriteHead = "INSERT INTO vals(id, key, name, type, data) VALUES";
    static const char* const kRewriteTail =
        " ON CONFLICT(id) DO UPDATE SET type=excluded.type, data=excluded.data";
    static const std::vector<Sql> sql = {
        {&RegStatements::setValues, SetValuesSql()},
        // A tree to delete is listed once in a scratch table of this connection, then its
        // values and keys go by that list: half the work of walking the tree for each.
        {&RegStatements::clearDoomed, "DELETE FROM temp.doomed"},
        {&RegStatements::collectDoomed,
         "WITH RECURSIVE t(id) AS (SELECT ?1 UNION SELECT keys.id FROM keys JOIN t ON "
         "keys.parent=t.id) INSERT INTO temp.doomed(id) SELECT id FROM t"},
        {&RegStatements::deleteTreeValues, "DELETE FROM vals WHERE key IN temp.doomed"},
        {&RegStatements::deleteTreeKeys, "DELETE FROM keys WHERE id IN temp.doomed"},
        {&RegStatements::nextKeyId,
         "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name='keys'), 0),"
         " coalesce((SELECT max(id) FROM keys), 0)) + 1"},
        {&RegStatements::insertKeyWithId, "INSERT INTO keys(id, parent, name) VALUES(?1, ?2, ?3)"},
        {&RegStatements::insertKeysWithIds,
         Rows("INSERT INTO keys(id, parent, name) VALUES", "(?,?,?)", kRowBatch, "")},
        {&RegStatements::renameKey, "UPDATE keys SET name=?2 WHERE id=?1"},
        {&RegStatements::rewriteValue, Rows(kRewriteHead, "(?,?,?,?,?)", 1, kRewriteTail)},
        {&RegStatements::rewriteValues, Rows(kRewriteHead, "(?,?,?,?,?)", kRowBatch, kRewriteTail)},
        // Apart, as it is rare: setting the name makes SQLite rewrite the index entry.
        {&RegStatements::renameValue, "UPDATE vals SET name=?2 WHERE id=?1"},
        {&RegStatements::deleteKeyRun, "DELETE FROM keys WHERE id BETWEEN ?1 AND ?2"},
        {&RegStatements::deleteValueRun, "DELETE FROM vals WHERE id BETWEEN ?1 AND ?2"},
    };
    return sql;
}

bool PrepareAll(sqlite3* pDb, RegStatements& statements, const std::vector<Sql>& sql) {
    for (const Sql& s : sql) {
        if (sqlite3_prepare_v3(pDb, s.text.c_str(), -1, SQLITE_PREPARE_PERSISTENT,
                               &(statements.*s.pStmt), nullptr) != SQLITE_OK) {
            return false;
        }
    }
    return true;
}

} // namespace

RegStatements::~RegStatements() {
    for (const std::vector<Sql>* pGroup : {&ReadingSql(), &WritingSql()}) {
        for (const Sql& s : *pGroup) {
            sqlite3_finalize(this->*s.pStmt);
        }
    }
}

bool RegStatements::PrepareWriting(sqlite3* pDb, const char** ppWhat) {
    *ppWhat = "cannot open a scratch table";
    if (sqlite3_exec(pDb, "PRAGMA temp_store=MEMORY", nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_exec(pDb, "CREATE TEMP TABLE doomed(id INTEGER PRIMARY KEY)", nullptr, nullptr,
                     nullptr) != SQLITE_OK) {
        return false;
    }
    *ppWhat = "cannot open";
    return PrepareAll(pDb, *this, WritingSql());
}

bool RegStatements::PrepareReading(sqlite3* pDb) {
    return PrepareAll(pDb, *this, ReadingSql());
}

bool ColumnText(sqlite3_stmt* pStmt, int nCol, size_t nMax, std::string_view& out) {
    sqlite3_value* pValue = sqlite3_column_value(pStmt, nCol);
    const unsigned char* p =
        sqlite3_value_type(pValue) == SQLITE_TEXT ? sqlite3_value_text(pValue) : nullptr;
    const int nBytes = p != nullptr ? sqlite3_value_bytes(pValue) : -1;
    if (nBytes < 0 || static_cast<size_t>(nBytes) > nMax) {
        return false;
    }
    out = std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(nBytes));
    return true;
}

bool CheckValueRow(sqlite3_stmt* pStmt, std::string_view& name, uint32_t& nType,
                   std::span<const uint8_t>& data, std::string& why) {
    sqlite3_value* pName = sqlite3_column_value(pStmt, 0);
    sqlite3_value* pType = sqlite3_column_value(pStmt, 1);
    sqlite3_value* pData = sqlite3_column_value(pStmt, 2);
    const unsigned char* pText =
        sqlite3_value_type(pName) == SQLITE_TEXT ? sqlite3_value_text(pName) : nullptr;
    const int nNameBytes = pText != nullptr ? sqlite3_value_bytes(pName) : -1;
    if (nNameBytes < 0 || static_cast<size_t>(nNameBytes) > kMaxValueNameLength) {
        why = "a value with a bad name";
        return false;
    }
    name = std::string_view(reinterpret_cast<const char*>(pText), static_cast<size_t>(nNameBytes));
    if (!ValidValueName(name)) {
        why = "a value with a bad name";
        return false;
    }
    if (sqlite3_value_type(pType) != SQLITE_INTEGER) {
        why = "value \"" + std::string(name) + "\" has no type";
        return false;
    }
    const int64_t nRawType = sqlite3_value_int64(pType);
    if (sqlite3_value_type(pData) != SQLITE_BLOB) {
        why = "value \"" + std::string(name) + "\" holds no bytes";
        return false;
    }
    const void* p = sqlite3_value_blob(pData);
    const int nBytes = sqlite3_value_bytes(pData);
    if (nBytes < 0 || static_cast<size_t>(nBytes) > kMaxValueSize || (nBytes > 0 && !p)) {
        why = "value \"" + std::string(name) + "\" has a bad size";
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(p);
    const size_t nSize = static_cast<size_t>(nBytes);
    const bool bShape = (nRawType == REG_SZ && nSize > 0 && bytes[nSize - 1] == 0) ||
                        (nRawType == REG_DWORD && nSize == 4) || nRawType == REG_BINARY;
    if (!bShape) {
        why = "value \"" + std::string(name) + "\" of type " + std::to_string(nRawType) + " and " +
              std::to_string(nSize) + " bytes";
        return false;
    }
    nType = static_cast<uint32_t>(nRawType);
    data = std::span<const uint8_t>(bytes, nSize);
    return true;
}

} // namespace vext::detail
