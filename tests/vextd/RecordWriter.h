#pragma once

// Writes a driver record into a registry store the way a download lays it out, for tests that
// need one without the configurator.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vext::test {

struct RecordFunction {
    uint32_t nMode = 0;
    uint32_t nTurbo = 0;
    uint32_t nLoop = 0;
    uint32_t nStepDown = 0;
    uint32_t nLink = 0;
    int64_t nCookie = -1; // -1: written without one, as older configurators do
    std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> strings;
};

// Normal function typing one key number.
RecordFunction NormalKey(uint8_t nKey, bool bTurbo = false);
// Step function over one key per step; its companion must follow it (index + 1).
RecordFunction StepKeys(const std::vector<uint8_t>& keys, bool bLoop, uint32_t nCompanion);
RecordFunction CompanionOf(uint32_t nStep);

// Replaces the record in the store at path, with the pad types of slots 1, 2, ... beside it when
// padTypes names any. False on any failure.
bool WriteRecord(const std::string& path, const std::string& setName,
                 const std::vector<RecordFunction>& functions,
                 const std::vector<std::pair<uint32_t, uint32_t>>& mappings,
                 const std::vector<int>& padTypes = {});

} // namespace vext::test
