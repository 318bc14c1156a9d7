#include "shapes.h"

#include <QPainter>
#include <QPen>

namespace drawskin {

QPainterPath thermometerShape(const QRectF &box, qreal inset)
{
    const qreal w = box.width();
    const qreal cx = box.center().x();
    const qreal bulbR = w / 2 - inset;
    const qreal tubeW = w * 0.44 - 2 * inset;
    const QPointF bulbC(cx, box.bottom() - w / 2);
    QPainterPath tube;
    tube.addRoundedRect(QRectF(cx - tubeW / 2, box.top() + inset, tubeW, bulbC.y() - box.top() - inset),
                        tubeW / 2, tubeW / 2);
    QPainterPath bulb;
    bulb.addEllipse(bulbC, bulbR, bulbR);
    return tube.united(bulb);
}

QPainterPath liquidShape(const QRectF &box, qreal line, qreal level)
{
    const qreal gap = line * 1.55;
    const QPainterPath inside = thermometerShape(box, gap);
    const qreal tubeTop = box.top() + gap;
    const qreal bulbTop = box.bottom() - box.width() + gap;
    const qreal surface = bulbTop - (bulbTop - tubeTop) * level;
    QPainterPath below;
    below.addRect(QRectF(box.left(), surface, box.width(), box.bottom() - surface));
    return inside.intersected(below);
}

void thermometer(QPainter &p, const QRectF &box, const QColor &glass, const QColor &liquid,
                 qreal line, qreal level, bool ticks)
{
    p.save();
    const QPainterPath outline = thermometerShape(box, line / 2);
    p.setPen(QPen(glass, line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);

    p.setPen(Qt::NoPen);
    p.setBrush(liquid);
    p.drawPath(liquidShape(box, line, level));

    const qreal gap = line * 1.55;
    const qreal tubeTop = box.top() + gap;
    const qreal bulbTop = box.bottom() - box.width() + gap;
    if (ticks) {
        const qreal x = box.center().x() + box.width() * 0.22 + line * 1.5;
        const qreal len = box.width() * 0.22;
        p.setPen(QPen(glass, line * 0.6, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 3; ++i) {
            const qreal y = tubeTop + line * 1.2 + i * (bulbTop - tubeTop - line * 1.5) / 3;
            p.drawLine(QPointF(x, y), QPointF(x + (i % 2 ? len * 0.6 : len), y));
        }
    }
    p.restore();
}

QPainterPath dropShape(const QRectF &box)
{
    const qreal r = box.width() / 2;
    const QPointF c(box.center().x(), box.bottom() - r);
    QPainterPath drop;
    drop.moveTo(c.x(), box.top());
    drop.cubicTo(QPointF(c.x() + r * 0.25, box.top() + (c.y() - box.top()) * 0.45),
                 QPointF(c.x() + r, c.y() - r * 0.55), QPointF(c.x() + r, c.y()));
    drop.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 0, -180);
    drop.cubicTo(QPointF(c.x() - r, c.y() - r * 0.55),
                 QPointF(c.x() - r * 0.25, box.top() + (c.y() - box.top()) * 0.45),
                 QPointF(c.x(), box.top()));
    drop.closeSubpath();
    return drop;
}

void floppy(QPainter &p, const QRectF &box, const QColor &colour)
{
    const qreal s = box.width();
    const qreal corner = s * 0.1;
    const qreal cut = s * 0.2;
    QPainterPath body;
    body.moveTo(box.left() + corner, box.top());
    body.lineTo(box.right() - cut, box.top());
    body.lineTo(box.right(), box.top() + cut);
    body.lineTo(box.right(), box.bottom() - corner);
    body.quadTo(box.bottomRight(), QPointF(box.right() - corner, box.bottom()));
    body.lineTo(box.left() + corner, box.bottom());
    body.quadTo(box.bottomLeft(), QPointF(box.left(), box.bottom() - corner));
    body.lineTo(box.left(), box.top() + corner);
    body.quadTo(box.topLeft(), QPointF(box.left() + corner, box.top()));
    body.closeSubpath();

    QPainterPath shutter;
    shutter.addRoundedRect(QRectF(box.left() + s * 0.24, box.top() + s * 0.1, s * 0.46, s * 0.26),
                           s * 0.04, s * 0.04);
    QPainterPath label;
    label.addRoundedRect(QRectF(box.left() + s * 0.16, box.top() + s * 0.5, s * 0.68, s * 0.4),
                         s * 0.05, s * 0.05);
    QPainterPath slot;
    slot.addRoundedRect(QRectF(box.left() + s * 0.52, box.top() + s * 0.14, s * 0.11, s * 0.18),
                        s * 0.025, s * 0.025);
    QPainterPath lines;
    for (int i = 0; i < 2; ++i)
        lines.addRoundedRect(QRectF(box.left() + s * 0.26, box.top() + s * (0.61 + i * 0.13), s * 0.48,
                                    s * 0.055), s * 0.027, s * 0.027);

    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(body.subtracted(shutter).subtracted(label).united(slot).united(lines));
    p.restore();
}

void backArrow(QPainter &p, const QRectF &box, const QColor &colour)
{
    const qreal s = box.width();
    const qreal line = s * 0.13;
    const qreal top = box.top() + s * 0.3;
    const qreal bottom = box.top() + s * 0.86;
    const qreal turn = (bottom - top) / 2;
    const qreal right = box.right() - line / 2;

    QPainterPath hook;
    hook.moveTo(box.left() + s * 0.3, top);
    hook.lineTo(right - turn, top);
    hook.arcTo(QRectF(right - 2 * turn, top, 2 * turn, 2 * turn), 90, -180);
    hook.lineTo(box.left() + s * 0.28, bottom);

    p.save();
    p.setPen(QPen(colour, line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);

    const qreal head = s * 0.36;
    QPainterPath arrow;
    arrow.moveTo(box.left(), top);
    arrow.lineTo(box.left() + head * 0.9, top - head * 0.62);
    arrow.lineTo(box.left() + head * 0.9, top + head * 0.62);
    arrow.closeSubpath();
    p.setPen(QPen(colour, line * 0.45, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour);
    p.drawPath(arrow);
    p.restore();
}

} // namespace drawskin
