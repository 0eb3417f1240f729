// Format of every picture resource: 8-bit bitmaps of the right sizes with their backgrounds,
// whole toolbar cells, and animation strips that move.
#include "ArtCatalogue.h"
#include "BmpFile.h"

#include <fstream>
#include <sstream>

#include <QImage>

#include <gtest/gtest.h>

namespace vext::test {
namespace {

TEST(PadArtFormat, EveryBitmapHasItsSizeFormatAndBackground) {
    for (const BitmapSpec& spec : AllBitmaps()) {
        SCOPED_TRACE("bitmap " + std::to_string(spec.id));
        BmpFile bmp;
        std::string error;
        ASSERT_TRUE(ReadBmp8(BitmapPath(spec.id), bmp, error)) << error;
        EXPECT_EQ(bmp.width, spec.width);
        EXPECT_EQ(bmp.height, spec.height);
        const int corners[4][2] = {
            {0, 0}, {bmp.width - 1, 0}, {0, bmp.height - 1}, {bmp.width - 1, bmp.height - 1}};
        for (const auto& c : corners) {
            EXPECT_EQ(bmp.At(c[0], c[1]), spec.background) << "corner " << c[0] << "," << c[1];
        }
        if (spec.background == kNearWhite) {
            // Pure white would be cut out of a button when its outline is traced.
            for (int y = 0; y < bmp.height; ++y) {
                for (int x = 0; x < bmp.width; ++x) {
                    ASSERT_FALSE(bmp.At(x, y) == kWhite) << "white pixel at " << x << "," << y;
                }
            }
        }
    }
}

TEST(PadArtFormat, QtReadsEveryBitmapWithItsColourTable) {
    for (const BitmapSpec& spec : AllBitmaps()) {
        SCOPED_TRACE("bitmap " + std::to_string(spec.id));
        const QImage image(QString::fromStdString(BitmapPath(spec.id)));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.format(), QImage::Format_Indexed8);
        EXPECT_EQ(image.colorCount(), 256);
        EXPECT_EQ(image.size(), QSize(spec.width, spec.height));
    }
}

bool CellHasDrawing(const BmpFile& bmp, int cell, int cellWidth, BmpColour background) {
    for (int y = 0; y < bmp.height; ++y) {
        for (int x = cell * cellWidth; x < (cell + 1) * cellWidth; ++x) {
            if (!(bmp.At(x, y) == background)) {
                return true;
            }
        }
    }
    return false;
}

TEST(PadArtFormat, StripsHoldWholeCellsAndOnlyUnusedRowIconsAreEmpty) {
    const struct {
        int id;
        int cellWidth;
        int cells;
        std::vector<int> empty;
    } strips[] = {{128, 16, 10, {}}, {21128, 16, 6, {}}, {234, 14, 4, {}}, {226, 16, 9, {2, 5, 8}}};
    for (const auto& strip : strips) {
        SCOPED_TRACE("strip " + std::to_string(strip.id));
        BmpFile bmp;
        std::string error;
        ASSERT_TRUE(ReadBmp8(BitmapPath(strip.id), bmp, error)) << error;
        ASSERT_EQ(bmp.width, strip.cellWidth * strip.cells);
        const BmpColour background = bmp.At(0, 0);
        for (int cell = 0; cell < strip.cells; ++cell) {
            const bool unused =
                std::find(strip.empty.begin(), strip.empty.end(), cell) != strip.empty.end();
            EXPECT_EQ(CellHasDrawing(bmp, cell, strip.cellWidth, background), !unused)
                << "cell " << cell;
        }
        // The transparent PNG twin has the same cells.
        const QImage png(
            QString::fromStdString(ResDir() + "/icons/" + std::to_string(strip.id) + ".png"));
        ASSERT_FALSE(png.isNull());
        EXPECT_EQ(png.size(), QSize(bmp.width, bmp.height));
        EXPECT_TRUE(png.hasAlphaChannel());
        EXPECT_EQ(qAlpha(png.pixel(0, 0)), 0);
    }
}

TEST(PadArtFormat, AnimationStripsMatchTheirIndexAndMove) {
    std::ifstream index(ResDir() + "/anim/anim.txt");
    ASSERT_TRUE(index);
    std::string line;
    std::vector<int> ids;
    while (std::getline(index, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream in(line);
        int id = 0, frames = 0, w = 0, h = 0, interval = 0;
        ASSERT_TRUE(in >> id >> frames >> w >> h >> interval) << line;
        SCOPED_TRACE("clip " + std::to_string(id));
        ids.push_back(id);
        EXPECT_GT(interval, 0);
        const QImage strip(
            QString::fromStdString(ResDir() + "/anim/" + std::to_string(id) + ".png"));
        ASSERT_FALSE(strip.isNull());
        ASSERT_EQ(strip.size(), QSize(frames * w, h));
        const QImage first = strip.copy(0, 0, w, h);
        int differing = 0;
        for (int f = 1; f < frames; ++f) {
            differing += strip.copy(f * w, 0, w, h) != first ? 1 : 0;
        }
        EXPECT_GE(differing, frames / 2);
    }
    EXPECT_EQ(ids, (std::vector<int>{187, 188, 189, 190, 191, 192}));
}

TEST(PadArtFormat, IconsAndAboutPictureExist) {
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QImage icon(
            QString::fromStdString(ResDir() + "/icons/vextkey-" + std::to_string(size) + ".png"));
        EXPECT_EQ(icon.size(), QSize(size, size));
    }
    const QImage about(QString::fromStdString(ResDir() + "/about/147.png"));
    ASSERT_FALSE(about.isNull());
    // Wide enough for the About box's picture area at twice its size.
    EXPECT_GE(about.width(), 2 * 262 * 3 / 2);
}

} // namespace
} // namespace vext::test
