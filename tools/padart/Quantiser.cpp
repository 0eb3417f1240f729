#include "Quantiser.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace vext::padart {

namespace {

uint32_t Pack(Rgb c) {
    return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
}

int Channel(uint32_t rgb, int channel) {
    return static_cast<int>((rgb >> (16 - 8 * channel)) & 0xFF);
}

struct Box {
    std::vector<std::pair<uint32_t, uint64_t>> colours;
    int range = 0;    // widest channel spread
    int axis = 0;     // channel of the largest spread of weight
    double error = 0; // weighted squared deviation from the mean, all channels

    // Weights grow with the square root of a colour's pixel count: large flat areas and
    // gradients still get their share of entries, and rare edge colours are not starved.
    static double Weight(uint64_t count) { return std::sqrt(static_cast<double>(count)); }

    void Measure() {
        range = 0;
        axis = 0;
        error = 0;
        double bestAxisError = -1;
        for (int c = 0; c < 3; ++c) {
            int lo = 255;
            int hi = 0;
            double sum = 0;
            double sumSq = 0;
            double total = 0;
            for (const auto& [rgb, count] : colours) {
                const int v = Channel(rgb, c);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
                const double w = Weight(count);
                sum += w * v;
                sumSq += w * v * v;
                total += w;
            }
            const double axisError = sumSq - sum * sum / total;
            error += axisError;
            range = std::max(range, hi - lo);
            if (hi > lo && axisError > bestAxisError) {
                bestAxisError = axisError;
                axis = c;
            }
        }
    }

    uint32_t Mean() const {
        uint64_t sum[3] = {0, 0, 0};
        uint64_t total = 0;
        for (const auto& [rgb, count] : colours) {
            for (int c = 0; c < 3; ++c) {
                sum[c] += static_cast<uint64_t>(Channel(rgb, c)) * count;
            }
            total += count;
        }
        uint32_t out = 0;
        for (int c = 0; c < 3; ++c) {
            out = (out << 8) | static_cast<uint32_t>((sum[c] + total / 2) / total);
        }
        return out;
    }
};

} // namespace

Canvas Canvas::FromImage(const QImage& source, Rgb background) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    Canvas canvas;
    canvas.width = image.width();
    canvas.height = image.height();
    canvas.background = background;
    const size_t count = static_cast<size_t>(canvas.width) * static_cast<size_t>(canvas.height);
    canvas.rgb.assign(count, 0);
    canvas.isBackground.assign(count, 0);
    for (int y = 0; y < canvas.height; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < canvas.width; ++x) {
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(canvas.width) + x;
            const int a = qAlpha(line[x]);
            if (a == 0) {
                canvas.isBackground[i] = 1;
                canvas.rgb[i] = Pack(background);
                continue;
            }
            const auto over = [a](int fg, int bg) { return (fg * a + bg * (255 - a) + 127) / 255; };
            const uint32_t r = static_cast<uint32_t>(over(qRed(line[x]), background.r));
            const uint32_t g = static_cast<uint32_t>(over(qGreen(line[x]), background.g));
            const uint32_t b = static_cast<uint32_t>(over(qBlue(line[x]), background.b));
            canvas.rgb[i] = (r << 16) | (g << 8) | b;
        }
    }
    return canvas;
}

Canvas Canvas::Crop(int left, int top, int w, int h) const {
    Canvas out;
    out.width = w;
    out.height = h;
    out.background = background;
    out.rgb.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));
    out.isBackground.reserve(out.rgb.capacity());
    for (int y = top; y < top + h; ++y) {
        for (int x = left; x < left + w; ++x) {
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(width) + x;
            out.rgb.push_back(rgb[i]);
            out.isBackground.push_back(isBackground[i]);
        }
    }
    return out;
}

Quantiser::Quantiser(std::vector<Rgb> reserved) : m_reserved(std::move(reserved)) {}

void Quantiser::Add(const Canvas& canvas) {
    for (size_t i = 0; i < canvas.rgb.size(); ++i) {
        if (!canvas.isBackground[i]) {
            m_pending.push_back(canvas.rgb[i]);
        }
    }
}

