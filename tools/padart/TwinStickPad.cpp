// Pad type 2, the Twin-Stick Pad: a pad of today's shape. Two clickable sticks, each with its four
// directions around it, a D-pad, four face buttons in a diamond, Back, Guide and Start, a
// touchpad and an extra button (Share, Capture or Mic); insets above show the bumpers and
// triggers from above, insets below the four paddles on the back.
#include "PadDesign.h"
#include "PadParts.h"
#include "StrokeFont.h"
#include "core/pad/PadTypes.h"

#include <array>
#include <cmath>
#include <string>

#include <QLinearGradient>
#include <QPen>
#include <QRadialGradient>
#include <QTransform>

namespace vext::padart {

namespace {

const QColor kBodyTop(86, 90, 102);
const QColor kBodyBottom(44, 46, 54);
const QColor kEdge(18, 18, 22);
const QColor kPlainLabel(206, 209, 218);
const QColor kInsetFill(236, 237, 241);
const QColor kInsetEdge(160, 163, 172);

const QPointF kLeftStick(112, 140);
const QPointF kRightStick(238, 196);
const QPointF kCross(146, 196);
const QPointF kFaces(272, 140);
const double kRingInner = 15;
const double kRingOuter = 27;
const double kCapRadius = 12;
const double kFaceOffset = 21;
const double kFaceRadius = 9.5;

// Narrow enough to leave the leaders of the middle a clear way up and down.
const QRectF kTopInsets[2] = {QRectF(6.5, 4.5, 94, 64), QRectF(283.5, 4.5, 94, 64)};
const QRectF kBackInsets[2] = {QRectF(6.5, 282.5, 94, 62), QRectF(283.5, 282.5, 94, 62)};
const QRect kShoulders[4] = {QRect(18, 11, 52, 22), QRect(314, 11, 52, 22),  // LT, RT
                             QRect(18, 39, 52, 22), QRect(314, 39, 52, 22)}; // LB, RB
const QRect kPaddles[4] = {QRect(314, 290, 52, 20), QRect(18, 290, 52, 20),  // P1, P2
                           QRect(314, 316, 52, 20), QRect(18, 316, 52, 20)}; // P3, P4
const QRect kTouchpad(166, 94, 52, 22);
const QPointF kGuide(192, 133);
const double kGuideRadius = 11;
const QRect kBack(150, 128, 22, 10);
const QRect kStart(212, 128, 22, 10);
const QRect kExtra(185, 155, 12, 8);

// Print picture: the pad at 1.5 times with room above and below for the leaders' rows.
const double kPrintScale = 1.5;
const QSize kPrintSize(872, 768);

// A grip: an ellipse leaning out from the body.
QPainterPath GripPath(QPointF centre, double angle) {
    QPainterPath grip;
    grip.addEllipse(QPointF(0, 0), 50, 68);
    return QTransform().translate(centre.x(), centre.y()).rotate(angle).map(grip);
}

QPainterPath BodyPath() {
    QPainterPath top;
    top.addRoundedRect(QRectF(50, 86, 284, 110), 50, 50);
    QPainterPath middle;
    middle.addRoundedRect(QRectF(116, 166, 152, 72), 30, 30);
    return top.united(middle)
        .united(GripPath(QPointF(92, 206), 32))
        .united(GripPath(QPointF(292, 206), -32))
        .simplified();
}

// The gaps between the quarters of a stick's ring, wide enough that no pixel is part of two.
QPainterPath RingSeams(QPointF c) {
    constexpr double kSeam = 3.0;
    const double half = kRingOuter + 3;
    QPainterPath seams;
    for (const double angle : {45.0, -45.0}) {
        QPainterPath band;
        band.addRect(QRectF(-half, -kSeam / 2, 2 * half, kSeam));
        seams = seams.united(QTransform().translate(c.x(), c.y()).rotate(angle).map(band));
    }
    return seams;
}

// The quarter of a stick's ring toward d.
QPainterPath RingSegment(QPointF c, Direction d) {
    const double start = d == Direction::Right  ? -45
                         : d == Direction::Up   ? 45
                         : d == Direction::Left ? 135
                                                : 225;
    const QRectF outer(c.x() - kRingOuter, c.y() - kRingOuter, 2 * kRingOuter, 2 * kRingOuter);
    const QRectF inner(c.x() - kRingInner, c.y() - kRingInner, 2 * kRingInner, 2 * kRingInner);
    QPainterPath p;
    p.arcMoveTo(outer, start);
    p.arcTo(outer, start, 90);
    p.arcTo(inner, start + 90, -90);
    p.closeSubpath();
    return p.subtracted(RingSeams(c));
}

QPointF SegmentTip(QPointF c, Direction d) {
    const double r = (kRingInner + kRingOuter) / 2 + 3;
    switch (d) {
    case Direction::Left:
        return c + QPointF(-r, 0);
    case Direction::Right:
        return c + QPointF(r, 0);
    case Direction::Down:
        return c + QPointF(0, r);
    case Direction::Up:
        break;
    }
    return c + QPointF(0, -r);
}

QPointF FaceCentre(int i) {
    // South, east, west, north.
    const QPointF offsets[4] = {
        {0, kFaceOffset}, {kFaceOffset, 0}, {-kFaceOffset, 0}, {0, -kFaceOffset}};
    return kFaces + offsets[i];
}

// A button's shape with its rim, as the button images take it.
QPainterPath Pill(const QRect& r) {
    return WithRim(PillPath(QRectF(r).adjusted(1, 1, -1, -1)));
}

QPainterPath Circle(QPointF centre, double radius) {
    return WithRim(CirclePath(centre, radius));
}

QRect Bounds(const QPainterPath& shape) {
    return shape.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
}

QPainterPath RoundedPath(const QRectF& r, double radius) {
    QPainterPath p;
    p.addRoundedRect(r, radius, radius);
    return p;
}

class TwinStickPad : public PadDesign {
public:
    TwinStickPad() {
        // Where a leader turns (print pixels); see PadButton. Shapes come with their rim, but
        // for the D-pad's arms, which would touch each other with it.
        struct Lead {
            int y = -1;
            int x = -1;
        };
        const auto add = [this](const char* name, int kind, int x, int y, QPainterPath shape,
                                bool left, Lead lead = {}) {
            PadButton b;
            b.name = name;
            b.kind = kind;
            b.x = x;
            b.y = y;
            b.shape = shape;
            b.rect = Bounds(b.shape);
            b.labelLeft = left;
            b.laneY = lead.y;
            b.laneX = lead.x;
            m_buttons.push_back(b);
        };
        // In the order of their bits: one per position (core/pad/PadPositions.h), then the left
        // stick's, the right stick's and the D-pad's directions.
        const char* faceNames[4] = {"A (south)", "B (east)", "X (west)", "Y (north)"};
        const Lead faceLeads[4] = {{}, {}, {100}, {}};
        for (int i = 0; i < 4; ++i) {
            add(faceNames[i], 1, i, 1, Circle(FaceCentre(i), kFaceRadius), false, faceLeads[i]);
        }
        add("Left bumper", 1, 4, 1, Pill(kShoulders[2]), true);
        add("Right bumper", 1, 5, 1, Pill(kShoulders[3]), false);
        add("Left trigger", 1, 6, 1, Pill(kShoulders[0]), true);
        add("Right trigger", 1, 7, 1, Pill(kShoulders[1]), false);
        add("Back", 1, 8, 1, Pill(kBack), true, {20, 383});
        add("Start", 1, 9, 1, Pill(kStart), false, {68, 489});
        // Down beside the extra button below it.
        add("Guide", 1, 10, 1, Circle(kGuide, kGuideRadius), false, {736, 452});
        add("Left stick click", 1, 11, 1, Circle(kLeftStick, kCapRadius), true, {84});
        add("Right stick click", 1, 12, 1, Circle(kRightStick, kCapRadius), false, {672});
        const char* paddleNames[4] = {"Paddle 1", "Paddle 2", "Paddle 3", "Paddle 4"};
        for (int i = 0; i < 4; ++i) {
            add(paddleNames[i], 1, 13 + i, 1, Pill(kPaddles[i]), i % 2 == 1);
        }
        add("Touchpad click", 1, 17, 1,
            WithRim(RoundedPath(QRectF(kTouchpad).adjusted(1, 1, -1, -1), 6)), false, {36});
        add("Extra (Share/Capture/Mic)", 1, 18, 1,
            WithRim(PillPath(QRectF(kExtra).adjusted(0.5, 0.5, -0.5, -0.5))), true, {720});
        // The three sticks' directions: the first axis is X, the next Y.
        struct Stick {
            const char* name;
            int nAxis;
            bool left;
            std::array<Lead, 4> leads; // left, right, down, up
            QPainterPath (*shape)(Direction);
        };
        const Stick sticks[3] = {
            {"Left stick",
             0,
             true,
             {Lead{}, Lead{52}, Lead{}, Lead{}},
             [](Direction d) { return WithRim(RingSegment(kLeftStick, d)); }},
            {"Right stick",
             2,
             false,
             {Lead{704}, Lead{}, Lead{}, Lead{}},
             [](Direction d) { return WithRim(RingSegment(kRightStick, d)); }},
            {"D-pad",
             4,
             true,
             {Lead{}, Lead{688}, Lead{}, Lead{}},
             [](Direction d) { return ArmPath(kCross, d); }},
        };
        const Direction dirs[4] = {Direction::Left, Direction::Right, Direction::Down,
                                   Direction::Up};
        const char* dirNames[4] = {"Left", "Right", "Down", "Up"};
        for (const Stick& stick : sticks) {
            for (int k = 0; k < 4; ++k) {
                const std::string name = std::string(stick.name) + " " + dirNames[k];
                add(name.c_str(), 2, stick.nAxis + k / 2, (k % 2) * 2, stick.shape(dirs[k]),
                    stick.left, stick.leads[static_cast<size_t>(k)]);
            }
        }
        const PadTypeInfo& type = kPadTypes[kPadTwinStick];
        for (size_t i = 0; i < m_buttons.size(); ++i) {
            m_buttons[i].normalId = type.nFirstNormal + static_cast<int>(i);
            m_buttons[i].highlightId = type.nFirstHighlight + static_cast<int>(i);
        }
    }

