#pragma once

// The registry the driver record lives in: keys and typed values under two hive roots, kept in
// one SQLite database so that a whole key set can be replaced in one transaction and the driver
// never reads half of one. Names compare without regard to ASCII case and keep the case they
// were created with; sub-keys and values enumerate in the order they were created.

#include "core/registry/RegTree.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vext {

namespace detail {
class RegConnection;
class RegValueQueue;
} // namespace detail

class RegKey;
class RegTree;
class RegistryStore;

enum class RegHive : int64_t {
    HKEY_LOCAL_MACHINE = 1,
    HKEY_CURRENT_USER = 2,
};
inline constexpr RegHive HKEY_LOCAL_MACHINE = RegHive::HKEY_LOCAL_MACHINE;
inline constexpr RegHive HKEY_CURRENT_USER = RegHive::HKEY_CURRENT_USER;

// The hive's name as a path's first component: "HKEY_LOCAL_MACHINE".
const char* HiveName(RegHive hive);
// Reads a hive name (the long form or "HKLM" / "HKCU", any case); false for anything else.
bool ParseHiveName(std::string_view name, RegHive& hive);

enum RegValueType : uint32_t {
    REG_SZ = 1,
    REG_BINARY = 3,
    REG_DWORD = 4,
};

enum class RegStatus {
    kOk,
    kNotFound,  // no such key or value
    kWrongType, // the value exists with another type
    kInvalid,   // a bad name, path or handle
    kBadData,   // what the store holds is not what it can hold: damaged or foreign
    kFailed,    // the database refused (I/O, read-only, full)
    kBusy,      // another program held the store's lock for longer than the wait
};
const char* RegStatusText(RegStatus status);

// Longest names the Windows registry takes; longer ones are refused on write and read.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
// A value larger than this is not one we wrote.
inline constexpr std::size_t kMaxValueSize = 16u << 20;

struct RegValue {
    std::string strName;
    uint32_t nType = 0;
    std::vector<uint8_t> data; // as stored: a REG_SZ with its NUL, a REG_DWORD as 4 bytes LE
};

// An open key. Move-only; it needs no closing but may be closed early. The store must outlive
// every key opened from it. A key deleted while a handle to it is open makes the handle's later
// operations fail with kNotFound.
class RegKey {
public:
    RegKey() = default;
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() = default;

    bool IsOpen() const { return m_pStore != nullptr; }
    explicit operator bool() const { return IsOpen(); }
    void Close();

    // Sub-key paths are names separated by "\"; an empty path names this key itself.
    RegStatus OpenSubKey(std::string_view path, RegKey& key) const;
    // Opens the sub-key, creating it and every missing key on the way.
    RegStatus CreateSubKey(std::string_view path, RegKey& key) const;
    // Deletes the sub-key with everything below it.
    RegStatus DeleteSubKeyTree(std::string_view path) const;
    // Makes the sub-key (created if missing) hold exactly what tree holds, in one transaction:
    // the result is that of deleting it and writing the tree key by key, value by value, but
    // only what differs is written. The sub-key itself keeps its place. A bad name or value in
    // the tree writes nothing (kInvalid); a damaged old sub-key is replaced whole.
    RegStatus ReplaceSubKeyTree(std::string_view path, const RegTree& tree) const;

    // A REG_SZ is stored with its terminating NUL.
    RegStatus SetString(std::string_view name, std::string_view value) const;
    RegStatus SetDword(std::string_view name, uint32_t value) const;
    RegStatus SetBinary(std::string_view name, std::span<const uint8_t> value) const;
    // Writing a value that exists replaces it and keeps its place in the enumeration.
    RegStatus SetValue(std::string_view name, uint32_t nType, std::span<const uint8_t> data) const;

    RegStatus QueryValue(std::string_view name, RegValue& value) const;
    // The text up to the stored NUL.
    RegStatus QueryString(std::string_view name, std::string& value) const;
    RegStatus QueryDword(std::string_view name, uint32_t& value) const;
    RegStatus QueryBinary(std::string_view name, std::vector<uint8_t>& value) const;

