// The layout strings against the pictures: every button image sits exactly over its button on
// the pad picture, inside it, apart from the others, and every label anchor ends a leader line.
#include "ArtCatalogue.h"
#include "BmpFile.h"

#include <set>

#include <gtest/gtest.h>

namespace vext::test {
namespace {

struct LoadedPad {
    PadSpec spec;
    BmpFile picture;
    BmpFile print;
    std::vector<LayoutEntry> entries;
    std::vector<BmpFile> normal;
    std::vector<BmpFile> highlight;
};

LoadedPad Load(const PadSpec& spec) {
    LoadedPad pad{spec, {}, {}, {}, {}, {}};
    std::string error;
    const auto strings = ReadStringTable(ResDir() + "/strings/padlayout.txt", error);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_TRUE(ReadBmp8(BitmapPath(spec.pictureId), pad.picture, error)) << error;
    EXPECT_TRUE(ReadBmp8(BitmapPath(spec.printId), pad.print, error)) << error;
    for (int i = 0; i < spec.buttons; ++i) {
        LayoutEntry entry;
        const auto text = strings.find(spec.firstString + i);
        EXPECT_TRUE(text != strings.end() && ParseLayout(text->second, entry))
            << "layout string " << spec.firstString + i;
        pad.entries.push_back(entry);
        BmpFile normal;
        BmpFile highlight;
        EXPECT_TRUE(ReadBmp8(BitmapPath(spec.firstNormal + i), normal, error)) << error;
        EXPECT_TRUE(ReadBmp8(BitmapPath(spec.firstHighlight + i), highlight, error)) << error;
        pad.normal.push_back(normal);
        pad.highlight.push_back(highlight);
    }
    return pad;
}

bool IsBackground(BmpColour c) {
    return c == kWhite || c == kNearWhite;
}

// Pixels of a button image where the label is drawn: normal and highlight images differ there
// (yellow against red), widened by one pixel for the label's anti-aliased fringe.
std::vector<uint8_t> LabelMask(const BmpFile& normal, const BmpFile& highlight) {
    std::vector<uint8_t> mask(normal.indices.size(), 0);
    for (int y = 0; y < normal.height; ++y) {
        for (int x = 0; x < normal.width; ++x) {
            if (normal.At(x, y) == highlight.At(x, y)) {
                continue;
            }
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx;
                    const int ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < normal.width && ny < normal.height) {
                        mask[static_cast<size_t>(ny) * normal.width + nx] = 1;
                    }
                }
            }
        }
    }
    return mask;
}

struct Match {
    int compared = 0;
    int different = 0;
};

// Compares the button's own pixels outside the label with the pad picture at (left, top).
Match Compare(const BmpFile& image, const std::vector<uint8_t>& label, const BmpFile& picture,
              int left, int top) {
    Match m;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const BmpColour c = image.At(x, y);
            if (IsBackground(c) || label[static_cast<size_t>(y) * image.width + x]) {
                continue;
            }
            const int px = left + x;
            const int py = top + y;
            ++m.compared;
            if (px < 0 || py < 0 || px >= picture.width || py >= picture.height ||
                !(picture.At(px, py) == c)) {
                ++m.different;
            }
        }
    }
    return m;
}

class PadLayoutArt : public ::testing::TestWithParam<PadSpec> {};

TEST_P(PadLayoutArt, CountStringMatchesTheImagePairs) {
    std::string error;
    const auto strings = ReadStringTable(ResDir() + "/strings/padlayout.txt", error);
    ASSERT_TRUE(error.empty()) << error;
    const auto count = strings.find(GetParam().countString);
    ASSERT_NE(count, strings.end());
    EXPECT_EQ(count->second, std::to_string(GetParam().buttons));
}

TEST_P(PadLayoutArt, EntriesFollowTheKindRules) {
    const LoadedPad pad = Load(GetParam());
    std::set<int> bits;
    std::set<std::pair<int, int>> directions;
    std::set<std::string> names;
    for (const LayoutEntry& e : pad.entries) {
        SCOPED_TRACE(e.name);
        ASSERT_TRUE(e.kind == 1 || e.kind == 2);
        if (e.kind == 1) {
            EXPECT_EQ(e.y, 1);
            EXPECT_GE(e.x, 0);
            EXPECT_LT(e.x, GetParam().buttons);
            EXPECT_TRUE(bits.insert(e.x).second) << "bit used twice";
        } else {
            EXPECT_TRUE(directions.insert({e.x, e.y}).second) << "direction used twice";
        }
        EXPECT_TRUE(names.insert(e.name).second) << "name used twice";
    }
    std::set<std::pair<int, int>> expected;
    for (int axis = 0; axis < GetParam().directions / 2; ++axis) {
        expected.insert({{axis, 0}, {axis, 2}});
    }
    EXPECT_EQ(directions, expected);
}