    int Type() const override { return kPadTwinStick; }
    QSize PictureSize() const override { return QSize(384, 348); }
    QSize PrintSize() const override { return kPrintSize; }
    double PrintScale() const override { return kPrintScale; }

    void Paint(QPainter& p, int active, LabelState state) const override {
        p.setRenderHint(QPainter::Antialiasing);
        const auto label = [&](int button, QColor plain) {
            return LabelColour(button, active, state, plain);
        };
        PaintInsets(p, label);

        DrawBody(p, BodyPath(), 86, 274, kBodyTop, kBodyBottom, kEdge);

        PaintStick(p, kLeftStick, "L", 11, 19, label);
        PaintStick(p, kRightStick, "R", 12, 23, label);

        // The D-pad in a shallow well.
        QRadialGradient well(kCross, 37);
        well.setColorAt(0, QColor(34, 35, 40));
        well.setColorAt(0.85, QColor(28, 29, 34));
        well.setColorAt(1, QColor(62, 64, 72));
        p.setBrush(well);
        p.setPen(QPen(kEdge, 1.0));
        p.drawEllipse(kCross, 35, 35);
        p.setPen(Qt::NoPen);
        p.setBrush(kEdge);
        p.drawPath(CrossPath(kCross, 27, 8, 3));
        DrawCrossFace(p, kCross, QColor(92, 95, 106), QColor(56, 58, 66), QColor(46, 48, 55),
                      [&](int k) { return label(27 + k, QColor(156, 160, 172)); });

        const char* letters[4] = {"A", "B", "X", "Y"};
        for (int i = 0; i < 4; ++i) {
            const QPointF c = FaceCentre(i);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(24, 25, 29, 200));
            p.drawEllipse(c, kFaceRadius + 2.2, kFaceRadius + 2.2);
            DrawDome(p, c, kFaceRadius, QColor(62, 65, 74), kEdge);
            DrawText(p, letters[i], c, Lettering{8.5, 1.9, label(i, kPlainLabel)});
        }

