#include "core/model/PrintSheet.h"

#include "core/model/VextKeyDoc.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vext {

namespace {

// a * b / c with the product in 64 bits, truncated toward zero.
int MulDiv(int a, int b, int c) {
    return c == 0 ? 0 : static_cast<int>(static_cast<int64_t>(a) * b / c);
}

// Ink of a picture pixel: 0 for the ground (the pictures' white is 255, 254, 253), 1 for black.
float InkAt(const DibImage& picture, int x, int y) {
    const Rgb c = picture.PixelAt(x, y);
    const float grey = 0.299F * c.red + 0.587F * c.green + 0.114F * c.blue;
    return std::max(0.0F, 250.0F - grey) / 250.0F;
}

// The band searched for a leader line: columns inward of the anchor, rows either side of it
// (less than half the closest spacing of two lines).
constexpr int kLineNearest = 6;
constexpr int kLineFarthest = 14;
constexpr int kLineRows = 8;
// Ink below this, summed over the band, is no line.
constexpr float kMinLineInk = 2.0F;
// Blank rows kept above and below the drawing.
constexpr int kRowMargin = 4;

struct LabelLine {
    const CPadButtonInfo* pButton;
    float y; // leader line, rows from the top of the drawn rows
};

// The narrowest picture that keeps the labels of one side an em apart.
int WidthForSpacing(const std::vector<LabelLine>& lines, bool bStart, int nEm, int nPictureWidth) {
    std::vector<float> ys;
    for (const LabelLine& line : lines) {
        if ((line.pButton->m_nLabelAlign != 0) == bStart) {
            ys.push_back(line.y);
        }
    }
    std::sort(ys.begin(), ys.end());
    int nWidth = 0;
    for (std::size_t i = 1; i < ys.size(); ++i) {
        const float d = ys[i] - ys[i - 1];
        if (d >= 1.0F) {
            nWidth = std::max(nWidth,
                              static_cast<int>(std::ceil(static_cast<float>(nEm) *
                                                         static_cast<float>(nPictureWidth) / d)));
        }
    }
    return nWidth;
}

} // namespace

std::vector<int> PrintPageSlots(const CVextKeyDoc& doc) {
    std::vector<int> slots;
    for (int nSlot = 1; nSlot <= CVextKeyDoc::kSlotCount; ++nSlot) {
        if (doc.PadHasMappings(nSlot)) {
            slots.push_back(nSlot);
        }
    }
    return slots;
}

std::string SheetLabelText(const CVextKeyDoc& doc, const CKeyFunction& function) {
    if (function.IsCompanion()) {
        const CKeyFunction* pMaster = doc.FindFunction(function.m_nLinkCookie);
        return (pMaster ? pMaster->m_strDescription : std::string()) + " (Step Down)";
    }
    if (function.IsStepMode()) {
        return function.m_strDescription + " (Step Up)";
    }
    return function.m_strDescription;
}

std::vector<SheetEntry> SheetEntries(const CVextKeyDoc& doc, const CPadLayout& layout, int nSlot) {
    std::vector<SheetEntry> entries;
    for (const CPadButtonInfo& button : layout.m_buttons) {
        if (const CKeyFunction* pFunction =
                doc.FindMappedFunction(nSlot, button.m_nX, button.m_nY, button.m_nKind)) {
            entries.push_back({&button, SheetLabelText(doc, *pFunction)});
        }
    }
    return entries;
}

float LeaderLineY(const DibImage& picture, const CPadButtonInfo& button) {
    const int step = button.m_nLabelAlign != 0 ? -1 : 1;
    float ink = 0.0F;
    float moment = 0.0F;
    for (int y = button.m_nLabelY - kLineRows; y <= button.m_nLabelY + kLineRows; ++y) {
        for (int d = kLineNearest; d <= kLineFarthest; ++d) {
            const int x = button.m_nLabelX + step * d;
            if (x < 0 || y < 0 || x >= picture.Width() || y >= picture.Height()) {
                continue;
            }
            const float dark = InkAt(picture, x, y);
            ink += dark;
            moment += dark * (static_cast<float>(y) + 0.5F);
        }
    }
    return ink >= kMinLineInk ? moment / ink : static_cast<float>(button.m_nLabelY);
}

PictureRows DrawnRows(const DibImage& picture) {
    const auto blank = [&](int y) {
        for (int x = 0; x < picture.Width(); ++x) {
            if (InkAt(picture, x, y) > 0.0F) {
                return false;
            }
        }
        return true;
    };
    int nTop = 0;
    int nBottom = picture.Height();
    while (nTop < nBottom && blank(nTop)) {
        ++nTop;
    }
    while (nBottom > nTop && blank(nBottom - 1)) {
        --nBottom;
    }
    if (nTop == nBottom) {
        return {0, picture.Height()};
    }
    return {std::max(0, nTop - kRowMargin), std::min(picture.Height(), nBottom + kRowMargin)};
}

