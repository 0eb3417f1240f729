#pragma once

// Read access to the driver record: the key tree that a download writes, addressed by paths
// relative to its root ("Functions\0000\Data"). Kept abstract so the reader can be tested on an
// in-memory tree and the daemon can read the registry store.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vext {

class RecordSource {
public:
    virtual ~RecordSource() = default;

    // False when there is no record at all.
    virtual bool HasRoot() const = 0;
    virtual bool HasKey(std::string_view path) const = 0;

    // Each is false when the key or value is missing or has another type.
    virtual bool ReadDword(std::string_view path, std::string_view name,
                           uint32_t* pnValue) const = 0;
    virtual bool ReadBinary(std::string_view path, std::string_view name,
                            std::vector<uint8_t>* pValue) const = 0;
    virtual bool ReadString(std::string_view path, std::string_view name,
                            std::string* pValue) const = 0;
};

} // namespace vext
