// Printed mapping sheets: which slots get pages and what their labels say, where the picture and
// the labels go on a page, and how a print picture is enlarged.

#include "core/model/PrintSheet.h"

#include "BmpBuilder.h"
#include "core/model/ButtonId.h"
#include "core/model/VextKeyDoc.h"
#include "core/pad/LineArtScaler.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace vext;

CPadButtonInfo Button(int nKind, int nX, int nY, int nLabelX, int nLabelY, int nAlign) {
    CPadButtonInfo b;
    b.m_nKind = nKind;
    b.m_nX = nX;
    b.m_nY = nY;
    b.m_nLabelX = nLabelX;
    b.m_nLabelY = nLabelY;
    b.m_nLabelAlign = nAlign;
    return b;
}

// A 200 x 120 print picture on near-white ground with one-pixel leader lines ending 4 pixels
// above and inside their anchors, as the program's pictures have them: rows 20, 44 and 100 on
// the right, 30 and 90 on the left.
const std::vector<CPadButtonInfo> kButtons = {
    Button(1, 0, 1, 196, 24, 1), Button(1, 1, 1, 196, 48, 1), Button(1, 2, 1, 196, 104, 1),
    Button(2, 0, 0, 4, 34, 0), Button(2, 1, 2, 4, 94, 0)};

DibImage Picture(bool bWithLines = true) {
    test::BmpSpec spec;
    spec.width = 200;
    spec.height = 120;
    spec.colours = {0xFFFEFD, 0x000000};
    spec.pixels.assign(200 * 120, 0);
    for (int x = 60; x < 140 && bWithLines; ++x) {
        for (int y = 10; y < 110; ++y) {
            spec.pixels[static_cast<std::size_t>(y * 200 + x)] = (x == 60 || x == 139) ? 1 : 0;
        }
    }
    for (const CPadButtonInfo& b : kButtons) {
        const int y = b.m_nLabelY - 4;
        for (int x = b.m_nLabelAlign ? 140 : 8; x < (b.m_nLabelAlign ? 192 : 60) && bWithLines;
             ++x) {
            spec.pixels[static_cast<std::size_t>(y * 200 + x)] = 1;
        }
    }
    auto image = DibImage::FromBmpFile(test::MakeBmp(spec));
    EXPECT_TRUE(image);
    return *image;
}

TEST(PrintSheet, PagesAndLabelsFollowTheMappings) {
    CVextKeyDoc doc;
    doc.m_padTypes = {0, 0, 0, 0};
    EXPECT_TRUE(PrintPageSlots(doc).empty());

    auto jump = std::make_unique<CKeyFunction>();
    jump->m_strDescription = "Jump";
    const int nJump = doc.AddFunction(std::move(jump))->m_nCookie;
    auto cycle = std::make_unique<CKeyFunction>();
    cycle->m_strDescription = "Cycle";
    cycle->m_nMode = CKeyFunction::kModeStep;
    CKeyFunction* pCycle = doc.AddFunction(std::move(cycle));
    doc.MapButton(nJump, MakeButtonId(3, 1, 1, 1));
    doc.MapButton(pCycle->m_nLinkCookie, MakeButtonId(3, 0, 0, 2));
    doc.MapButton(pCycle->m_nCookie, MakeButtonId(1, 0, 1, 1));
    doc.MapButton(nJump, MakeButtonId(1, 9, 1, 1)); // no such button in the layout

    EXPECT_EQ(PrintPageSlots(doc), (std::vector<int>{1, 3}));
    CPadLayout layout;
    layout.m_buttons = kButtons;
    layout.m_nCount = static_cast<int32_t>(kButtons.size());
    const std::vector<SheetEntry> slot3 = SheetEntries(doc, layout, 3);
    ASSERT_EQ(slot3.size(), 2u);
    EXPECT_EQ(slot3[0].pButton, &layout.m_buttons[1]);
    EXPECT_EQ(slot3[0].strText, "Jump");
    EXPECT_EQ(slot3[1].pButton, &layout.m_buttons[3]);
    EXPECT_EQ(slot3[1].strText, "Cycle (Step Down)");
    const std::vector<SheetEntry> slot1 = SheetEntries(doc, layout, 1);
    ASSERT_EQ(slot1.size(), 1u);
    EXPECT_EQ(slot1[0].strText, "Cycle (Step Up)");
    EXPECT_TRUE(SheetEntries(doc, layout, 2).empty());
}

TEST(PrintSheet, LabelsSitOnTheirLeaderLines) {
    const DibImage picture = Picture();
    for (const CPadButtonInfo& b : kButtons) {
        EXPECT_FLOAT_EQ(LeaderLineY(picture, b), static_cast<float>(b.m_nLabelY - 4) + 0.5F)
            << b.m_nLabelY;
    }
    EXPECT_FLOAT_EQ(LeaderLineY(Picture(false), kButtons[0]), 24.0F);
    const PictureRows rows = DrawnRows(picture);
    EXPECT_EQ(rows.nTop, 10 - 4);
    EXPECT_EQ(rows.nBottom, 110 + 4);
}

