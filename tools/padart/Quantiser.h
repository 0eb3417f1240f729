// Deterministic reduction of drawn pictures to one shared 256-entry colour table (median cut,
// nearest-colour mapping, no dithering so that a crop maps exactly like the whole picture).
#pragma once

#include "IndexedImage.h"

#include <cstdint>
#include <vector>

#include <QImage>

namespace vext::padart {

// A drawn picture before reduction: an opaque colour per pixel, or the plain background.
struct Canvas {
    int width = 0;
    int height = 0;
    Rgb background{255, 255, 255};
    std::vector<uint32_t> rgb; // 0xRRGGBB
    std::vector<uint8_t> isBackground;

    // Pixels with zero alpha become background; the others are composed over the background.
    static Canvas FromImage(const QImage& image, Rgb background);
    Canvas Crop(int left, int top, int w, int h) const;
};

class Quantiser {
public:
    // The reserved colours take the last entries of the table, in the order given; they are
    // used for background pixels only.
    explicit Quantiser(std::vector<Rgb> reserved);

    void Add(const Canvas& canvas);
    void Build();
    IndexedImage Map(const Canvas& canvas) const;
    const std::array<Rgb, 256>& Palette() const { return m_palette; }

private:
    int NearestDrawn(uint32_t rgb) const;

    std::vector<Rgb> m_reserved;
    std::vector<std::pair<uint32_t, uint64_t>> m_histogram; // sorted by colour once built
    std::vector<uint32_t> m_pending;
    std::array<Rgb, 256> m_palette{};
    int m_drawnCount = 0;
};

// Convenience for a picture that shares its table with no other.
IndexedImage Quantise(const Canvas& canvas, const std::vector<Rgb>& reserved);

} // namespace vext::padart
