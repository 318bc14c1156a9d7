#include "backgrounds.h"

#include "emblem.h"
#include "painting.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <tuple>

namespace drawskin {

QImage background()
{
    QImage image = canvas(1388, 789);
    QPainter p(&image);
    prepare(p);
    p.fillRect(area(image), kBase);

    // Title strip, rows 0 to 91.
    const QRectF strip(0, 0, 1388, 92);
    QLinearGradient stripFill(0, 0, 0, strip.height());
    stripFill.setColorAt(0, kStripTop);
    stripFill.setColorAt(1, kStripBottom);
    p.fillRect(strip, stripFill);
    // Broad, barely visible arcs so the strip does not look like a bare fill.
    p.save();
    p.setClipRect(strip);
    p.setPen(Qt::NoPen);
    for (const auto &[x, r, a] : {std::tuple{560.0, 420.0, 12}, std::tuple{980.0, 300.0, 10},
                                  std::tuple{1240.0, 520.0, 9}}) {
        p.setBrush(withAlpha(kWhite, a));
        p.drawEllipse(QPointF(x, 92 + r * 0.72), r, r);
    }
    p.restore();
    p.fillRect(QRectF(0, 90, 1388, 2), QColor(0x0A, 0x44, 0x8A));

    emblem(p, QRectF(34, 20, 52, 52), kWhite, 4);
    p.setPen(kWhite);
    p.setFont(font(kTextFamily, 27, QFont::Bold));
    p.drawText(QPointF(98, 50), QStringLiteral("Data Logger Configuration"));
    p.setPen(withAlpha(kWhite, 190));
    p.setFont(font(kTextFamily, 14, QFont::Normal));
    p.drawText(QPointF(100, 73), QStringLiteral("loggercfg  \u00B7  temperature and humidity loggers"));

    // Blue frame with a grey working area whose corners curve inwards.
    const QRectF frame(20, 116, 1350, 652);
    const QRectF work(162, 149, 1175, 587);
    QPainterPath framePath;
    framePath.addRoundedRect(frame, 14, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(QColor(0x30, 0x40, 0x55), 24));
    p.drawPath(framePath.translated(0, 2));
    QLinearGradient frameFill(0, frame.top(), 0, frame.bottom());
    frameFill.setColorAt(0, kFrameTop);
    frameFill.setColorAt(1, kFrameBottom);
    p.setBrush(frameFill);
    p.drawPath(framePath);

    constexpr qreal notch = 16;
    QPainterPath workPath;
    workPath.addRect(work);
    for (const QPointF &corner : {work.topLeft(), work.topRight(), work.bottomLeft(), work.bottomRight()}) {
        QPainterPath bite;
        bite.addEllipse(corner, notch, notch);
        workPath = workPath.subtracted(bite);
    }
    p.setBrush(kWork);
    p.drawPath(workPath);
    // An inner shadow along the top edge sets the area into the frame.
    p.save();
    p.setClipPath(workPath);
    QLinearGradient shade(0, work.top(), 0, work.top() + 8);
    shade.setColorAt(0, withAlpha(QColor(0x0A, 0x30, 0x60), 55));
    shade.setColorAt(1, withAlpha(QColor(0x0A, 0x30, 0x60), 0));
    p.fillRect(QRectF(work.left(), work.top(), work.width(), 8), shade);
    p.restore();
    p.setPen(QPen(withAlpha(QColor(0x08, 0x3A, 0x78), 150), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(workPath);
    return image;
}

QImage aboutBackground()
{
    QImage image = canvas(502, 208);
    QPainter p(&image);
    prepare(p);

    QLinearGradient fill(0, 0, 0, 208);
    fill.setColorAt(0, QColor(0xFB, 0xFC, 0xFE));
    fill.setColorAt(1, QColor(0xEC, 0xF0, 0xF5));
    p.fillRect(area(image), fill);

    // Blue panel with the emblem on the left.
    const QRectF panel(0, 0, 118, 208);
    QLinearGradient panelFill(0, 0, 0, 208);
    panelFill.setColorAt(0, kStripTop);
    panelFill.setColorAt(1, kStripBottom);
    p.fillRect(panel, panelFill);
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(kWhite, 16));
    p.drawEllipse(QPointF(20, 230), 150, 150);
    emblem(p, QRectF(23, 67, 74, 74), kWhite, 5);

    p.setPen(kInk);
    p.setFont(font(kTextFamily, 32, QFont::Bold));
    p.drawText(QPointF(140, 72), QStringLiteral("loggercfg"));
    p.setPen(QColor(0x5A, 0x68, 0x7A));
    p.setFont(font(kTextFamily, 14, QFont::Normal));
    p.drawText(QPointF(142, 98), QStringLiteral("Version " LOGGERCFG_VERSION));
    p.setPen(QPen(QColor(0x1C, 0x6B, 0xC4), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(143, 114), QPointF(183, 114));

    p.setPen(QColor(0x34, 0x42, 0x54));
    p.setFont(font(kTextFamily, 12, QFont::Normal));
    const QString line1 = QStringLiteral("Configuration tool for temperature");
    const QString line2 = QStringLiteral("and humidity data loggers");
    p.drawText(QPointF(142, 144), line1);
    p.drawText(QPointF(142, 161), line2);

    p.setPen(QPen(QColor(0xC9, 0xD2, 0xDD), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 501, 207));
    return image;
}

QImage overlay()
{
    // Uniform colour in straight alpha: drawn unscaled, so any rounding here
    // would show as a visible step in the dimming.
    QImage image(qRound(1366 * pictureRatio), qRound(768 * pictureRatio), QImage::Format_ARGB32);
    image.fill(QColor(174, 166, 166, 63));
    return image;
}

} // namespace drawskin
