#include "BmpBuilder.h"

#include <cstddef>

namespace vext::test {
namespace {

void AddU16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void AddU32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

} // namespace

void PutU32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.at(at + static_cast<std::size_t>(i)) = static_cast<uint8_t>(value >> (8 * i));
    }
}

std::vector<uint8_t> MakeBmp(const BmpSpec& spec) {
    const std::size_t w = spec.width > 0 ? static_cast<std::size_t>(spec.width) : 0;
    const std::size_t h = spec.height > 0 ? static_cast<std::size_t>(spec.height) : 0;
    const std::size_t stride = (w + 3) & ~std::size_t{3};
    const std::size_t tableEntries = spec.coloursUsed == 0 ? 256 : spec.coloursUsed;
    const std::size_t headerSize = spec.headerSize < 40 ? 40 : spec.headerSize;
    const std::size_t fileHeader = spec.fileHeader ? 14 : 0;
    const std::size_t pixelOffset =
        fileHeader + headerSize + tableEntries * 4 + spec.gapBeforePixels;
    const std::size_t total = pixelOffset + stride * h;

    std::vector<uint8_t> b;
    if (spec.fileHeader) {
        b.push_back('B');
        b.push_back('M');
        AddU32(b, static_cast<uint32_t>(total));
        AddU32(b, 0);
        AddU32(b, static_cast<uint32_t>(pixelOffset));
    }
    AddU32(b, spec.headerSize);
    AddU32(b, static_cast<uint32_t>(spec.width));
    AddU32(b, static_cast<uint32_t>(spec.topDown ? -spec.height : spec.height));
    AddU16(b, spec.planes);
    AddU16(b, spec.bitCount);
    AddU32(b, spec.compression);
    AddU32(b, static_cast<uint32_t>(stride * h));
    AddU32(b, 2835);
    AddU32(b, 2835);
    AddU32(b, spec.coloursUsed);
    AddU32(b, 0);
    b.resize(fileHeader + headerSize, 0);
    for (std::size_t i = 0; i < tableEntries; ++i) {
        const uint32_t rgb = i < spec.colours.size() ? spec.colours[i] : 0;
        b.push_back(static_cast<uint8_t>(rgb));
        b.push_back(static_cast<uint8_t>(rgb >> 8));
        b.push_back(static_cast<uint8_t>(rgb >> 16));
        b.push_back(0);
    }
    b.resize(pixelOffset, 0);
    for (std::size_t row = 0; row < h; ++row) {
        const std::size_t fromTop = spec.topDown ? row : h - 1 - row;
        for (std::size_t x = 0; x < stride; ++x) {
            const std::size_t i = fromTop * w + x;
            b.push_back(x < w && i < spec.pixels.size() ? spec.pixels[i] : 0);
        }
    }
    return b;
}

} // namespace vext::test
