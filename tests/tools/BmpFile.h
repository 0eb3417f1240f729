// A strict reader of the 8-bit bitmaps padart writes, kept apart from the writer so the tests
// check the format on their own terms.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vext::test {

struct BmpColour {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const BmpColour&, const BmpColour&) = default;
};

struct BmpFile {
    int width = 0;
    int height = 0;
    std::array<BmpColour, 256> palette{};
    std::vector<uint8_t> indices; // top row first

    BmpColour At(int x, int y) const {
        return palette[indices[static_cast<size_t>(y) * static_cast<size_t>(width) + x]];
    }
};

// Reads an uncompressed bottom-up 8-bit BMP with a 40-byte header and a full colour table.
// Anything else is an error, described in `error`.
bool ReadBmp8(const std::string& path, BmpFile& out, std::string& error);

std::vector<uint8_t> ReadAllBytes(const std::string& path);

} // namespace vext::test
