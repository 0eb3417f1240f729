#include "SmallArt.h"

#include "IndexedImage.h"
#include "PadDesign.h"
#include "PadParts.h"
#include "PadWriter.h"
#include "Quantiser.h"
#include "StrokeFont.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QRadialGradient>

namespace vext::padart {

namespace {

const Rgb kSilver{192, 192, 192};

using CellPainter = std::function<void(QPainter&)>;

QImage Blank(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // Fixed resolution: the PNG writer stores it, and the bytes must not depend on the machine.
    image.setDotsPerMeterX(2835);
    image.setDotsPerMeterY(2835);
    return image;
}

QImage Strip(QSize cell, const std::vector<CellPainter>& cells) {
    QImage image = Blank(QSize(cell.width() * static_cast<int>(cells.size()), cell.height()));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (size_t i = 0; i < cells.size(); ++i) {
        p.save();
        p.setClipRect(QRect(QPoint(cell.width() * static_cast<int>(i), 0), cell));
        p.translate(cell.width() * static_cast<int>(i), 0);
        if (cells[i]) {
            cells[i](p);
        }
        p.restore();
    }
    p.end();
    return image;
}

bool SavePng(const QImage& image, const std::string& path, std::string& error) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    out.setDotsPerMeterX(2835);
    out.setDotsPerMeterY(2835);
    if (!out.save(QString::fromStdString(path), "PNG")) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool SaveBmp(const QImage& image, Rgb background, const std::string& path, std::string& error) {
    if (!WriteFile(path,
                   EncodeBmp8(Quantise(Canvas::FromImage(image, background), {background})))) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

QPen Pen(QColor c, double w = 1.0) {
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

const QColor kInk(28, 30, 36);

// A page with a folded corner, its top-left at `at`.
void Page(QPainter& p, QPointF at, QSizeF size, QColor fill = QColor(250, 250, 250)) {
    QPainterPath page;
    const double fold = 3.5;
    page.moveTo(at);
    page.lineTo(at.x() + size.width() - fold, at.y());
    page.lineTo(at.x() + size.width(), at.y() + fold);
    page.lineTo(at.x() + size.width(), at.y() + size.height());
    page.lineTo(at.x(), at.y() + size.height());
    page.closeSubpath();
    p.setPen(Pen(kInk));
    p.setBrush(fill);
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(at.x() + size.width() - fold, at.y());
    corner.lineTo(at.x() + size.width() - fold, at.y() + fold);
    corner.lineTo(at.x() + size.width(), at.y() + fold);
    p.setBrush(QColor(210, 212, 218));
    p.drawPath(corner);
}

void TextLines(QPainter& p, double x0, double x1, double y0, int count, double gap) {
    p.setPen(Pen(QColor(120, 124, 136), 1.0));
    for (int i = 0; i < count; ++i) {
        const double y = y0 + i * gap;
        p.drawLine(QPointF(x0, y), QPointF(x1, y));
    }
}

void Cross(QPainter& p, QPointF c, double half, double width) {
    p.setPen(Pen(QColor(120, 10, 10), width + 1.4));
    p.drawLine(c + QPointF(-half, -half), c + QPointF(half, half));
    p.drawLine(c + QPointF(half, -half), c + QPointF(-half, half));
    p.setPen(Pen(QColor(226, 34, 30), width));
    p.drawLine(c + QPointF(-half, -half), c + QPointF(half, half));
    p.drawLine(c + QPointF(half, -half), c + QPointF(-half, half));
}

void Plus(QPainter& p, QPointF c, double half, double width) {
    p.setPen(Pen(QColor(18, 92, 30), width + 1.4));
    p.drawLine(c + QPointF(-half, 0), c + QPointF(half, 0));
    p.drawLine(c + QPointF(0, -half), c + QPointF(0, half));
    p.setPen(Pen(QColor(52, 176, 66), width));
    p.drawLine(c + QPointF(-half, 0), c + QPointF(half, 0));
    p.drawLine(c + QPointF(0, -half), c + QPointF(0, half));
}

// A bold arrow pointing up or down in a box.
void BlockArrow(QPainter& p, QRectF box, bool up) {
    const double cx = box.center().x();
    const double head = box.height() * 0.5;
    QPainterPath a;
    const double t = up ? box.top() : box.bottom();
    const double s = up ? 1 : -1;
    a.moveTo(cx, t);
    a.lineTo(box.right(), t + s * head);
    a.lineTo(cx + box.width() * 0.2, t + s * head);
    a.lineTo(cx + box.width() * 0.2, up ? box.bottom() : box.top());
    a.lineTo(cx - box.width() * 0.2, up ? box.bottom() : box.top());
    a.lineTo(cx - box.width() * 0.2, t + s * head);
    a.lineTo(box.left(), t + s * head);
    a.closeSubpath();
    QLinearGradient g(box.topLeft(), box.bottomRight());
    g.setColorAt(0, QColor(70, 120, 220));
    g.setColorAt(1, QColor(24, 60, 150));
    p.setBrush(g);
    p.setPen(Pen(QColor(14, 30, 80)));
    p.drawPath(a);
}

// A small pad outline, for the pad buttons and the emulation toggle.
void MiniPad(QPainter& p, QRectF box, QColor body) {
    const double r = box.height() * 0.5;
    QPainterPath pad = CirclePath(QPointF(box.left() + r, box.center().y()), r)
                           .united(CirclePath(QPointF(box.right() - r, box.center().y()), r));
    QPainterPath bridge;
    bridge.addRect(QRectF(box.left() + r, box.top() + r * 0.2, box.width() - 2 * r, r * 1.4));
    pad = pad.united(bridge);
    p.setPen(Pen(kInk));
    p.setBrush(body);
    p.drawPath(pad);
}

void Keycap(QPainter& p, QRectF box) {
    p.setPen(Pen(kInk));
    QLinearGradient g(box.topLeft(), box.bottomLeft());
    g.setColorAt(0, QColor(236, 238, 242));
    g.setColorAt(1, QColor(170, 174, 186));
    p.setBrush(g);
    p.drawRoundedRect(box, 2.2, 2.2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(244, 245, 248));
    p.drawRoundedRect(box.adjusted(2, 1.5, -2, -3.5), 1.2, 1.2);
}

void MappedMark(QPainter& p) {
    p.setPen(Pen(QColor(90, 60, 0)));
    p.setBrush(kLabelNormal);
    p.drawEllipse(QPointF(12, 12), 3.2, 3.2);
}

void Stairs(QPainter& p, bool up, QColor colour) {
    QPainterPath s;
    if (up) {
        s.moveTo(1.5, 14.5);
        s.lineTo(1.5, 11.5);
        s.lineTo(5.5, 11.5);
        s.lineTo(5.5, 7.5);
        s.lineTo(9.5, 7.5);
        s.lineTo(9.5, 3.5);
        s.lineTo(13.5, 3.5);
        s.lineTo(13.5, 14.5);
    } else {
        s.moveTo(1.5, 14.5);
        s.lineTo(1.5, 3.5);
        s.lineTo(5.5, 3.5);
        s.lineTo(5.5, 7.5);
        s.lineTo(9.5, 7.5);
        s.lineTo(9.5, 11.5);
        s.lineTo(13.5, 11.5);
        s.lineTo(13.5, 14.5);
    }
    s.closeSubpath();
    QLinearGradient g(0, 3, 0, 15);
    g.setColorAt(0, Mix(colour, Qt::white, 0.35));
    g.setColorAt(1, colour);
    p.setPen(Pen(Mix(colour, Qt::black, 0.55)));
    p.setBrush(g);
    p.drawPath(s);
}

std::vector<CellPainter> RowIcons() {
    const auto normal = [](QPainter& p) {
        Keycap(p, QRectF(0.5, 1.5, 14, 13));
        DrawText(p, "A", QPointF(7.5, 6.6), Lettering{6.5, 1.3, kInk});
    };
    const auto step = [](QPainter& p) { Stairs(p, true, QColor(40, 110, 200)); };
    const auto stepDown = [](QPainter& p) { Stairs(p, false, QColor(20, 150, 150)); };
    return {normal,
            [normal](QPainter& p) {
                normal(p);
                MappedMark(p);
            },
            nullptr,
            step,
            [step](QPainter& p) {
                step(p);
                MappedMark(p);
            },
            nullptr,
            stepDown,
            [stepDown](QPainter& p) {
                stepDown(p);
                MappedMark(p);
            },
            nullptr};
}

std::vector<CellPainter> ListToolbar() {
    std::vector<CellPainter> cells = {
        [](QPainter& p) {
            Page(p, QPointF(1.5, 0.5), QSizeF(10, 13));
            TextLines(p, 3.5, 9.5, 4.5, 3, 2.5);
            Plus(p, QPointF(11.5, 10.5), 3, 1.8);
        },
        [](QPainter& p) {
            Page(p, QPointF(1.5, 0.5), QSizeF(10, 13));
            TextLines(p, 3.5, 9.5, 4.5, 3, 2.5);
            Cross(p, QPointF(11.5, 10.5), 2.6, 1.8);
        },
    };
    for (int pad = 1; pad <= 4; ++pad) {
        cells.push_back([pad](QPainter& p) {
            MiniPad(p, QRectF(0.5, 2.5, 15, 10), QColor(70, 74, 86));
            DrawText(p, QString::number(pad), QPointF(8, 7.5), Lettering{6.5, 1.4, kLabelNormal});
        });
    }
    return cells;
}

std::vector<CellPainter> StepToolbar() {
    return {
        [](QPainter& p) {
            p.setPen(QPen(QColor(90, 94, 106), 1.0, Qt::DotLine));
            p.setBrush(QColor(250, 250, 250));
            p.drawRect(QRectF(1.5, 3.5, 10, 7));
            // A small star: something new.
            QPainterPath star;
            for (int k = 0; k < 10; ++k) {
                const double a = 3.14159265358979 / 5 * k - 3.14159265358979 / 2;
                const double r = k % 2 == 0 ? 3.6 : 1.5;
                const QPointF pt(10 + r * std::cos(a), 3.6 + r * std::sin(a));
                if (k == 0) {
                    star.moveTo(pt);
                } else {
                    star.lineTo(pt);
                }
            }
            star.closeSubpath();
            p.setPen(Pen(QColor(150, 100, 0), 0.8));
            p.setBrush(QColor(255, 208, 40));
            p.drawPath(star);
        },
        [](QPainter& p) { Cross(p, QPointF(7, 6), 3.4, 2.0); },
        [](QPainter& p) { BlockArrow(p, QRectF(2.5, 1.5, 9, 9), true); },
        [](QPainter& p) { BlockArrow(p, QRectF(2.5, 1.5, 9, 9), false); },
    };
}

std::vector<CellPainter> MainToolbar() {
    return {
        // New
        [](QPainter& p) { Page(p, QPointF(2.5, 0.5), QSizeF(10, 13)); },
        // Open
        [](QPainter& p) {
            p.setPen(Pen(QColor(120, 84, 0)));
            p.setBrush(QColor(226, 178, 50));
            p.drawRect(QRectF(0.5, 3.5, 12, 9));
            p.drawRect(QRectF(0.5, 2.5, 5, 1));
            QPainterPath flap;
            flap.moveTo(0.5, 12.5);
            flap.lineTo(3.5, 6.5);
            flap.lineTo(15.5, 6.5);
            flap.lineTo(12.5, 12.5);
            flap.closeSubpath();
            p.setBrush(QColor(250, 214, 100));
            p.drawPath(flap);
        },
        // Save
        [](QPainter& p) {
            p.setPen(Pen(QColor(12, 30, 80)));
            p.setBrush(QColor(46, 86, 170));
            p.drawRoundedRect(QRectF(1.5, 0.5, 13, 13), 1, 1);
            p.setBrush(QColor(246, 246, 248));
            p.drawRect(QRectF(3.5, 0.5, 9, 6));
            p.setBrush(QColor(170, 176, 190));
            p.drawRect(QRectF(4.5, 9.5, 7, 4));
        },
        // Cut
        [](QPainter& p) {
            p.setPen(Pen(kInk, 1.2));
            p.drawLine(QPointF(5, 1), QPointF(9.5, 9));
            p.drawLine(QPointF(11, 1), QPointF(6.5, 9));
            p.setBrush(Qt::NoBrush);
            p.setPen(Pen(QColor(40, 60, 160), 1.4));
            p.drawEllipse(QPointF(5, 11.2), 2.4, 2.4);
            p.drawEllipse(QPointF(11, 11.2), 2.4, 2.4);
        },
        // Copy
        [](QPainter& p) {
            Page(p, QPointF(0.5, 0.5), QSizeF(9, 10));
            Page(p, QPointF(5.5, 3.5), QSizeF(9, 11));
            TextLines(p, 7.5, 12.5, 7.5, 3, 2);
        },
        // Paste
        [](QPainter& p) {
            p.setPen(Pen(QColor(90, 56, 10)));
            p.setBrush(QColor(178, 124, 52));
            p.drawRoundedRect(QRectF(1.5, 1.5, 10, 13), 1, 1);
            p.setBrush(QColor(160, 164, 176));
            p.drawRect(QRectF(4.5, 0.5, 4, 2));
            Page(p, QPointF(6.5, 4.5), QSizeF(8, 10));
        },
        // Print
        [](QPainter& p) {
            Page(p, QPointF(3.5, 0.5), QSizeF(9, 7));
            p.setPen(Pen(kInk));
            QLinearGradient g(0, 6, 0, 12);
            g.setColorAt(0, QColor(210, 212, 220));
            g.setColorAt(1, QColor(130, 134, 148));
            p.setBrush(g);
            p.drawRoundedRect(QRectF(0.5, 6.5, 15, 6), 1, 1);
            p.setBrush(QColor(250, 250, 250));
            p.drawRect(QRectF(3.5, 10.5, 9, 4));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 190, 60));
            p.drawEllipse(QPointF(13, 8.6), 0.9, 0.9);
        },
        // Emulation on or off: a pad with a lightning bolt.
        [](QPainter& p) {
            MiniPad(p, QRectF(0.5, 5.5, 13, 8), QColor(196, 200, 210));
            p.setPen(Pen(kInk, 1.0));
            p.drawLine(QPointF(2.5, 9.5), QPointF(5.5, 9.5));
            p.drawLine(QPointF(4, 8), QPointF(4, 11));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(220, 40, 40));
            p.drawEllipse(QPointF(9.8, 8.9), 1.1, 1.1);
            p.setBrush(QColor(40, 90, 210));
            p.drawEllipse(QPointF(8.4, 10.7), 1.1, 1.1);
            QPainterPath bolt;
            bolt.moveTo(12, 0.5);
            bolt.lineTo(8, 7.5);
            bolt.lineTo(11, 7.5);
            bolt.lineTo(9, 14);
            bolt.lineTo(15.5, 5.5);
            bolt.lineTo(12.2, 5.5);
            bolt.lineTo(14.5, 0.5);
            bolt.closeSubpath();
            p.setPen(Pen(QColor(120, 70, 0), 0.8));
            p.setBrush(QColor(255, 206, 30));
            p.drawPath(bolt);
        },
        // About
        [](QPainter& p) {
            QRadialGradient g(QPointF(6, 5), 9);
            g.setColorAt(0, QColor(110, 160, 240));
            g.setColorAt(1, QColor(26, 70, 170));
            p.setPen(Pen(QColor(12, 34, 90)));
            p.setBrush(g);
            p.drawEllipse(QPointF(8, 7.5), 6.6, 6.6);
            DrawText(p, "?", QPointF(8, 7.6), Lettering{7.5, 1.7, QColor(250, 250, 250)});
        },
        // Context help: pointer and question mark
        [](QPainter& p) {
            QPainterPath arrow;
            arrow.moveTo(1.5, 0.5);
            arrow.lineTo(1.5, 11.5);
            arrow.lineTo(4.2, 9);
            arrow.lineTo(6, 13);
            arrow.lineTo(7.8, 12.2);
            arrow.lineTo(6, 8.3);
            arrow.lineTo(9.5, 8.3);
            arrow.closeSubpath();
            p.setPen(Pen(kInk));
            p.setBrush(QColor(250, 250, 250));
            p.drawPath(arrow);
            DrawText(p, "?", QPointF(12.6, 7.5), Lettering{8, 1.8, QColor(26, 70, 170)});
        },
    };
}

} // namespace

