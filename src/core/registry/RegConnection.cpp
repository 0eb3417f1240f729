#include "core/registry/RegConnection.h"

#include <sqlite3.h>

namespace vext::detail {

RegConnection::RegConnection() : m_pSql(std::make_unique<RegStatements>()) {}

RegConnection::~RegConnection() {
    m_pSql.reset();
    if (m_pDb) {
        sqlite3_close_v2(m_pDb);
    }
}

bool RegConnection::Open(const std::string& strPath, int nFlags, std::string& strError) {
    if (sqlite3_open_v2(strPath.c_str(), &m_pDb, nFlags, nullptr) != SQLITE_OK) {
        strError = strPath + ": cannot open: " + (m_pDb ? sqlite3_errmsg(m_pDb) : "out of memory");
        return false;
    }
    return true;
}

bool RegConnection::Exec(const char* sql) {
    return sqlite3_exec(m_pDb, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

RegStatus RegConnection::Fail(RegStatus status, std::string message) {
    m_strLastError = std::move(message);
    m_nLastFailure = status;
    return status;
}

RegStatus RegConnection::DbFail(const char* what) {
    const int rc = sqlite3_extended_errcode(m_pDb) & 0xFF;
    const RegStatus status = rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB ? RegStatus::kBadData
                             : rc == SQLITE_BUSY || rc == SQLITE_LOCKED  ? RegStatus::kBusy
                                                                         : RegStatus::kFailed;
    return Fail(status, std::string(what) + ": " + sqlite3_errmsg(m_pDb));
}

} // namespace vext::detail
