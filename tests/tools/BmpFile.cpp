#include "BmpFile.h"

#include <fstream>
#include <iterator>

namespace vext::test {

namespace {

uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8);
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return U16(b, at) | (U16(b, at + 2) << 16);
}

} // namespace

std::vector<uint8_t> ReadAllBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

bool ReadBmp8(const std::string& path, BmpFile& out, std::string& error) {
    const std::vector<uint8_t> b = ReadAllBytes(path);
    constexpr size_t kHeaders = 14 + 40;
    constexpr size_t kOffset = kHeaders + 256 * 4;
    if (b.size() < kOffset) {
        error = "shorter than its headers and colour table";
        return false;
    }
    if (b[0] != 'B' || b[1] != 'M') {
        error = "no BM signature";
        return false;
    }
    if (U32(b, 2) != b.size()) {
        error = "file size field " + std::to_string(U32(b, 2)) + " differs from " +
                std::to_string(b.size());
        return false;
    }
    if (U32(b, 10) != kOffset || U32(b, 14) != 40 || U16(b, 26) != 1 || U16(b, 28) != 8 ||
        U32(b, 30) != 0) {
        error = "not an uncompressed 8-bit bitmap with a 40-byte header and 256 colours";
        return false;
    }
    const uint32_t colours = U32(b, 46);
    if (colours != 0 && colours != 256) {
        error = "colour table of " + std::to_string(colours) + " entries";
        return false;
    }
    const int32_t width = static_cast<int32_t>(U32(b, 18));
    const int32_t height = static_cast<int32_t>(U32(b, 22));
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
        error = "not a bottom-up bitmap of sensible size";
        return false;
    }
    const size_t stride = (static_cast<size_t>(width) + 3) & ~size_t{3};
    if (b.size() != kOffset + stride * static_cast<size_t>(height)) {
        error = "pixel data is not exactly height rows of padded width";
        return false;
    }
    out.width = width;
    out.height = height;
    for (size_t i = 0; i < 256; ++i) {
        const size_t at = kHeaders + i * 4;
        out.palette[i] = BmpColour{b[at + 2], b[at + 1], b[at]};
    }
    out.indices.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int32_t y = 0; y < height; ++y) {
        const size_t row = kOffset + stride * static_cast<size_t>(height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            out.indices[static_cast<size_t>(y) * static_cast<size_t>(width) + x] = b[row + x];
        }
    }
    return true;
}

} // namespace vext::test