void Quantiser::Build() {
    std::map<uint32_t, uint64_t> counts;
    for (uint32_t rgb : m_pending) {
        ++counts[rgb];
    }
    m_pending.clear();
    m_histogram.assign(counts.begin(), counts.end());

    const int available = 256 - static_cast<int>(m_reserved.size());
    std::vector<uint32_t> chosen;
    if (static_cast<int>(m_histogram.size()) <= available) {
        for (const auto& entry : m_histogram) {
            chosen.push_back(entry.first);
        }
    } else {
        std::vector<Box> boxes(1);
        boxes[0].colours = m_histogram;
        boxes[0].Measure();
        while (static_cast<int>(boxes.size()) < available) {
            size_t pick = 0;
            for (size_t i = 1; i < boxes.size(); ++i) {
                if (boxes[i].range > 0 &&
                    (boxes[pick].range == 0 || boxes[i].error > boxes[pick].error)) {
                    pick = i;
                }
            }
            if (boxes[pick].range == 0) {
                break;
            }
            Box& box = boxes[pick];
            const int axis = box.axis;
            std::stable_sort(box.colours.begin(), box.colours.end(),
                             [axis](const auto& a, const auto& b) {
                                 return Channel(a.first, axis) < Channel(b.first, axis);
                             });
            double total = 0;
            for (const auto& entry : box.colours) {
                total += Box::Weight(entry.second);
            }
            double running = 0;
            size_t split = 1;
            for (size_t i = 0; i + 1 < box.colours.size(); ++i) {
                running += Box::Weight(box.colours[i].second);
                split = i + 1;
                if (running * 2 >= total) {
                    break;
                }
            }
            // Keep equal values on one side so both halves really differ along the axis.
            while (split < box.colours.size() && Channel(box.colours[split].first, axis) ==
                                                     Channel(box.colours[split - 1].first, axis)) {
                ++split;
            }
            if (split == box.colours.size()) {
                split = 1;
                while (Channel(box.colours[split].first, axis) ==
                       Channel(box.colours[0].first, axis)) {
                    ++split;
                }
            }
            Box upper;
            upper.colours.assign(box.colours.begin() + static_cast<std::ptrdiff_t>(split),
                                 box.colours.end());
            box.colours.resize(split);
            box.Measure();
            upper.Measure();
            boxes.push_back(std::move(upper));
        }
        for (const Box& box : boxes) {
            chosen.push_back(box.Mean());
        }
        std::sort(chosen.begin(), chosen.end());
        chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    }

    // Drawn colours never equal a reserved background colour: tracing and masking tell the
    // background by its colour.
    for (uint32_t& rgb : chosen) {
        for (const Rgb& r : m_reserved) {
            if (rgb == Pack(r)) {
                rgb = rgb - (rgb & 0xFF ? 1U : 0x100U);
            }
        }
    }

    m_palette.fill(Rgb{0, 0, 0});
    m_drawnCount = static_cast<int>(chosen.size());
    for (int i = 0; i < m_drawnCount; ++i) {
        const uint32_t c = chosen[static_cast<size_t>(i)];
        m_palette[static_cast<size_t>(i)] = Rgb{
            static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)};
    }
    for (size_t i = 0; i < m_reserved.size(); ++i) {
        m_palette[256 - m_reserved.size() + i] = m_reserved[i];
    }
}

int Quantiser::NearestDrawn(uint32_t rgb) const {
    int best = 0;
    int bestDistance = 1 << 30;
    for (int i = 0; i < m_drawnCount; ++i) {
        const Rgb& p = m_palette[static_cast<size_t>(i)];
        const int dr = Channel(rgb, 0) - p.r;
        const int dg = Channel(rgb, 1) - p.g;
        const int db = Channel(rgb, 2) - p.b;
        const int d = 2 * dr * dr + 4 * dg * dg + 3 * db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

IndexedImage Quantiser::Map(const Canvas& canvas) const {
    IndexedImage out;
    out.width = canvas.width;
    out.height = canvas.height;
    out.palette = m_palette;
    out.pixels.resize(canvas.rgb.size());
    int backgroundIndex = 0;
    for (size_t i = 0; i < m_reserved.size(); ++i) {
        if (m_reserved[i] == canvas.background) {
            backgroundIndex = static_cast<int>(256 - m_reserved.size() + i);
        }
    }
    std::map<uint32_t, uint8_t> cache;
    for (size_t i = 0; i < canvas.rgb.size(); ++i) {
        if (canvas.isBackground[i]) {
            out.pixels[i] = static_cast<uint8_t>(backgroundIndex);
            continue;
        }
        auto found = cache.find(canvas.rgb[i]);
        if (found == cache.end()) {
            found = cache.emplace(canvas.rgb[i], static_cast<uint8_t>(NearestDrawn(canvas.rgb[i])))
                        .first;
        }
        out.pixels[i] = found->second;
    }
    return out;
}

IndexedImage Quantise(const Canvas& canvas, const std::vector<Rgb>& reserved) {
    Quantiser q(reserved);
    q.Add(canvas);
    q.Build();
    return q.Map(canvas);
}

} // namespace vext::padart
