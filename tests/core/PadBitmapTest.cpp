#include "core/pad/PadBitmap.h"

#include "BmpBuilder.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kNearWhite = 0xFFFEFD;

// Builds an image from rows of characters: '.' white, ',' near-white, anything else dark.
DibImage Picture(const std::vector<std::string>& rows) {
    test::BmpSpec spec;
    spec.width = static_cast<int32_t>(rows.at(0).size());
    spec.height = static_cast<int32_t>(rows.size());
    spec.colours = {kWhite, kNearWhite, 0x202020};
    for (const std::string& row : rows) {
        for (char c : row) {
            spec.pixels.push_back(c == '.' ? 0 : c == ',' ? 1 : 2);
        }
    }
    auto image = DibImage::FromBmpFile(test::MakeBmp(spec));
    EXPECT_TRUE(image);
    return image ? *image : DibImage{};
}

using Points = std::vector<PadPoint>;

TEST(PadBitmap, PaletteIsTheColourTable) {
    test::BmpSpec spec;
    for (uint32_t i = 0; i < 256; ++i) {
        spec.colours.push_back(i << 16 | (255 - i) << 8 | (i * 3 % 256));
    }
    spec.fileHeader = false;
    const auto image = DibImage::FromDib(test::MakeBmp(spec));
    ASSERT_TRUE(image);
    const Palette palette = BuildPalette(*image);
    for (int i = 0; i < 256; ++i) {
        const auto u = static_cast<uint8_t>(i);
        EXPECT_EQ(palette[static_cast<std::size_t>(i)],
                  (Rgb{u, static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3 % 256)}));
    }
}

TEST(PadBitmap, BackgroundColours) {
    EXPECT_TRUE(IsPureWhite({255, 255, 255}));
    EXPECT_FALSE(IsPureWhite({255, 254, 253}));
    EXPECT_TRUE(IsNearWhite({255, 254, 253}));
    EXPECT_FALSE(IsNearWhite({255, 255, 253}));
    EXPECT_FALSE(IsNearWhite({254, 254, 253}));
    EXPECT_TRUE(IsPlainBackground({255, 255, 255}));
    EXPECT_TRUE(IsPlainBackground({255, 254, 253}));
    EXPECT_FALSE(IsPlainBackground({255, 255, 254}));
    EXPECT_FALSE(IsPlainBackground({0, 0, 0}));
}

TEST(PadBitmap, TracesLeftSideDownAndRightSideUp) {
    const DibImage image = Picture({
        "..#..",
        ".###.",
        "#####",
        "..##.",
    });
    EXPECT_EQ(TracePadRegion(image),
              (Points{{2, 0}, {1, 1}, {0, 2}, {2, 3}, {3, 3}, {4, 2}, {3, 1}, {2, 0}}));
}

TEST(PadBitmap, OuterPixelsCountEvenWithGapsBetween) {
    const DibImage image = Picture({
        "#...#",
        ".#.#.",
    });
    EXPECT_EQ(TracePadRegion(image), (Points{{0, 0}, {1, 1}, {3, 1}, {4, 0}}));
}

TEST(PadBitmap, PixelAtAnEdgeColumnServesBothPasses) {
    EXPECT_EQ(TracePadRegion(Picture({"#....", ".##..", "....#"})),
              (Points{{0, 0}, {1, 1}, {4, 2}, {4, 2}, {2, 1}, {0, 0}}));
    EXPECT_EQ(TracePadRegion(Picture({"....#"})), (Points{{4, 0}, {4, 0}}));
    EXPECT_EQ(TracePadRegion(Picture({"#"})), (Points{{0, 0}, {0, 0}}));
}

TEST(PadBitmap, RowsWithoutInkAddNothing) {
    EXPECT_EQ(TracePadRegion(Picture({"...", ".#.", "...", "#..", "..."})),
              (Points{{1, 1}, {0, 3}, {0, 3}, {1, 1}}));
    EXPECT_TRUE(TracePadRegion(Picture({"...", "..."})).empty());
}

TEST(PadBitmap, NearWhiteIsInkUnlessTheCallerSaysOtherwise) {
    const DibImage image = Picture({
        ",,,,",
        ",##,",
        ",,,,",
    });
    // Pure white only: the near-white frame is part of the button, so the whole rectangle.
    EXPECT_EQ(TracePadRegion(image), (Points{{0, 0}, {0, 1}, {0, 2}, {3, 2}, {3, 1}, {3, 0}}));
    EXPECT_EQ(TracePadRegion(image, IsPlainBackground), (Points{{1, 1}, {2, 1}}));
    EXPECT_EQ(TracePadRegion(image, nullptr), TracePadRegion(image));
    const auto darkIsBackground = [](Rgb c) { return c.red < 128; };
    EXPECT_EQ(TracePadRegion(image, darkIsBackground),
              (Points{{0, 0}, {0, 1}, {0, 2}, {3, 2}, {3, 1}, {3, 0}}));
    EXPECT_EQ(TracePadRegion(Picture({",#,"}), darkIsBackground), (Points{{0, 0}, {2, 0}}));
}

TEST(PadBitmap, SurroundingBackgroundStopsAtTheButtonsEdge) {
    // An arc: the white inside its curve touches the edge and is outside; the white dot in the
    // closed ring is the button's own.
    const DibImage image = Picture({
        ",#...#,",
        ",#...#,",
        ",##.##,",
        ",,,,,,,",
    });
    const std::vector<bool> outside = SurroundingBackground(image, IsPlainBackground);
    EXPECT_TRUE(outside[3]);
    EXPECT_TRUE(outside[2 * 7 + 3]);
    EXPECT_FALSE(outside[1]);
    const DibImage ring = Picture({"###", "#.#", "###"});
    EXPECT_EQ(SurroundingBackground(ring, IsPlainBackground), std::vector<bool>(9, false));
    EXPECT_EQ(TracePadRows(image, IsPlainBackground),
              (std::vector<PadSpan>{{0, 1, 5}, {1, 1, 5}, {2, 1, 5}}));
}

} // namespace
} // namespace vext
