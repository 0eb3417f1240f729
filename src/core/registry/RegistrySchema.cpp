#include "core/registry/RegistrySchema.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <sqlite3.h>

namespace vext::detail {
namespace {

// "VEXT" in the database header marks the file as ours.
constexpr int32_t kApplicationId = 0x56455854;
constexpr int kFormatVersion = 1;

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

// What a database holds at its start: its marks and every object of its schema.
struct SchemaInfo {
    int64_t nAppId = 0;
    int64_t nVersion = 0;
    std::vector<std::string> objects; // "type name on table: sql", sorted

    bool IsEmpty() const { return nAppId == 0 && objects.empty(); }
};

bool ReadInt(sqlite3* pDb, const char* sql, int64_t& value) {
    sqlite3_stmt* pStmt = nullptr;
    const bool bOk = sqlite3_prepare_v2(pDb, sql, -1, &pStmt, nullptr) == SQLITE_OK &&
                     sqlite3_step(pStmt) == SQLITE_ROW;
    if (bOk) {
        value = sqlite3_column_int64(pStmt, 0);
    }
    sqlite3_finalize(pStmt);
    return bOk;
}

bool ReadSchemaInfo(sqlite3* pDb, SchemaInfo& info) {
    info = SchemaInfo();
    if (!ReadInt(pDb, "PRAGMA application_id", info.nAppId) ||
        !ReadInt(pDb, "PRAGMA user_version", info.nVersion)) {
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

bool NotAStore(const std::string& strPath, const std::string& why, std::string& strError) {
    strError = strPath + ": not a VextKey registry store (" + why + ")";
    return false;
}

// Reads and checks the schema of one store file on one connection.
class SchemaCheck {
public:
    SchemaCheck(RegConnection& conn, const std::string& strPath, std::string& strError)
        : m_conn(conn), m_strPath(strPath), m_strError(strError) {}

    bool Run(bool bWritable) {
        SchemaInfo info;
        if (!Inspect(info)) {
            return false;
        }
        if (info.IsEmpty()) {
            if (!bWritable) {
                return NotOurs("empty file");
            }
            if (!LayOut(info)) {
                return false;
            }
        }
        return CheckMarks(info) && CheckObjects(info);
    }

private:
    bool NotOurs(const std::string& why) { return NotAStore(m_strPath, why, m_strError); }

    bool DbError(const char* what) { return OpenFailed(m_conn, m_strPath, what, m_strError); }

    // Every look at the marks and the schema is one snapshot: read apart, a store being laid
    // out by another process meanwhile could look half made.
    bool Inspect(SchemaInfo& info) {
        const bool bOwnSnapshot = sqlite3_get_autocommit(m_conn.Db()) != 0;
        if (bOwnSnapshot && !m_conn.Exec("BEGIN DEFERRED")) {
            return DbError("cannot read");
        }
        // The reason is taken before a rollback replaces SQLite's last message.
        const bool bOk = ReadSchemaInfo(m_conn.Db(), info) || DbError("cannot read");
        if (bOwnSnapshot) {
            m_conn.Exec(bOk ? "COMMIT" : "ROLLBACK");
        }
        return bOk;
    }

    // A fresh file: the schema is laid out once, under the write lock, unless another process
    // got there first; whoever waited then sees the finished store.
    bool LayOut(SchemaInfo& info) {
        if (!m_conn.Exec("BEGIN IMMEDIATE")) {
            return DbError("cannot set up");
        }
        if (!Inspect(info)) {
            m_conn.Exec("ROLLBACK");
            return false;
        }
        if (info.IsEmpty()) {
            const std::string pragmas = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                        ";PRAGMA user_version=" + std::to_string(kFormatVersion);
            if (!m_conn.Exec(kSchema) || !m_conn.Exec(pragmas.c_str()) || !m_conn.Exec("COMMIT")) {
                const bool bFailed = DbError("cannot set up");
                m_conn.Exec("ROLLBACK");
                return bFailed;
            }
        } else {
            m_conn.Exec("ROLLBACK");
        }
        return Inspect(info);
    }

    bool CheckMarks(const SchemaInfo& info) {
        if (info.nAppId != kApplicationId) {
            return NotOurs(info.nAppId == 0 ? "a database of another program"
                                            : "it belongs to another program");
        }
        if (info.nVersion != kFormatVersion) {
            m_strError = m_strPath + ": registry store format " + std::to_string(info.nVersion) +
                         " is not the one this program reads (" + std::to_string(kFormatVersion) +
                         ")";
            return false;
        }
        return true;
    }

    // Only the tables this program makes, exactly as it makes them: a trigger or a view, or a
    // table made over, could run anything at all when the store is read or written.
    bool CheckObjects(const SchemaInfo& info) {
        const std::vector<std::string>& own = OwnSchema();
        if (own.empty()) {
            m_strError = m_strPath + ": cannot check the registry store's layout";
            return false;
        }
        if (info.objects == own) {
            return true;
        }
        const auto lacks = [](const std::vector<std::string>& in, const std::string& o) {
            return std::find(in.begin(), in.end(), o) == in.end();
        };
        const auto foreign = std::find_if(info.objects.begin(), info.objects.end(),
                                          [&](const std::string& o) { return lacks(own, o); });
        const auto missing = std::find_if(
            own.begin(), own.end(), [&](const std::string& o) { return lacks(info.objects, o); });
        // "type name on table: sql" -> type "name"
        const auto describe = [](const std::string& o) {
            const size_t nSpace = o.find(' ');
            const size_t nOn = o.find(" on ", nSpace);
            return o.substr(0, nSpace) + " \"" + o.substr(nSpace + 1, nOn - nSpace - 1) + "\"";
        };
        m_strError =
            m_strPath + ": the registry store is damaged or was altered: " +
            (foreign != info.objects.end()
                 ? "it holds " + describe(*foreign) + ", which VextKey never makes"
             : missing != own.end() ? "it lacks " + describe(*missing) + ", which VextKey makes"
                                    : "its tables are not laid out as VextKey makes them");
        return false;
    }

    RegConnection& m_conn;
    const std::string& m_strPath;
    std::string& m_strError;
};

} // namespace

bool PrepareStoreFile(const std::string& strPath, bool bWritable, std::string& strError) {
    if (strPath.empty()) {
        strError = "no registry store path given";
        return false;
    }
    struct stat st {};
    if (::stat(strPath.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            strError = strPath + ": not a registry store (not a regular file)";
            return false;
        }
        return true;
    }
    if (!bWritable) {
        strError = strPath + ": no registry store there";
        return false;
    }
    if (!MakeDirectories(ParentDir(strPath))) {
        strError = strPath + ": cannot create its folder: " + std::strerror(errno);
        return false;
    }
    // Made here rather than by SQLite so that it is private whatever the umask; SQLite gives its
    // -wal and -shm files the database's mode.
    const int fd = ::open(strPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        strError = strPath + ": cannot create: " + std::strerror(errno);
        return false;
    }
    ::fchmod(fd, 0600);
    ::close(fd);
    return true;
}

bool OpenFailed(RegConnection& conn, const std::string& strPath, const char* what,
                std::string& strError) {
    sqlite3* pDb = conn.Db();
    const int rc = sqlite3_extended_errcode(pDb) & 0xFF;
    conn.Fail(rc == SQLITE_BUSY || rc == SQLITE_LOCKED ? RegStatus::kBusy : RegStatus::kFailed,
              sqlite3_errmsg(pDb));
    if (rc == SQLITE_NOTADB) {
        return NotAStore(strPath, "not an SQLite database", strError);
    }
    strError = rc == SQLITE_CORRUPT
                   ? strPath + ": the registry store is damaged (" + sqlite3_errmsg(pDb) + ")"
                   : strPath + ": " + what + ": " + sqlite3_errmsg(pDb);
    return false;
}

void ConfigureConnection(RegConnection& conn, int nBusyTimeoutMs) {
    sqlite3* pDb = conn.Db();
    sqlite3_extended_result_codes(pDb, 1);
    sqlite3_busy_timeout(pDb, nBusyTimeoutMs);
    // The file may come from anywhere: no schema tricks, no writes that corrupt on purpose, and
    // since our schema has neither, no trigger fires and no view is read even if one slipped in.
    sqlite3_db_config(pDb, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(pDb, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(pDb, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(pDb, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
}

bool CheckStoreSchema(RegConnection& conn, const std::string& strPath, bool bWritable,
                      std::string& strError) {
    return SchemaCheck(conn, strPath, strError).Run(bWritable);
}

bool SwitchToWal(RegConnection& conn, int nBusyTimeoutMs) {
    // The switch needs the store to itself, and SQLite may answer "busy" at once rather than
    // wait, as when several programs open a store that was just laid out: wait it out here.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(nBusyTimeoutMs);
    for (;;) {
        const int rc =
            sqlite3_exec(conn.Db(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        const int nPrimary = rc & 0xFF;
        if ((nPrimary != SQLITE_BUSY && nPrimary != SQLITE_LOCKED) ||
            std::chrono::steady_clock::now() >= deadline) {
            return rc == SQLITE_OK;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void TuneConnection(RegConnection& conn) {
    // In WAL mode a commit that is not synced is lost on a power cut but never corrupts; a
    // download is written again in a moment. A large key set fits the cache without spilling
    // into the log before its commit.
    conn.Exec("PRAGMA synchronous=NORMAL");
    conn.Exec("PRAGMA cache_size=-32768");
    // Key sets are no secret worth zeroing freed space for, at the cost of every rewrite.
    conn.Exec("PRAGMA secure_delete=OFF");
    // Copying a download from the log into the database file takes as long again as a large
    // download itself: the downloader checkpoints once the driver has read it (Checkpoint).
    // This only bounds the log should nobody do so.
    conn.Exec("PRAGMA wal_autocheckpoint=16384");
}

} // namespace vext::detail
