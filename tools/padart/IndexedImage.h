// An 8-bit palette image and its writer: the form every numbered bitmap resource takes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vext::padart {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct IndexedImage {
    int width = 0;
    int height = 0;
    std::array<Rgb, 256> palette{};
    std::vector<uint8_t> pixels; // row-major, top row first

    uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Uncompressed bottom-up BMP: 14-byte file header, 40-byte info header, 256-entry colour table,
// rows padded to four bytes.
std::vector<uint8_t> EncodeBmp8(const IndexedImage& image);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace vext::padart
