// Pad type 0: the dark six-button pad with a round direction pad and two shoulder arcs.
#include "PadDesign.h"
#include "PadParts.h"
#include "StrokeFont.h"

#include <cmath>

#include <QLinearGradient>
#include <QPainterPathStroker>
#include <QPen>

namespace vext::padart {

namespace {

const QPointF kLeftGrip(86, 112);
const QPointF kRightGrip(243, 112);
const double kGripRadius = 82;
const QPointF kCross(84, 106);
const double kShoulderRadius = 88;

const QColor kBodyTop(74, 77, 86);
const QColor kBodyBottom(36, 38, 44);
const QColor kEdge(16, 16, 20);
const QColor kPlainLabel(196, 199, 208);

struct Face {
    const char* name;
    QRect rect;
};

const Face kFaces[6] = {
    {"A", QRect(191, 116, 30, 30)}, {"B", QRect(227, 108, 30, 30)}, {"C", QRect(263, 100, 30, 30)},
    {"X", QRect(185, 76, 29, 30)},  {"Y", QRect(221, 68, 27, 30)},  {"Z", QRect(255, 60, 30, 30)},
};
const double kFaceRadius = 13;

QPointF Centre(const QRect& r) {
    return QRectF(r).center();
}

QPainterPath BodyPath() {
    QPainterPath body =
        CirclePath(kLeftGrip, kGripRadius).united(CirclePath(kRightGrip, kGripRadius));
    QPainterPath bridge;
    bridge.addRoundedRect(QRectF(80, 34, 169, 116), 16, 16);
    return body.united(bridge).simplified();
}

QPainterPath ShoulderCentreLine(bool left, double trim) {
    const QPointF c = left ? kLeftGrip : kRightGrip;
    const double from = (left ? 100 : 50) + trim;
    const double span = 30 - 2 * trim;
    const QRectF box(c.x() - kShoulderRadius, c.y() - kShoulderRadius, 2 * kShoulderRadius,
                     2 * kShoulderRadius);
    QPainterPath p;
    p.arcMoveTo(box, from);
    p.arcTo(box, from, span);
    return p;
}

QPainterPath ShoulderPath(bool left) {
    QPainterPathStroker s;
    s.setWidth(10);
    s.setCapStyle(Qt::RoundCap);
    return s.createStroke(ShoulderCentreLine(left, 0)).simplified();
}

QRect RectAround(const QPainterPath& shape, QSize size) {
    const QPointF c = shape.boundingRect().center();
    return QRect(static_cast<int>(std::lround(c.x() - size.width() / 2.0)),
                 static_cast<int>(std::lround(c.y() - size.height() / 2.0)), size.width(),
                 size.height());
}

class StandardPad : public PadDesign {
public:
    StandardPad() {
        // Print picture lanes: above and below the pad, farther buttons turn on outer lanes.
        const int laneHigh = 34;
        const int laneLow = 68;
        const int laneBelow1 = 356;
        const int laneBelow2 = 394;
        for (int i = 0; i < 6; ++i) {
            PadButton b;
            b.name = kFaces[i].name;
            b.x = i;
            b.rect = kFaces[i].rect;
            b.shape = WithRim(CirclePath(Centre(b.rect), kFaceRadius));
            m_buttons.push_back(b);
        }
        m_buttons[0].laneY = laneBelow2; // A
        m_buttons[1].laneY = laneBelow1; // B
        m_buttons[3].laneY = laneHigh;   // X
        m_buttons[4].laneY = laneLow;    // Y
        for (int side = 0; side < 2; ++side) {
            PadButton b;
            b.name = side == 0 ? "Left Shoulder" : "Right Shoulder";
            b.x = 6 + side;
            b.shape = WithRim(ShoulderPath(side == 0));
            b.rect = RectAround(b.shape, QSize(57, 32));
            b.labelLeft = side == 0;
            m_buttons.push_back(b);
        }
        const struct {
            const char* name;
            int x, y;
            Direction d;
            QSize size;
            int laneY;
        } arms[4] = {
            {"Left", 0, 0, Direction::Left, QSize(20, 18), -1},
            {"Right", 0, 2, Direction::Right, QSize(19, 18), laneBelow2},
            {"Down", 1, 0, Direction::Down, QSize(18, 19), laneBelow1},
            {"Up", 1, 2, Direction::Up, QSize(18, 19), -1},
        };
        for (const auto& arm : arms) {
            PadButton b;
            b.name = arm.name;
            b.kind = 2;
            b.x = arm.x;
            b.y = arm.y;
            b.shape = ArmPath(kCross, arm.d);
            b.labelLeft = true;
            b.laneY = arm.laneY;
            const int cx = static_cast<int>(kCross.x());
            const int cy = static_cast<int>(kCross.y());
            switch (arm.d) {
            case Direction::Left:
                b.rect = QRect(QPoint(cx - 29, cy - 9), arm.size);
                break;
            case Direction::Right:
                b.rect = QRect(QPoint(cx + 9, cy - 9), arm.size);
                break;
            case Direction::Down:
                b.rect = QRect(QPoint(cx - 9, cy + 9), arm.size);
                break;
            case Direction::Up:
                b.rect = QRect(QPoint(cx - 9, cy - 28), arm.size);
                break;
            }
            m_buttons.push_back(b);
        }
        for (size_t i = 0; i < m_buttons.size(); ++i) {
            m_buttons[i].normalId = 214 + static_cast<int>(i);
            m_buttons[i].highlightId = 202 + static_cast<int>(i);
        }
    }

