#pragma once

// The driver record as the registry store holds it, for the record reader: the record's tree
// is copied out of the store in one go, and a store that has not changed since the last load
// is not read again.

#include "core/platform/FileStamp.h"
#include "core/registry/RegistryStore.h"
#include "vextd/engine/RecordReader.h"

#include <memory>
#include <string>

namespace vext {

// Loads the record from the store at one path, again and again (each code 24). The store stays
// open between loads; when neither its files nor its data version changed, the last load is
// the answer. Used from one thread at a time.
class StoreRecordLoader {
public:
    explicit StoreRecordLoader(std::string path) : m_strPath(std::move(path)) {}

    // A store that does not exist yet holds no record; one that cannot be opened is reported
    // as unreadable, a damaged record as damaged.
    RecordLoad Load();

    // Whether the last Load gave the previous answer without reading.
    bool LastLoadWasUnchanged() const { return m_bUnchanged; }

private:
    std::string m_strPath;
    std::unique_ptr<RegistryStore> m_pStore;
    FileStamp m_openedFile; // the file m_pStore has open
    bool m_bHaveLast = false;
    FileStamp m_lastFile;
    FileStamp m_lastLog;
    int64_t m_nLastVersion = 0;
    RecordLoad m_last;
    bool m_bUnchanged = false;
};

// Opens the store at path read-only and reads the record once.
RecordLoad LoadRecordFromStore(const std::string& path);

} // namespace vext
