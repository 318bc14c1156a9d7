#include "buttons.h"

#include "painting.h"
#include "shapes.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <functional>
#include <utility>

namespace drawskin {
namespace {

// The large round buttons, drawn at twice their shown size.
//
// The window stacks the pressed picture under the normal one and leaves both
// visible, so the normal picture must hide the pressed one completely: both
// sit in an opaque bezel, and the pressed picture's glow stays inside the
// normal picture's bezel, clear of its antialiased edge.
QImage roundButton(const QString &name, const std::function<void(QPainter &, const QRectF &)> &icon,
                   bool pressed)
{
    constexpr int size = 152;
    constexpr qreal radius = 60;
    const qreal bezel = pressed ? 68 : 70;
    const QPointF c(size / 2.0, size / 2.0);
    QImage image = canvas(size, size);
    QPainter p(&image);
    prepare(p);

    if (!pressed)
        halo(p, c + QPointF(0, 2), bezel - 4, size / 2.0, QColor(0x04, 0x20, 0x48, 90));

    QLinearGradient socket(0, c.y() - bezel, 0, c.y() + bezel);
    socket.setColorAt(0, QColor(0x15, 0x5C, 0xAD));
    socket.setColorAt(1, QColor(0x0E, 0x4B, 0x91));
    p.setPen(Qt::NoPen);
    p.setBrush(socket);
    p.drawEllipse(c, bezel, bezel);
    if (pressed) {
        QRadialGradient glow(c, bezel);
        const qreal start = (radius - 2) / bezel;
        glow.setColorAt(0, QColor(0xE4, 0xF6, 0xFF));
        glow.setColorAt(start, QColor(0xE4, 0xF6, 0xFF));
        glow.setColorAt(start + (1 - start) * 0.45, QColor(0x9C, 0xD9, 0xFF, 200));
        glow.setColorAt(1, QColor(0x5A, 0xB4, 0xF5, 40));
        p.setBrush(glow);
        p.drawEllipse(c, bezel, bezel);
    }

    QLinearGradient face(0, c.y() - radius, 0, c.y() + radius);
    face.setColorAt(0, kButtonTop);
    face.setColorAt(1, kButtonBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawEllipse(c, radius, radius);

    // A faint sheen on the upper half gives the flat face a little depth.
    QPainterPath sheen;
    sheen.addEllipse(QRectF(c.x() - radius * 0.82, c.y() - radius * 0.94, radius * 1.64, radius * 1.0));
    QLinearGradient sheenFill(0, c.y() - radius, 0, c.y());
    sheenFill.setColorAt(0, withAlpha(kWhite, 70));
    sheenFill.setColorAt(1, withAlpha(kWhite, 0));
    p.setBrush(sheenFill);
    p.drawPath(sheen);

    p.setPen(QPen(kWhite, 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, radius - 2, radius - 2);

    icon(p, QRectF(c.x() - 24, 30, 48, 50));

    p.setPen(kWhite);
    p.setFont(font(kTextFamily, 22, QFont::Bold));
    centredText(p, c.x(), 113, name);
    return image;
}

void readIcon(QPainter &p, const QRectF &box)
{
    thermometer(p, QRectF(box.center().x() - 15, box.top() - 2, 27, box.height() + 4), kWhite, kWhite,
                5, 0.55, true);
}

void saveIcon(QPainter &p, const QRectF &box)
{
    floppy(p, QRectF(box.center().x() - 22, box.top() + 3, 44, 44), kWhite);
}

void backIcon(QPainter &p, const QRectF &box)
{
    backArrow(p, QRectF(box.center().x() - 22, box.top() + 2, 44, 44), kWhite);
}

// Title-bar buttons: a glyph in a ring above a small caption, light on the strip.
QImage titleButton(const QString &glyph, const QString &word)
{
    QImage image = canvas(72, 72);
    QPainter p(&image);
    prepare(p);
    const QPointF c(36, 25);
    p.setPen(QPen(withAlpha(kWhite, 240), 3.5));
    p.setBrush(withAlpha(kWhite, 28));
    p.drawEllipse(c, 19, 19);
    p.setPen(kWhite);
    p.setFont(font(kTextFamily, 27, QFont::Bold));
    const QFontMetricsF metrics(p.font());
    const QRectF ink = metrics.tightBoundingRect(glyph);
    p.drawText(QPointF(c.x() - ink.center().x(), c.y() - ink.center().y()), glyph);
    p.setFont(font(kTextFamily, 16, QFont::Bold));
    centredText(p, 36, 67, word);
    return image;
}

} // namespace

QImage readButton(bool pressed)
{
    return roundButton(QStringLiteral("Read"), readIcon, pressed);
}

QImage saveButton(bool pressed)
{
    return roundButton(QStringLiteral("Save"), saveIcon, pressed);
}

QImage backButton(bool pressed)
{
    return roundButton(QStringLiteral("Back"), backIcon, pressed);
}

QImage aboutButton()
{
    return titleButton(QStringLiteral("i"), QStringLiteral("About"));
}

QImage helpButton()
{
    return titleButton(QStringLiteral("?"), QStringLiteral("Help"));
}

QImage minimizeButton()
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    prepare(p);
    p.setPen(QPen(kWhite, 5.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 26), QPointF(37, 26));
    return image;
}

QImage closeButton()
{
    QImage image = canvas(46, 48);
    QPainter p(&image);
    prepare(p);
    const QPointF c(23, 24);
    const qreal arm = 12.5;
    // A darker trace under the cross keeps the red readable on blue.
    for (const auto &[colour, width] : {std::pair{QColor(0x6A, 0x0A, 0x14, 90), 9.0}, std::pair{kCloseRed, 6.0}}) {
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
        p.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
    }
    return image;
}

} // namespace drawskin