    int Type() const override { return 0; }
    QSize PictureSize() const override { return QSize(329, 203); }
    QSize PrintSize() const override { return QSize(724, 423); }
    double PrintScale() const override { return 1.3; }

    void Paint(QPainter& p, int active, LabelState state) const override {
        p.setRenderHint(QPainter::Antialiasing);
        const QPainterPath body = BodyPath();

        // Shoulders sit behind the body's upper edge.
        for (int side = 0; side < 2; ++side) {
            const QPainterPath shoulder = ShoulderPath(side == 0);
            QLinearGradient g(0, 14, 0, 52);
            g.setColorAt(0, QColor(104, 108, 120));
            g.setColorAt(1, QColor(52, 54, 62));
            p.setBrush(g);
            p.setPen(QPen(kEdge, 1.0));
            p.drawPath(shoulder);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(LabelColour(6 + side, active, state, QColor(140, 144, 156)), 2.2,
                          Qt::SolidLine, Qt::RoundCap));
            p.drawPath(ShoulderCentreLine(side == 0, 6));
        }

        DrawBody(p, body, 30, 196, kBodyTop, kBodyBottom, kEdge);

        DrawText(p, "VEXT", QPointF(164.5, 62), Lettering{8, 1.6, QColor(128, 132, 144)});

        // Round direction pad in its well.
        QRadialGradient well(kCross, 37);
        well.setColorAt(0, QColor(30, 31, 36));
        well.setColorAt(0.85, QColor(24, 25, 29));
        well.setColorAt(1, QColor(58, 60, 68));
        p.setBrush(well);
        p.setPen(QPen(kEdge, 1.0));
        p.drawEllipse(kCross, 36, 36);
        const QPainterPath cross = CrossPath(kCross, 27, 8, 3);
        p.setPen(Qt::NoPen);
        p.setBrush(kEdge);
        p.drawPath(cross);
        DrawCrossFace(
            p, kCross, QColor(88, 91, 102), QColor(54, 56, 64), QColor(44, 46, 52),
            [&](int k) { return LabelColour(8 + k, active, state, QColor(150, 154, 166)); });

        for (int i = 0; i < 6; ++i) {
            const QPointF c = Centre(kFaces[i].rect);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(22, 23, 27, 200));
            p.drawEllipse(c, kFaceRadius + 2.6, kFaceRadius + 2.6);
            DrawDome(p, c, kFaceRadius, QColor(58, 61, 70), kEdge);
            DrawText(p, kFaces[i].name, c,
                     Lettering{10.5, 2.2, LabelColour(i, active, state, kPlainLabel)});
        }
    }

    void PaintLines(QPainter& p) const override {
        p.setBrush(Qt::NoBrush);
        p.drawPath(BodyPath());
        for (int side = 0; side < 2; ++side) {
            p.drawPath(ShoulderPath(side == 0));
            p.drawPath(ShoulderCentreLine(side == 0, 6));
        }
        p.drawEllipse(kCross, 36, 36);
        p.drawPath(CrossPath(kCross, 27, 8, 3));
        const Direction dirs[4] = {Direction::Left, Direction::Right, Direction::Down,
                                   Direction::Up};
        for (Direction d : dirs) {
            p.drawPath(ArrowPath(ArrowTip(kCross, d), d, 7));
        }
        const QPen pen = p.pen();
        for (const Face& f : kFaces) {
            const QPointF c = Centre(f.rect);
            p.drawEllipse(c, kFaceRadius, kFaceRadius);
            p.drawEllipse(c, kFaceRadius + 2.6, kFaceRadius + 2.6);
            DrawText(p, f.name, c, Lettering{10.5, pen.widthF() * 1.6, pen.color()});
        }
        DrawText(p, "VEXT", QPointF(164.5, 62), Lettering{8, pen.widthF(), pen.color()});
    }
};

} // namespace

std::unique_ptr<PadDesign> MakeStandardPad() {
    return std::make_unique<StandardPad>();
}

} // namespace vext::padart
