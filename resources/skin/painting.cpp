#include "painting.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRadialGradient>

namespace drawskin {

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QImage canvas(int w, int h)
{
    QImage image(qRound(w * pictureRatio), qRound(h * pictureRatio), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pictureRatio);
    image.fill(Qt::transparent);
    return image;
}

QRectF area(const QImage &image)
{
    return QRectF(QPointF(0, 0), image.deviceIndependentSize());
}

void prepare(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QFont font(const QString &family, int pixelSize, QFont::Weight weight)
{
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

void centredText(QPainter &p, qreal x, qreal baseline, const QString &text)
{
    const QFontMetricsF metrics(p.font());
    p.drawText(QPointF(x - metrics.horizontalAdvance(text) / 2, baseline), text);
}

void halo(QPainter &p, QPointF centre, qreal inner, qreal outer, const QColor &colour)
{
    QRadialGradient g(centre, outer);
    const qreal start = inner / outer;
    g.setColorAt(0, colour);
    g.setColorAt(start, colour);
    g.setColorAt(start + (1 - start) * 0.35, withAlpha(colour, colour.alpha() * 2 / 5));
    g.setColorAt(1, withAlpha(colour, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(centre, outer, outer);
}

} // namespace drawskin