SheetLayout LayoutSheet(const SheetRect& page, const DibImage* pPicture,
                        std::span<const SheetLabelInput> inputs, const SheetMetrics& metrics) {
    SheetLayout out;
    const int nPageWidth = std::max(0, page.Width());
    out.nTitleBaseline = page.top + metrics.nTitleAscent;
    const int nSide = std::max(metrics.nPageTextWidth, metrics.nSlotTextWidth) + metrics.nGap;
    out.nTitleMaxWidth = std::max(0, nPageWidth - 2 * nSide);

    // A clear em between the header's rule and the picture's highest label, half one at the
    // bottom for the lowest label's descenders.
    out.nRuleY = page.top + metrics.nTitleHeight + metrics.nGap;
    const int nBodyTop = out.nRuleY + metrics.nEm;
    const int nBodyHeight = std::max(0, page.bottom - metrics.nEm / 2 - nBodyTop);
    out.labels.resize(inputs.size());
    out.picture = {page.left, nBodyTop, page.left, nBodyTop};
    if (!pPicture || pPicture->Width() <= 0 || pPicture->Height() <= 0) {
        return out;
    }
    out.source = DrawnRows(*pPicture);
    const int nPictureWidth = pPicture->Width();
    const int nPictureHeight = out.source.nBottom - out.source.nTop;

    // One column per side, as wide as its widest label.
    std::vector<LabelLine> lines;
    int nLeft = 0;
    int nRight = 0;
    for (const SheetLabelInput& in : inputs) {
        if (in.pButton) {
            lines.push_back({in.pButton, LeaderLineY(*pPicture, *in.pButton) -
                                             static_cast<float>(out.source.nTop)});
            int& nColumn = in.pButton->m_nLabelAlign != 0 ? nRight : nLeft;
            nColumn = std::max(nColumn, in.nTextWidth + metrics.nGap);
        }
    }
    int nMinWidth =
        std::max({nPageWidth / 2, WidthForSpacing(lines, true, metrics.nEm, nPictureWidth),
                  WidthForSpacing(lines, false, metrics.nEm, nPictureWidth)});
    nMinWidth = std::min(nMinWidth, nPageWidth);
    // Too wide together: the narrower column keeps its width where it can, the wider one gets
    // the rest.
    const int nRoom = nPageWidth - nMinWidth;
    if (nLeft + nRight > nRoom) {
        const int nHalf = nRoom / 2;
        if (nLeft <= nHalf) {
            nRight = nRoom - nLeft;
        } else if (nRight <= nHalf) {
            nLeft = nRoom - nRight;
        } else {
            nLeft = nHalf;
            nRight = nHalf;
        }
    }

    int w = nPageWidth - nLeft - nRight;
    int h = MulDiv(w, nPictureHeight, nPictureWidth);
    if (h > nBodyHeight) {
        h = nBodyHeight;
        w = MulDiv(h, nPictureWidth, nPictureHeight);
    }
    // The picture with its two columns, centred.
    out.picture.left = page.left + (nPageWidth - (nLeft + w + nRight)) / 2 + nLeft;
    out.picture.top = nBodyTop + (nBodyHeight - h) / 2;
    out.picture.right = out.picture.left + w;
    out.picture.bottom = out.picture.top + h;

    std::size_t nLine = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (!inputs[i].pButton) {
            continue;
        }
        const LabelLine& line = lines[nLine++];
        SheetLabel& label = out.labels[i];
        label.nAnchorX = out.picture.left + MulDiv(line.pButton->m_nLabelX, w, nPictureWidth);
        label.nAnchorY =
            out.picture.top + static_cast<int>(std::lround(line.y * static_cast<float>(h) /
                                                           static_cast<float>(nPictureHeight)));
        label.bStartsAtAnchor = line.pButton->m_nLabelAlign != 0;
        label.nBaseline = label.nAnchorY + metrics.nTextCentre;
        if (label.bStartsAtAnchor) {
            label.x = label.nAnchorX + metrics.nGap;
            label.nMaxWidth = std::max(0, page.right - label.x);
        } else {
            label.x = label.nAnchorX - metrics.nGap;
            label.nMaxWidth = std::max(0, label.x - page.left);
        }
    }
    return out;
}

} // namespace vext
