#include "gui/views/PadButtonLooks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace vext {

namespace {

// How far towards white a pressed button is lit.
constexpr int kLightPercent = 50;
// The label colour where the mapped one would not read: the pads' own dark outline colour.
const QRgb kDarkLabel = qRgb(34, 35, 40);
// The button around its label: this many pixels out from the label, past its outline.
constexpr int kRingInner = 2;
constexpr int kRingOuter = 3;

bool IsOpaque(QRgb c) {
    return qAlpha(c) == 255;
}

// The median of each channel over the pixels marked in mask.
QRgb MedianColour(const QImage& image, const std::vector<bool>& mask) {
    std::array<std::vector<int>, 3> channels;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (mask[static_cast<size_t>(y * image.width() + x)]) {
                const QRgb c = image.pixel(x, y);
                channels[0].push_back(qRed(c));
                channels[1].push_back(qGreen(c));
                channels[2].push_back(qBlue(c));
            }
        }
    }
    if (channels[0].empty()) {
        return kDarkLabel;
    }
    std::array<int, 3> median{};
    for (size_t i = 0; i < 3; ++i) {
        std::vector<int>& v = channels[i];
        std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
        median[i] = v[v.size() / 2];
    }
    return qRgb(median[0], median[1], median[2]);
}

// The opaque pixels between kRingInner and kRingOuter pixels (in either direction) from the
// label, outside it.
std::vector<bool> RingAround(const QImage& image, const std::vector<bool>& label) {
    const int w = image.width();
    const int h = image.height();
    std::vector<bool> ring(label.size(), false);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t i = static_cast<size_t>(y * w + x);
            if (label[i] || !IsOpaque(image.pixel(x, y))) {
                continue;
            }
            int nNearest = kRingOuter + 1;
            for (int dy = -kRingOuter; dy <= kRingOuter; ++dy) {
                for (int dx = -kRingOuter; dx <= kRingOuter; ++dx) {
                    const int nx = x + dx;
                    const int ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < w && ny < h &&
                        label[static_cast<size_t>(ny * w + nx)]) {
                        nNearest = std::min(nNearest, std::max(std::abs(dx), std::abs(dy)));
                    }
                }
            }
            ring[i] = nNearest >= kRingInner && nNearest <= kRingOuter;
        }
    }
    return ring;
}

// A label that does not stand out from the button around it is drawn dark instead.
void MakeLabelRead(QImage& image, const std::vector<bool>& label) {
    const QRgb labelColour = MedianColour(image, label);
    const QRgb around = MedianColour(image, RingAround(image, label));
    if (ColourDistance(labelColour, around) >= kLabelContrast) {
        return;
    }
    const QRgb replacement =
        ColourDistance(kDarkLabel, around) >= kLabelContrast ? kDarkLabel : qRgb(255, 255, 255);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (label[static_cast<size_t>(y * image.width() + x)]) {
                image.setPixel(x, y, replacement);
            }
        }
    }
}

QRgb Lit(QRgb c) {
    const auto up = [](int v) { return v + (255 - v) * kLightPercent / 100; };
    return qRgba(up(qRed(c)), up(qGreen(c)), up(qBlue(c)), qAlpha(c));
}

} // namespace

double ColourDistance(QRgb a, QRgb b) {
    const double dr = qRed(a) - qRed(b);
    const double dg = qGreen(a) - qGreen(b);
    const double db = qBlue(a) - qBlue(b);
    return std::sqrt(dr * dr + dg * dg + db * db);
}

PadButtonLooks MakePadButtonLooks(const QImage& normal, const QImage& highlight) {
    PadButtonLooks looks{normal.convertToFormat(QImage::Format_ARGB32),
                         highlight.convertToFormat(QImage::Format_ARGB32)};
    if (looks.pressed.size() != looks.mapped.size()) {
        looks.pressed = looks.mapped;
    }
    const int w = looks.mapped.width();
    const int h = looks.mapped.height();
    // The label is where the two images differ.
    std::vector<bool> label(static_cast<size_t>(w) * static_cast<size_t>(h), false);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb a = looks.mapped.pixel(x, y);
            label[static_cast<size_t>(y * w + x)] = IsOpaque(a) && a != looks.pressed.pixel(x, y);
        }
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb c = looks.pressed.pixel(x, y);
            if (IsOpaque(c) && !label[static_cast<size_t>(y * w + x)]) {
                looks.pressed.setPixel(x, y, Lit(c));
            }
        }
    }
    MakeLabelRead(looks.mapped, label);
    MakeLabelRead(looks.pressed, label);
    return looks;
}

} // namespace vext