bool WriteToolbars(const std::string& outDir, std::string& error) {
    struct Item {
        int id;
        QSize cell;
        std::vector<CellPainter> cells;
        Rgb background;
    };
    const Item items[] = {
        {226, QSize(16, 16), RowIcons(), kWhite},
        {21128, QSize(16, 15), ListToolbar(), kSilver},
        {234, QSize(14, 12), StepToolbar(), kSilver},
        {128, QSize(16, 15), MainToolbar(), kSilver},
    };
    for (const Item& item : items) {
        const QImage strip = Strip(item.cell, item.cells);
        const std::string id = std::to_string(item.id);
        if (!SaveBmp(strip, item.background, outDir + "/bitmaps/" + id + ".bmp", error) ||
            !SavePng(strip, outDir + "/icons/" + id + ".png", error)) {
            return false;
        }
    }
    return true;
}

namespace {

void DrawBulb(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    // Rays
    p.setPen(Pen(QColor(246, 176, 20), 2.0));
    const QPointF c(20, 18);
    for (int k = 0; k < 7; ++k) {
        const double a = 3.14159265358979 * (1.0 + k / 6.0);
        const QPointF d(std::cos(a), std::sin(a));
        p.drawLine(c + d * 15.5, c + d * 18.5);
    }
    QPainterPath glass = CirclePath(c, 12.5);
    QPainterPath neck;
    neck.moveTo(9.5, 24);
    neck.cubicTo(12, 29, 14, 31, 14, 35);
    neck.lineTo(26, 35);
    neck.cubicTo(26, 31, 28, 29, 30.5, 24);
    neck.closeSubpath();
    glass = glass.united(neck).simplified();
    QRadialGradient g(QPointF(16, 13), 17);
    g.setColorAt(0, QColor(255, 252, 226));
    g.setColorAt(0.5, QColor(255, 232, 110));
    g.setColorAt(1, QColor(240, 186, 30));
    p.setBrush(g);
    p.setPen(Pen(QColor(140, 96, 0), 1.2));
    p.drawPath(glass);
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(QColor(196, 110, 0), 1.0));
    QPainterPath filament;
    filament.moveTo(16.5, 33);
    filament.lineTo(16.5, 22);
    filament.lineTo(18, 19);
    filament.lineTo(19.5, 22);
    filament.lineTo(21, 19);
    filament.lineTo(22.5, 22);
    filament.lineTo(23.5, 22);
    filament.lineTo(23.5, 33);
    p.drawPath(filament);
    for (int k = 0; k < 4; ++k) {
        QLinearGradient band(13, 0, 27, 0);
        band.setColorAt(0, QColor(120, 124, 136));
        band.setColorAt(0.4, QColor(214, 218, 226));
        band.setColorAt(1, QColor(96, 100, 112));
        p.setBrush(band);
        p.setPen(Pen(QColor(60, 62, 72), 1.0));
        p.drawRoundedRect(QRectF(13.5, 35.5 + k * 3, 13, 3), 1.4, 1.4);
    }
    p.setBrush(QColor(50, 52, 60));
    p.drawRoundedRect(QRectF(16.5, 47.5, 7, 3.5), 1.6, 1.6);
}

