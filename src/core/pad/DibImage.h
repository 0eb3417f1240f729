#pragma once

// An 8-bit, uncompressed device-independent bitmap with its colour table: the form of every pad
// picture and button image. Both a bitmap file (with its 14-byte file header) and a bare DIB as
// a resource holds it are read; anything whose headers, sizes or offsets do not fit the bytes
// given is refused.

#include "core/pad/Rgb.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vext {

class DibImage {
public:
    // Refused beyond this, whatever the bytes hold: no pad image comes near it.
    static constexpr int32_t kMaxDimension = 32768;

    static std::optional<DibImage> FromBmpFile(std::span<const uint8_t> bytes,
                                               std::string* error = nullptr);
    static std::optional<DibImage> FromDib(std::span<const uint8_t> bytes,
                                           std::string* error = nullptr);
    static std::optional<DibImage> Load(const std::string& path, std::string* error = nullptr);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // Entries past the image's colour count are black.
    const Palette& ColourTable() const { return m_colours; }
    int ColoursUsed() const { return m_nColoursUsed; }
    // Colour indexes row by row from the top, Width() per row, no padding.
    const std::vector<uint8_t>& Indexes() const { return m_indexes; }

    // x and y must lie inside the image; y counts from the top.
    uint8_t IndexAt(int x, int y) const {
        return m_indexes[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_nWidth) +
                         static_cast<std::size_t>(x)];
    }
    Rgb PixelAt(int x, int y) const { return m_colours[IndexAt(x, y)]; }

private:
    static std::optional<DibImage> Parse(std::span<const uint8_t> bytes, bool bFileHeader,
                                         std::string* error);

    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nColoursUsed = 0;
    Palette m_colours{};
    std::vector<uint8_t> m_indexes;
};

} // namespace vext
