#include "platform/RegistryStore.h"

#include "platform/RegTree.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <numeric>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>

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

bool ValidValueShape(uint32_t nType, std::span<const uint8_t> data) {
    const bool bShape = (nType == REG_SZ && !data.empty() && data.back() == 0) ||
                        (nType == REG_DWORD && data.size() == 4) || nType == REG_BINARY;
    return bShape && data.size() <= kMaxValueSize;
}

void AppendFolded(std::string_view text, std::string& out) {
    for (const char c : text) {
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
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

// Reads an INTEGER column; false for anything else. One call of the API rather than two: a
// whole tree is read a few columns at a time.
bool ColumnInt(sqlite3_stmt* pStmt, int nCol, int64_t& value) {
    sqlite3_value* pValue = sqlite3_column_value(pStmt, nCol);
    if (sqlite3_value_type(pValue) != SQLITE_INTEGER) {
        return false;
    }
    value = sqlite3_value_int64(pValue);
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
    sqlite3_stmt* clearDoomed = nullptr;
    sqlite3_stmt* collectDoomed = nullptr;
    sqlite3_stmt* deleteTreeValues = nullptr;
    sqlite3_stmt* deleteTreeKeys = nullptr;
    sqlite3_stmt* setValue = nullptr;
    sqlite3_stmt* setValues = nullptr; // RegistryStore::kValueBatch rows
    sqlite3_stmt* queryValue = nullptr;
    sqlite3_stmt* enumKeys = nullptr;
    sqlite3_stmt* enumValues = nullptr;
    sqlite3_stmt* keyInfo = nullptr;
    sqlite3_stmt* allKeys = nullptr;
    sqlite3_stmt* valueRange = nullptr;
    sqlite3_stmt* valueSpan = nullptr;
    sqlite3_stmt* nextKeyId = nullptr;
    sqlite3_stmt* insertKeyWithId = nullptr;
    sqlite3_stmt* insertKeysWithIds = nullptr; // RegistryStore::kValueBatch rows
    sqlite3_stmt* renameKey = nullptr;
    sqlite3_stmt* rewriteValue = nullptr;
    sqlite3_stmt* rewriteValues = nullptr; // RegistryStore::kValueBatch rows
    sqlite3_stmt* renameValue = nullptr;
    sqlite3_stmt* deleteKeyRun = nullptr;
    sqlite3_stmt* deleteValueRun = nullptr;

    ~Statements() {
        for (sqlite3_stmt* p : {findChild,     keyExists,        insertKey,         clearDoomed,
                                collectDoomed, deleteTreeValues, deleteTreeKeys,    setValue,
                                setValues,     queryValue,       enumKeys,          enumValues,
                                keyInfo,       allKeys,          valueRange,        valueSpan,
                                nextKeyId,     insertKeyWithId,  insertKeysWithIds, renameKey,
                                rewriteValue,  rewriteValues,    renameValue,       deleteKeyRun,
                                deleteValueRun}) {
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

RegStatus RegKey::ReplaceSubKeyTree(std::string_view path, const RegTree& tree) const {
    if (!m_pStore) {
        return RegStatus::kInvalid;
    }
    return m_pStore->ReplaceTree(m_nId, path, tree);
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
    sqlite3_busy_timeout(m_pDb, kBusyTimeoutMs);
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

RegStatus RegistryStore::ReplaceKeyTree(RegHive hive, std::string_view path, const RegTree& tree) {
    return Root(hive).ReplaceSubKeyTree(path, tree);
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

bool RegistryStore::SwitchToWal() {
    // The switch needs the store to itself, and SQLite may answer "busy" at once rather than
    // wait, as when several programs open a store that was just laid out: wait it out here.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
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
        return DbFail("cannot delete a key");
    }
    // Queued values may belong to the doomed keys.
    if (const RegStatus status = FlushValues(); status != RegStatus::kOk) {
        return status;
    }
    ForgetKnownKeys();
    bool bOk = Use(m_pStatements->clearDoomed).Step() == SQLITE_DONE &&
               Use(m_pStatements->collectDoomed).Int(1, nId).Step() == SQLITE_DONE &&
               Use(m_pStatements->deleteTreeValues).Step() == SQLITE_DONE &&
               Use(m_pStatements->deleteTreeKeys).Step() == SQLITE_DONE;
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
        return DbFail("cannot write a key tree");
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
            bool bRead = false;
            if (!m_bTransactionChanged) {
                status = ReadTreeInHalves(nRoot, old, bRead);
            }
            if (status == RegStatus::kOk && !bRead) {
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
        return DbFail("cannot write a key tree");
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
        nNextId = sqlite3_column_int64(q.Stmt(), 0);
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

namespace {

// Checks (name, type, data) at columns 0..2 of a value row against what a value can be; the
// views are valid until the statement moves on. Each column is fetched once: the column calls
// of the API cost more than the checks.
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

RegStatus RegKey::ReadTree(RegTree& tree) const {
    tree = RegTree();
    if (!m_pStore) {
        return RegStatus::kInvalid;
    }
    return m_pStore->ReadTree(m_nId, tree);
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
        if ((status = ReadTreeInHalves(key.m_nId, tree, bRead)) != RegStatus::kOk || !bRead) {
            return status;
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
RegStatus RegistryStore::ReadTreeInHalves(int64_t nRoot, RegTree& tree, bool& bRead) {
    bRead = false;
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
        RegistryStore* pHelper = nHigh - nLow >= kReadInHalvesFrom ? Helper() : nullptr;
        if (pHelper == nullptr) {
            bRead = true;
            return ReadTree(nRoot, tree);
        }
        // This connection reads the keys as well, so it takes the smaller share of the values.
        const int64_t nSplit = nLow + (nHigh - nLow) / 10 * 3;
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
    bRead = true;
    return RegStatus::kOk;
}

RegistryStore* RegistryStore::Helper() {
    if (!m_pHelper) {
        std::string strError;
        m_pHelper = Open(m_strPath, strError, OpenMode::kReadOnly);
        // Only a second look at the very file this connection has open will do.
        struct stat st {};
        if (m_pHelper && (::stat(m_strPath.c_str(), &st) != 0 || st.st_dev != m_nDevice ||
                          st.st_ino != m_nInode)) {
            m_pHelper.reset();
        }
    }
    return m_pHelper.get();
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