// The application icon in a 64-unit box.
void DrawAppIcon(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient tile(0, 2, 0, 62);
    tile.setColorAt(0, QColor(62, 96, 168));
    tile.setColorAt(1, QColor(22, 34, 78));
    p.setBrush(tile);
    p.setPen(QPen(QColor(12, 18, 44), 1.5));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    QPainterPath pad = CirclePath(QPointF(20, 40), 14).united(CirclePath(QPointF(44, 40), 14));
    QPainterPath bridge;
    bridge.addRoundedRect(QRectF(18, 27, 28, 20), 4, 4);
    pad = pad.united(bridge).simplified();
    QLinearGradient body(0, 26, 0, 54);
    body.setColorAt(0, QColor(240, 242, 246));
    body.setColorAt(1, QColor(176, 180, 192));
    p.setBrush(body);
    p.setPen(QPen(QColor(20, 24, 40), 1.4));
    p.drawPath(pad);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 42, 50));
    p.drawPath(CrossPath(QPointF(19, 40), 7, 2.4, 1));
    const struct {
        QPointF at;
        QColor colour;
    } dots[4] = {{QPointF(45, 35), QColor(236, 196, 26)},
                 {QPointF(50, 40), QColor(214, 44, 44)},
                 {QPointF(45, 45), QColor(44, 92, 210)},
                 {QPointF(40, 40), QColor(40, 166, 72)}};
    for (const auto& d : dots) {
        DrawDome(p, d.at, 3.2, d.colour, Mix(d.colour, Qt::black, 0.5));
    }
    // A key cap: what the pad's buttons become.
    QLinearGradient cap(0, 6, 0, 26);
    cap.setColorAt(0, QColor(255, 236, 120));
    cap.setColorAt(1, QColor(226, 170, 20));
    p.setBrush(cap);
    p.setPen(QPen(QColor(90, 60, 0), 1.4));
    p.drawRoundedRect(QRectF(34, 6, 22, 20), 4, 4);
    DrawText(p, "K", QPointF(45, 15.5), Lettering{10, 2.4, QColor(60, 40, 0)});
}

