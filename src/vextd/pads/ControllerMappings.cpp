#include "vextd/pads/ControllerMappings.h"

#include <algorithm>
#include <array>
#include <functional>
#include <string>

namespace vext {
namespace {

// The order in which SDL 2 writes the inputs of a mapping it makes up.
constexpr std::array<std::string_view, 26> kMadeUpOrder = {"a",
                                                           "b",
                                                           "x",
                                                           "y",
                                                           "back",
                                                           "guide",
                                                           "start",
                                                           "leftstick",
                                                           "rightstick",
                                                           "leftshoulder",
                                                           "rightshoulder",
                                                           "dpup",
                                                           "dpdown",
                                                           "dpleft",
                                                           "dpright",
                                                           "misc1",
                                                           "paddle1",
                                                           "paddle2",
                                                           "paddle3",
                                                           "paddle4",
                                                           "leftx",
                                                           "lefty",
                                                           "rightx",
                                                           "righty",
                                                           "lefttrigger",
                                                           "righttrigger"};
// SDL cuts the name it writes there to this many bytes.
constexpr size_t kMadeUpNameBytes = 127;

// Calls f with each field of a comma-separated text, empty ones left out.
template <typename F>
void ForEachField(std::string_view text, F&& f) {
    for (size_t nStart = 0; nStart < text.size();) {
        const size_t nEnd = std::min(text.find(',', nStart), text.size());
        if (nEnd > nStart) {
            f(text.substr(nStart, nEnd - nStart));
        }
        nStart = nEnd + 1;
    }
}

std::string_view AfterGuid(std::string_view mapping) {
    const size_t nComma = mapping.find(',');
    return nComma == std::string_view::npos ? std::string_view() : mapping.substr(nComma + 1);
}

} // namespace

size_t MappingKey(std::string_view mapping) {
    std::string key;
    ForEachField(AfterGuid(mapping), [&](std::string_view field) {
        // SDL adds the platform and the GUID's checksum when it hands a mapping out.
        if (!field.starts_with("platform:") && !field.starts_with("crc:")) {
            key.append(field).push_back(',');
        }
    });
    return std::hash<std::string>()(key);
}

std::unordered_set<size_t> MappingKeys(std::string_view text) {
    std::unordered_set<size_t> keys;
    for (size_t nStart = 0; nStart < text.size();) {
        const size_t nEnd = std::min(text.find('\n', nStart), text.size());
        std::string_view line = text.substr(nStart, nEnd - nStart);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (!line.empty() && line.front() != '#') {
            keys.insert(MappingKey(line));
        }
        nStart = nEnd + 1;
    }
    return keys;
}

bool IsMadeUpMapping(std::string_view mapping, std::string_view padName) {
    const std::string_view rest = AfterGuid(mapping);
    const size_t nComma = std::min(rest.find(','), rest.size());
    std::string name(padName.substr(0, kMadeUpNameBytes));
    std::replace(name.begin(), name.end(), ',', ' ');
    if (rest.substr(0, nComma) != name) {
        return false;
    }
    size_t nNext = 0; // inputs must come in kMadeUpOrder, each once
    bool bMadeUp = true;
    ForEachField(rest.substr(std::min(nComma + 1, rest.size())), [&](std::string_view field) {
        const std::string_view input = field.substr(0, field.find(':'));
        if (input == "platform" || input == "crc") { // SDL adds them when it hands it out
            return;
        }
        const auto it = std::find(kMadeUpOrder.begin() + static_cast<std::ptrdiff_t>(nNext),
                                  kMadeUpOrder.end(), input);
        if (it == kMadeUpOrder.end()) {
            bMadeUp = false;
            return;
        }
        nNext = static_cast<size_t>(it - kMadeUpOrder.begin()) + 1;
    });
    return bMadeUp && nNext > 0;
}

} // namespace vext
