// Everything padart writes, in one call.
#pragma once

#include <string>

namespace vext::padart {

bool WriteAllArtwork(const std::string& outDir, std::string& error);

} // namespace vext::padart