QImage AppIcon(int size) {
    QImage image = Blank(QSize(size, size));
    QPainter p(&image);
    p.scale(size / 64.0, size / 64.0);
    DrawAppIcon(p);
    p.end();
    return image;
}

// Animations: a pad button on the left, what the driver types on the right, time along the
// bottom. Every clip has the same frame count and interval.
constexpr int kFrames = 16;
constexpr QSize kFrameSize(80, 60);

struct Clip {
    int id;
    bool step;
    bool loop;
    bool repeat;
};

bool Held(const Clip& c, int t) {
    if (c.repeat) {
        return c.step ? (t >= 1 && t <= 14) : (t >= 2 && t <= 13);
    }
    if (c.step) {
        return t % 4 == 1 || t % 4 == 2;
    }
    return t >= 3 && t <= 9;
}

// The frames at which the driver plays something: -1 when nothing is played at t.
bool Plays(const Clip& c, int t) {
    if (!Held(c, t)) {
        return false;
    }
    if (c.repeat) {
        return (t - (c.step ? 1 : 2)) % 2 == 0;
    }
    return !Held(c, t - 1);
}

// The step (0..2) played at the n-th play.
int StepOf(const Clip& c, int n) {
    if (c.loop) {
        return n % 3;
    }
    return std::min(n, 2);
}

