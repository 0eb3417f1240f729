#include "core/pad/DibImage.h"

#include "BmpBuilder.h"
#include "TempDir.h"

#include <cstdint>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

using test::BmpSpec;
using test::MakeBmp;
using test::PutU32;

BmpSpec Sample(int32_t w, int32_t h) {
    BmpSpec spec;
    spec.width = w;
    spec.height = h;
    spec.colours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
    for (int32_t i = 0; i < w * h; ++i) {
        spec.pixels.push_back(static_cast<uint8_t>((i * 7 + 1) % 5));
    }
    return spec;
}

void ExpectPixels(const DibImage& image, const BmpSpec& spec) {
    ASSERT_EQ(image.Width(), spec.width);
    ASSERT_EQ(image.Height(), spec.height);
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x) {
            EXPECT_EQ(image.IndexAt(x, y),
                      spec.pixels[static_cast<std::size_t>(y * spec.width + x)])
                << x << "," << y;
        }
    }
}

TEST(DibImage, ReadsEveryRowPaddingAndBothRowOrders) {
    for (int32_t w = 1; w <= 9; ++w) {
        for (int32_t h : {1, 2, 5}) {
            for (bool topDown : {false, true}) {
                for (bool fileHeader : {true, false}) {
                    SCOPED_TRACE(testing::Message() << w << "x" << h << " topDown " << topDown
                                                    << " file " << fileHeader);
                    BmpSpec spec = Sample(w, h);
                    spec.topDown = topDown;
                    spec.fileHeader = fileHeader;
                    const std::vector<uint8_t> bytes = MakeBmp(spec);
                    std::string error;
                    const auto image = fileHeader ? DibImage::FromBmpFile(bytes, &error)
                                                  : DibImage::FromDib(bytes, &error);
                    ASSERT_TRUE(image) << error;
                    ExpectPixels(*image, spec);
                }
            }
        }
    }
}

TEST(DibImage, ColourTableIsStoredBlueGreenRed) {
    const BmpSpec spec = Sample(2, 2);
    const auto image = DibImage::FromBmpFile(MakeBmp(spec));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->ColoursUsed(), 256);
    EXPECT_EQ(image->ColourTable()[1], (Rgb{0xFF, 0, 0}));
    EXPECT_EQ(image->ColourTable()[3], (Rgb{0, 0, 0xFF}));
    EXPECT_EQ(image->ColourTable()[4], (Rgb{0x12, 0x34, 0x56}));
    EXPECT_EQ(image->PixelAt(0, 0), image->ColourTable()[image->IndexAt(0, 0)]);
}

TEST(DibImage, ShortColourTableLeavesTheRestBlack) {
    BmpSpec spec;
    spec.width = 2;
    spec.coloursUsed = 2;
    spec.colours = {0xFFFFFF, 0xFF0000};
    spec.pixels = {1, 200};
    const auto image = DibImage::FromBmpFile(MakeBmp(spec));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->ColoursUsed(), 2);
    EXPECT_EQ(image->PixelAt(0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(image->PixelAt(1, 0), (Rgb{0, 0, 0}));
}

TEST(DibImage, PixelOffsetAndLargerHeadersAreHonoured) {
    BmpSpec spec = Sample(3, 2);
    spec.gapBeforePixels = 17;
    auto image = DibImage::FromBmpFile(MakeBmp(spec));
    ASSERT_TRUE(image);
    ExpectPixels(*image, spec);

    spec.gapBeforePixels = 0;
    spec.headerSize = 124;
    image = DibImage::FromBmpFile(MakeBmp(spec));
    ASSERT_TRUE(image);
    ExpectPixels(*image, spec);
}

TEST(DibImage, FileSizeZeroAndTrailingBytesAreAccepted) {
    const BmpSpec spec = Sample(3, 3);
    std::vector<uint8_t> bytes = MakeBmp(spec);
    bytes.push_back(0xAA);
    EXPECT_TRUE(DibImage::FromBmpFile(bytes));
    PutU32(bytes, test::kBmpFileSize, 0);
    EXPECT_TRUE(DibImage::FromBmpFile(bytes));
}

TEST(DibImage, RefusesEveryTruncation) {
    for (bool fileHeader : {true, false}) {
        BmpSpec spec = Sample(5, 3);
        spec.fileHeader = fileHeader;
        const std::vector<uint8_t> bytes = MakeBmp(spec);
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            const std::span<const uint8_t> prefix(bytes.data(), n);
            EXPECT_FALSE(fileHeader ? DibImage::FromBmpFile(prefix) : DibImage::FromDib(prefix))
                << n << " of " << bytes.size();
        }
    }
}

