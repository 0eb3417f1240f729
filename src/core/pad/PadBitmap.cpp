#include "pad/PadBitmap.h"

namespace vext {

Palette BuildPalette(const DibImage& image) {
    return image.ColourTable();
}

bool IsPureWhite(Rgb colour) {
    return colour == Rgb{255, 255, 255};
}

bool IsNearWhite(Rgb colour) {
    return colour == Rgb{255, 254, 253};
}

bool IsPlainBackground(Rgb colour) {
    return IsPureWhite(colour) || IsNearWhite(colour);
}

std::vector<PadPoint> TracePadRegion(const DibImage& image, const BackgroundTest& isBackground) {
    const BackgroundTest& background = isBackground ? isBackground : BackgroundTest(IsPureWhite);
    const int w = image.Width();
    const int h = image.Height();
    std::vector<PadPoint> points;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!background(image.PixelAt(x, y))) {
                points.push_back({x, y});
                break;
            }
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        for (int x = w - 1; x >= 0; --x) {
            if (!background(image.PixelAt(x, y))) {
                points.push_back({x, y});
                break;
            }
        }
    }
    return points;
}

} // namespace vext