void DrawFrame(QPainter& p, const Clip& c, int t) {
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(QPoint(0, 0), kFrameSize), QColor(244, 245, 248));
    p.setPen(QPen(QColor(172, 176, 188), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.5, 0.5, 79, 59), 4, 4);

    int played = 0;
    int lastStep = -1;
    QString typed;
    for (int k = 0; k <= t; ++k) {
        if (Plays(c, k)) {
            lastStep = StepOf(c, played);
            typed += c.step ? QString::number(lastStep + 1) : QString("A");
            ++played;
        }
    }
    const bool held = Held(c, t);
    const bool playing = Plays(c, t);

    // The pad button.
    const QPointF button(16, held ? 31.5 : 30);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 154, 166));
    p.drawEllipse(QPointF(16, 32), 11.5, 11.5);
    DrawDome(p, button, 9.5, held ? QColor(230, 40, 40) : QColor(80, 84, 96),
             held ? QColor(110, 10, 10) : QColor(30, 32, 40));
    if (held) {
        p.setBrush(QColor(40, 42, 50));
        p.drawPath(ArrowPath(QPointF(16, 18), Direction::Down, 6));
    }

    // What is typed so far.
    const QString shown = typed.right(6);
    for (int k = 0; k < shown.size(); ++k) {
        DrawText(p, shown.mid(k, 1), QPointF(36 + k * 7, 8),
                 Lettering{6, 1.3, QColor(40, 60, 150)});
    }

    if (!c.step) {
        const bool down = playing || (held && !c.repeat);
        const QRectF key(40, down ? 20 : 17, 28, 24);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(150, 154, 166));
        p.drawRoundedRect(QRectF(40, 21, 28, 24), 4, 4);
        QLinearGradient cap(0, key.top(), 0, key.bottom());
        cap.setColorAt(0, down ? QColor(255, 226, 90) : QColor(244, 245, 248));
        cap.setColorAt(1, down ? QColor(220, 160, 10) : QColor(186, 190, 202));
        p.setBrush(cap);
        p.setPen(QPen(QColor(40, 42, 50), 1.0));
        p.drawRoundedRect(key, 4, 4);
        DrawText(p, "A", key.center() - QPointF(0, 1.5), Lettering{9, 1.8, QColor(30, 32, 40)});
    } else {
        for (int k = 0; k < 3; ++k) {
            const QRectF cell(36.5 + k * 13, 17.5, 11, 15);
            const bool current = k == lastStep && held;
            p.setPen(QPen(QColor(40, 42, 50), 1.0));
            p.setBrush(current ? (playing ? kLabelNormal : QColor(250, 232, 150))
                               : QColor(252, 252, 253));
            p.drawRoundedRect(cell, 2, 2);
            DrawText(p, QString::number(k + 1), cell.center(),
                     Lettering{7, 1.4, QColor(30, 32, 40)});
        }
        // What the next press plays.
        const int next = played == 0 ? 0 : StepOf(c, played);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 90, 200));
        p.drawPath(ArrowPath(QPointF(42 + next * 13, 34.5), Direction::Up, 4));
        if (c.loop) {
            const bool wrapping = played > 0 && played % 3 == 0 && !held;
            p.setPen(QPen(wrapping ? QColor(40, 90, 200) : QColor(130, 134, 146), 1.4,
                          Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            QPainterPath loop;
            loop.moveTo(68, 33);
            loop.cubicTo(70, 45, 40, 45, 42, 38.5);
            p.drawPath(loop);
            p.setPen(Qt::NoPen);
            p.setBrush(wrapping ? QColor(40, 90, 200) : QColor(130, 134, 146));
            p.drawPath(ArrowPath(QPointF(42, 37.5), Direction::Up, 3.5));
        } else {
            p.setPen(QPen(QColor(200, 40, 40), 2.0, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(75.5, 18), QPointF(75.5, 32));
        }
    }

    // Time line: dark where the button is held, a tick where something is played.
    for (int k = 0; k < kFrames; ++k) {
        const QRectF seg(8 + k * 4, 51, 3, 4);
        p.setPen(Qt::NoPen);
        p.setBrush(Held(c, k) ? QColor(70, 74, 86) : QColor(206, 209, 217));
        p.drawRect(seg);
        if (Plays(c, k)) {
            p.setBrush(QColor(226, 170, 20));
            p.drawRect(QRectF(seg.left(), 48, 3, 2));
        }
    }
    p.setBrush(QColor(220, 40, 40));
    p.drawPath(ArrowPath(QPointF(9.5 + t * 4, 56), Direction::Up, 3));
}

} // namespace

