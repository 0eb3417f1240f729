#pragma once

// Makes 8-bit bitmap files and bare DIBs byte by byte for tests, with every header field open to
// being set wrong on purpose.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vext::test {

struct BmpSpec {
    int32_t width = 1;
    int32_t height = 1; // written negated when topDown is set
    bool topDown = false;
    bool fileHeader = true; // false: a bare DIB as a resource holds it
    uint16_t planes = 1;
    uint16_t bitCount = 8;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0; // 0: a full table of 256
    uint32_t headerSize = 40; // info header bytes written (at least 40)
    uint32_t gapBeforePixels = 0;
    // Colour-table entries as 0xRRGGBB; missing ones are written black.
    std::vector<uint32_t> colours;
    // Colour indexes row by row from the top; missing ones are 0.
    std::vector<uint8_t> pixels;
};

std::vector<uint8_t> MakeBmp(const BmpSpec& spec);

// Byte offsets of the fields that tests overwrite, for a bitmap file.
enum BmpOffset : std::size_t {
    kBmpFileSize = 2,
    kBmpPixelOffset = 10,
    kBmpHeaderSize = 14,
    kBmpWidth = 18,
    kBmpHeight = 22,
    kBmpBitCount = 28,
    kBmpColoursUsed = 46,
};

void PutU32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value);

} // namespace vext::test
