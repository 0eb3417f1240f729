#include "core/registry/RegistryStore.h"

#include "core/platform/NoCase.h"
#include "core/platform/RuntimeDir.h"
#include "core/registry/RegConnection.h"
#include "core/registry/RegTree.h"
#include "core/registry/RegTreePlan.h"
#include "core/registry/RegTreeReader.h"
#include "core/registry/RegTreeWriter.h"
#include "core/registry/RegValueBatch.h"
#include "core/registry/RegistrySchema.h"
#include "core/registry/RegistrySql.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include <sqlite3.h>

namespace vext {

using namespace detail;

namespace {

// Deeper than any tree we write; a longer parent chain is a loop in a damaged file.
constexpr int kMaxDepth = 512;

bool IsHive(int64_t nId) {
    return nId == static_cast<int64_t>(HKEY_LOCAL_MACHINE) ||
           nId == static_cast<int64_t>(HKEY_CURRENT_USER);
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
    return UserStateDir() + "/registry.sqlite";
}

RegistryStore::RegistryStore()
    : m_pConn(std::make_unique<RegConnection>()), m_pValues(std::make_unique<RegValueQueue>()) {
    m_pConn->SetGate([this] { return AllowWrite(); });
}

RegistryStore::~RegistryStore() {
    if (m_pConn->Db() && m_nTransactionDepth > 0) {
        m_pConn->Exec("ROLLBACK");
    }
}

std::unique_ptr<RegistryStore> RegistryStore::Open(const std::string& strPath,
                                                   std::string& strError, OpenMode mode,
                                                   RegStatus* pStatus, int nBusyTimeoutMs) {
    strError.clear();
    if (pStatus) {
        *pStatus = RegStatus::kFailed;
    }
    const bool bWritable = mode == OpenMode::kReadWrite;
    if (!PrepareStoreFile(strPath, bWritable, strError)) {
        return nullptr;
    }
    std::unique_ptr<RegistryStore> store(new RegistryStore());
    store->m_strPath = strPath;
    store->m_nBusyTimeoutMs = nBusyTimeoutMs;
    struct stat st {};
    if (::stat(strPath.c_str(), &st) == 0) {
        store->m_nDevice = st.st_dev;
        store->m_nInode = st.st_ino;
    }
    const int flags =
        (bWritable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    if (!store->m_pConn->Open(strPath, flags, strError)) {
        return nullptr;
    }
    if (!store->Initialise(mode, strError)) {
        if (pStatus) {
            *pStatus = store->LastFailure();
        }
        return nullptr;
    }
    return store;
}

bool RegistryStore::Initialise(OpenMode mode, std::string& strError) {
    RegConnection& conn = *m_pConn;
    const bool bWritable = mode == OpenMode::kReadWrite;
    ConfigureConnection(conn, m_nBusyTimeoutMs);
    if (!CheckStoreSchema(conn, m_strPath, bWritable, strError)) {
        return false;
    }
    if (bWritable && !SwitchToWal(conn, m_nBusyTimeoutMs)) {
        return OpenFailed(conn, m_strPath, "cannot switch to write-ahead logging", strError);
    }
    TuneConnection(conn);
    const char* pWhat = nullptr;
    if (bWritable && !conn.Sql().PrepareWriting(conn.Db(), &pWhat)) {
        return OpenFailed(conn, m_strPath, pWhat, strError);
    }
    if (!conn.Sql().PrepareReading(conn.Db())) {
        strError =
            m_strPath + ": the registry store is damaged (" + sqlite3_errmsg(conn.Db()) + ")";
        return false;
    }
    for (RegHive hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        std::string strHivePath;
        if (GetPath(static_cast<int64_t>(hive), strHivePath) != RegStatus::kOk) {
            strError = m_strPath + ": the registry store is damaged (" + LastError() + ")";
            return false;
        }
    }
    return true;
}

const std::string& RegistryStore::LastError() const {
    return m_pConn->LastError();
}

RegStatus RegistryStore::LastFailure() const {
    return m_pConn->LastFailure();
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
    return m_pConn->Fail(status, std::move(message));
}

RegStatus RegistryStore::FailedIn(const char* what) {
    return Fail(LastFailure(), std::string(what) + ": " + LastError());
}

RegStatus RegistryStore::DbFail(const char* what) {
    return m_pConn->DbFail(what);
}

RegStatus RegistryStore::Failed(RegStatus status, bool bOwnTransaction) {
    m_bTransactionFailed = m_nTransactionDepth > 0;
    if (bOwnTransaction) {
        Rollback();
    }
    return status;
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
    Use q(m_pConn->Sql().keyExists);
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
    Use q(m_pConn->Sql().findChild);
    const int rc = q.Int(1, nParent).Text(2, name).Step();
    if (rc == SQLITE_ROW) {
        if (!ColumnInt(q.Stmt(), 0, nId)) {
            return Fail(RegStatus::kBadData, "a key without a number");
        }
        return RegStatus::kOk;
    }
    if (rc == SQLITE_DONE) {
        return Fail(RegStatus::kNotFound, "no key \"" + std::string(name) + "\"");
    }
    return DbFail("cannot read a key");
}

namespace {

std::string FreshName(int64_t nParent, std::string_view name) {
    std::string fresh(reinterpret_cast<const char*>(&nParent), sizeof nParent);
    AppendFolded(name, fresh);
    return fresh;
}

} // namespace

RegStatus RegistryStore::FindFreshChild(int64_t nParent, std::string_view name, int64_t& nId) {
    const auto known = m_freshChildren.find(FreshName(nParent, name));
    if (known == m_freshChildren.end()) {
        return RegStatus::kNotFound;
    }
    nId = known->second;
    return RegStatus::kOk;
}

RegStatus RegistryStore::CreateChild(int64_t nParent, std::string_view name, int64_t& nId) {
    if (!AllowWrite()) {
        return RegStatus::kFailed;
    }
    Use q(m_pConn->Sql().insertKey);
    if (q.Int(1, nParent).Text(2, name).Step() != SQLITE_DONE) {
        m_bTransactionFailed = m_nTransactionDepth > 0;
        return DbFail("cannot create a key");
    }
    nId = sqlite3_last_insert_rowid(m_pConn->Db());
    if (m_nTransactionDepth > 0) {
        m_nFreshFrom = std::min(m_nFreshFrom, nId);
        m_freshChildren.emplace(FreshName(nParent, name), nId);
    }
    return RegStatus::kOk;
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
    std::vector<std::string_view> names;
    for (size_t pos = 0;;) {
        const size_t end = std::min(path.find('\\', pos), path.size());
        names.push_back(path.substr(pos, end - pos));
        // The whole path is checked first so that a bad name at its end creates nothing.
        if (!ValidKeyName(names.back())) {
            return Fail(RegStatus::kInvalid,
                        "invalid key name \"" + std::string(names.back()) + "\"");
        }
        if (end == path.size()) {
            break;
        }
        pos = end + 1;
    }
    for (const std::string_view name : names) {
        int64_t nChild = 0;
        // Every child of a key made in this transaction was made through here and is known.
        status = m_nTransactionDepth > 0 && nId >= m_nFreshFrom ? FindFreshChild(nId, name, nChild)
                                                                : FindChild(nId, name, nChild);
        if (status == RegStatus::kNotFound && bCreate) {
            status = CreateChild(nId, name, nChild);
        }
        if (status != RegStatus::kOk) {
            return status;
        }
        nId = nChild;
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::DeleteTree(int64_t nId) {
    if (IsHive(nId)) {
        return Fail(RegStatus::kInvalid, "a hive cannot be deleted");
    }
    if (!AllowWrite()) {
        return RegStatus::kFailed;
    }
    RegStatements& sql = m_pConn->Sql();
    if (!sql.IsWritable()) {
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
    for (sqlite3_stmt* pStmt :
         {sql.clearDoomed, sql.collectDoomed, sql.deleteTreeValues, sql.deleteTreeKeys}) {
        Use q(pStmt);
        if (pStmt == sql.collectDoomed) {
            q.Int(1, nId);
        }
        if (q.Step() != SQLITE_DONE) {
            return Failed(DbFail("cannot delete a key"), bOwnTransaction);
        }
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
    if (m_nTransactionDepth > 0 && m_pConn->Sql().IsWritable()) {
        return m_pValues->Add(nKey, name, nType, data) ? FlushValues() : RegStatus::kOk;
    }
    Use q(m_pConn->Sql().setValue);
    if (q.Int(1, nKey).Text(2, name).Int(3, nType).Blob(4, data).Step() != SQLITE_DONE) {
        m_bTransactionFailed = m_nTransactionDepth > 0;
        return DbFail("cannot write a value");
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::FlushValues() {
    const RegStatus status = m_pValues->Flush(*m_pConn);
    if (status != RegStatus::kOk) {
        m_bTransactionFailed = true;
    }
    return status;
}

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
    Use q(m_pConn->Sql().queryValue);
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
    Use q(m_pConn->Sql().enumKeys);
    q.Int(1, nKey);
    int rc;
    while ((rc = q.Step()) == SQLITE_ROW) {
        std::string_view name;
        if (!ColumnText(q.Stmt(), 0, kMaxKeyNameLength, name) || !ValidKeyName(name)) {
            names.clear();
            return Fail(RegStatus::kBadData, "damaged: a key with a bad name");
        }
        names.emplace_back(name);
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
    Use q(m_pConn->Sql().enumValues);
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
        Use q(m_pConn->Sql().keyInfo);
        const int rc = q.Int(1, nId).Step();
        if (rc == SQLITE_DONE) {
            return Fail(depth == 0 ? RegStatus::kNotFound : RegStatus::kBadData,
                        depth == 0 ? "the key no longer exists" : "damaged: a key without parent");
        }
        if (rc != SQLITE_ROW) {
            return DbFail("cannot read a key");
        }
        std::string_view name;
        int64_t nParent = 0;
        if (!ColumnInt(q.Stmt(), 0, nParent) || !ColumnText(q.Stmt(), 1, kMaxKeyNameLength, name)) {
            return Fail(RegStatus::kBadData, "damaged: a key with a bad name or parent");
        }
        if (nParent == 0 && !(IsHive(nId) && name == HiveName(static_cast<RegHive>(nId)))) {
            return Fail(RegStatus::kBadData, "damaged: a key outside the hives");
        }
        if (nParent != 0 && !ValidKeyName(name)) {
            return Fail(RegStatus::kBadData, "damaged: a key with a bad name");
        }
        names.emplace_back(name);
        if (nParent == 0) {
            break;
        }
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
// RegistryStore: whole trees

RegStatus RegistryStore::CheckTree(const RegTree& tree) {
    // A bad name or value anywhere writes nothing.
    for (uint32_t k = 1; k < tree.KeyCount(); ++k) {
        if (!ValidKeyName(tree.KeyName(k))) {
            return Fail(RegStatus::kInvalid,
                        "invalid key name \"" + std::string(tree.KeyName(k)) + "\"");
        }
    }
    for (uint32_t v = 0; v < tree.ValueCount(); ++v) {
        const RegValueView value = tree.ValueAt(v);
        if (!ValidValueName(value.name) || !ValidValueShape(value.nType, value.data)) {
            return Fail(RegStatus::kInvalid, "invalid value \"" + std::string(value.name) + "\"");
        }
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::ReadOldTree(int64_t nFrom, std::string_view path, RegTree& old) {
    int64_t nRoot = 0;
    RegStatus status = Walk(nFrom, path, false, nRoot);
    if (status == RegStatus::kNotFound) {
        status = Walk(nFrom, path, true, nRoot);
        old = RegTreeReader::EmptyAt(nRoot);
        return status;
    }
    if (status != RegStatus::kOk) {
        return status;
    }
    // Holding the write lock with nothing changed yet, this connection sees what any other
    // sees: a second one may read half the old tree.
    int nConnections = 0;
    if (!m_bTransactionChanged) {
        status = ReadTreeInHalves(nRoot, old, nConnections);
    }
    if (status == RegStatus::kOk && nConnections == 0) {
        status = ReadTree(nRoot, old);
    }
    if (status == RegStatus::kBadData) {
        // Nothing of a damaged tree is worth keeping: it is written anew. (Damage on the way to
        // it is the caller's to hear of.)
        status = DeleteTree(nRoot);
        if (status == RegStatus::kOk) {
            status = Walk(nFrom, path, true, nRoot);
        }
        old = RegTreeReader::EmptyAt(nRoot);
    }
    return status;
}

RegStatus RegistryStore::ReplaceTree(int64_t nFrom, std::string_view path, const RegTree& tree) {
    if (path.empty()) {
        return Fail(RegStatus::kInvalid, "no sub-key named to replace");
    }
    if (const RegStatus status = CheckTree(tree); status != RegStatus::kOk) {
        return status;
    }
    if (!m_pConn->Sql().IsWritable()) {
        return Fail(RegStatus::kFailed, "the registry store is open read-only");
    }
    const bool bOwnTransaction = m_nTransactionDepth == 0;
    if (bOwnTransaction && !Begin()) {
        return FailedIn("cannot write a key tree");
    }
    RegTree old;
    RegStatus status = FlushValues();
    if (status == RegStatus::kOk) {
        status = ReadOldTree(nFrom, path, old);
    }
    if (status == RegStatus::kOk) {
        status = WriteTreeEdits(*m_pConn, old, tree, PlanTreeWrite(old, tree));
    }
    // The keys written here are not in the lists that spare Walk its queries.
    ForgetKnownKeys();
    if (status != RegStatus::kOk) {
        return Failed(status, bOwnTransaction);
    }
    if (bOwnTransaction && !Commit()) {
        return FailedIn("cannot write a key tree");
    }
    return RegStatus::kOk;
}

RegStatus RegistryStore::ReadTree(int64_t nKey, RegTree& tree) {
    tree = RegTree();
    RegStatus status = FlushValues();
    if (status == RegStatus::kOk) {
        status = KeyExists(nKey);
    }
    return status == RegStatus::kOk ? RegTreeReader::Read(*m_pConn, nKey, tree) : status;
}

RegStatus RegistryStore::ReadTreeInHalves(int64_t nRoot, RegTree& tree, int& nConnections) {
    nConnections = 0;
    if (const RegStatus status = FlushValues(); status != RegStatus::kOk) {
        return status;
    }
    const RegStatus status = RegTreeReader::ReadInHalves(
        *m_pConn, [this] { return Helper(); }, m_halvesHook, nRoot, tree, nConnections);
    if (status == RegStatus::kOk && nConnections == 0) {
        m_pHelper.reset(); // whatever it met, this connection reads on its own
    }
    return status;
}

RegStatus RegistryStore::ReadKeyTree(RegHive hive, std::string_view path, RegTree& tree) {
    if (m_nTransactionDepth == 0 && sqlite3_get_autocommit(m_pConn->Db())) {
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
    {
        // The snapshot starts with the version read; any commit after it changes the version.
        const RegReadSnapshot snapshot(*this);
        if (!snapshot.IsActive() || !DataVersion(nVersion)) {
            return DbFail("cannot read");
        }
        RegKey key;
        if (const RegStatus status = OpenKey(hive, path, key); status != RegStatus::kOk) {
            return status;
        }
        int nConnections = 0;
        const RegStatus status = ReadTreeInHalves(key.m_nId, tree, nConnections);
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

RegConnection* RegistryStore::Helper() {
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
    return m_pHelper ? m_pHelper->m_pConn.get() : nullptr;
}

bool RegistryStore::Checkpoint() {
    return sqlite3_wal_checkpoint_v2(m_pConn->Db(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                     nullptr) == SQLITE_OK;
}

bool RegistryStore::DataVersion(int64_t& nVersion) {
    sqlite3_stmt* pStmt = nullptr;
    const bool bOk = sqlite3_prepare_v2(m_pConn->Db(), "PRAGMA data_version", -1, &pStmt,
                                        nullptr) == SQLITE_OK &&
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
    m_pValues->Clear();
    m_nFreshFrom = INT64_MAX;
    m_nCheckedKey = 0;
    m_freshChildren.clear();
}

bool RegistryStore::Begin() {
    if (m_nTransactionDepth == 0) {
        if (!m_pConn->Exec("BEGIN IMMEDIATE")) {
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
    if (!m_pConn->Exec("COMMIT")) {
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
    if (!sqlite3_get_autocommit(m_pConn->Db())) {
        m_pConn->Exec("ROLLBACK");
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
    if (m_store.m_nTransactionDepth == 0 && sqlite3_get_autocommit(m_store.m_pConn->Db())) {
        m_bActive = m_store.m_pConn->Exec("BEGIN DEFERRED");
    }
}

RegReadSnapshot::~RegReadSnapshot() {
    if (m_bActive && !sqlite3_get_autocommit(m_store.m_pConn->Db())) {
        m_store.m_pConn->Exec("ROLLBACK");
    }
}

} // namespace vext
