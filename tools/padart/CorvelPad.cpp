// Pad type 1: the light pad with a cross, four coloured buttons, two small oval buttons and two
// insets that show the shoulder buttons from above.
#include "PadDesign.h"
#include "PadParts.h"
#include "StrokeFont.h"

#include <QLinearGradient>
#include <QPen>

namespace vext::padart {

namespace {

const QPointF kCross(78, 186);
const QColor kEdge(98, 101, 112);
const QColor kDark(34, 35, 40);
const QColor kPlainLabel(244, 244, 246);

struct Face {
    const char* name;
    const char* letter;
    QRect rect;
    QColor colour;
    int laneSlot; // -1 straight, else lane index below the pad
};

const Face kFaces[4] = {
    {"Red", "R", QRect(235, 175, 25, 25), QColor(214, 44, 44), -1},
    {"Yellow", "Y", QRect(208, 150, 27, 25), QColor(236, 196, 26), -1},
    {"Green", "G", QRect(183, 175, 25, 25), QColor(40, 166, 72), 1},
    {"Blue", "B", QRect(209, 199, 25, 24), QColor(44, 92, 210), 0},
};
const double kFaceRadius = 11.5;

const QRect kShoulderRects[4] = {
    QRect(20, 16, 41, 24),  // left 1
    QRect(237, 16, 41, 24), // right 1
    QRect(20, 44, 41, 24),  // left 2
    QRect(237, 44, 41, 24), // right 2
};
const QRect kOvalRects[2] = {QRect(122, 221, 24, 9), QRect(152, 221, 24, 9)};
const QRectF kInsets[2] = {QRectF(6.5, 6.5, 135, 75), QRectF(156.5, 6.5, 135, 75)};
const QRectF kSlabs[2] = {QRectF(13, 12, 122, 62), QRectF(163, 12, 122, 62)};

const int kLanes[3] = {588, 632, 676};

QPointF Centre(const QRect& r) {
    return QRectF(r).center();
}

QPainterPath BodyPath() {
    QPainterPath body = CirclePath(QPointF(80, 192), 76).united(CirclePath(QPointF(218, 192), 76));
    QPainterPath bridge;
    bridge.addRoundedRect(QRectF(62, 108, 174, 132), 24, 24);
    return body.united(bridge).simplified();
}

QPainterPath ShoulderButtonPath(int k) {
    QPainterPath p;
    p.addRoundedRect(QRectF(kShoulderRects[k]).adjusted(1, 1, -1, -1), 7, 7);
    return p;
}

class CorvelPad : public PadDesign {
public:
    CorvelPad() {
        for (int i = 0; i < 4; ++i) {
            PadButton b;
            b.name = kFaces[i].name;
            b.x = i;
            b.rect = kFaces[i].rect;
            b.shape = WithRim(CirclePath(Centre(b.rect), kFaceRadius));
            b.laneY = kFaces[i].laneSlot < 0 ? -1 : kLanes[kFaces[i].laneSlot];
            m_buttons.push_back(b);
        }
        const char* shoulderNames[4] = {"Left 1", "Right 1", "Left 2", "Right 2"};
        for (int k = 0; k < 4; ++k) {
            PadButton b;
            b.name = shoulderNames[k];
            b.x = 4 + k;
            b.rect = kShoulderRects[k];
            b.shape = WithRim(ShoulderButtonPath(k));
            b.labelLeft = k % 2 == 0;
            m_buttons.push_back(b);
        }
        for (int k = 0; k < 2; ++k) {
            PadButton b;
            b.name = k == 0 ? "Select" : "Start";
            b.x = 8 + k;
            b.rect = kOvalRects[k];
            b.shape = WithRim(PillPath(QRectF(b.rect).adjusted(1, 1, -1, -1)));
            b.labelLeft = k == 0;
            b.laneY = kLanes[2];
            m_buttons.push_back(b);
        }
        const struct {
            const char* name;
            int x, y;
            Direction d;
            QRect rect;
            int laneY;
        } arms[4] = {
            {"Left", 0, 0, Direction::Left, QRect(50, 177, 19, 18), -1},
            {"Right", 0, 2, Direction::Right, QRect(87, 177, 19, 18), kLanes[1]},
            {"Down", 1, 0, Direction::Down, QRect(69, 195, 18, 19), kLanes[0]},
            {"Up", 1, 2, Direction::Up, QRect(69, 158, 18, 19), -1},
        };
        for (const auto& arm : arms) {
            PadButton b;
            b.name = arm.name;
            b.kind = 2;
            b.x = arm.x;
            b.y = arm.y;
            b.rect = arm.rect;
            b.shape = ArmPath(kCross, arm.d);
            b.labelLeft = true;
            b.laneY = arm.laneY;
            m_buttons.push_back(b);
        }
        for (size_t i = 0; i < m_buttons.size(); ++i) {
            m_buttons[i].normalId = 166 + static_cast<int>(i);
            m_buttons[i].highlightId = 152 + static_cast<int>(i);
        }
    }

    int Type() const override { return 1; }
    QSize PictureSize() const override { return QSize(298, 287); }
    QSize PrintSize() const override { return QSize(721, 726); }
    double PrintScale() const override { return 1.5; }

