// Turns a pad drawing into its resources: pad picture, print picture, button image pairs and
// the layout strings.
#pragma once

#include "IndexedImage.h"
#include "PadDesign.h"

#include <string>

namespace vext::padart {

// Background of every picture outside its drawn shape.
inline const Rgb kNearWhite{255, 254, 253};
inline const Rgb kWhite{255, 255, 255};

bool IsWhiteBackgroundImage(int resourceId);

// Writes bitmaps/NNN.bmp under `outDir` and appends the pad's strings to `strings`.
bool WritePad(const PadDesign& design, const std::string& outDir, std::string& strings,
              std::string& error);

} // namespace vext::padart