    RegStatus EnumSubKeys(std::vector<std::string>& names) const;
    RegStatus EnumValues(std::vector<RegValue>& values) const;

    // The full path, "HKEY_LOCAL_MACHINE\..." with each name as it was created.
    RegStatus GetPath(std::string& path) const;

private:
    friend class RegistryStore;
    RegKey(RegistryStore* pStore, int64_t nId) : m_pStore(pStore), m_nId(nId) {}

    RegistryStore* m_pStore = nullptr;
    int64_t m_nId = 0;
};

class RegistryStore {
public:
    enum class OpenMode { kReadWrite, kReadOnly };

    // $VEXT_REGISTRY, else $XDG_STATE_HOME/vext/registry.sqlite, else
    // ~/.local/state/vext/registry.sqlite.
    static std::string DefaultPath();

    // Opens the store at strPath. Read-write creates the file (mode 0600) and its folders when
    // missing; read-only needs an existing store. Null with a one-line reason in strError when
    // the file cannot be opened or is not a registry store; *pStatus (if given) then says
    // kBusy when another program held the store's lock for longer than the wait. The wait for
    // another program's lock is nBusyTimeoutMs, for every statement of the store.
    static constexpr int kDefaultBusyTimeoutMs = 5000;
    static std::unique_ptr<RegistryStore> Open(const std::string& strPath, std::string& strError,
                                               OpenMode mode = OpenMode::kReadWrite,
                                               RegStatus* pStatus = nullptr,
                                               int nBusyTimeoutMs = kDefaultBusyTimeoutMs);

    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    const std::string& Path() const { return m_strPath; }
    // What went wrong in the last call that failed, in words.
    const std::string& LastError() const;
    // The kind of the last failure that LastError describes.
    RegStatus LastFailure() const;

    RegKey Root(RegHive hive);
    RegStatus OpenKey(RegHive hive, std::string_view path, RegKey& key);
    RegStatus CreateKey(RegHive hive, std::string_view path, RegKey& key);
    RegStatus DeleteKeyTree(RegHive hive, std::string_view path);
    RegStatus ReplaceKeyTree(RegHive hive, std::string_view path, const RegTree& tree);

    // Copies the key at path with everything below it, all read in one state of the store, in
    // a read transaction of its own (or in the caller's, inside one). A large tree is read by
    // two connections at once, half each; should the store change meanwhile, it is read again
    // by one.
    RegStatus ReadKeyTree(RegHive hive, std::string_view path, RegTree& tree);

    // Copies what the log holds into the database file as far as no reader needs it. A commit
    // leaves that to the writer, for a time when nobody is waiting for the commit. False when
    // the store would not.
    bool Checkpoint();

    // A number that changes whenever another connection commits a change to the store, so a
    // reader that keeps the store open can tell that what it read is still what is there.
    bool DataVersion(int64_t& nVersion);

    // Test seam: called before every change the store makes; when it returns false the change
    // fails as a write error of the disk would.
    using WriteHook = std::function<bool()>;
    void SetWriteHook(WriteHook hook) { m_writeHook = std::move(hook); }
    // Test seam: called by a tree read in halves once this connection's state is fixed and
    // before the second connection's is, where another writer's commit would split them.
    void SetHalvesHook(std::function<void()> hook) { m_halvesHook = std::move(hook); }

private:
    friend class RegKey;
    friend class RegTransaction;
    friend class RegReadSnapshot;

    RegistryStore();
    bool Initialise(OpenMode mode, std::string& strError);