        // The middle: touchpad, Back, Guide, Start and the extra button.
        p.setPen(QPen(kEdge, 1.0));
        QLinearGradient pad(0, kTouchpad.top(), 0, kTouchpad.bottom());
        pad.setColorAt(0, QColor(70, 73, 84));
        pad.setColorAt(1, QColor(48, 50, 58));
        p.setBrush(pad);
        p.drawPath(RoundedPath(QRectF(kTouchpad).adjusted(1, 1, -1, -1), 6));
        p.setPen(Qt::NoPen);
        p.setBrush(label(17, QColor(92, 96, 108)));
        p.drawPath(RoundedPath(QRectF(kTouchpad).adjusted(6, 6, -6, -6), 3));
        for (const auto& [rect, button] :
             {std::pair{kBack, 8}, std::pair{kStart, 9}, std::pair{kExtra, 18}}) {
            const QRectF r = QRectF(rect).adjusted(1, 1, -1, -1);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(30, 31, 36));
            p.drawPath(PillPath(r.adjusted(-1.6, -1.6, 1.6, 1.6)));
            p.setBrush(QColor(72, 75, 86));
            p.setPen(QPen(kEdge, 1.0));
            p.drawPath(PillPath(r));
            p.setPen(Qt::NoPen);
            p.setBrush(label(button, QColor(140, 144, 156)));
            p.drawPath(PillPath(r.adjusted(2.6, 2, -2.6, -2)));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 31, 36));
        p.drawEllipse(kGuide, kGuideRadius + 2, kGuideRadius + 2);
        DrawDome(p, kGuide, kGuideRadius, QColor(66, 69, 80), kEdge);
        DrawText(p, "V", kGuide, Lettering{8, 1.9, label(10, kPlainLabel)});
    }

    void PaintLines(QPainter& p) const override {
        const QPen pen = p.pen();
        p.setBrush(Qt::NoBrush);
        const Lettering lines{11, pen.widthF() * 1.6, pen.color()};
        for (int side = 0; side < 2; ++side) {
            p.drawRoundedRect(kTopInsets[side], 8, 8);
            p.drawRoundedRect(kBackInsets[side], 8, 8);
            DrawText(p, side == 0 ? "L" : "R", InsetLetter(kTopInsets[side], side),
                     Lettering{20, pen.widthF() * 2, pen.color()});
            DrawText(p, side == 0 ? "L" : "R", InsetLetter(kBackInsets[side], side),
                     Lettering{20, pen.widthF() * 2, pen.color()});
        }
        const char* shoulderText[4] = {"LT", "RT", "LB", "RB"};
        for (int k = 0; k < 4; ++k) {
            p.drawPath(PillPath(QRectF(kShoulders[k]).adjusted(1, 1, -1, -1)));
            DrawText(p, shoulderText[k], QRectF(kShoulders[k]).center(), lines);
        }
        for (int k = 0; k < 4; ++k) {
            p.drawPath(PillPath(QRectF(kPaddles[k]).adjusted(1, 1, -1, -1)));
            DrawText(p, QStringLiteral("P%1").arg(k + 1), QRectF(kPaddles[k]).center(), lines);
        }
        p.drawPath(BodyPath());
        for (const QPointF& c : {kLeftStick, kRightStick}) {
            p.drawEllipse(c, kRingOuter, kRingOuter);
            p.drawEllipse(c, kRingInner, kRingInner);
            p.drawEllipse(c, kCapRadius, kCapRadius);
            for (const Direction d :
                 {Direction::Left, Direction::Right, Direction::Down, Direction::Up}) {
                p.drawPath(ArrowPath(SegmentTip(c, d), d, 5.5));
            }
        }
        DrawText(p, "L", kLeftStick, Lettering{9, pen.widthF() * 1.6, pen.color()});
        DrawText(p, "R", kRightStick, Lettering{9, pen.widthF() * 1.6, pen.color()});
        p.drawEllipse(kCross, 35, 35);
        p.drawPath(CrossPath(kCross, 27, 8, 3));
        for (const Direction d :
             {Direction::Left, Direction::Right, Direction::Down, Direction::Up}) {
            p.drawPath(ArrowPath(ArrowTip(kCross, d), d, 7));
        }
        const char* letters[4] = {"A", "B", "X", "Y"};
        for (int i = 0; i < 4; ++i) {
            p.drawEllipse(FaceCentre(i), kFaceRadius, kFaceRadius);
            DrawText(p, letters[i], FaceCentre(i), Lettering{8.5, pen.widthF() * 1.6, pen.color()});
        }
        p.drawPath(RoundedPath(QRectF(kTouchpad).adjusted(1, 1, -1, -1), 6));
        for (const QRect& r : {kBack, kStart, kExtra}) {
            p.drawPath(PillPath(QRectF(r).adjusted(1, 1, -1, -1)));
        }
        p.drawEllipse(kGuide, kGuideRadius, kGuideRadius);
        DrawText(p, "V", kGuide, Lettering{8, pen.widthF() * 1.6, pen.color()});
    }

