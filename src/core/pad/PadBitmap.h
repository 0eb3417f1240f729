#pragma once

// The drawing rules shared by the pad view, the pad buttons and printing that need no window:
// the palette of a pad image and the outline of a button image.

#include "core/pad/DibImage.h"
#include "core/pad/Rgb.h"

#include <functional>
#include <vector>

namespace vext {

struct PadPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PadPoint&) const = default;
};

// The image's 256 colour-table entries in order.
Palette BuildPalette(const DibImage& image);

// Background colours of the button images: pure white, and near-white (255, 254, 253).
bool IsPureWhite(Rgb colour);
bool IsNearWhite(Rgb colour);
bool IsPlainBackground(Rgb colour);

using BackgroundTest = std::function<bool(Rgb)>;

// The outline of a button image: the leftmost non-background pixel of every row from top to
// bottom, then the rightmost one of every row from bottom to top. Rows with only background add
// nothing; an image with only background gives no points. Points are pixel positions (the pixel
// at (x, y) is the square from (x, y) to (x + 1, y + 1)).
//
// Which colours are background is the caller's choice. Pure white alone keeps the behaviour the
// images were drawn for on a true-colour screen: a near-white image then traces to its whole
// rectangle. IsPlainBackground cuts near-white away too.
std::vector<PadPoint> TracePadRegion(const DibImage& image,
                                     const BackgroundTest& isBackground = IsPureWhite);

// The same outline as row spans: for every row with a non-background pixel, its leftmost and
// rightmost such pixel (both included), top to bottom. What a button's hit region is made of.
struct PadSpan {
    int y = 0;
    int left = 0;
    int right = 0;
    bool operator==(const PadSpan&) const = default;
};
std::vector<PadSpan> TracePadRows(const DibImage& image,
                                  const BackgroundTest& isBackground = IsPureWhite);

// The background pixels that touch the image's edge through other background pixels: what lies
// around the button, as opposed to background colour inside it (a highlight, the inside of an
// arc's curve is still outside). Row by row from the top, Width() per row.
std::vector<bool> SurroundingBackground(const DibImage& image, const BackgroundTest& isBackground);

} // namespace vext
