#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRectF>

class QPainter;

// The drawn shapes the pictures are built from: the thermometer and its
// liquid, the water drop, the floppy disk and the back arrow. Each fills the
// box it is given, so the same shape serves a button, the title strip and the icon.
namespace drawskin {

// Outline of a thermometer inside box: a rounded tube standing on a bulb.
QPainterPath thermometerShape(const QRectF &box, qreal inset);

// The liquid inside a thermometer outlined with line; level: how far up the
// tube it stands, 0 to 1.
QPainterPath liquidShape(const QRectF &box, qreal line, qreal level);

// The thermometer's outline stroked in glass, filled with liquid to level,
// with a scale beside the tube if ticks.
void thermometer(QPainter &p, const QRectF &box, const QColor &glass, const QColor &liquid,
                 qreal line, qreal level, bool ticks);

// A water drop, point up, filling box.
QPainterPath dropShape(const QRectF &box);

void floppy(QPainter &p, const QRectF &box, const QColor &colour);

// A hooked arrow turning back to the left.
void backArrow(QPainter &p, const QRectF &box, const QColor &colour);

} // namespace drawskin
