#pragma once

// The string files embedded into the core at build time (see cmake/GenStringTable.cmake).

#include <cstddef>

namespace vext::detail {

struct EmbeddedStringFile {
    const char* name;
    const char* text;
    std::size_t size;
};

extern const EmbeddedStringFile* const kStringFiles;
extern const std::size_t kStringFileCount;

} // namespace vext::detail
