#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// The emblem: a thermometer with a drop beside it, for the title strip, the
// About picture and the icon.
namespace drawskin {

inline const QColor kDrop(0x7F, 0xD3, 0xFF);
inline constexpr qreal kEmblemLevel = 0.6;

// Where the thermometer and the drop sit inside the emblem's box; the
// scalable icon writes each as a path of its own, so it needs them apart.
QRectF emblemThermometerBox(const QRectF &box);
QRectF emblemDropBox(const QRectF &box);

void emblem(QPainter &p, const QRectF &box, const QColor &glass, qreal line);

} // namespace drawskin
