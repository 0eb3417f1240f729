#include "StoreRecordSource.h"

#include "driver/DriverRecord.h"

#include <filesystem>

namespace vext {

StoreRecordSource::StoreRecordSource(RegistryStore* pStore) {
    if (pStore->OpenKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, m_root) != RegStatus::kOk) {
        m_root.Close();
    }
}

const RegKey* StoreRecordSource::Key(std::string_view path) const {
    if (!m_root.IsOpen()) {
        return nullptr;
    }
    if (path.empty()) {
        return &m_root;
    }
    if (!m_cached.IsOpen() || m_strCachedPath != path) {
        m_cached.Close();
        m_strCachedPath.clear();
        if (m_root.OpenSubKey(path, m_cached) != RegStatus::kOk) {
            m_cached.Close();
            return nullptr;
        }
        m_strCachedPath = path;
    }
    return &m_cached;
}

bool StoreRecordSource::HasKey(std::string_view path) const {
    return Key(path) != nullptr;
}

bool StoreRecordSource::ReadDword(std::string_view path, std::string_view name,
                                  uint32_t* pnValue) const {
    const RegKey* pKey = Key(path);
    return pKey != nullptr && pKey->QueryDword(name, *pnValue) == RegStatus::kOk;
}

bool StoreRecordSource::ReadBinary(std::string_view path, std::string_view name,
                                   std::vector<uint8_t>* pValue) const {
    const RegKey* pKey = Key(path);
    return pKey != nullptr && pKey->QueryBinary(name, *pValue) == RegStatus::kOk;
}

bool StoreRecordSource::ReadString(std::string_view path, std::string_view name,
                                   std::string* pValue) const {
    const RegKey* pKey = Key(path);
    return pKey != nullptr && pKey->QueryString(name, *pValue) == RegStatus::kOk;
}

RecordLoad LoadRecordFromStore(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        RecordLoad load;
        load.pTable = std::make_shared<const KeySetTable>();
        return load;
    }
    std::string strError;
    const std::unique_ptr<RegistryStore> pStore =
        RegistryStore::Open(path, strError, RegistryStore::OpenMode::kReadOnly);
    if (!pStore) {
        RecordLoad load;
        load.pTable = std::make_shared<const KeySetTable>();
        load.bFound = true;
        load.strProblem = "cannot open the registry store " + path + ": " + strError;
        return load;
    }
    // One snapshot for the whole record: a download committing meanwhile is seen whole or not.
    const RegReadSnapshot snapshot(*pStore);
    const StoreRecordSource source(pStore.get());
    return ReadDriverRecord(source);
}

} // namespace vext