TEST(DibImage, RefusesHostileHeaders) {
    const uint32_t kMax = std::numeric_limits<uint32_t>::max();
    struct Case {
        const char* what;
        std::size_t at;
        uint32_t value;
    };
    const Case cases[] = {
        {"huge width", test::kBmpWidth, 0x7FFFFFFF},
        {"width beyond the limit", test::kBmpWidth, 32769},
        {"width that fills the data", test::kBmpWidth, 8},
        {"zero width", test::kBmpWidth, 0},
        {"negative width", test::kBmpWidth, kMax},
        {"huge height", test::kBmpHeight, 0x7FFFFFFF},
        {"huge top-down height", test::kBmpHeight, 0x80000000},
        {"large negative height", test::kBmpHeight, static_cast<uint32_t>(-100)},
        {"zero height", test::kBmpHeight, 0},
        {"pixels past the end", test::kBmpPixelOffset, 1078 + 1},
        {"pixels at a huge offset", test::kBmpPixelOffset, kMax},
        {"pixels inside the colour table", test::kBmpPixelOffset, 1077},
        {"pixels inside the header", test::kBmpPixelOffset, 0},
        {"file size beyond the bytes", test::kBmpFileSize, 1078 + 4 * 3 + 1},
        {"file size short of the pixels", test::kBmpFileSize, 1078 + 4},
        {"huge file size", test::kBmpFileSize, kMax},
        {"header size too small", test::kBmpHeaderSize, 12},
        {"header size past the end", test::kBmpHeaderSize, kMax},
        {"header size eating the table", test::kBmpHeaderSize, 1024},
        {"257 colours", test::kBmpColoursUsed, 257},
        {"huge colour count", test::kBmpColoursUsed, kMax},
    };
    const std::vector<uint8_t> good = MakeBmp(Sample(4, 3));
    ASSERT_EQ(good.size(), 1078u + 4 * 3);
    ASSERT_TRUE(DibImage::FromBmpFile(good));
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        PutU32(bytes, c.at, c.value);
        std::string error;
        EXPECT_FALSE(DibImage::FromBmpFile(bytes, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

TEST(DibImage, RefusesOtherFormats) {
    struct Case {
        const char* what;
        BmpSpec spec;
    };
    std::vector<Case> cases;
    BmpSpec spec = Sample(2, 2);
    spec.bitCount = 24;
    cases.push_back({"24 bits", spec});
    spec.bitCount = 4;
    cases.push_back({"4 bits", spec});
    spec.bitCount = 8;
    spec.compression = 1;
    cases.push_back({"run-length encoded", spec});
    spec.compression = 3;
    cases.push_back({"bit fields", spec});
    spec.compression = 0;
    spec.planes = 2;
    cases.push_back({"two planes", spec});
    for (const Case& c : cases) {
        EXPECT_FALSE(DibImage::FromBmpFile(MakeBmp(c.spec))) << c.what;
    }
    std::vector<uint8_t> bytes = MakeBmp(Sample(2, 2));
    bytes[1] = 'A';
    EXPECT_FALSE(DibImage::FromBmpFile(bytes));
}

TEST(DibImage, LoadsFromAFile) {
    test::TempDir dir;
    const BmpSpec spec = Sample(6, 4);
    const std::vector<uint8_t> bytes = MakeBmp(spec);
    {
        std::ofstream out(dir.file("pad.bmp"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    std::string error;
    const auto image = DibImage::Load(dir.file("pad.bmp"), &error);
    ASSERT_TRUE(image) << error;
    ExpectPixels(*image, spec);

    EXPECT_FALSE(DibImage::Load(dir.file("missing.bmp"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(DibImage::Load(dir.path().string()));
}

} // namespace
} // namespace vext
