#pragma once

// How a pad button looks mapped and pressed, made from its two images (they differ only in the
// label's colour). Mapped: the label in its mapped colour, or dark where that colour would vanish
// into the button (yellow on the yellow button). Pressed: the whole button lit, the label in its
// pressed colour, so that a press shows on every button, the thin shoulders included.

#include <QImage>

namespace vext {

struct PadButtonLooks {
    QImage mapped;
    QImage pressed;
};

// normal and highlight: the button images, transparent outside the button, of equal size.
PadButtonLooks MakePadButtonLooks(const QImage& normal, const QImage& highlight);

// The distance of two colours in RGB space (0 to 441); labels need kLabelContrast to read.
double ColourDistance(QRgb a, QRgb b);
constexpr double kLabelContrast = 100;

} // namespace vext