private:
    static QPointF InsetLetter(const QRectF& inset, int side) {
        return QPointF(side == 0 ? inset.right() - 15 : inset.left() + 15, inset.center().y());
    }

    template <typename Label>
    static void PaintInsets(QPainter& p, const Label& label) {
        for (int side = 0; side < 2; ++side) {
            for (const QRectF& inset : {kTopInsets[side], kBackInsets[side]}) {
                p.setPen(QPen(kInsetEdge, 1.0));
                p.setBrush(kInsetFill);
                p.drawRoundedRect(inset, 8, 8);
                DrawText(p, side == 0 ? "L" : "R", InsetLetter(inset, side),
                         Lettering{20, 3.4, QColor(156, 160, 172)});
            }
        }
        const char* shoulderText[4] = {"LT", "RT", "LB", "RB"};
        const int shoulderButtons[4] = {6, 7, 4, 5};
        for (int k = 0; k < 4; ++k) {
            PaintTab(p, kShoulders[k], shoulderText[k], label(shoulderButtons[k], kPlainLabel));
        }
        for (int k = 0; k < 4; ++k) {
            PaintTab(p, kPaddles[k], QStringLiteral("P%1").arg(k + 1), label(13 + k, kPlainLabel));
        }
    }

    static void PaintTab(QPainter& p, const QRect& rect, const QString& text, QColor colour) {
        QLinearGradient g(0, rect.top(), 0, rect.bottom());
        g.setColorAt(0, QColor(112, 116, 128));
        g.setColorAt(1, QColor(62, 64, 74));
        p.setBrush(g);
        p.setPen(QPen(kEdge, 1.0));
        p.drawPath(PillPath(QRectF(rect).adjusted(1, 1, -1, -1)));
        DrawText(p, text, QRectF(rect).center(), Lettering{10, 2.0, colour, 1.0, kEdge});
    }

    // A stick: its four directions in a ring around the cap, which is its click.
    template <typename Label>
    static void PaintStick(QPainter& p, QPointF c, const char* letter, int click, int firstArm,
                           const Label& label) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(26, 27, 32));
        p.drawEllipse(c, kRingOuter + 2, kRingOuter + 2);
        const Direction dirs[4] = {Direction::Left, Direction::Right, Direction::Down,
                                   Direction::Up};
        for (int k = 0; k < 4; ++k) {
            QLinearGradient g(0, c.y() - kRingOuter, 0, c.y() + kRingOuter);
            g.setColorAt(0, QColor(80, 83, 94));
            g.setColorAt(1, QColor(50, 52, 60));
            p.setBrush(g);
            p.setPen(QPen(kEdge, 1.0));
            p.drawPath(RingSegment(c, dirs[k]));
            p.setPen(Qt::NoPen);
            p.setBrush(label(firstArm + k, QColor(150, 154, 166)));
            p.drawPath(ArrowPath(SegmentTip(c, dirs[k]), dirs[k], 5.5));
        }
        DrawDome(p, c, kCapRadius, QColor(70, 73, 84), kEdge);
        DrawText(p, letter, c, Lettering{9, 2.0, label(click, kPlainLabel)});
    }
};

} // namespace

std::unique_ptr<PadDesign> MakeTwinStickPad() {
    return std::make_unique<TwinStickPad>();
}

} // namespace vext::padart
