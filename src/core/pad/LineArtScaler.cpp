#include "core/pad/LineArtScaler.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace vext {

namespace {

// Grey levels at and above this are the drawing's ground (its white is 255, 254, 253).
constexpr float kPaperLevel = 250.0F;
// The contrast curve: enlarged ink below kInkLow is paper, above kInkHigh solid ink. The band
// is narrow enough for crisp edges and low enough that a one-pixel line split over two pixels
// (half ink each) still prints solid.
constexpr float kInkLow = 0.18F;
constexpr float kInkHigh = 0.52F;

// Catmull-Rom: interpolates, so enlarged lines stay where the drawing put them.
float Cubic(float x) {
    x = std::fabs(x);
    if (x < 1.0F) {
        return (1.5F * x - 2.5F) * x * x + 1.0F;
    }
    if (x < 2.0F) {
        return ((-0.5F * x + 2.5F) * x - 4.0F) * x + 2.0F;
    }
    return 0.0F;
}

// The source indexes and weights of every output position along one axis.
struct Taps {
    int nPerOutput = 0;
    std::vector<int> index;
    std::vector<float> weight;
};

Taps MakeTaps(int nIn, int nOut) {
    Taps taps;
    const float scale = static_cast<float>(nOut) / static_cast<float>(nIn);
    const float stretch = std::max(1.0F, 1.0F / scale); // widened when shrinking
    const float support = 2.0F * stretch;
    taps.nPerOutput = static_cast<int>(std::ceil(2.0F * support)) + 1;
    taps.index.resize(static_cast<std::size_t>(nOut) * static_cast<std::size_t>(taps.nPerOutput));
    taps.weight.resize(taps.index.size());
    for (int o = 0; o < nOut; ++o) {
        const float centre = (static_cast<float>(o) + 0.5F) / scale - 0.5F;
        const int first = static_cast<int>(std::floor(centre - support)) + 1;
        const std::size_t base =
            static_cast<std::size_t>(o) * static_cast<std::size_t>(taps.nPerOutput);
        float sum = 0.0F;
        for (int k = 0; k < taps.nPerOutput; ++k) {
            const int j = first + k;
            const float w = Cubic((static_cast<float>(j) - centre) / stretch);
            taps.index[base + static_cast<std::size_t>(k)] = std::clamp(j, 0, nIn - 1);
            taps.weight[base + static_cast<std::size_t>(k)] = w;
            sum += w;
        }
        if (sum != 0.0F) {
            for (int k = 0; k < taps.nPerOutput; ++k) {
                taps.weight[base + static_cast<std::size_t>(k)] /= sum;
            }
        }
    }
    return taps;
}

} // namespace

LineArtSize LineArtRenderSize(int nTargetWidth, int nTargetHeight, int nPictureWidth,
                              int nPictureHeight) {
    if (nTargetWidth <= 0 || nTargetHeight <= 0 || nPictureWidth <= 0 || nPictureHeight <= 0) {
        return {};
    }
    const int64_t maxWidth = int64_t{nPictureWidth} * kMaxLineArtScale;
    const int64_t maxHeight = int64_t{nPictureHeight} * kMaxLineArtScale;
    if (nTargetWidth <= maxWidth && nTargetHeight <= maxHeight) {
        return {nTargetWidth, nTargetHeight};
    }
    // Shrink by the axis that overshoots most, keeping the target's aspect.
    if (int64_t{nTargetWidth} * maxHeight >= int64_t{nTargetHeight} * maxWidth) {
        return {static_cast<int>(maxWidth),
                std::max(1, static_cast<int>(maxWidth * nTargetHeight / nTargetWidth))};
    }
    return {std::max(1, static_cast<int>(maxHeight * nTargetWidth / nTargetHeight)),
            static_cast<int>(maxHeight)};
}

GreyImage ScaleLineArt(const DibImage& image, int nFirstRow, int nEndRow, int nWidth, int nHeight) {
    GreyImage out;
    nFirstRow = std::max(0, nFirstRow);
    nEndRow = std::min(image.Height(), nEndRow);
    const int nInW = image.Width();
    const int nInH = nEndRow - nFirstRow;
    if (nInW <= 0 || nInH <= 0 || nWidth <= 0 || nHeight <= 0) {
        return out;
    }

    // Ink: 0 on the paper, 1 for black.
    std::vector<float> ink(static_cast<std::size_t>(nInW) * static_cast<std::size_t>(nInH));
    for (int y = 0; y < nInH; ++y) {
        for (int x = 0; x < nInW; ++x) {
            const Rgb c = image.PixelAt(x, nFirstRow + y);
            const float grey = 0.299F * c.red + 0.587F * c.green + 0.114F * c.blue;
            ink[static_cast<std::size_t>(y) * static_cast<std::size_t>(nInW) +
                static_cast<std::size_t>(x)] = std::max(0.0F, kPaperLevel - grey) / kPaperLevel;
        }
    }

    // Rows first, then columns.
    const Taps across = MakeTaps(nInW, nWidth);
    std::vector<float> rows(static_cast<std::size_t>(nWidth) * static_cast<std::size_t>(nInH));
    for (int y = 0; y < nInH; ++y) {
        const float* pIn = &ink[static_cast<std::size_t>(y) * static_cast<std::size_t>(nInW)];
        float* pOut = &rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(nWidth)];
        for (int x = 0; x < nWidth; ++x) {
            const std::size_t base =
                static_cast<std::size_t>(x) * static_cast<std::size_t>(across.nPerOutput);
            float sum = 0.0F;
            for (int k = 0; k < across.nPerOutput; ++k) {
                sum += across.weight[base + static_cast<std::size_t>(k)] *
                       pIn[across.index[base + static_cast<std::size_t>(k)]];
            }
            pOut[x] = sum;
        }
    }

    const bool bEnlarged = nWidth > nInW && nHeight > nInH;
    const Taps down = MakeTaps(nInH, nHeight);
    out.nWidth = nWidth;
    out.nHeight = nHeight;
    out.pixels.resize(static_cast<std::size_t>(nWidth) * static_cast<std::size_t>(nHeight));
    std::vector<float> line(static_cast<std::size_t>(nWidth));
    for (int y = 0; y < nHeight; ++y) {
        std::fill(line.begin(), line.end(), 0.0F);
        const std::size_t base =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(down.nPerOutput);
        for (int k = 0; k < down.nPerOutput; ++k) {
            const float w = down.weight[base + static_cast<std::size_t>(k)];
            if (w == 0.0F) {
                continue;
            }
            const float* pRow =
                &rows[static_cast<std::size_t>(down.index[base + static_cast<std::size_t>(k)]) *
                      static_cast<std::size_t>(nWidth)];
            for (int x = 0; x < nWidth; ++x) {
                line[static_cast<std::size_t>(x)] += w * pRow[x];
            }
        }
        uint8_t* pOut = &out.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(nWidth)];
        for (int x = 0; x < nWidth; ++x) {
            float v = std::clamp(line[static_cast<std::size_t>(x)], 0.0F, 1.0F);
            if (bEnlarged) {
                const float t = std::clamp((v - kInkLow) / (kInkHigh - kInkLow), 0.0F, 1.0F);
                v = t * t * (3.0F - 2.0F * t);
            }
            pOut[x] = static_cast<uint8_t>(std::lround(255.0F * (1.0F - v)));
        }
    }
    return out;
}

} // namespace vext
