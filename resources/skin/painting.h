#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

// What every picture shares: the palette, the text face, the canvas at the
// current density and a few painting steps.
namespace drawskin {

// Palette. The window's own background is Qt's default button face, so the
// bands outside the blue frame blend into whatever the window paints itself.
inline const QColor kBase(0xEF, 0xEF, 0xEF);
inline const QColor kWork(0xE8, 0xEB, 0xEF);
inline const QColor kStripTop(0x1F, 0x74, 0xCF);
inline const QColor kStripBottom(0x0F, 0x55, 0xA9);
inline const QColor kFrameTop(0x1C, 0x6B, 0xC4);
inline const QColor kFrameBottom(0x12, 0x57, 0xA6);
inline const QColor kButtonTop(0x4C, 0xA3, 0xF2);
inline const QColor kButtonBottom(0x16, 0x63, 0xBE);
inline const QColor kWhite(0xFF, 0xFF, 0xFF);
inline const QColor kInk(0x0F, 0x3E, 0x7A);
inline const QColor kMercury(0xFF, 0x6A, 0x4D);
inline const QColor kCloseRed(0xFF, 0x4F, 0x4F);

// A family with a real bold face; synthetic bold smears at these sizes.
inline const QString kTextFamily = QStringLiteral("DejaVu Sans");

// Device pixels per pixel of the picture being drawn. Every picture is drawn
// in its shown size; a canvas of a higher ratio scales the painter, so the 2x
// pictures come from the same shapes, not from enlarged bitmaps.
inline qreal pictureRatio = 1;

QColor withAlpha(QColor c, int alpha);

// A transparent picture of w x h pixels at the current ratio.
QImage canvas(int w, int h);
QRectF area(const QImage &image);
void prepare(QPainter &p);
QFont font(const QString &family, int pixelSize, QFont::Weight weight);

// Text centred on x with its baseline at y.
void centredText(QPainter &p, qreal x, qreal baseline, const QString &text);

// A soft shadow or glow: a ring of colour fading outwards from a circle.
void halo(QPainter &p, QPointF centre, qreal inner, qreal outer, const QColor &colour);

} // namespace drawskin
