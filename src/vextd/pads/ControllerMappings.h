#pragma once

// What the driver tells apart in SDL's game-controller mappings: which mappings are one and the
// same, and which one SDL made up itself for a pad that neither its database nor the user knows.
// Only a known mapping puts a pad on positions; a made-up one leaves buttons out and moves the
// D-pad, so such a pad is read as a joystick.

#include <cstddef>
#include <string_view>
#include <unordered_set>

namespace vext {

// A mapping as "name,mapping" without its GUID, platform and checksum: a line of a mapping file
// and what SDL gives back for it compare alike. Lines that name no mapping give the key of "".
size_t MappingKey(std::string_view mapping);

// The keys of the mappings in a mapping file's text or SDL_GAMECONTROLLERCONFIG (one per line;
// '#' lines are comments).
std::unordered_set<size_t> MappingKeys(std::string_view text);

// Whether `mapping` has the form SDL gives the mapping it makes up from a pad's evdev codes: the
// pad's own name (commas made spaces), then its inputs in SDL's fixed order and nothing else.
bool IsMadeUpMapping(std::string_view mapping, std::string_view padName);

} // namespace vext
