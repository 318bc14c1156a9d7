#include "emblem.h"

#include "painting.h"
#include "shapes.h"

#include <QPainter>

namespace drawskin {

QRectF emblemThermometerBox(const QRectF &box)
{
    const qreal s = box.height();
    return QRectF(box.left() + s * 0.1, box.top(), s * 0.42, s);
}

QRectF emblemDropBox(const QRectF &box)
{
    const qreal s = box.height();
    return QRectF(box.left() + s * 0.58, box.top() + s * 0.42, s * 0.3, s * 0.4);
}

void emblem(QPainter &p, const QRectF &box, const QColor &glass, qreal line)
{
    thermometer(p, emblemThermometerBox(box), glass, kMercury, line, kEmblemLevel, false);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(kDrop);
    p.drawPath(dropShape(emblemDropBox(box)));
    p.restore();
}

} // namespace drawskin