bool WriteBulbAndIcon(const std::string& outDir, std::string& error) {
    QImage bulb = Blank(QSize(40, 53));
    QPainter p(&bulb);
    DrawBulb(p);
    p.end();
    if (!SaveBmp(bulb, kWhite, outDir + "/bitmaps/125.bmp", error)) {
        return false;
    }
    for (int size : {16, 32, 48, 64, 128, 256}) {
        if (!SavePng(AppIcon(size), outDir + "/icons/vextkey-" + std::to_string(size) + ".png",
                     error)) {
            return false;
        }
    }
    return true;
}

bool WriteAboutPicture(const std::string& outDir, std::string& error) {
    QImage image = Blank(QSize(786, 386));
    QPainter p(&image);
    const auto standard = MakeStandardPad();
    const auto corvel = MakeCorvelPad();
    p.save();
    p.translate(6, 140);
    p.scale(1.15, 1.15);
    standard->Paint(p, -1, LabelState::Plain);
    p.restore();
    p.save();
    p.translate(400, 8);
    p.scale(1.28, 1.28);
    corvel->Paint(p, -1, LabelState::Plain);
    p.restore();
    p.end();
    return SavePng(image, outDir + "/about/147.png", error);
}

bool WriteAnimations(const std::string& outDir, std::string& error) {
    const Clip clips[6] = {{187, false, false, false}, {188, false, false, true},
                           {189, true, false, false},  {190, true, true, false},
                           {191, true, true, true},    {192, true, false, true}};
    std::string index =
        "# Mode animations, written by tools/padart: each PNG is a horizontal strip of\n"
        "# frames played left to right and repeated without end.\n"
        "# id frames frameWidth frameHeight intervalMs\n";
    for (const Clip& c : clips) {
        QImage strip = Blank(QSize(kFrameSize.width() * kFrames, kFrameSize.height()));
        QPainter p(&strip);
        for (int t = 0; t < kFrames; ++t) {
            p.save();
            p.translate(t * kFrameSize.width(), 0);
            p.setClipRect(QRect(QPoint(0, 0), kFrameSize));
            DrawFrame(p, c, t);
            p.restore();
        }
        p.end();
        if (!SavePng(strip, outDir + "/anim/" + std::to_string(c.id) + ".png", error)) {
            return false;
        }
        index += std::to_string(c.id) + " " + std::to_string(kFrames) + " " +
                 std::to_string(kFrameSize.width()) + " " + std::to_string(kFrameSize.height()) +
                 " 125\n";
    }
    const std::string path = outDir + "/anim/anim.txt";
    if (!WriteFile(path, std::vector<uint8_t>(index.begin(), index.end()))) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace vext::padart
