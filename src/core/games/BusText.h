#pragma once

// What the focus sources that are called over the session bus (KWin's script, GNOME Shell's
// extension) take from a call: the bus hands over calls from anyone on it, so only the unique
// name that owns the desktop's own name counts, and the text it sends is bounded.

#include <cstddef>
#include <string>
#include <string_view>

namespace vext {

// A unique bus name: ":" then elements of [A-Za-z0-9_-] separated by dots.
bool IsUniqueBusName(std::string_view name);

// Whether a call came from the owner of a name: its sender is that owner's unique name.
bool IsFromNameOwner(std::string_view sender, std::string_view owner);

// UTF-8 text cut to at most nMax bytes, at a character's start.
std::string BoundedUtf8(std::string_view text, size_t nMax);

} // namespace vext
