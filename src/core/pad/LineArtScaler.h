#pragma once

// Enlarges a print picture (a grey line drawing on a white ground) to printer resolution so
// that its lines stay crisp: a smooth cubic resampling of the ink, then a contrast curve that
// turns the soft enlarged edges back into sharp ones with about a device pixel of antialiasing.

#include "core/pad/DibImage.h"

#include <cstdint>
#include <vector>

namespace vext {

// 8-bit grey, row by row from the top, no padding: 0 black, 255 white.
struct GreyImage {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<uint8_t> pixels;
};

// Beyond this enlargement the printer's own smooth scaling of the result is as good.
inline constexpr int kMaxLineArtScale = 8;

struct LineArtSize {
    int nWidth = 0;
    int nHeight = 0;
};

// The size to render for a target rectangle: the rectangle itself, but at most
// kMaxLineArtScale times the picture (keeping the rectangle's aspect).
LineArtSize LineArtRenderSize(int nTargetWidth, int nTargetHeight, int nPictureWidth,
                              int nPictureHeight);

// Rows nFirstRow to nEndRow - 1 of the picture resampled to nWidth x nHeight. Near-white ground
// becomes pure white. Empty for an empty row range or size.
GreyImage ScaleLineArt(const DibImage& image, int nFirstRow, int nEndRow, int nWidth, int nHeight);

} // namespace vext
