#include "PadWriter.h"

#include "IndexedImage.h"
#include "Quantiser.h"
#include "core/pad/PadTypes.h"

#include <algorithm>
#include <cmath>

#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QPen>

namespace vext::padart {

namespace {

QImage Blank(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage RenderPad(const PadDesign& design, int active, LabelState state) {
    QImage image = Blank(design.PictureSize());
    QPainter p(&image);
    design.Paint(p, active, state);
    p.end();
    return image;
}

// Pixels the button covers at all, as a flag per pixel of the pad picture.
std::vector<uint8_t> Coverage(const PadDesign& design, const PadButton& button) {
    QImage mask = Blank(design.PictureSize());
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPath(button.shape);
    p.end();
    std::vector<uint8_t> out(static_cast<size_t>(mask.width()) * mask.height(), 0);
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x) {
            out[static_cast<size_t>(y) * mask.width() + x] = qAlpha(mask.pixel(x, y)) > 0 ? 1 : 0;
        }
    }
    return out;
}

Canvas ButtonCanvas(const Canvas& pad, const std::vector<uint8_t>& covered, const QRect& rect,
                    Rgb background) {
    Canvas out = pad.Crop(rect.left(), rect.top(), rect.width(), rect.height());
    out.background = background;
    for (int y = 0; y < rect.height(); ++y) {
        for (int x = 0; x < rect.width(); ++x) {
            const size_t i = static_cast<size_t>(y) * rect.width() + x;
            const size_t j = static_cast<size_t>(y + rect.top()) * pad.width + x + rect.left();
            if (!covered[j]) {
                out.isBackground[i] = 1;
            }
        }
    }
    return out;
}

struct Leader {
    QPointF start;
    QPointF bend;
    QPointF end;
    QPoint anchor;
    int align = 0;
};

// Walks from `from` towards `to` (pad pixels) until it enters the shape: where a leader starts.
QPointF FirstHit(const QPainterPath& shape, QPointF from, QPointF to) {
    const QLineF line(from, to);
    const int steps = static_cast<int>(line.length() * 4);
    for (int i = 0; i <= steps; ++i) {
        const QPointF p = line.pointAt(static_cast<double>(i) / std::max(steps, 1));
        if (shape.contains(p)) {
            return p;
        }
    }
    return to;
}

Leader RouteLeader(const PadDesign& design, const PadButton& b) {
    const double s = design.PrintScale();
    const QSizeF pad = QSizeF(design.PictureSize()) * s;
    const QPointF offset((design.PrintSize().width() - pad.width()) / 2,
                         (design.PrintSize().height() - pad.height()) / 2);
    const QRectF box = b.shape.boundingRect();
    const auto toPrint = [&](QPointF p) { return offset + p * s; };
    const auto toPad = [&](QPointF p) { return (p - offset) / s; };
    const QPointF centre = toPrint(box.center());
    Leader l;
    double y = 0;
    if (b.laneY < 0) {
        y = std::floor(centre.y()) + 0.5;
        const double padY = toPad(QPointF(0, y)).y();
        const double outside = b.labelLeft ? box.left() - 1 : box.right() + 1;
        l.start =
            toPrint(FirstHit(b.shape, QPointF(outside, padY), QPointF(box.center().x(), padY)));
        l.start.setY(y);
        l.bend = l.start;
    } else {
        y = b.laneY + 0.5;
        const double x = (b.laneX < 0 ? std::floor(centre.x()) : b.laneX) + 0.5;
        const double padX = toPad(QPointF(x, 0)).x();
        const bool below = b.laneY > centre.y();
        const double outside = below ? box.bottom() + 1 : box.top() - 1;
        l.start =
            toPrint(FirstHit(b.shape, QPointF(padX, outside), QPointF(padX, box.center().y())));
        l.start.setX(x);
        l.bend = QPointF(x, y);
    }
    const int width = design.PrintSize().width();
    l.end = QPointF(b.labelLeft ? 8.5 : width - 8.5, y);
    l.anchor = QPoint(b.labelLeft ? 4 : width - 4, static_cast<int>(std::floor(y)) + 4);
    l.align = b.labelLeft ? 0 : 1;
    return l;
}

bool Save(const IndexedImage& image, const std::string& outDir, int id, std::string& error) {
    const std::string path = outDir + "/bitmaps/" + std::to_string(id) + ".bmp";
    if (!WriteFile(path, EncodeBmp8(image))) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace

bool IsWhiteBackgroundImage(int id) {
    return (id >= 156 && id <= 159) || (id >= 170 && id <= 173) || id == 210 || id == 212 ||
           id == 213 || id == 222 || id == 224 || id == 225;
}

bool WritePad(const PadDesign& design, const std::string& outDir, std::string& strings,
              std::string& error) {
    const int type = design.Type();
    const auto& buttons = design.Buttons();
    const QRect picture(QPoint(0, 0), design.PictureSize());

    const Canvas pad = Canvas::FromImage(RenderPad(design, -1, LabelState::Plain), kNearWhite);
    Quantiser colours({kNearWhite, kWhite});
    colours.Add(pad);

    struct Pair {
        Canvas normal;
        Canvas highlight;
    };
    std::vector<Pair> pairs;
    for (size_t i = 0; i < buttons.size(); ++i) {
        const PadButton& b = buttons[i];
        if (b.name.contains(',')) {
            // The layout string's name is what follows its last comma.
            error = "button name " + b.name.toStdString() + " holds a comma";
            return false;
        }
        if (!picture.contains(b.rect)) {
            error = "button " + b.name.toStdString() + " lies outside the pad picture";
            return false;
        }
        const std::vector<uint8_t> covered = Coverage(design, b);
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (covered[static_cast<size_t>(y) * picture.width() + x] &&
                    !b.rect.contains(x, y)) {
                    error = "button " + b.name.toStdString() + " spills out of its image at " +
                            std::to_string(x) + "," + std::to_string(y);
                    return false;
                }
            }
        }
        const int n = static_cast<int>(i);
        const Canvas normal =
            Canvas::FromImage(RenderPad(design, n, LabelState::Normal), kNearWhite);
        const Canvas highlight =
            Canvas::FromImage(RenderPad(design, n, LabelState::Highlight), kNearWhite);
        pairs.push_back(
            {ButtonCanvas(normal, covered, b.rect,
                          IsWhiteBackgroundImage(b.normalId) ? kWhite : kNearWhite),
             ButtonCanvas(highlight, covered, b.rect,
                          IsWhiteBackgroundImage(b.highlightId) ? kWhite : kNearWhite)});
        colours.Add(pairs.back().normal);
        colours.Add(pairs.back().highlight);
    }
    colours.Build();
    const PadTypeInfo& info = kPadTypes[static_cast<size_t>(type)];
    if (!Save(colours.Map(pad), outDir, info.nPicture, error)) {
        return false;
    }
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (!Save(colours.Map(pairs[i].normal), outDir, buttons[i].normalId, error) ||
            !Save(colours.Map(pairs[i].highlight), outDir, buttons[i].highlightId, error)) {
            return false;
        }
    }

    // Print picture: the line drawing with a leader line from every button to its edge.
    QImage print = Blank(design.PrintSize());
    QPainter p(&print);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = design.PrintScale();
    const QSizeF padSize = QSizeF(design.PictureSize()) * s;
    p.save();
    p.translate((design.PrintSize().width() - padSize.width()) / 2,
                (design.PrintSize().height() - padSize.height()) / 2);
    p.scale(s, s);
    p.setPen(QPen(QColor(0, 0, 0), 1.25 / s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    design.PaintLines(p);
    p.restore();
    strings += "# Pad type " + std::to_string(type) + "\n";
    strings += std::to_string(info.nCountString) + "\t" + std::to_string(buttons.size()) + "\n";
    const int firstString = info.nFirstLayout;
    for (size_t i = 0; i < buttons.size(); ++i) {
        const PadButton& b = buttons[i];
        const Leader l = RouteLeader(design, b);
        p.setPen(QPen(QColor(0, 0, 0), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        QPolygonF line;
        line << l.start << l.bend << l.end;
        p.drawPolyline(line);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0));
        p.drawEllipse(l.start, 2.2, 2.2);
        strings += std::to_string(firstString + static_cast<int>(i)) + "\t" +
                   std::to_string(b.kind) + "," + std::to_string(b.x) + "," + std::to_string(b.y) +
                   "," + std::to_string(b.rect.left()) + "," + std::to_string(b.rect.top()) + "," +
                   std::to_string(l.anchor.x()) + "," + std::to_string(l.anchor.y()) + "," +
                   std::to_string(l.align) + "," + b.name.toStdString() + "\n";
    }
    p.end();
    return Save(Quantise(Canvas::FromImage(print, kNearWhite), {kNearWhite, kWhite}), outDir,
                info.nPrintPicture, error);
}

} // namespace vext::padart
