#include "core/pad/PadTypes.h"

#include <string>

namespace vext {

std::optional<int> PadTypeFromWord(std::string_view word) {
    for (int nType = 0; nType < kPadTypeCount; ++nType) {
        if (word == kPadTypes[static_cast<size_t>(nType)].word || word == std::to_string(nType)) {
            return nType;
        }
    }
    return std::nullopt;
}

} // namespace vext
