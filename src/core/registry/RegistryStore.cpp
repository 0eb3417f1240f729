#include "core/registry/RegistryStore.h"

#include "core/platform/NoCase.h"
#include "core/platform/RuntimeDir.h"
#include "core/registry/RegTree.h"
#include "core/registry/RegistryStoreRows.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <sqlite3.h>

namespace vext {

using namespace detail;

namespace {

// "VEXT" in the database header marks the file as ours.
constexpr int32_t kApplicationId = 0x56455854;
constexpr int kFormatVersion = 1;
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
    if (NoCaseEqual()(name, "HKEY_LOCAL_MACHINE") || NoCaseEqual()(name, "HKLM")) {
        hive = HKEY_LOCAL_MACHINE;
        return true;
    }
    if (NoCaseEqual()(name, "HKEY_CURRENT_USER") || NoCaseEqual()(name, "HKCU")) {
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
    case RegStatus::kBusy:
        return "the registry store is busy: another program holds its lock";
    }
    return "unknown";
}

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
    return UserStateDir() + "/registry.sqlite";
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
                                                   std::string& strError, OpenMode mode,
                                                   RegStatus* pStatus, int nBusyTimeoutMs) {
    strError.clear();
    if (pStatus) {
        *pStatus = RegStatus::kFailed;
    }
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
    store->m_nBusyTimeoutMs = nBusyTimeoutMs;
    if (::stat(strPath.c_str(), &st) == 0) {
        store->m_nDevice = st.st_dev;
        store->m_nInode = st.st_ino;
    }
    const int flags = (mode == OpenMode::kReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(strPath.c_str(), &store->m_pDb, flags, nullptr) != SQLITE_OK) {
        strError = strPath + ": cannot open: " +
                   (store->m_pDb ? sqlite3_errmsg(store->m_pDb) : "out of memory");
        return nullptr;
    }
    if (!store->Initialise(mode, strError)) {
        if (pStatus) {
            *pStatus = store->m_nLastFailure;
        }
        return nullptr;
    }
    return store;
}

namespace {

// What a database holds at its start: its marks and every object of its schema.
struct SchemaInfo {
    int64_t nAppId = 0;
    int64_t nVersion = 0;
    std::vector<std::string> objects; // "type name on table: sql", sorted

    bool IsEmpty() const { return nAppId == 0 && objects.empty(); }
};

bool ReadSchemaInfo(sqlite3* pDb, SchemaInfo& info) {
    const auto readInt = [pDb](const char* sql, int64_t& value) {
        sqlite3_stmt* pStmt = nullptr;
        bool bOk = sqlite3_prepare_v2(pDb, sql, -1, &pStmt, nullptr) == SQLITE_OK &&
                   sqlite3_step(pStmt) == SQLITE_ROW;
        if (bOk) {
            value = sqlite3_column_int64(pStmt, 0);
        }
        sqlite3_finalize(pStmt);
        return bOk;
    };
    info = SchemaInfo();
    if (!readInt("PRAGMA application_id", info.nAppId) ||
        !readInt("PRAGMA user_version", info.nVersion)) {
        return false;
    }
    sqlite3_stmt* pStmt = nullptr;
    if (sqlite3_prepare_v2(pDb, "SELECT type, name, tbl_name, sql FROM sqlite_schema", -1, &pStmt,
                           nullptr) != SQLITE_OK) {
        return false;
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(pStmt)) == SQLITE_ROW) {
        std::string object;
        for (int nCol = 0; nCol < 4; ++nCol) {
            const unsigned char* p = sqlite3_column_text(pStmt, nCol);
            object += p != nullptr ? reinterpret_cast<const char*>(p) : "";
            object += nCol == 0 ? " " : nCol == 1 ? " on " : nCol == 2 ? ": " : "";
        }
        info.objects.push_back(std::move(object));
    }
    sqlite3_finalize(pStmt);
    std::sort(info.objects.begin(), info.objects.end());
    return rc == SQLITE_DONE;
}