    void Paint(QPainter& p, int active, LabelState state) const override {
        p.setRenderHint(QPainter::Antialiasing);

        // The insets: the pad's upper edge seen from above, with shoulder buttons 1 and 2.
        for (int side = 0; side < 2; ++side) {
            p.setPen(QPen(QColor(168, 171, 180), 1.0));
            p.setBrush(QColor(241, 242, 245));
            p.drawRoundedRect(kInsets[side], 8, 8);
            QLinearGradient slab(0, kSlabs[side].top(), 0, kSlabs[side].bottom());
            slab.setColorAt(0, QColor(226, 228, 234));
            slab.setColorAt(1, QColor(188, 191, 200));
            p.setBrush(slab);
            p.setPen(QPen(kEdge, 1.2));
            p.drawRoundedRect(kSlabs[side], 18, 18);
            DrawText(p, side == 0 ? "L" : "R",
                     QPointF(side == 0 ? 102 : 196, kSlabs[side].center().y()),
                     Lettering{22, 3.6, QColor(150, 154, 166)});
        }
        for (int k = 0; k < 4; ++k) {
            const QPainterPath shape = ShoulderButtonPath(k);
            QLinearGradient g(0, kShoulderRects[k].top(), 0, kShoulderRects[k].bottom());
            g.setColorAt(0, QColor(112, 116, 128));
            g.setColorAt(1, QColor(64, 66, 76));
            p.setBrush(g);
            p.setPen(QPen(kDark, 1.0));
            p.drawPath(shape);
            DrawText(
                p, k < 2 ? "1" : "2", Centre(kShoulderRects[k]),
                Lettering{11, 2.2, LabelColour(4 + k, active, state, kPlainLabel), 1.0, kDark});
        }

        const QPainterPath body = BodyPath();
        QLinearGradient bodyFill(0, 102, 0, 268);
        bodyFill.setColorAt(0, QColor(232, 234, 239));
        bodyFill.setColorAt(1, QColor(190, 193, 202));
        p.setBrush(bodyFill);
        p.setPen(QPen(kEdge, 1.5));
        p.drawPath(body);

        // Cross in a shallow well.
        QRadialGradient well(kCross, 35);
        well.setColorAt(0, QColor(170, 173, 182));
        well.setColorAt(0.85, QColor(182, 185, 194));
        well.setColorAt(1, QColor(214, 216, 222));
        p.setBrush(well);
        p.setPen(QPen(QColor(150, 153, 163), 1.0));
        p.drawEllipse(kCross, 34, 34);
        p.setPen(Qt::NoPen);
        p.setBrush(kDark);
        p.drawPath(CrossPath(kCross, 27, 8, 3));
        DrawCrossFace(
            p, kCross, QColor(92, 95, 106), QColor(56, 58, 66), QColor(46, 48, 55),
            [&](int k) { return LabelColour(10 + k, active, state, QColor(168, 172, 184)); });

        for (int i = 0; i < 4; ++i) {
            const QPointF c = Centre(kFaces[i].rect);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(150, 153, 163));
            p.drawEllipse(c, kFaceRadius + 2.2, kFaceRadius + 2.2);
            DrawDome(p, c, kFaceRadius, kFaces[i].colour, Mix(kFaces[i].colour, Qt::black, 0.55));
            DrawText(p, kFaces[i].letter, c,
                     Lettering{9.5, 2.0, LabelColour(i, active, state, kPlainLabel), 1.0, kDark});
        }

        for (int k = 0; k < 2; ++k) {
            const QRectF r = QRectF(kOvalRects[k]).adjusted(1, 1, -1, -1);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(160, 163, 173));
            p.drawPath(PillPath(r.adjusted(-1.8, -1.8, 1.8, 1.8)));
            p.setBrush(QColor(70, 72, 82));
            p.setPen(QPen(kDark, 1.0));
            p.drawPath(PillPath(r.adjusted(0.5, 0.5, -0.5, -0.5)));
            p.setPen(Qt::NoPen);
            p.setBrush(LabelColour(8 + k, active, state, QColor(132, 136, 148)));
            p.drawPath(PillPath(r.adjusted(3, 2.2, -3, -2.2)));
        }
    }

    void PaintLines(QPainter& p) const override {
        const QPen pen = p.pen();
        p.setBrush(Qt::NoBrush);
        for (int side = 0; side < 2; ++side) {
            p.drawRoundedRect(kInsets[side], 8, 8);
            p.drawRoundedRect(kSlabs[side], 18, 18);
            DrawText(p, side == 0 ? "L" : "R",
                     QPointF(side == 0 ? 102 : 196, kSlabs[side].center().y()),
                     Lettering{22, pen.widthF() * 2, pen.color()});
        }
        for (int k = 0; k < 4; ++k) {
            p.drawPath(ShoulderButtonPath(k));
            DrawText(p, k < 2 ? "1" : "2", Centre(kShoulderRects[k]),
                     Lettering{11, pen.widthF() * 1.6, pen.color()});
        }
        p.drawPath(BodyPath());
        p.drawEllipse(kCross, 34, 34);
        p.drawPath(CrossPath(kCross, 27, 8, 3));
        const Direction dirs[4] = {Direction::Left, Direction::Right, Direction::Down,
                                   Direction::Up};
        for (Direction d : dirs) {
            p.drawPath(ArrowPath(ArrowTip(kCross, d), d, 7));
        }
        for (const Face& f : kFaces) {
            const QPointF c = Centre(f.rect);
            p.drawEllipse(c, kFaceRadius, kFaceRadius);
            DrawText(p, f.letter, c, Lettering{9.5, pen.widthF() * 1.6, pen.color()});
        }
        for (const QRect& r : kOvalRects) {
            p.drawPath(PillPath(QRectF(r).adjusted(1, 1, -1, -1)));
        }
    }
};

} // namespace

std::unique_ptr<PadDesign> MakeCorvelPad() {
    return std::make_unique<CorvelPad>();
}

} // namespace vext::padart
