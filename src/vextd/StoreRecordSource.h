#pragma once

// The driver record as the registry store holds it, for the record reader.

#include "RecordReader.h"
#include "RecordSource.h"
#include "platform/RegistryStore.h"

#include <memory>
#include <string>

namespace vext {

class StoreRecordSource : public RecordSource {
public:
    // pStore must outlive the source.
    explicit StoreRecordSource(RegistryStore* pStore);

    bool HasRoot() const override { return m_root.IsOpen(); }
    bool HasKey(std::string_view path) const override;
    bool ReadDword(std::string_view path, std::string_view name, uint32_t* pnValue) const override;
    bool ReadBinary(std::string_view path, std::string_view name,
                    std::vector<uint8_t>* pValue) const override;
    bool ReadString(std::string_view path, std::string_view name,
                    std::string* pValue) const override;

private:
    // The key at path, or null; the last one is kept, since values are read key by key.
    const RegKey* Key(std::string_view path) const;

    RegKey m_root;
    mutable std::string m_strCachedPath;
    mutable RegKey m_cached;
};

// Opens the store at path read-only and reads the record. A store that does not exist yet
// holds no record; one that cannot be opened is reported as damaged.
RecordLoad LoadRecordFromStore(const std::string& path);

} // namespace vext
