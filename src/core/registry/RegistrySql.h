#pragma once

// What the registry store's parts share of its SQL: the prepared statements, their use, and the
// checks on names and rows. Not for use outside the store.

#include "core/registry/RegistryStore.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <sqlite3.h>

namespace vext::detail {

// Rows written by one statement where there are many: one statement of many rows costs SQLite a
// fraction of as many statements of one row.
inline constexpr size_t kRowBatch = 64;

struct RegStatements {
    sqlite3_stmt* findChild = nullptr;
    sqlite3_stmt* keyExists = nullptr;
    sqlite3_stmt* insertKey = nullptr;
    sqlite3_stmt* clearDoomed = nullptr;
    sqlite3_stmt* collectDoomed = nullptr;
    sqlite3_stmt* deleteTreeValues = nullptr;
    sqlite3_stmt* deleteTreeKeys = nullptr;
    sqlite3_stmt* setValue = nullptr;
    sqlite3_stmt* setValues = nullptr; // kRowBatch rows
    sqlite3_stmt* queryValue = nullptr;
    sqlite3_stmt* enumKeys = nullptr;
    sqlite3_stmt* enumValues = nullptr;
    sqlite3_stmt* keyInfo = nullptr;
    sqlite3_stmt* allKeys = nullptr;
    sqlite3_stmt* valueRange = nullptr;
    sqlite3_stmt* valueSpan = nullptr;
    sqlite3_stmt* nextKeyId = nullptr;
    sqlite3_stmt* insertKeyWithId = nullptr;
    sqlite3_stmt* insertKeysWithIds = nullptr; // kRowBatch rows
    sqlite3_stmt* renameKey = nullptr;
    sqlite3_stmt* rewriteValue = nullptr;
    sqlite3_stmt* rewriteValues = nullptr; // kRowBatch rows
    sqlite3_stmt* renameValue = nullptr;
    sqlite3_stmt* deleteKeyRun = nullptr;
    sqlite3_stmt* deleteValueRun = nullptr;

    RegStatements() = default;
    ~RegStatements();
    RegStatements(const RegStatements&) = delete;
    RegStatements& operator=(const RegStatements&) = delete;

    // The statements of changing the store, with the scratch table of the connection they
    // use; false, with what failed in *ppWhat, when SQLite refused.
    bool PrepareWriting(sqlite3* pDb, const char** ppWhat);
    // The statements of reading; false when SQLite refused one: the store's tables are not what
    // they should be.
    bool PrepareReading(sqlite3* pDb);
    bool IsWritable() const { return setValues != nullptr; }
};

inline bool ValidKeyName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxKeyNameLength &&
           name.find('\\') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

inline bool ValidValueName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxValueNameLength &&
           name.find('\0') == std::string_view::npos;
}

inline bool ValidValueShape(uint32_t nType, std::span<const uint8_t> data) {
    const bool bShape = (nType == REG_SZ && !data.empty() && data.back() == 0) ||
                        (nType == REG_DWORD && data.size() == 4) || nType == REG_BINARY;
    return bShape && data.size() <= kMaxValueSize;
}

// A prepared statement bound and stepped for one use; reset when the scope ends.
class Use {
public:
    explicit Use(sqlite3_stmt* pStmt) : m_pStmt(pStmt) {}
    ~Use() {
        sqlite3_reset(m_pStmt);
        sqlite3_clear_bindings(m_pStmt);
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

    Use& Int(int n, int64_t value) {
        sqlite3_bind_int64(m_pStmt, n, value);
        return *this;
    }
    Use& Text(int n, std::string_view text) {
        sqlite3_bind_text(m_pStmt, n, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        return *this;
    }
    Use& Blob(int n, std::span<const uint8_t> data) {
        // A zero-length blob must still be a blob, not NULL.
        static const uint8_t kEmpty = 0;
        sqlite3_bind_blob(m_pStmt, n, data.empty() ? &kEmpty : data.data(),
                          static_cast<int>(data.size()), SQLITE_STATIC);
        return *this;
    }
    int Step() { return sqlite3_step(m_pStmt); }
    sqlite3_stmt* Stmt() const { return m_pStmt; }

private:
    sqlite3_stmt* m_pStmt;
};

// Reads an INTEGER column; false for anything else. One call of the API rather than two: a
// whole tree is read a few columns at a time.
inline bool ColumnInt(sqlite3_stmt* pStmt, int nCol, int64_t& value) {
    sqlite3_value* pValue = sqlite3_column_value(pStmt, nCol);
    if (sqlite3_value_type(pValue) != SQLITE_INTEGER) {
        return false;
    }
    value = sqlite3_value_int64(pValue);
    return true;
}

// Reads a TEXT column without trusting it: false unless it is text of at most nMax bytes. The
// view is valid until the statement moves on.
bool ColumnText(sqlite3_stmt* pStmt, int nCol, size_t nMax, std::string_view& out);

// Checks (name, type, data) at columns 0..2 of a value row against what a value can be; the
// views are valid until the statement moves on. Each column is fetched once: the column calls
// of the API cost more than the checks.
bool CheckValueRow(sqlite3_stmt* pStmt, std::string_view& name, uint32_t& nType,
                   std::span<const uint8_t>& data, std::string& why);

} // namespace vext::detail
