#include "StrokeFont.h"

#include <QPen>
#include <QTransform>

namespace vext::padart {

namespace {

void Line(QPainterPath& p, std::initializer_list<QPointF> points) {
    bool first = true;
    for (const QPointF& pt : points) {
        if (first) {
            p.moveTo(pt);
            first = false;
        } else {
            p.lineTo(pt);
        }
    }
}

} // namespace

QPainterPath GlyphStrokes(QChar c, double* advance) {
    QPainterPath p;
    double w = 0.66;
    switch (c.toUpper().unicode()) {
    case 'A':
        w = 0.72;
        Line(p, {{0, 1}, {0.36, 0}, {0.72, 1}});
        Line(p, {{0.16, 0.6}, {0.56, 0.6}});
        break;
    case 'B':
        w = 0.62;
        Line(p, {{0.34, 0.47}, {0, 0.47}, {0, 0}, {0.32, 0}});
        p.cubicTo(0.6, 0, 0.6, 0.47, 0.34, 0.47);
        p.cubicTo(0.66, 0.47, 0.66, 1, 0.36, 1);
        p.lineTo(0, 1);
        p.lineTo(0, 0.47);
        break;
    case 'C':
        w = 0.66;
        p.arcMoveTo(0, 0, 0.66, 1, 50);
        p.arcTo(0, 0, 0.66, 1, 50, 260);
        break;
    case 'G':
        w = 0.68;
        p.arcMoveTo(0, 0, 0.68, 1, 50);
        p.arcTo(0, 0, 0.68, 1, 50, 275);
        p.lineTo(0.68, 0.56);
        p.lineTo(0.4, 0.56);
        break;
    case 'E':
        w = 0.56;
        Line(p, {{0.56, 0}, {0, 0}, {0, 1}, {0.56, 1}});
        Line(p, {{0, 0.5}, {0.46, 0.5}});
        break;
    case 'K':
        w = 0.6;
        Line(p, {{0, 0}, {0, 1}});
        Line(p, {{0.6, 0}, {0, 0.62}});
        Line(p, {{0.2, 0.42}, {0.62, 1}});
        break;
    case 'L':
        w = 0.54;
        Line(p, {{0, 0}, {0, 1}, {0.54, 1}});
        break;
    case 'P':
        w = 0.6;
        Line(p, {{0, 1}, {0, 0}, {0.32, 0}});
        p.cubicTo(0.6, 0, 0.6, 0.52, 0.32, 0.52);
        p.lineTo(0, 0.52);
        break;
    case 'R':
        w = 0.62;
        Line(p, {{0, 1}, {0, 0}, {0.32, 0}});
        p.cubicTo(0.62, 0, 0.62, 0.52, 0.32, 0.52);
        p.lineTo(0, 0.52);
        Line(p, {{0.28, 0.52}, {0.62, 1}});
        break;
    case 'T':
        w = 0.64;
        Line(p, {{0, 0}, {0.64, 0}});
        Line(p, {{0.32, 0}, {0.32, 1}});
        break;
    case 'V':
        w = 0.68;
        Line(p, {{0, 0}, {0.34, 1}, {0.68, 0}});
        break;
    case 'X':
        w = 0.66;
        Line(p, {{0, 0}, {0.66, 1}});
        Line(p, {{0.66, 0}, {0, 1}});
        break;
    case 'Y':
        w = 0.68;
        Line(p, {{0, 0}, {0.34, 0.5}, {0.68, 0}});
        Line(p, {{0.34, 0.5}, {0.34, 1}});
        break;
    case 'Z':
        w = 0.62;
        Line(p, {{0, 0}, {0.62, 0}, {0, 1}, {0.62, 1}});
        break;
    case '1':
        w = 0.42;
        Line(p, {{0.04, 0.22}, {0.3, 0}, {0.3, 1}});
        break;
    case '2':
        w = 0.6;
        p.moveTo(0.02, 0.24);
        p.cubicTo(0.06, -0.06, 0.6, -0.08, 0.6, 0.27);
        p.cubicTo(0.6, 0.5, 0.12, 0.68, 0, 1);
        p.lineTo(0.62, 1);
        break;
    case '3':
        w = 0.6;
        p.moveTo(0.02, 0.16);
        p.cubicTo(0.14, -0.06, 0.58, -0.06, 0.58, 0.24);
        p.cubicTo(0.58, 0.44, 0.38, 0.47, 0.24, 0.47);
        p.moveTo(0.24, 0.47);
        p.cubicTo(0.44, 0.47, 0.62, 0.55, 0.62, 0.74);
        p.cubicTo(0.62, 1.06, 0.1, 1.06, 0, 0.84);
        break;
    case '4':
        w = 0.64;
        Line(p, {{0.46, 1}, {0.46, 0}, {0, 0.68}, {0.64, 0.68}});
        break;
    case '?':
        w = 0.56;
        p.moveTo(0.02, 0.24);
        p.cubicTo(0.06, -0.06, 0.56, -0.08, 0.56, 0.25);
        p.cubicTo(0.56, 0.46, 0.28, 0.46, 0.28, 0.7);
        Line(p, {{0.28, 0.97}, {0.28, 0.98}});
        break;
    case '+':
        w = 0.7;
        Line(p, {{0, 0.5}, {0.7, 0.5}});
        Line(p, {{0.35, 0.15}, {0.35, 0.85}});
        break;
    case ' ':
        w = 0.4;
        break;
    default:
        w = 0.6;
        break;
    }
    if (advance != nullptr) {
        *advance = w;
    }
    return p;
}

QPainterPath TextStrokes(const QString& text, QPointF centre, double capHeight) {
    const double gap = 0.26;
    double total = 0;
    std::vector<QPainterPath> glyphs;
    std::vector<double> advances;
    for (QChar c : text) {
        double advance = 0;
        glyphs.push_back(GlyphStrokes(c, &advance));
        advances.push_back(advance);
        total += advance;
    }
    if (!glyphs.empty()) {
        total += gap * static_cast<double>(glyphs.size() - 1);
    }
    QPainterPath out;
    double x = -total / 2;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        QTransform t;
        t.translate(centre.x() + x * capHeight, centre.y() - capHeight / 2);
        t.scale(capHeight, capHeight);
        out.addPath(t.map(glyphs[i]));
        x += advances[i] + gap;
    }
    return out;
}

void DrawText(QPainter& painter, const QString& text, QPointF centre, const Lettering& style) {
    const QPainterPath strokes = TextStrokes(text, centre, style.capHeight);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    if (style.outline > 0) {
        painter.setPen(QPen(style.outlineColour, style.stroke + 2 * style.outline, Qt::SolidLine,
                            Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(strokes);
    }
    painter.setPen(QPen(style.colour, style.stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(strokes);
    painter.restore();
}

} // namespace vext::padart
