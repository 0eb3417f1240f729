#include "PadParts.h"

#include <QLinearGradient>
#include <QPainterPathStroker>
#include <QPen>
#include <QRadialGradient>

namespace vext::padart {

QPainterPath CrossPath(QPointF c, double reach, double half, double corner) {
    QPainterPath h;
    h.addRoundedRect(QRectF(c.x() - reach, c.y() - half, 2 * reach, 2 * half), corner, corner);
    QPainterPath v;
    v.addRoundedRect(QRectF(c.x() - half, c.y() - reach, 2 * half, 2 * reach), corner, corner);
    return h.united(v).simplified();
}

QPainterPath ArrowPath(QPointF tip, Direction d, double size) {
    const double w = size * 0.62;
    QPolygonF poly;
    switch (d) {
    case Direction::Left:
        poly << tip << QPointF(tip.x() + size, tip.y() - w) << QPointF(tip.x() + size, tip.y() + w);
        break;
    case Direction::Right:
        poly << tip << QPointF(tip.x() - size, tip.y() - w) << QPointF(tip.x() - size, tip.y() + w);
        break;
    case Direction::Down:
        poly << tip << QPointF(tip.x() - w, tip.y() - size) << QPointF(tip.x() + w, tip.y() - size);
        break;
    case Direction::Up:
        poly << tip << QPointF(tip.x() - w, tip.y() + size) << QPointF(tip.x() + w, tip.y() + size);
        break;
    }
    QPainterPath p;
    p.addPolygon(poly);
    p.closeSubpath();
    return p;
}

QPainterPath CirclePath(QPointF centre, double radius) {
    QPainterPath p;
    p.addEllipse(centre, radius, radius);
    return p;
}

QPainterPath PillPath(QRectF rect) {
    QPainterPath p;
    const double r = std::min(rect.width(), rect.height()) / 2;
    p.addRoundedRect(rect, r, r);
    return p;
}

QPainterPath WithRim(const QPainterPath& shape) {
    QPainterPathStroker stroker;
    stroker.setWidth(1.0);
    return shape.united(stroker.createStroke(shape)).simplified();
}

QColor Mix(QColor a, QColor b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

void DrawBody(QPainter& painter, const QPainterPath& body, double y0, double y1, QColor top,
              QColor bottom, QColor edge) {
    QLinearGradient fill(0, y0, 0, y1);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter.setBrush(fill);
    painter.setPen(QPen(edge, 1.5));
    painter.drawPath(body);
    painter.save();
    painter.setClipPath(body);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 34), 3));
    painter.drawPath(body.translated(0, 2.5));
    painter.restore();
}

void DrawDome(QPainter& painter, QPointF centre, double radius, QColor base, QColor rim) {
    painter.save();
    QRadialGradient g(centre + QPointF(-radius * 0.35, -radius * 0.45), radius * 1.5);
    g.setColorAt(0, Mix(base, Qt::white, 0.38));
    g.setColorAt(0.55, base);
    g.setColorAt(1, Mix(base, Qt::black, 0.35));
    painter.setBrush(g);
    painter.setPen(QPen(rim, 1.0));
    painter.drawEllipse(centre, radius - 0.5, radius - 0.5);
    painter.restore();
}

QPainterPath ArmPath(QPointF centre, Direction d) {
    const QPainterPath cross = CrossPath(centre, 27, 8, 3);
    QRectF r;
    switch (d) {
    case Direction::Left:
        r = QRectF(centre.x() - 30, centre.y() - 10, 21, 20);
        break;
    case Direction::Right:
        r = QRectF(centre.x() + 9, centre.y() - 10, 21, 20);
        break;
    case Direction::Down:
        r = QRectF(centre.x() - 10, centre.y() + 9, 20, 21);
        break;
    case Direction::Up:
        r = QRectF(centre.x() - 10, centre.y() - 30, 20, 21);
        break;
    }
    QPainterPath box;
    box.addRect(r);
    return cross.intersected(box).simplified();
}

QPointF ArrowTip(QPointF centre, Direction d) {
    switch (d) {
    case Direction::Left:
        return centre + QPointF(-23, 0);
    case Direction::Right:
        return centre + QPointF(23, 0);
    case Direction::Down:
        return centre + QPointF(0, 23);
    case Direction::Up:
        break;
    }
    return centre + QPointF(0, -23);
}

void DrawCrossFace(QPainter& painter, QPointF centre, QColor top, QColor bottom, QColor hub,
                   const std::function<QColor(int)>& arrowColour) {
    QLinearGradient crossFill(0, centre.y() - 27, 0, centre.y() + 27);
    crossFill.setColorAt(0, top);
    crossFill.setColorAt(1, bottom);
    painter.setBrush(crossFill);
    painter.drawPath(CrossPath(centre, 26, 7, 2.2));
    painter.setBrush(hub);
    painter.drawEllipse(centre, 4, 4);
    const Direction dirs[4] = {Direction::Left, Direction::Right, Direction::Down, Direction::Up};
    for (int k = 0; k < 4; ++k) {
        painter.setBrush(arrowColour(k));
        painter.drawPath(ArrowPath(ArrowTip(centre, dirs[k]), dirs[k], 7));
    }
}

} // namespace vext::padart