TEST(PrintSheet, LayoutKeepsPictureAndLabelsApartAndOnThePage) {
    const DibImage picture = Picture();
    SheetMetrics m;
    m.nTitleAscent = 150;
    m.nTitleHeight = 190;
    m.nPageTextWidth = 700;
    m.nSlotTextWidth = 700;
    m.nEm = 83;
    m.nTextCentre = 30;
    m.nGap = 20;
    struct Case {
        const char* name;
        SheetRect page;
        std::map<int, int> widths; // button -> text width
        bool bAllFit;
    };
    const Case cases[] = {
        {"portrait, short labels", {0, 0, 4500, 6500}, {{0, 300}, {1, 500}, {3, 250}}, true},
        {"one side only", {100, 200, 4600, 6700}, {{0, 900}, {2, 1200}}, true},
        {"long label", {0, 0, 4500, 6500}, {{0, 300}, {1, 4000}, {4, 200}}, false},
        {"long labels both sides", {0, 0, 4500, 6500}, {{1, 3000}, {3, 3000}}, false},
        {"landscape, short page", {0, 0, 6500, 2200}, {{0, 300}, {3, 300}, {4, 300}}, true},
        {"nothing mapped", {0, 0, 4500, 6500}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<SheetLabelInput> inputs;
        for (const auto& [nButton, nWidth] : c.widths) {
            inputs.push_back({&kButtons[static_cast<std::size_t>(nButton)], nWidth});
        }
        const SheetLayout out = LayoutSheet(c.page, &picture, inputs, m);
        const SheetRect& p = out.picture;
        EXPECT_EQ(out.nTitleMaxWidth, c.page.Width() - 2 * (700 + m.nGap));
        EXPECT_GE(p.top, out.nRuleY + m.nEm);
        EXPECT_GE(p.left, c.page.left);
        EXPECT_LE(p.right, c.page.right);
        EXPECT_LE(p.bottom, c.page.bottom);
        const int nRows = out.source.nBottom - out.source.nTop;
        EXPECT_LE(std::abs(p.Width() * nRows - p.Height() * picture.Width()), picture.Width())
            << "aspect kept";
        const bool bHeightLimited = p.Height() + m.nEm * 2 >= c.page.bottom - out.nRuleY;
        if (!bHeightLimited) {
            EXPECT_GE(p.Width(), c.page.Width() / 2);
        }

        ASSERT_EQ(out.labels.size(), inputs.size());
        bool bAllFit = true;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            const SheetLabel& l = out.labels[i];
            const int nShown = std::min(inputs[i].nTextWidth, l.nMaxWidth);
            bAllFit = bAllFit && inputs[i].nTextWidth <= l.nMaxWidth;
            EXPECT_EQ(l.bStartsAtAnchor, inputs[i].pButton->m_nLabelAlign != 0);
            EXPECT_EQ(l.nBaseline - l.nAnchorY, m.nTextCentre);
            if (l.bStartsAtAnchor) {
                EXPECT_GE(l.x, l.nAnchorX + m.nGap);
                EXPECT_LE(l.x + nShown, c.page.right);
            } else {
                EXPECT_LE(l.x, l.nAnchorX - m.nGap);
                EXPECT_GE(l.x - nShown, c.page.left);
            }
            // On the picture's line: the anchor maps back to the line's row.
            const float lineY =
                LeaderLineY(picture, *inputs[i].pButton) - static_cast<float>(out.source.nTop);
            EXPECT_NEAR(l.nAnchorY, p.top + lineY * static_cast<float>(p.Height()) / nRows, 1.0);
            for (std::size_t j = 0; j < i && !bHeightLimited; ++j) {
                if (out.labels[j].bStartsAtAnchor == l.bStartsAtAnchor) {
                    EXPECT_GE(std::abs(out.labels[j].nAnchorY - l.nAnchorY), m.nEm);
                }
            }
        }
        EXPECT_EQ(bAllFit, c.bAllFit);
    }
    EXPECT_TRUE(LayoutSheet({0, 0, 4500, 6500}, nullptr, {}, m).labels.empty());
}

TEST(LineArtScaler, EnlargedLinesStayCrispAndGroundTurnsWhite) {
    test::BmpSpec spec;
    spec.width = 20;
    spec.height = 10;
    spec.colours = {0xFFFEFD, 0x000000};
    spec.pixels.assign(200, 0);
    for (int y = 0; y < 10; ++y) {
        spec.pixels[static_cast<std::size_t>(y * 20 + 7)] = 1;
    }
    const auto image = DibImage::FromBmpFile(test::MakeBmp(spec));
    ASSERT_TRUE(image);
    for (const int scale : {3, 6}) {
        const GreyImage out = ScaleLineArt(*image, 0, 10, 20 * scale, 10 * scale);
        ASSERT_EQ(out.pixels.size(), static_cast<std::size_t>(200 * scale * scale));
        const uint8_t* row = &out.pixels[static_cast<std::size_t>(5 * scale * 20 * scale)];
        int nDark = 0;
        int nGrey = 0;
        for (int x = 0; x < 20 * scale; ++x) {
            nDark += row[x] < 128;
            nGrey += row[x] > 0 && row[x] < 255;
            if (std::abs(x - (7 * scale + scale / 2)) > 2 * scale) {
                EXPECT_EQ(row[x], 255) << "scale " << scale << " x " << x;
            }
        }
        EXPECT_EQ(row[7 * scale + scale / 2], 0);
        // A little bolder rather than thinner, so that faint lines print solid.
        EXPECT_GE(nDark, scale) << "the line keeps its width";
        EXPECT_LE(nDark, scale * 3 / 2) << "the line keeps its width";
        EXPECT_LE(nGrey, 4) << "edges stay within a device pixel or two";
    }
    const GreyImage half = ScaleLineArt(*image, 0, 10, 10, 5);
    EXPECT_LT(*std::min_element(half.pixels.begin(), half.pixels.end()), 200) << "ink kept";

    const LineArtSize capped = LineArtRenderSize(10000, 5000, 100, 100);
    EXPECT_EQ(capped.nWidth, 100 * kMaxLineArtScale);
    EXPECT_EQ(capped.nHeight, 50 * kMaxLineArtScale);
    EXPECT_EQ(LineArtRenderSize(300, 200, 100, 100).nWidth, 300);
}

} // namespace