TEST_P(PadLayoutArt, ButtonsLieInsideThePictureAndApartFromEachOther) {
    const LoadedPad pad = Load(GetParam());
    for (size_t i = 0; i < pad.entries.size(); ++i) {
        const LayoutEntry& a = pad.entries[i];
        SCOPED_TRACE(a.name);
        EXPECT_GE(a.left, 0);
        EXPECT_GE(a.top, 0);
        EXPECT_LE(a.left + pad.normal[i].width, pad.picture.width);
        EXPECT_LE(a.top + pad.normal[i].height, pad.picture.height);
        EXPECT_EQ(pad.normal[i].width, pad.highlight[i].width);
        EXPECT_EQ(pad.normal[i].height, pad.highlight[i].height);
        // Images may overlap where a button wraps round another (a stick's ring round its
        // click), but no pixel is part of two buttons.
        for (size_t j = i + 1; j < pad.entries.size(); ++j) {
            const LayoutEntry& b = pad.entries[j];
            int nShared = 0;
            for (int y = 0; y < pad.normal[i].height; ++y) {
                for (int x = 0; x < pad.normal[i].width; ++x) {
                    const int bx = a.left + x - b.left;
                    const int by = a.top + y - b.top;
                    nShared += !IsBackground(pad.normal[i].At(x, y)) && bx >= 0 && by >= 0 &&
                               bx < pad.normal[j].width && by < pad.normal[j].height &&
                               !IsBackground(pad.normal[j].At(bx, by));
                }
            }
            EXPECT_EQ(nShared, 0) << "shares pixels with " << b.name;
        }
    }
}

TEST_P(PadLayoutArt, ButtonImagesLineUpExactlyWithThePadPicture) {
    const LoadedPad pad = Load(GetParam());
    for (size_t i = 0; i < pad.entries.size(); ++i) {
        const LayoutEntry& e = pad.entries[i];
        SCOPED_TRACE(e.name);
        const std::vector<uint8_t> label = LabelMask(pad.normal[i], pad.highlight[i]);
        int labelPixels = 0;
        int ownPixels = 0;
        for (size_t k = 0; k < label.size(); ++k) {
            labelPixels += label[k];
            ownPixels += IsBackground(pad.normal[i].palette[pad.normal[i].indices[k]]) ? 0 : 1;
        }
        EXPECT_GT(labelPixels, 0) << "normal and highlight images look the same";
        for (const BmpFile* image : {&pad.normal[i], &pad.highlight[i]}) {
            const Match at = Compare(*image, label, pad.picture, e.left, e.top);
            // The button's body must be a real part of the image, not just its label.
            EXPECT_GT(at.compared, ownPixels / 4);
            EXPECT_EQ(at.different, 0) << "of " << at.compared << " pixels";
            // One pixel off in any direction shows: the match above is not a coincidence.
            const int shifts[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
            for (const auto& s : shifts) {
                EXPECT_GT(
                    Compare(*image, label, pad.picture, e.left + s[0], e.top + s[1]).different, 0)
                    << "shift " << s[0] << "," << s[1];
            }
        }
    }
}

TEST_P(PadLayoutArt, LabelAnchorsEndLeaderLinesAtThePrintPictureEdges) {
    const LoadedPad pad = Load(GetParam());
    std::set<int> rows[2]; // per side: labels one above the other, with room for a line of text
    for (const LayoutEntry& e : pad.entries) {
        SCOPED_TRACE(e.name);
        ASSERT_GE(e.labelX, 0);
        ASSERT_LT(e.labelX, pad.print.width);
        ASSERT_GE(e.labelY, 4);
        ASSERT_LT(e.labelY, pad.print.height);
        const bool left = e.labelX < pad.print.width / 2;
        // Labels on the left end at their anchor, labels on the right start there.
        EXPECT_EQ(e.labelAlign, left ? 0 : 1);
        EXPECT_LT(left ? e.labelX : pad.print.width - e.labelX, 12);
        const auto near = rows[left].lower_bound(e.labelY - 19);
        EXPECT_TRUE(near == rows[left].end() || *near > e.labelY + 19) << "label rows too close";
        rows[left].insert(e.labelY);
        // The leader line runs just above the label's baseline, from the anchor inwards.
        const int lineY = e.labelY - 4;
        for (int d = 6; d < 40; d += 8) {
            const int x = left ? e.labelX + d : e.labelX - d;
            const BmpColour c = pad.print.At(x, lineY);
            EXPECT_LT(c.r + c.g + c.b, 3 * 128) << "no line at " << x << "," << lineY;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPadType, PadLayoutArt, ::testing::ValuesIn(Pads()),
                         [](const auto& info) { return "Type" + std::to_string(info.param.type); });

} // namespace
} // namespace vext::test
