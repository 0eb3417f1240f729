#pragma once

// The printed mapping sheet of a key set: which slots get a page, which labels a page carries,
// and where the header, the pad's print picture and every label go on the page. Device units
// throughout (printer pixels, y downwards); the caller measures text and paints.

#include "core/pad/DibImage.h"
#include "core/pad/PadButtonInfo.h"
#include "core/pad/PadLayout.h"
#include "core/pad/PadTypes.h"

#include <span>
#include <string>
#include <vector>

class CKeyFunction;
class CVextKeyDoc;

namespace vext {

// The margin of every printed sheet, on paper and in PDF files alike: any printer prints it.
inline constexpr double kSheetMarginMm = 12.7;

// The bitmap of pad type t's print picture; 0 for a type there is none of.
inline int PrintPictureId(int nPadType) {
    const PadTypeInfo* pType = FindPadType(nPadType);
    return pType != nullptr ? pType->nPrintPicture : 0;
}

// One page per slot (1 to 4) that has a mapping, in slot order.
std::vector<int> PrintPageSlots(const CVextKeyDoc& doc);

// How a mapped function is named on the sheet, as on its pad button: its description; a Step
// function's followed by " (Step Up)"; a step-down companion (which has no description of its
// own) by its Step function's description and " (Step Down)".
std::string SheetLabelText(const CVextKeyDoc& doc, const CKeyFunction& function);

// A label of a page: a layout button of the slot's pad type and its mapped function's name,
// in layout order; unmapped buttons give none.
struct SheetEntry {
    const CPadButtonInfo* pButton = nullptr;
    std::string strText;
};
std::vector<SheetEntry> SheetEntries(const CVextKeyDoc& doc, const CPadLayout& layout, int nSlot);

struct SheetRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const SheetRect&) const = default;
};

// What the painter measured with its fonts.
struct SheetMetrics {
    int nTitleAscent = 0;   // title font
    int nTitleHeight = 0;   // its line height
    int nPageTextWidth = 0; // widths of the "Page: n" and "Slot: s" texts, title font
    int nSlotTextWidth = 0;
    int nEm = 0;         // size of the label font: labels on one side stay this far apart
    int nTextCentre = 0; // baseline shift that centres a label's capitals on its leader line
    int nGap = 0;        // between a leader line's end and its label, and around the title
};

// Where the leader line that ends at a button's label anchor runs, in picture pixels (the
// centre of its ink, rows counting from the picture's top edge). The anchor sits a little off
// the line's end so that baseline-aligned text clears it; labels are centred on the line
// itself instead. The anchor's own y when no line is found next to it.
float LeaderLineY(const DibImage& picture, const CPadButtonInfo& button);

// The rows of a picture that carry its drawing, with a few blank rows kept around it: the
// ground above and below is left off the page.
struct PictureRows {
    int nTop = 0;
    int nBottom = 0; // one past the last
};
PictureRows DrawnRows(const DibImage& picture);

// A label input: the button's anchor and alignment and the measured width of its text.
struct SheetLabelInput {
    const CPadButtonInfo* pButton = nullptr;
    int nTextWidth = 0;
};

struct SheetLabel {
    int nAnchorX = 0;             // the end of the leader line on the page
    int nAnchorY = 0;             // on the leader line
    bool bStartsAtAnchor = false; // text runs rightwards from x; otherwise it ends at x
    int x = 0;
    int nBaseline = 0;
    int nMaxWidth = 0; // room up to the page edge; a wider text must be fitted to it
};

struct SheetLayout {
    int nTitleBaseline = 0;         // for the title, "Page: n" and "Slot: s"
    int nTitleMaxWidth = 0;         // room for the centred title between the two side texts
    int nRuleY = 0;                 // a hairline under the header, across the page
    PictureRows source;             // the picture's rows that are drawn ...
    SheetRect picture;              // ... stretched to this rectangle
    std::vector<SheetLabel> labels; // one per input, same order
};

// Lays out one page. The picture (none when null) keeps its aspect and fits below the header;
// beside it a column on each side as wide as that side's widest label, the three centred
// together. The columns never squeeze the picture below half the page's width, nor so small
// that two labels of one side come closer than an em; labels that do not fit their column then
// get nMaxWidth below their width.
SheetLayout LayoutSheet(const SheetRect& page, const DibImage* pPicture,
                        std::span<const SheetLabelInput> inputs, const SheetMetrics& metrics);

} // namespace vext
