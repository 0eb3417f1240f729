#include "platform/RegistryStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

namespace vext {

namespace {

// "VEXT" in the database header marks the file as ours.
constexpr int32_t kApplicationId = 0x56455854;
constexpr int kFormatVersion = 1;
constexpr int kBusyTimeoutMs = 5000;
// Deeper than any tree we write; a longer parent chain is a loop in a damaged file.
constexpr int kMaxDepth = 512;

const char kSchema[] = "CREATE TABLE keys("
                       " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                       " parent INTEGER NOT NULL,"
                       " name TEXT NOT NULL COLLATE NOCASE,"
                       " UNIQUE(parent, name));"
                       "CREATE TABLE vals("
                       " id INTEGER PRIMARY KEY,"
                       " key INTEGER NOT NULL,"
                       " name TEXT NOT NULL COLLATE NOCASE,"
                       " type INTEGER NOT NULL,"
                       " data BLOB NOT NULL,"
                       " UNIQUE(key, name));"
                       "INSERT INTO keys(id, parent, name) VALUES"
                       " (1, 0, 'HKEY_LOCAL_MACHINE'), (2, 0, 'HKEY_CURRENT_USER');";

bool ValidKeyName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxKeyNameLength &&
           name.find('\\') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

bool ValidValueName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxValueNameLength &&
           name.find('\0') == std::string_view::npos;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<unsigned char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<unsigned char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
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

// Reads a TEXT column without trusting it: false unless it is text of at most nMax bytes.
bool ColumnText(sqlite3_stmt* pStmt, int nCol, size_t nMax, std::string& out) {
    if (sqlite3_column_type(pStmt, nCol) != SQLITE_TEXT) {
        return false;
    }
    const unsigned char* p = sqlite3_column_text(pStmt, nCol);
    const int nBytes = sqlite3_column_bytes(pStmt, nCol);
    if (p == nullptr || nBytes < 0 || static_cast<size_t>(nBytes) > nMax) {
        return false;
    }
    out.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(nBytes));
    return true;
}

bool MakeDirectories(const std::string& strDir) {
    if (strDir.empty()) {
        return true;
    }
    struct stat st {};
    if (::stat(strDir.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    const size_t slash = strDir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(strDir.substr(0, slash))) {
        return false;
    }
    return ::mkdir(strDir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string ParentDir(const std::string& strPath) {
    const size_t slash = strPath.find_last_of('/');
    if (slash == std::string::npos) {
        return {};
    }
    return strPath.substr(0, slash == 0 ? 1 : slash);
}

} // namespace

const char* HiveName(RegHive hive) {
    switch (hive) {
    case RegHive::HKEY_LOCAL_MACHINE:
        return "HKEY_LOCAL_MACHINE";
    case RegHive::HKEY_CURRENT_USER:
        return "HKEY_CURRENT_USER";
    }
    return "";
}

bool ParseHiveName(std::string_view name, RegHive& hive) {
    if (EqualNoCase(name, "HKEY_LOCAL_MACHINE") || EqualNoCase(name, "HKLM")) {
        hive = HKEY_LOCAL_MACHINE;
        return true;
    }
    if (EqualNoCase(name, "HKEY_CURRENT_USER") || EqualNoCase(name, "HKCU")) {
        hive = HKEY_CURRENT_USER;
        return true;
    }
    return false;
}

const char* RegStatusText(RegStatus status) {
    switch (status) {
    case RegStatus::kOk:
        return "done";
    case RegStatus::kNotFound:
        return "not found";
    case RegStatus::kWrongType:
        return "the value has another type";
    case RegStatus::kInvalid:
        return "invalid name or handle";
    case RegStatus::kBadData:
        return "the registry store holds damaged data";
    case RegStatus::kFailed:
        return "the registry store could not be changed";
    }
    return "unknown";
}

struct RegistryStore::Statements {
    sqlite3_stmt* findChild = nullptr;
    sqlite3_stmt* keyExists = nullptr;
    sqlite3_stmt* insertKey = nullptr;
    sqlite3_stmt* deleteTreeValues = nullptr;
    sqlite3_stmt* deleteTreeKeys = nullptr;
    sqlite3_stmt* setValue = nullptr;
    sqlite3_stmt* queryValue = nullptr;
    sqlite3_stmt* enumKeys = nullptr;
    sqlite3_stmt* enumValues = nullptr;
    sqlite3_stmt* keyInfo = nullptr;

    ~Statements() {
        for (sqlite3_stmt* p : {findChild, keyExists, insertKey, deleteTreeValues, deleteTreeKeys,
                                setValue, queryValue, enumKeys, enumValues, keyInfo}) {
            sqlite3_finalize(p);
        }
    }
};

// ---------------------------------------------------------------------------------------------
// RegKey

RegKey::RegKey(RegKey&& other) noexcept : m_pStore(other.m_pStore), m_nId(other.m_nId) {
    other.Close();
}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        m_pStore = other.m_pStore;
        m_nId = other.m_nId;
        other.Close();
    }
    return *this;
}

void RegKey::Close() {
    m_pStore = nullptr;
    m_nId = 0;
}

RegStatus RegKey::OpenSubKey(std::string_view path, RegKey& key) const {
    key.Close();
    if (!m_pStore) {
        return RegStatus::kInvalid;
    }
    int64_t nId = 0;
    const RegStatus status = m_pStore->Walk(m_nId, path, false, nId);
    if (status == RegStatus::kOk) {
        key = RegKey(m_pStore, nId);
    }
    return status;
}

RegStatus RegKey::CreateSubKey(std::string_view path, RegKey& key) const {
    key.Close();
    if (!m_pStore) {
        return RegStatus::kInvalid;
    }
    int64_t nId = 0;
    const RegStatus status = m_pStore->Walk(m_nId, path, true, nId);
    if (status == RegStatus::kOk) {
        key = RegKey(m_pStore, nId);
    }
    return status;
}

RegStatus RegKey::DeleteSubKeyTree(std::string_view path) const {
    if (!m_pStore) {
        return RegStatus::kInvalid;
    }
    if (path.empty()) {
        // Deleting the key a handle stands on would leave the handle dangling in ours.
        return m_pStore->Fail(RegStatus::kInvalid, "no sub-key named to delete");
    }
    int64_t nId = 0;
    const RegStatus status = m_pStore->Walk(m_nId, path, false, nId);
    if (status != RegStatus::kOk) {
        return status;
    }
    return m_pStore->DeleteTree(nId);
}

RegStatus RegKey::SetString(std::string_view name, std::string_view value) const {
    std::vector<uint8_t> data(value.begin(), value.end());
    data.push_back(0);
    return SetValue(name, REG_SZ, data);
}

RegStatus RegKey::SetDword(std::string_view name, uint32_t value) const {
    const uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return SetValue(name, REG_DWORD, data);
}

RegStatus RegKey::SetBinary(std::string_view name, std::span<const uint8_t> value) const {
    return SetValue(name, REG_BINARY, value);
}

RegStatus RegKey::SetValue(std::string_view name, uint32_t nType,
                           std::span<const uint8_t> data) const {
    if (!m_pStore) {
        return RegStatus::kInvalid;
    }
    return m_pStore->SetValue(m_nId, name, nType, data);
}

RegStatus RegKey::QueryValue(std::string_view name, RegValue& value) const {
    if (!m_pStore) {
        return RegStatus::kInvalid;
    }
    return m_pStore->QueryValue(m_nId, name, value);
}

RegStatus RegKey::QueryString(std::string_view name, std::string& value) const {
    RegValue v;
    const RegStatus status = QueryValue(name, v);
    if (status != RegStatus::kOk) {
        return status;
    }
    if (v.nType != REG_SZ) {
        return RegStatus::kWrongType;
    }
    // The stored form ends with a NUL (checked on reading); a reader stops at the first one.
    const auto* p = reinterpret_cast<const char*>(v.data.data());
    value.assign(p, ::strnlen(p, v.data.size()));
    return RegStatus::kOk;
}

RegStatus RegKey::QueryDword(std::string_view name, uint32_t& value) const {
    RegValue v;
    const RegStatus status = QueryValue(name, v);
    if (status != RegStatus::kOk) {
        return status;
    }
    if (v.nType != REG_DWORD) {
        return RegStatus::kWrongType;
    }
    value = static_cast<uint32_t>(v.data[0]) | static_cast<uint32_t>(v.data[1]) << 8 |
            static_cast<uint32_t>(v.data[2]) << 16 | static_cast<uint32_t>(v.data[3]) << 24;
    return RegStatus::kOk;
}

RegStatus RegKey::QueryBinary(std::string_view name, std::vector<uint8_t>& value) const {
    RegValue v;
    const RegStatus status = QueryValue(name, v);
    if (status != RegStatus::kOk) {
        return status;
    }
    if (v.nType != REG_BINARY) {
        return RegStatus::kWrongType;
    }
    value = std::move(v.data);
    return RegStatus::kOk;
}

RegStatus RegKey::EnumSubKeys(std::vector<std::string>& names) const {
    names.clear();
    if (!m_pStore) {
        return RegStatus::kInvalid;
    }
    return m_pStore->EnumSubKeys(m_nId, names);
}

RegStatus RegKey::EnumValues(std::vector<RegValue>& values) const {
    values.clear();
    if (!m_pStore) {
        return RegStatus::kInvalid;
    }
    return m_pStore->EnumValues(m_nId, values);
}

RegStatus RegKey::GetPath(std::string& path) const {
    path.clear();
    if (!m_pStore) {
        return RegStatus::kInvalid;
    }
    return m_pStore->GetPath(m_nId, path);
}

// ---------------------------------------------------------------------------------------------
// RegistryStore: opening

std::string RegistryStore::DefaultPath() {
    if (const char* p = std::getenv("VEXT_REGISTRY"); p && *p) {
        return p;
    }
    if (const char* p = std::getenv("XDG_STATE_HOME"); p && *p == '/') {
        return std::string(p) + "/vext/registry.sqlite";
    }
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/state/vext/registry.sqlite";
}

RegistryStore::RegistryStore() : m_pStatements(std::make_unique<Statements>()) {}

RegistryStore::~RegistryStore() {
    if (m_pDb && m_nTransactionDepth > 0) {
        Exec("ROLLBACK");
    }
    m_pStatements.reset();
    if (m_pDb) {
        sqlite3_close_v2(m_pDb);
    }
}

std::unique_ptr<RegistryStore> RegistryStore::Open(const std::string& strPath,
                                                   std::string& strError, OpenMode mode) {
    strError.clear();
    if (strPath.empty()) {
        strError = "no registry store path given";
        return nullptr;
    }
    struct stat st {};
    const bool bExists = ::stat(strPath.c_str(), &st) == 0;
    if (bExists && !S_ISREG(st.st_mode)) {
        strError = strPath + ": not a registry store (not a regular file)";
        return nullptr;
    }
    if (!bExists) {
        if (mode == OpenMode::kReadOnly) {
            strError = strPath + ": no registry store there";
            return nullptr;
        }
        if (!MakeDirectories(ParentDir(strPath))) {
            strError = strPath + ": cannot create its folder: " + std::strerror(errno);
            return nullptr;
        }
        // Made here rather than by SQLite so that it is private whatever the umask; SQLite gives
        // its -wal and -shm files the database's mode.
        const int fd = ::open(strPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            strError = strPath + ": cannot create: " + std::strerror(errno);
            return nullptr;
        }
        ::fchmod(fd, 0600);
        ::close(fd);
    }

    std::unique_ptr<RegistryStore> store(new RegistryStore());
    store->m_strPath = strPath;
    const int flags = (mode == OpenMode::kReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(strPath.c_str(), &store->m_pDb, flags, nullptr) != SQLITE_OK) {
        strError = strPath + ": cannot open: " +
                   (store->m_pDb ? sqlite3_errmsg(store->m_pDb) : "out of memory");
        return nullptr;
    }
    if (!store->Initialise(mode, strError)) {
        return nullptr;
    }
    return store;
}

bool RegistryStore::Initialise(OpenMode mode, std::string& strError) {
    sqlite3_extended_result_codes(m_pDb, 1);
    sqlite3_busy_timeout(m_pDb, kBusyTimeoutMs);
    // The file may come from anywhere: no schema tricks, no writes that corrupt on purpose.
    sqlite3_db_config(m_pDb, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_pDb, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);

    const auto readInt = [this](const char* sql, int64_t& value) {
        sqlite3_stmt* pStmt = nullptr;
        int rc = sqlite3_prepare_v2(m_pDb, sql, -1, &pStmt, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(pStmt);
            if (rc == SQLITE_ROW) {
                value = sqlite3_column_int64(pStmt, 0);
                rc = SQLITE_OK;
            }
        }
        sqlite3_finalize(pStmt);
        return rc;
    };
    const auto notOurs = [&](const std::string& why) {
        strError = m_strPath + ": not a VextKey registry store (" + why + ")";
        return false;
    };
    const auto dbError = [&](const char* what) {
        const int rc = sqlite3_extended_errcode(m_pDb) & 0xFF;
        if (rc == SQLITE_NOTADB) {
            return notOurs("not an SQLite database");
        }
        if (rc == SQLITE_CORRUPT) {
            strError =
                m_strPath + ": the registry store is damaged (" + sqlite3_errmsg(m_pDb) + ")";
            return false;
        }
        strError = m_strPath + ": " + what + ": " + sqlite3_errmsg(m_pDb);
        return false;
    };

    int64_t nAppId = 0;
    int64_t nTables = 0;
    if (readInt("PRAGMA application_id", nAppId) != SQLITE_OK ||
        readInt("SELECT count(*) FROM sqlite_master", nTables) != SQLITE_OK) {
        return dbError("cannot read");
    }
    if (nAppId == 0 && nTables == 0) {
        if (mode == OpenMode::kReadOnly) {
            return notOurs("empty file");
        }
        // A fresh file: lay out the schema once, under the write lock, unless another process
        // got there first.
        if (!Exec("PRAGMA journal_mode=WAL") || !Exec("BEGIN IMMEDIATE")) {
            return dbError("cannot set up");
        }
        if (readInt("PRAGMA application_id", nAppId) != SQLITE_OK ||
            readInt("SELECT count(*) FROM sqlite_master", nTables) != SQLITE_OK) {
            Exec("ROLLBACK");
            return dbError("cannot read");
        }
        if (nAppId == 0 && nTables == 0) {
            const std::string pragmas = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                        ";PRAGMA user_version=" + std::to_string(kFormatVersion);
            if (!Exec(kSchema) || !Exec(pragmas.c_str()) || !Exec("COMMIT")) {
                Exec("ROLLBACK");
                return dbError("cannot set up");
            }
            nAppId = kApplicationId;
        } else {
            Exec("ROLLBACK");
        }
    }
    if (nAppId != kApplicationId) {
        return notOurs(nAppId == 0 ? "a database of another program"
                                   : "it belongs to another program");
    }
    int64_t nVersion = 0;
    if (readInt("PRAGMA user_version", nVersion) != SQLITE_OK) {
        return dbError("cannot read");
    }
    if (nVersion != kFormatVersion) {
        strError = m_strPath + ": registry store format " + std::to_string(nVersion) +
                   " is not the one this program reads (" + std::to_string(kFormatVersion) + ")";
        return false;
    }
    if (mode == OpenMode::kReadWrite && !Exec("PRAGMA journal_mode=WAL")) {
        return dbError("cannot open");
    }

    struct Sql {
        sqlite3_stmt** ppStmt;
        const char* text;
    };
    Statements& s = *m_pStatements;
    const Sql statements[] = {
        {&s.findChild, "SELECT id FROM keys WHERE parent=?1 AND name=?2"},
        {&s.keyExists, "SELECT 1 FROM keys WHERE id=?1"},
        {&s.insertKey, "INSERT INTO keys(parent, name) VALUES(?1, ?2)"},
        {&s.deleteTreeValues,
         "WITH RECURSIVE t(id) AS (SELECT ?1 UNION SELECT keys.id FROM keys JOIN t ON "
         "keys.parent=t.id) DELETE FROM vals WHERE key IN t"},
        {&s.deleteTreeKeys,
         "WITH RECURSIVE t(id) AS (SELECT ?1 UNION SELECT keys.id FROM keys JOIN t ON "
         "keys.parent=t.id) DELETE FROM keys WHERE id IN t"},
        {&s.setValue,
         "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
         "ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, data=excluded.data"},
        {&s.queryValue, "SELECT name, type, data FROM vals WHERE key=?1 AND name=?2"},
        {&s.enumKeys, "SELECT name FROM keys WHERE parent=?1 ORDER BY id"},
        {&s.enumValues, "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY id"},
        {&s.keyInfo, "SELECT parent, name FROM keys WHERE id=?1"},
    };
    for (const Sql& sql : statements) {
        if (sqlite3_prepare_v3(m_pDb, sql.text, -1, SQLITE_PREPARE_PERSISTENT, sql.ppStmt,
                               nullptr) != SQLITE_OK) {
            strError =
                m_strPath + ": the registry store is damaged (" + sqlite3_errmsg(m_pDb) + ")";
            return false;
        }
    }
    for (RegHive hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        std::string strPath;
        if (GetPath(static_cast<int64_t>(hive), strPath) != RegStatus::kOk) {
            strError = m_strPath + ": the registry store is damaged (" + m_strLastError + ")";
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// RegistryStore: keys and values

RegKey RegistryStore::Root(RegHive hive) {
    return RegKey(this, static_cast<int64_t>(hive));
}

RegStatus RegistryStore::OpenKey(RegHive hive, std::string_view path, RegKey& key) {
    return Root(hive).OpenSubKey(path, key);
}

RegStatus RegistryStore::CreateKey(RegHive hive, std::string_view path, RegKey& key) {
    return Root(hive).CreateSubKey(path, key);
}

RegStatus RegistryStore::DeleteKeyTree(RegHive hive, std::string_view path) {
    return Root(hive).DeleteSubKeyTree(path);
}

RegStatus RegistryStore::Fail(RegStatus status, std::string message) {
    m_strLastError = std::move(message);
    return status;
}

RegStatus RegistryStore::DbFail(const char* what) {
    const int rc = sqlite3_extended_errcode(m_pDb) & 0xFF;
    const RegStatus status =
        rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB ? RegStatus::kBadData : RegStatus::kFailed;
    return Fail(status, std::string(what) + ": " + sqlite3_errmsg(m_pDb));
}

bool RegistryStore::Exec(const char* sql) {
    return sqlite3_exec(m_pDb, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool RegistryStore::AllowWrite() {
    if (m_nTransactionDepth > 0 && m_bTransactionFailed) {
        Fail(RegStatus::kFailed, "an earlier change of this transaction failed");
        return false;
    }
    if (m_writeHook && !m_writeHook()) {
        m_bTransactionFailed = m_nTransactionDepth > 0;
        Fail(RegStatus::kFailed, "write refused");
        return false;
    }
    return true;
}

RegStatus RegistryStore::KeyExists(int64_t nId) {
    Use q(m_pStatements->keyExists);
    const int rc = q.Int(1, nId).Step();
    if (rc == SQLITE_ROW) {
        return RegStatus::kOk;
    }
    if (rc == SQLITE_DONE) {
        return Fail(RegStatus::kNotFound, "the key no longer exists");
    }
    return DbFail("cannot read a key");
}

RegStatus RegistryStore::FindChild(int64_t nParent, std::string_view name, int64_t& nId) {
    Use q(m_pStatements->findChild);
    const int rc = q.Int(1, nParent).Text(2, name).Step();
    if (rc == SQLITE_ROW) {
        if (sqlite3_column_type(q.Stmt(), 0) != SQLITE_INTEGER) {
            return Fail(RegStatus::kBadData, "a key without a number");
        }
        nId = sqlite3_column_int64(q.Stmt(), 0);
        return RegStatus::kOk;
    }
    if (rc == SQLITE_DONE) {
        return Fail(RegStatus::kNotFound, "no key \"" + std::string(name) + "\"");
    }
    return DbFail("cannot read a key");
}

RegStatus RegistryStore::Walk(int64_t nFrom, std::string_view path, bool bCreate, int64_t& nId) {
    RegStatus status = KeyExists(nFrom);
    if (status != RegStatus::kOk) {
        return status;
    }
    nId = nFrom;
    if (path.empty()) {
        return RegStatus::kOk;
    }
    // The whole path is checked first so that a bad name at its end creates nothing on the way.
    for (size_t pos = 0;;) {
        const size_t end = std::min(path.find('\\', pos), path.size());
        const std::string_view name = path.substr(pos, end - pos);
        if (!ValidKeyName(name)) {
            return Fail(RegStatus::kInvalid, "invalid key name \"" + std::string(name) + "\"");
        }
        if (end == path.size()) {
            break;
        }
        pos = end + 1;
    }
    for (size_t pos = 0;;) {
        const size_t end = std::min(path.find('\\', pos), path.size());
        const std::string_view name = path.substr(pos, end - pos);
        int64_t nChild = 0;
        status = FindChild(nId, name, nChild);
        if (status == RegStatus::kNotFound && bCreate) {
            if (!AllowWrite()) {
                return RegStatus::kFailed;
            }
            Use q(m_pStatements->insertKey);
            if (q.Int(1, nId).Text(2, name).Step() != SQLITE_DONE) {
                m_bTransactionFailed = m_nTransactionDepth > 0;
                return DbFail("cannot create a key");
            }
            nChild = sqlite3_last_insert_rowid(m_pDb);
        } else if (status != RegStatus::kOk) {
            return status;
        }
        nId = nChild;
        if (end == path.size()) {
            break;
        }
        pos = end + 1;
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::DeleteTree(int64_t nId) {
    if (nId == static_cast<int64_t>(HKEY_LOCAL_MACHINE) ||
        nId == static_cast<int64_t>(HKEY_CURRENT_USER)) {
        return Fail(RegStatus::kInvalid, "a hive cannot be deleted");
    }
    if (!AllowWrite()) {
        return RegStatus::kFailed;
    }
    const bool bOwnTransaction = m_nTransactionDepth == 0;
    if (bOwnTransaction && !Begin()) {
        return DbFail("cannot delete a key");
    }
    bool bOk = false;
    {
        Use values(m_pStatements->deleteTreeValues);
        bOk = values.Int(1, nId).Step() == SQLITE_DONE;
    }
    if (bOk) {
        Use keys(m_pStatements->deleteTreeKeys);
        bOk = keys.Int(1, nId).Step() == SQLITE_DONE;
    }
    if (!bOk) {
        const RegStatus status = DbFail("cannot delete a key");
        m_bTransactionFailed = true;
        if (bOwnTransaction) {
            Rollback();
        }
        return status;
    }
    if (bOwnTransaction && !Commit()) {
        return DbFail("cannot delete a key");
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::SetValue(int64_t nKey, std::string_view name, uint32_t nType,
                                  std::span<const uint8_t> data) {
    if (!ValidValueName(name)) {
        return Fail(RegStatus::kInvalid, "invalid value name \"" + std::string(name) + "\"");
    }
    const bool bShape = (nType == REG_SZ && !data.empty() && data.back() == 0) ||
                        (nType == REG_DWORD && data.size() == 4) || nType == REG_BINARY;
    if (!bShape || data.size() > kMaxValueSize) {
        return Fail(RegStatus::kInvalid, "a value of type " + std::to_string(nType) + " and " +
                                             std::to_string(data.size()) + " bytes");
    }
    RegStatus status = KeyExists(nKey);
    if (status != RegStatus::kOk) {
        return status;
    }
    if (!AllowWrite()) {
        return RegStatus::kFailed;
    }
    Use q(m_pStatements->setValue);
    if (q.Int(1, nKey).Text(2, name).Int(3, nType).Blob(4, data).Step() != SQLITE_DONE) {
        m_bTransactionFailed = m_nTransactionDepth > 0;
        return DbFail("cannot write a value");
    }
    return RegStatus::kOk;
}

namespace {

// Reads (name, type, data) at columns 0..2 of a value row, checking each against what a value
// can be.
bool ReadValueRow(sqlite3_stmt* pStmt, RegValue& value, std::string& why) {
    if (!ColumnText(pStmt, 0, kMaxValueNameLength, value.strName) ||
        !ValidValueName(value.strName)) {
        why = "a value with a bad name";
        return false;
    }
    if (sqlite3_column_type(pStmt, 1) != SQLITE_INTEGER) {
        why = "value \"" + value.strName + "\" has no type";
        return false;
    }
    const int64_t nType = sqlite3_column_int64(pStmt, 1);
    if (sqlite3_column_type(pStmt, 2) != SQLITE_BLOB) {
        why = "value \"" + value.strName + "\" holds no bytes";
        return false;
    }
    const int nBytes = sqlite3_column_bytes(pStmt, 2);
    const void* p = sqlite3_column_blob(pStmt, 2);
    if (nBytes < 0 || static_cast<size_t>(nBytes) > kMaxValueSize || (nBytes > 0 && !p)) {
        why = "value \"" + value.strName + "\" has a bad size";
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(p);
    const size_t nSize = static_cast<size_t>(nBytes);
    const bool bShape = (nType == REG_SZ && nSize > 0 && bytes[nSize - 1] == 0) ||
                        (nType == REG_DWORD && nSize == 4) || nType == REG_BINARY;
    if (!bShape) {
        why = "value \"" + value.strName + "\" of type " + std::to_string(nType) + " and " +
              std::to_string(nSize) + " bytes";
        return false;
    }
    value.nType = static_cast<uint32_t>(nType);
    value.data.assign(bytes, bytes + nSize);
    return true;
}

} // namespace

RegStatus RegistryStore::QueryValue(int64_t nKey, std::string_view name, RegValue& value) {
    if (!ValidValueName(name)) {
        return Fail(RegStatus::kInvalid, "invalid value name \"" + std::string(name) + "\"");
    }
    RegStatus status = KeyExists(nKey);
    if (status != RegStatus::kOk) {
        return status;
    }
    Use q(m_pStatements->queryValue);
    const int rc = q.Int(1, nKey).Text(2, name).Step();
    if (rc == SQLITE_DONE) {
        return Fail(RegStatus::kNotFound, "no value \"" + std::string(name) + "\"");
    }
    if (rc != SQLITE_ROW) {
        return DbFail("cannot read a value");
    }
    std::string why;
    if (!ReadValueRow(q.Stmt(), value, why)) {
        return Fail(RegStatus::kBadData, "damaged " + why);
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::EnumSubKeys(int64_t nKey, std::vector<std::string>& names) {
    RegStatus status = KeyExists(nKey);
    if (status != RegStatus::kOk) {
        return status;
    }
    Use q(m_pStatements->enumKeys);
    q.Int(1, nKey);
    int rc;
    while ((rc = q.Step()) == SQLITE_ROW) {
        std::string name;
        if (!ColumnText(q.Stmt(), 0, kMaxKeyNameLength, name) || !ValidKeyName(name)) {
            names.clear();
            return Fail(RegStatus::kBadData, "damaged: a key with a bad name");
        }
        names.push_back(std::move(name));
    }
    if (rc != SQLITE_DONE) {
        names.clear();
        return DbFail("cannot list keys");
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::EnumValues(int64_t nKey, std::vector<RegValue>& values) {
    RegStatus status = KeyExists(nKey);
    if (status != RegStatus::kOk) {
        return status;
    }
    Use q(m_pStatements->enumValues);
    q.Int(1, nKey);
    int rc;
    while ((rc = q.Step()) == SQLITE_ROW) {
        RegValue value;
        std::string why;
        if (!ReadValueRow(q.Stmt(), value, why)) {
            values.clear();
            return Fail(RegStatus::kBadData, "damaged " + why);
        }
        values.push_back(std::move(value));
    }
    if (rc != SQLITE_DONE) {
        values.clear();
        return DbFail("cannot list values");
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::GetPath(int64_t nKey, std::string& path) {
    std::vector<std::string> names;
    int64_t nId = nKey;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) {
            return Fail(RegStatus::kBadData, "damaged: keys nested in a loop");
        }
        Use q(m_pStatements->keyInfo);
        const int rc = q.Int(1, nId).Step();
        if (rc == SQLITE_DONE) {
            return Fail(depth == 0 ? RegStatus::kNotFound : RegStatus::kBadData,
                        depth == 0 ? "the key no longer exists" : "damaged: a key without parent");
        }
        if (rc != SQLITE_ROW) {
            return DbFail("cannot read a key");
        }
        std::string name;
        if (sqlite3_column_type(q.Stmt(), 0) != SQLITE_INTEGER ||
            !ColumnText(q.Stmt(), 1, kMaxKeyNameLength, name)) {
            return Fail(RegStatus::kBadData, "damaged: a key with a bad name or parent");
        }
        const int64_t nParent = sqlite3_column_int64(q.Stmt(), 0);
        if (nParent == 0) {
            const bool bHive = (nId == static_cast<int64_t>(HKEY_LOCAL_MACHINE) ||
                                nId == static_cast<int64_t>(HKEY_CURRENT_USER)) &&
                               name == HiveName(static_cast<RegHive>(nId));
            if (!bHive) {
                return Fail(RegStatus::kBadData, "damaged: a key outside the hives");
            }
            names.push_back(std::move(name));
            break;
        }
        if (!ValidKeyName(name)) {
            return Fail(RegStatus::kBadData, "damaged: a key with a bad name");
        }
        names.push_back(std::move(name));
        nId = nParent;
    }
    path.clear();
    for (size_t i = names.size(); i-- > 0;) {
        path += names[i];
        if (i > 0) {
            path += '\\';
        }
    }
    return RegStatus::kOk;
}

// ---------------------------------------------------------------------------------------------
// Transactions

bool RegistryStore::Begin() {
    if (m_nTransactionDepth == 0) {
        if (!Exec("BEGIN IMMEDIATE")) {
            DbFail("cannot start a transaction");
            return false;
        }
        m_bTransactionFailed = false;
    }
    ++m_nTransactionDepth;
    return true;
}

bool RegistryStore::Commit() {
    if (m_nTransactionDepth <= 0) {
        return false;
    }
    if (m_nTransactionDepth > 1) {
        --m_nTransactionDepth;
        return !m_bTransactionFailed;
    }
    if (m_bTransactionFailed) {
        Rollback();
        return false;
    }
    if (!Exec("COMMIT")) {
        DbFail("cannot commit");
        Rollback();
        return false;
    }
    m_nTransactionDepth = 0;
    return true;
}

void RegistryStore::Rollback() {
    if (m_nTransactionDepth <= 0) {
        return;
    }
    if (m_nTransactionDepth > 1) {
        --m_nTransactionDepth;
        m_bTransactionFailed = true;
        return;
    }
    // SQLite may already have ended the transaction itself after an I/O error.
    if (!sqlite3_get_autocommit(m_pDb)) {
        Exec("ROLLBACK");
    }
    m_nTransactionDepth = 0;
    m_bTransactionFailed = false;
}

RegTransaction::RegTransaction(RegistryStore& store) : m_store(store) {
    m_bActive = m_store.Begin();
}

RegTransaction::~RegTransaction() {
    if (m_bActive) {
        m_store.Rollback();
    }
}

bool RegTransaction::Commit() {
    if (!m_bActive) {
        return false;
    }
    m_bActive = false;
    return m_store.Commit();
}

RegReadSnapshot::RegReadSnapshot(RegistryStore& store) : m_store(store) {
    // Inside a write transaction the reads already see one state of their own.
    if (m_store.m_nTransactionDepth == 0 && sqlite3_get_autocommit(m_store.m_pDb)) {
        m_bActive = m_store.Exec("BEGIN DEFERRED");
    }
}

RegReadSnapshot::~RegReadSnapshot() {
    if (m_bActive && !sqlite3_get_autocommit(m_store.m_pDb)) {
        m_store.Exec("ROLLBACK");
    }
}

} // namespace vext