    RegStatus FindChild(int64_t nParent, std::string_view name, int64_t& nId);
    RegStatus KeyExists(int64_t nId);
    RegStatus Walk(int64_t nFrom, std::string_view path, bool bCreate, int64_t& nId);
    // A child of a key made in this transaction, known without a query (kNotFound if none).
    RegStatus FindFreshChild(int64_t nParent, std::string_view name, int64_t& nId);
    RegStatus CreateChild(int64_t nParent, std::string_view name, int64_t& nId);
    RegStatus DeleteTree(int64_t nId);
    RegStatus ReplaceTree(int64_t nFrom, std::string_view path, const RegTree& tree);
    RegStatus CheckTree(const RegTree& tree);
    // The tree the sub-key at path holds now, made when missing and made anew when damaged.
    RegStatus ReadOldTree(int64_t nFrom, std::string_view path, RegTree& old);
    RegStatus SetValue(int64_t nKey, std::string_view name, uint32_t nType,
                       std::span<const uint8_t> data);
    RegStatus QueryValue(int64_t nKey, std::string_view name, RegValue& value);
    RegStatus EnumSubKeys(int64_t nKey, std::vector<std::string>& names);
    RegStatus EnumValues(int64_t nKey, std::vector<RegValue>& values);
    RegStatus GetPath(int64_t nKey, std::string& path);
    RegStatus ReadTree(int64_t nKey, RegTree& tree);
    RegStatus ReadKeyTreeInHalves(RegHive hive, std::string_view path, RegTree& tree, bool& bRead);
    // ReadTreeInHalves with this store's helper: nConnections as there.
    RegStatus ReadTreeInHalves(int64_t nRoot, RegTree& tree, int& nConnections);
    // A second, read-only connection to the same file; null when it cannot be had.
    detail::RegConnection* Helper();

    bool AllowWrite();
    RegStatus Fail(RegStatus status, std::string message);
    RegStatus DbFail(const char* what);
    // A failure that Begin or Commit has described already, with what it was for in front:
    // SQLite's own message is gone once the transaction is rolled back.
    RegStatus FailedIn(const char* what);
    // Ends a change that failed: dooms the transaction, and rolls back one of its own.
    RegStatus Failed(RegStatus status, bool bOwnTransaction);

    bool Begin();
    bool Commit();
    void Rollback();
    void ForgetKnownKeys();
    RegStatus FlushValues();

    std::unique_ptr<detail::RegConnection> m_pConn;
    std::unique_ptr<detail::RegValueQueue> m_pValues; // values set in a write transaction
    std::unique_ptr<RegistryStore> m_pHelper;
    std::string m_strPath;
    uint64_t m_nDevice = 0; // the file opened, so that the helper opens that one too
    uint64_t m_nInode = 0;
    int m_nBusyTimeoutMs = kDefaultBusyTimeoutMs;
    WriteHook m_writeHook;
    std::function<void()> m_halvesHook;
    int m_nTransactionDepth = 0;
    bool m_bTransactionFailed = false;
    bool m_bTransactionChanged = false; // something was written since the outermost Begin
    // Inside a write transaction nobody else changes the store, so a key known to exist stays
    // so until we delete keys: every key from this id on was made since the last deletion, and
    // the last key checked is remembered. Saves a query per value of a download.
    int64_t m_nFreshFrom = INT64_MAX;
    int64_t m_nCheckedKey = 0;
    std::unordered_map<std::string, int64_t> m_freshChildren; // parent id bytes + folded name
};

// Makes every change to the store during its life one transaction: Commit makes them all
// visible at once; a scope left without Commit, or after a change in it failed, drops them all,
// and every change tried after a failed one is refused. Scopes nest; only the outermost one
// commits, and an inner scope left without Commit dooms the outer one.
class RegTransaction {
public:
    explicit RegTransaction(RegistryStore& store);
    ~RegTransaction();
    RegTransaction(const RegTransaction&) = delete;
    RegTransaction& operator=(const RegTransaction&) = delete;

    bool IsActive() const { return m_bActive; }
    // False, with everything dropped, when the transaction could not start, a change in it
    // failed or the commit itself failed.
    bool Commit();

private:
    RegistryStore& m_store;
    bool m_bActive = false;
};

// Makes every read during its life see the store as one committed state, so a reader never sees
// a download half-written by another process. Make no changes through the store meanwhile.
class RegReadSnapshot {
public:
    explicit RegReadSnapshot(RegistryStore& store);
    ~RegReadSnapshot();
    RegReadSnapshot(const RegReadSnapshot&) = delete;
    RegReadSnapshot& operator=(const RegReadSnapshot&) = delete;

    bool IsActive() const { return m_bActive; }

private:
    RegistryStore& m_store;
    bool m_bActive = false;
};

} // namespace vext
