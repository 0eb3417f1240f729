// Letters drawn from our own strokes, so labels look the same on every machine whatever fonts
// it has installed.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QString>

namespace vext::padart {

struct Lettering {
    double capHeight = 10;
    double stroke = 2;
    QColor colour = Qt::black;
    double outline = 0; // extra width of a dark rim around every stroke, 0 for none
    QColor outlineColour = Qt::black;
};

// The centre line of a glyph in a box of cap height 1, top at y 0, left at x 0.
QPainterPath GlyphStrokes(QChar c, double* advance);

// The centre lines of a text centred on `centre` (both axes, cap height box).
QPainterPath TextStrokes(const QString& text, QPointF centre, double capHeight);

void DrawText(QPainter& painter, const QString& text, QPointF centre, const Lettering& style);

} // namespace vext::padart
