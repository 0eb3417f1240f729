#include "core/pad/PadBitmap.h"

#include <utility>

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

std::vector<bool> SurroundingBackground(const DibImage& image, const BackgroundTest& isBackground) {
    const int w = image.Width();
    const int h = image.Height();
    std::vector<bool> outside(static_cast<size_t>(w) * static_cast<size_t>(h), false);
    std::vector<std::pair<int, int>> todo;
    const auto visit = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h) {
            return;
        }
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
        if (!outside[i] && isBackground(image.PixelAt(x, y))) {
            outside[i] = true;
            todo.emplace_back(x, y);
        }
    };
    for (int x = 0; x < w; ++x) {
        visit(x, 0);
        visit(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        visit(0, y);
        visit(w - 1, y);
    }
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        visit(x - 1, y);
        visit(x + 1, y);
        visit(x, y - 1);
        visit(x, y + 1);
    }
    return outside;
}

std::vector<PadSpan> TracePadRows(const DibImage& image, const BackgroundTest& isBackground) {
    const BackgroundTest& background = isBackground ? isBackground : BackgroundTest(IsPureWhite);
    std::vector<PadSpan> rows;
    for (int y = 0; y < image.Height(); ++y) {
        int left = -1;
        int right = -1;
        for (int x = 0; x < image.Width(); ++x) {
            if (!background(image.PixelAt(x, y))) {
                left = left < 0 ? x : left;
                right = x;
            }
        }
        if (left >= 0) {
            rows.push_back({y, left, right});
        }
    }
    return rows;
}

std::vector<PadPoint> TracePadRegion(const DibImage& image, const BackgroundTest& isBackground) {
    const std::vector<PadSpan> rows = TracePadRows(image, isBackground);
    std::vector<PadPoint> points;
    points.reserve(2 * rows.size());
    for (const PadSpan& row : rows) {
        points.push_back({row.left, row.y});
    }
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        points.push_back({it->right, it->y});
    }
    return points;
}

} // namespace vext