// The schema exactly as this program lays it out, read back from a scratch database so that
// the comparison holds whatever text SQLite keeps for it.
const std::vector<std::string>& OwnSchema() {
    static const std::vector<std::string> objects = [] {
        SchemaInfo info;
        sqlite3* pDb = nullptr;
        if (sqlite3_open_v2(":memory:", &pDb, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
            sqlite3_exec(pDb, kSchema, nullptr, nullptr, nullptr) == SQLITE_OK) {
            ReadSchemaInfo(pDb, info);
        }
        sqlite3_close(pDb);
        return info.objects;
    }();
    return objects;
}

} // namespace

bool RegistryStore::Initialise(OpenMode mode, std::string& strError) {
    sqlite3_extended_result_codes(m_pDb, 1);
    sqlite3_busy_timeout(m_pDb, m_nBusyTimeoutMs);
    // The file may come from anywhere: no schema tricks, no writes that corrupt on purpose, and
    // since our schema has neither, no trigger fires and no view is read even if one slipped in.
    sqlite3_db_config(m_pDb, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_pDb, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(m_pDb, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(m_pDb, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);

    const auto notOurs = [&](const std::string& why) {
        strError = m_strPath + ": not a VextKey registry store (" + why + ")";
        return false;
    };
    const auto dbError = [&](const char* what) {
        const int rc = sqlite3_extended_errcode(m_pDb) & 0xFF;
        m_nLastFailure =
            rc == SQLITE_BUSY || rc == SQLITE_LOCKED ? RegStatus::kBusy : RegStatus::kFailed;
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
    // Every look at the marks and the schema is one snapshot: read apart, a store being laid
    // out by another process meanwhile could look half made.
    const auto inspect = [&](SchemaInfo& info) {
        const bool bOwnSnapshot = sqlite3_get_autocommit(m_pDb) != 0;
        if (bOwnSnapshot && !Exec("BEGIN DEFERRED")) {
            return dbError("cannot read");
        }
        // The reason is taken before a rollback replaces SQLite's last message.
        const bool bOk = ReadSchemaInfo(m_pDb, info) || dbError("cannot read");
        if (bOwnSnapshot) {
            Exec(bOk ? "COMMIT" : "ROLLBACK");
        }
        return bOk;
    };

    SchemaInfo info;
    if (!inspect(info)) {
        return false;
    }
    if (info.IsEmpty()) {
        if (mode == OpenMode::kReadOnly) {
            return notOurs("empty file");
        }
        // A fresh file: lay out the schema once, under the write lock, unless another process
        // got there first; whoever waited then sees the finished store.
        if (!Exec("BEGIN IMMEDIATE")) {
            return dbError("cannot set up");
        }
        if (!inspect(info)) {
            Exec("ROLLBACK");
            return false;
        }
        if (info.IsEmpty()) {
            const std::string pragmas = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                        ";PRAGMA user_version=" + std::to_string(kFormatVersion);
            if (!Exec(kSchema) || !Exec(pragmas.c_str()) || !Exec("COMMIT")) {
                const bool bFailed = dbError("cannot set up");
                Exec("ROLLBACK");
                return bFailed;
            }
        } else {
            Exec("ROLLBACK");
        }
        if (!inspect(info)) {
            return false;
        }
    }
    if (info.nAppId != kApplicationId) {
        return notOurs(info.nAppId == 0 ? "a database of another program"
                                        : "it belongs to another program");
    }
    if (info.nVersion != kFormatVersion) {
        strError = m_strPath + ": registry store format " + std::to_string(info.nVersion) +
                   " is not the one this program reads (" + std::to_string(kFormatVersion) + ")";
        return false;
    }
    // Only the tables this program makes, exactly as it makes them: a trigger or a view, or a
    // table made over, could run anything at all when the store is read or written.
    const std::vector<std::string>& own = OwnSchema();
    if (own.empty()) {
        strError = m_strPath + ": cannot check the registry store's layout";
        return false;
    }
    if (info.objects != own) {
        const auto isOwn = [&](const std::string& o) {
            return std::find(own.begin(), own.end(), o) != own.end();
        };
        const auto foreign = std::find_if_not(info.objects.begin(), info.objects.end(), isOwn);
        const auto missing = std::find_if(own.begin(), own.end(), [&](const std::string& o) {
            return std::find(info.objects.begin(), info.objects.end(), o) == info.objects.end();
        });
        // "type name on table: sql" -> type "name"
        const auto describe = [](const std::string& o) {
            const size_t nSpace = o.find(' ');
            const size_t nOn = o.find(" on ", nSpace);
            return o.substr(0, nSpace) + " \"" + o.substr(nSpace + 1, nOn - nSpace - 1) + "\"";
        };
        strError =
            m_strPath + ": the registry store is damaged or was altered: " +
            (foreign != info.objects.end()
                 ? "it holds " + describe(*foreign) + ", which VextKey never makes"
             : missing != own.end() ? "it lacks " + describe(*missing) + ", which VextKey makes"
                                    : "its tables are not laid out as VextKey makes them");
        return false;
    }
    if (mode == OpenMode::kReadWrite && !SwitchToWal()) {
        return dbError("cannot switch to write-ahead logging");
    }
    // In WAL mode a commit that is not synced is lost on a power cut but never corrupts; a
    // download is written again in a moment. A large key set fits the cache without spilling
    // into the log before its commit.
    Exec("PRAGMA synchronous=NORMAL");
    Exec("PRAGMA cache_size=-32768");
    // Key sets are no secret worth zeroing freed space for, at the cost of every rewrite.
    Exec("PRAGMA secure_delete=OFF");
    // Copying a download from the log into the database file takes as long again as a large
    // download itself: the downloader checkpoints once the driver has read it (Checkpoint).
    // This only bounds the log should nobody do so.
    Exec("PRAGMA wal_autocheckpoint=16384");

    struct Sql {
        sqlite3_stmt** ppStmt;
        const char* text;
    };
    Statements& s = *m_pStatements;
    const Sql statements[] = {
        {&s.findChild, "SELECT id FROM keys WHERE parent=?1 AND name=?2"},
        {&s.keyExists, "SELECT 1 FROM keys WHERE id=?1"},
        {&s.insertKey, "INSERT INTO keys(parent, name) VALUES(?1, ?2)"},
        {&s.setValue,
         "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
         "ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, data=excluded.data"},
        {&s.queryValue, "SELECT name, type, data FROM vals WHERE key=?1 AND name=?2"},
        {&s.enumKeys, "SELECT name FROM keys WHERE parent=?1 ORDER BY id"},
        {&s.enumValues, "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY id"},
        {&s.keyInfo, "SELECT parent, name FROM keys WHERE id=?1"},
        {&s.allKeys, "SELECT id, parent, name FROM keys ORDER BY id"},
        {&s.valueRange,
         "SELECT name, type, data, key, id FROM vals WHERE id BETWEEN ?1 AND ?2 ORDER BY id"},
        {&s.valueSpan, "SELECT (SELECT min(id) FROM vals), (SELECT max(id) FROM vals)"},
    };
    // A tree to delete is listed once in a scratch table of this connection, then its values
    // and keys go by that list: half the work of walking the tree for each.
    const Sql deleting[] = {
        {&s.clearDoomed, "DELETE FROM temp.doomed"},
        {&s.collectDoomed,
         "WITH RECURSIVE t(id) AS (SELECT ?1 UNION SELECT keys.id FROM keys JOIN t ON "
         "keys.parent=t.id) INSERT INTO temp.doomed(id) SELECT id FROM t"},
        {&s.deleteTreeValues, "DELETE FROM vals WHERE key IN temp.doomed"},
        {&s.deleteTreeKeys, "DELETE FROM keys WHERE id IN temp.doomed"},
    };
    // Replacing a tree writes only what differs, by row id; new keys get their ids up front so
    // that they too can be written many rows to a statement. An id past both the sequence and
    // the largest id in use is free even in a store whose sequence was tampered with.
    // A value is rewritten in place as an insert of its own id that gives way to an update:
    // unlike UPDATE, that takes many rows to a statement.
    const auto rows = [](const char* head, const char* row, size_t nRows, const char* tail) {
        std::string sql = head;
        for (size_t i = 0; i < nRows; ++i) {
            sql += i > 0 ? "," : "";
            sql += row;
        }
        return sql + tail;
    };
    const std::string insertKeysSql =
        rows("INSERT INTO keys(id, parent, name) VALUES", "(?,?,?)", kValueBatch, "");
    const char* const kRewriteHead = "INSERT INTO vals(id, key, name, type, data) VALUES";
    const char* const kRewriteTail =
        " ON CONFLICT(id) DO UPDATE SET type=excluded.type, data=excluded.data";
    const std::string rewriteValueSql = rows(kRewriteHead, "(?,?,?,?,?)", 1, kRewriteTail);
    const std::string rewriteValuesSql =
        rows(kRewriteHead, "(?,?,?,?,?)", kValueBatch, kRewriteTail);
    const Sql replacing[] = {
        {&s.nextKeyId, "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name='keys'),"
                       " 0), coalesce((SELECT max(id) FROM keys), 0)) + 1"},
        {&s.insertKeyWithId, "INSERT INTO keys(id, parent, name) VALUES(?1, ?2, ?3)"},
        {&s.insertKeysWithIds, insertKeysSql.c_str()},
        {&s.renameKey, "UPDATE keys SET name=?2 WHERE id=?1"},
        {&s.rewriteValue, rewriteValueSql.c_str()},
        {&s.rewriteValues, rewriteValuesSql.c_str()},
        // Apart, as it is rare: setting the name makes SQLite rewrite the index entry.
        {&s.renameValue, "UPDATE vals SET name=?2 WHERE id=?1"},
        {&s.deleteKeyRun, "DELETE FROM keys WHERE id BETWEEN ?1 AND ?2"},
        {&s.deleteValueRun, "DELETE FROM vals WHERE id BETWEEN ?1 AND ?2"},
    };
    // Rows in the order they are queued, so that values keep their creation order; a name
    // written twice in one batch is updated in place like one written twice apart.
    std::string setValuesSql = "INSERT INTO vals(key, name, type, data) VALUES";
    for (size_t i = 0; i < kValueBatch; ++i) {
        const size_t n = 4 * i;
        setValuesSql += (i > 0 ? ",(?" : "(?") + std::to_string(n + 1) + ",?" +
                        std::to_string(n + 2) + ",?" + std::to_string(n + 3) + ",?" +
                        std::to_string(n + 4) + ")";
    }
    setValuesSql += " ON CONFLICT(key, name) DO UPDATE SET type=excluded.type, data=excluded.data";
    if (mode == OpenMode::kReadWrite) {
        if (sqlite3_prepare_v3(m_pDb, setValuesSql.c_str(), -1, SQLITE_PREPARE_PERSISTENT,
                               &s.setValues, nullptr) != SQLITE_OK) {
            return dbError("cannot open");
        }
        if (!Exec("PRAGMA temp_store=MEMORY") ||
            !Exec("CREATE TEMP TABLE doomed(id INTEGER PRIMARY KEY)")) {
            return dbError("cannot open a scratch table");
        }
        for (const std::span<const Sql> group :
             {std::span<const Sql>(replacing), std::span<const Sql>(deleting)}) {
            for (const Sql& sql : group) {
                if (sqlite3_prepare_v3(m_pDb, sql.text, -1, SQLITE_PREPARE_PERSISTENT, sql.ppStmt,
                                       nullptr) != SQLITE_OK) {
                    return dbError("cannot open");
                }
            }
        }
    }
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
    m_nLastFailure = status;
    return status;
}

RegStatus RegistryStore::FailedIn(const char* what) {
    return Fail(m_nLastFailure, std::string(what) + ": " + m_strLastError);
}

RegStatus RegistryStore::DbFail(const char* what) {
    const int rc = sqlite3_extended_errcode(m_pDb) & 0xFF;
    const RegStatus status = rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB ? RegStatus::kBadData
                             : rc == SQLITE_BUSY || rc == SQLITE_LOCKED  ? RegStatus::kBusy
                                                                         : RegStatus::kFailed;
    return Fail(status, std::string(what) + ": " + sqlite3_errmsg(m_pDb));
}

bool RegistryStore::SwitchToWal() {
    // The switch needs the store to itself, and SQLite may answer "busy" at once rather than
    // wait, as when several programs open a store that was just laid out: wait it out here.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_nBusyTimeoutMs);
    for (;;) {
        const int rc = sqlite3_exec(m_pDb, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        const int nPrimary = rc & 0xFF;
        if ((nPrimary != SQLITE_BUSY && nPrimary != SQLITE_LOCKED) ||
            std::chrono::steady_clock::now() >= deadline) {
            return rc == SQLITE_OK;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
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
    m_bTransactionChanged = m_nTransactionDepth > 0;
    return true;
}

RegStatus RegistryStore::KeyExists(int64_t nId) {
    if (m_nTransactionDepth > 0 && (nId >= m_nFreshFrom || nId == m_nCheckedKey)) {
        return RegStatus::kOk;
    }
    Use q(m_pStatements->keyExists);
    const int rc = q.Int(1, nId).Step();
    if (rc == SQLITE_ROW) {
        m_nCheckedKey = m_nTransactionDepth > 0 ? nId : 0;
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
        // Every child of a key made in this transaction was made through here and is known.
        const bool bFresh = m_nTransactionDepth > 0 && nId >= m_nFreshFrom;
        std::string freshName;
        if (m_nTransactionDepth > 0) {
            freshName.assign(reinterpret_cast<const char*>(&nId), sizeof nId);
            AppendFolded(name, freshName);
        }
        if (bFresh) {
            const auto known = m_freshChildren.find(freshName);
            status = known != m_freshChildren.end() ? RegStatus::kOk : RegStatus::kNotFound;
            nChild = known != m_freshChildren.end() ? known->second : 0;
        } else {
            status = FindChild(nId, name, nChild);
        }
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
            if (m_nTransactionDepth > 0) {
                m_nFreshFrom = std::min(m_nFreshFrom, nChild);
                m_freshChildren.emplace(std::move(freshName), nChild);
            }
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
    if (m_pStatements->collectDoomed == nullptr) {
        return Fail(RegStatus::kFailed, "the registry store is open read-only");
    }
    const bool bOwnTransaction = m_nTransactionDepth == 0;
    if (bOwnTransaction && !Begin()) {
        return FailedIn("cannot delete a key");
    }
    // Queued values may belong to the doomed keys.
    if (const RegStatus status = FlushValues(); status != RegStatus::kOk) {
        return status;
    }
    ForgetKnownKeys();
    // One statement at a time: SQLite's message of a failed step must be read before the reset
    // of an earlier, successful statement clears it.
    bool bOk = true;
    for (sqlite3_stmt* pStmt : {m_pStatements->clearDoomed, m_pStatements->collectDoomed,
                                m_pStatements->deleteTreeValues, m_pStatements->deleteTreeKeys}) {
        Use q(pStmt);
        if (pStmt == m_pStatements->collectDoomed) {
            q.Int(1, nId);
        }
        if (q.Step() != SQLITE_DONE) {
            DbFail("cannot delete a key");
            bOk = false;
            break;
        }
    }
    if (!bOk) {
        const RegStatus status = m_nLastFailure;
        m_bTransactionFailed = true;
        if (bOwnTransaction) {
            Rollback();
        }
        return status;
    }
    if (bOwnTransaction && !Commit()) {
        return FailedIn("cannot delete a key");
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::SetValue(int64_t nKey, std::string_view name, uint32_t nType,
                                  std::span<const uint8_t> data) {
    if (!ValidValueName(name)) {
        return Fail(RegStatus::kInvalid, "invalid value name \"" + std::string(name) + "\"");
    }
    if (!ValidValueShape(nType, data)) {
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
    if (m_nTransactionDepth == 0 || m_pStatements->setValues == nullptr) {
        return WriteValueRow(nKey, name, nType, data);
    }
    PendingValue pending;
    pending.nKey = nKey;
    pending.nType = nType;
    pending.nName = m_pendingBytes.size();
    pending.nNameLength = name.size();
    m_pendingBytes.insert(m_pendingBytes.end(), name.begin(), name.end());
    pending.nData = m_pendingBytes.size();
    pending.nDataLength = data.size();
    m_pendingBytes.insert(m_pendingBytes.end(), data.begin(), data.end());
    m_pendingValues.push_back(pending);
    const bool bFull =
        m_pendingValues.size() == kValueBatch || m_pendingBytes.size() >= kMaxPendingBytes;
    return bFull ? FlushValues() : RegStatus::kOk;
}

RegStatus RegistryStore::WriteValueRow(int64_t nKey, std::string_view name, uint32_t nType,
                                       std::span<const uint8_t> data) {
    Use q(m_pStatements->setValue);
    if (q.Int(1, nKey).Text(2, name).Int(3, nType).Blob(4, data).Step() != SQLITE_DONE) {
        m_bTransactionFailed = m_nTransactionDepth > 0;
        return DbFail("cannot write a value");
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::FlushValues() {
    if (m_pendingValues.empty()) {
        return RegStatus::kOk;
    }
    const auto text = [this](size_t nAt, size_t nLength) {
        return std::string_view(reinterpret_cast<const char*>(m_pendingBytes.data()) + nAt,
                                nLength);
    };
    const auto bytes = [this](size_t nAt, size_t nLength) {
        return std::span<const uint8_t>(m_pendingBytes.data() + nAt, nLength);
    };
    RegStatus status = RegStatus::kOk;
    if (m_pendingValues.size() == kValueBatch) {
        Use q(m_pStatements->setValues);
        for (size_t i = 0; i < kValueBatch; ++i) {
            const PendingValue& v = m_pendingValues[i];
            const int n = static_cast<int>(4 * i);
            q.Int(n + 1, v.nKey)
                .Text(n + 2, text(v.nName, v.nNameLength))
                .Int(n + 3, v.nType)
                .Blob(n + 4, bytes(v.nData, v.nDataLength));
        }
        if (q.Step() != SQLITE_DONE) {
            m_bTransactionFailed = true;
            status = DbFail("cannot write a value");
        }
    } else {
        for (const PendingValue& v : m_pendingValues) {
            status = WriteValueRow(v.nKey, text(v.nName, v.nNameLength), v.nType,
                                   bytes(v.nData, v.nDataLength));
            if (status != RegStatus::kOk) {
                break;
            }
        }
    }
    m_pendingValues.clear();
    m_pendingBytes.clear();
    return status;
}

namespace detail {

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

} // namespace detail

namespace {

bool ReadValueRow(sqlite3_stmt* pStmt, RegValue& value, std::string& why) {
    std::string_view name;
    std::span<const uint8_t> data;
    if (!CheckValueRow(pStmt, name, value.nType, data, why)) {
        return false;
    }
    value.strName.assign(name);
    value.data.assign(data.begin(), data.end());
    return true;
}

} // namespace

RegStatus RegistryStore::QueryValue(int64_t nKey, std::string_view name, RegValue& value) {
    if (!ValidValueName(name)) {
        return Fail(RegStatus::kInvalid, "invalid value name \"" + std::string(name) + "\"");
    }
    RegStatus status = FlushValues();
    if (status == RegStatus::kOk) {
        status = KeyExists(nKey);
    }
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
    RegStatus status = FlushValues();
    if (status == RegStatus::kOk) {
        status = KeyExists(nKey);
    }
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

bool RegistryStore::Checkpoint() {
    return sqlite3_wal_checkpoint_v2(m_pDb, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr) ==
           SQLITE_OK;
}

bool RegistryStore::DataVersion(int64_t& nVersion) {
    sqlite3_stmt* pStmt = nullptr;
    const bool bOk =
        sqlite3_prepare_v2(m_pDb, "PRAGMA data_version", -1, &pStmt, nullptr) == SQLITE_OK &&
        sqlite3_step(pStmt) == SQLITE_ROW;
    if (bOk) {
        nVersion = sqlite3_column_int64(pStmt, 0);
    } else {
        DbFail("cannot read");
    }
    sqlite3_finalize(pStmt);
    return bOk;
}

// ---------------------------------------------------------------------------------------------
// Transactions

void RegistryStore::ForgetKnownKeys() {
    m_pendingValues.clear();
    m_pendingBytes.clear();
    m_nFreshFrom = INT64_MAX;
    m_nCheckedKey = 0;
    m_freshChildren.clear();
}

bool RegistryStore::Begin() {
    if (m_nTransactionDepth == 0) {
        if (!Exec("BEGIN IMMEDIATE")) {
            DbFail("cannot start a transaction");
            return false;
        }
        m_bTransactionFailed = false;
        m_bTransactionChanged = false;
        ForgetKnownKeys();
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
    if (m_bTransactionFailed || FlushValues() != RegStatus::kOk) {
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
    ForgetKnownKeys();
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
