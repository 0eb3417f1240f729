#include "core/pad/DibImage.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>

namespace vext {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr uint32_t kUncompressed = 0;
// Larger files are not read at all.
constexpr std::size_t kMaxFileSize = std::size_t{64} << 20;

uint16_t ReadU16(std::span<const uint8_t> b, std::size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

uint32_t ReadU32(std::span<const uint8_t> b, std::size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

int32_t ReadI32(std::span<const uint8_t> b, std::size_t at) {
    return static_cast<int32_t>(ReadU32(b, at));
}

std::nullopt_t Fail(std::string* error, const char* why) {
    if (error) {
        *error = why;
    }
    return std::nullopt;
}

} // namespace

std::optional<DibImage> DibImage::FromBmpFile(std::span<const uint8_t> bytes, std::string* error) {
    return Parse(bytes, true, error);
}

std::optional<DibImage> DibImage::FromDib(std::span<const uint8_t> bytes, std::string* error) {
    return Parse(bytes, false, error);
}

std::optional<DibImage> DibImage::Load(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Fail(error, "cannot open the file");
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > kMaxFileSize) {
        return Fail(error, "not a readable bitmap file");
    }
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        return Fail(error, "cannot read the file");
    }
    return FromBmpFile(bytes, error);
}

std::optional<DibImage> DibImage::Parse(std::span<const uint8_t> bytes, bool bFileHeader,
                                        std::string* error) {
    const std::size_t size = bytes.size();
    std::size_t base = 0;
    uint32_t fileSize = 0;
    uint32_t pixelOffset = 0;
    if (bFileHeader) {
        if (size < kFileHeaderSize + kInfoHeaderSize) {
            return Fail(error, "too short for the bitmap headers");
        }
        if (bytes[0] != 'B' || bytes[1] != 'M') {
            return Fail(error, "not a bitmap file");
        }
        fileSize = ReadU32(bytes, 2);
        pixelOffset = ReadU32(bytes, 10);
        if (fileSize > size) {
            return Fail(error, "file header announces more bytes than there are");
        }
        base = kFileHeaderSize;
    } else if (size < kInfoHeaderSize) {
        return Fail(error, "too short for the bitmap header");
    }

    const uint32_t headerSize = ReadU32(bytes, base);
    if (headerSize < kInfoHeaderSize || headerSize > size - base) {
        return Fail(error, "bitmap header size does not fit");
    }
    const int32_t width = ReadI32(bytes, base + 4);
    const int32_t height = ReadI32(bytes, base + 8);
    const uint16_t planes = ReadU16(bytes, base + 12);
    const uint16_t bitCount = ReadU16(bytes, base + 14);
    const uint32_t compression = ReadU32(bytes, base + 16);
    const uint32_t coloursUsed = ReadU32(bytes, base + 32);
    if (planes != 1 || bitCount != 8) {
        return Fail(error, "not an 8-bit bitmap");
    }
    if (compression != kUncompressed) {
        return Fail(error, "compressed bitmap");
    }
    // A negative height stores the rows top-down.
    if (width <= 0 || width > kMaxDimension || height == 0 || height < -kMaxDimension ||
        height > kMaxDimension) {
        return Fail(error, "bitmap size out of range");
    }
    if (coloursUsed > 256) {
        return Fail(error, "colour table too large");
    }
    const uint64_t colours = coloursUsed == 0 ? 256 : coloursUsed;
    const uint64_t tableStart = uint64_t{base} + headerSize;
    const uint64_t tableEnd = tableStart + colours * 4;
    if (tableEnd > size) {
        return Fail(error, "colour table runs past the end");
    }
    const uint64_t dataStart = bFileHeader ? uint64_t{pixelOffset} : tableEnd;
    if (dataStart < tableEnd) {
        return Fail(error, "pixel data overlaps the headers");
    }
    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -int64_t{height} : int64_t{height});
    const uint64_t stride = (static_cast<uint64_t>(width) + 3) & ~uint64_t{3};
    const uint64_t dataEnd = dataStart + stride * rows;
    if (dataEnd > size) {
        return Fail(error, "pixel data runs past the end");
    }
    if (bFileHeader && fileSize != 0 && fileSize < dataEnd) {
        return Fail(error, "file header announces fewer bytes than the pixels need");
    }

    DibImage image;
    image.m_nWidth = width;
    image.m_nHeight = static_cast<int>(rows);
    image.m_nColoursUsed = static_cast<int>(colours);
    for (std::size_t i = 0; i < colours; ++i) {
        // The colour table stores blue, green, red, reserved.
        const std::size_t at = static_cast<std::size_t>(tableStart) + i * 4;
        image.m_colours[i] = Rgb{bytes[at + 2], bytes[at + 1], bytes[at]};
    }
    const std::size_t w = static_cast<std::size_t>(width);
    image.m_indexes.resize(w * static_cast<std::size_t>(rows));
    for (std::size_t row = 0; row < rows; ++row) {
        const std::size_t stored = height > 0 ? static_cast<std::size_t>(rows) - 1 - row : row;
        const auto src = bytes.begin() + static_cast<std::ptrdiff_t>(dataStart + stored * stride);
        std::copy(src, src + static_cast<std::ptrdiff_t>(w),
                  image.m_indexes.begin() + static_cast<std::ptrdiff_t>(row * w));
    }
    return image;
}

} // namespace vext
