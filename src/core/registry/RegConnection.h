#pragma once

// The registry store's SQLite connection as the store's parts use it: the handle, its prepared
// statements, the account of the last failure, and the gate every change passes. Not for use
// outside the store.

#include "core/registry/RegistrySql.h"
#include "core/registry/RegistryStore.h"

#include <functional>
#include <memory>
#include <string>

struct sqlite3;

namespace vext::detail {

class RegConnection {
public:
    RegConnection();
    ~RegConnection();
    RegConnection(const RegConnection&) = delete;
    RegConnection& operator=(const RegConnection&) = delete;

    // Opens the file with SQLite's flags; false with the reason in strError.
    bool Open(const std::string& strPath, int nFlags, std::string& strError);

    sqlite3* Db() const { return m_pDb; }
    RegStatements& Sql() { return *m_pSql; }

    bool Exec(const char* sql);

    // Records a failure for LastError and returns its status.
    RegStatus Fail(RegStatus status, std::string message);
    // A failure SQLite reported, with what it was for in front of SQLite's words.
    RegStatus DbFail(const char* what);
    const std::string& LastError() const { return m_strLastError; }
    RegStatus LastFailure() const { return m_nLastFailure; }

    // Asked before every row a change writes; false refuses the change, whose failure the gate
    // has recorded.
    void SetGate(std::function<bool()> gate) { m_gate = std::move(gate); }
    bool AllowWrite() { return !m_gate || m_gate(); }

private:
    sqlite3* m_pDb = nullptr;
    std::unique_ptr<RegStatements> m_pSql; // finalised before the connection closes
    std::string m_strLastError;
    RegStatus m_nLastFailure = RegStatus::kFailed;
    std::function<bool()> m_gate;
};

} // namespace vext::detail
