#pragma once

// A colour as the pad pictures store it, and the 256-entry palette of an 8-bit image.

#include <array>
#include <cstdint>

namespace vext {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

using Palette = std::array<Rgb, 256>;

} // namespace vext
