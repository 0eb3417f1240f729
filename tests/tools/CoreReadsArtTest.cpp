// The core's own readers on the committed resources: the layout table built from the embedded
// strings, every bitmap through the bitmap reader, and button outlines traced from the images.
#include "ArtCatalogue.h"
#include "core/pad/DibImage.h"
#include "core/pad/PadBitmap.h"
#include "core/pad/PadLayoutTable.h"

#include <gtest/gtest.h>

namespace vext::test {
namespace {

TEST(CoreReadsArt, LayoutTableHasEveryButtonWithItsImagePlace) {
    const PadLayoutTable& table = AppPadLayouts();
    for (const PadSpec& pad : Pads()) {
        SCOPED_TRACE("pad type " + std::to_string(pad.type));
        ASSERT_EQ(table.ButtonCount(pad.type), pad.buttons);
        const CPadLayout* layout = table.Find(pad.type);
        ASSERT_NE(layout, nullptr);
        ASSERT_EQ(layout->m_buttons.size(), static_cast<size_t>(pad.buttons));
        uint32_t buttonBits = 0;
        uint32_t directionBits = 0;
        for (const CPadButtonInfo& b : layout->m_buttons) {
            SCOPED_TRACE(b.m_strName);
            ASSERT_NE(b.m_nMask, 0U) << "matches no input";
            uint32_t& bits = b.m_nKind == 1 ? buttonBits : directionBits;
            EXPECT_EQ(bits & b.m_nMask, 0U) << "input shared with another button";
            bits |= b.m_nMask;
        }
        EXPECT_EQ(directionBits, (1U << pad.directions) - 1);
        EXPECT_EQ(buttonBits, (1U << (pad.buttons - pad.directions)) - 1);
    }
}

TEST(CoreReadsArt, BitmapReaderLoadsEveryPicture) {
    for (const BitmapSpec& spec : AllBitmaps()) {
        SCOPED_TRACE("bitmap " + std::to_string(spec.id));
        std::string error;
        const auto image = DibImage::Load(BitmapPath(spec.id), &error);
        ASSERT_TRUE(image.has_value()) << error;
        EXPECT_EQ(image->Width(), spec.width);
        EXPECT_EQ(image->Height(), spec.height);
        const Rgb corner = image->PixelAt(0, 0);
        EXPECT_EQ(corner.red, spec.background.r);
        EXPECT_EQ(corner.green, spec.background.g);
        EXPECT_EQ(corner.blue, spec.background.b);
    }
}

TEST(CoreReadsArt, TracedOutlinesOfButtonImagesStayOffTheirCorners) {
    for (const BitmapSpec& spec : AllBitmaps()) {
        if (spec.id < 152 || spec.id > 225 || (spec.id >= 180 && spec.id < 202)) {
            continue;
        }
        SCOPED_TRACE("bitmap " + std::to_string(spec.id));
        const auto image = DibImage::Load(BitmapPath(spec.id));
        ASSERT_TRUE(image.has_value());
        const auto outline = TracePadRegion(*image, IsPlainBackground);
        ASSERT_GE(outline.size(), 4U);
        for (const PadPoint& p : outline) {
            const bool corner =
                (p.x == 0 || p.x == spec.width - 1) && (p.y == 0 || p.y == spec.height - 1);
            EXPECT_FALSE(corner) << p.x << "," << p.y;
        }
    }
}

} // namespace
} // namespace vext::test
