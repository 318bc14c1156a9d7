// Draws the window skin, every picture the windows show, as PNG with alpha,
// once at its shown size and once at twice that size as "name@2x.png" for
// dense screens; and the program's icon at the sizes desktops and installers ask for.
// Usage: drawskin <skin directory> <icon directory>   (run with QT_QPA_PLATFORM=offscreen)
//
// The pictures are committed; the build only embeds and installs them. Rerun
// this program (target skin-images) after changing it or the project's
// version, look at the results, commit both.

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>
#include <QTextStream>
#include <QtEndian>

#include <functional>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Palette. The window's own background is Qt's default button face, so the
// bands outside the blue frame blend into whatever the window paints itself.
const QColor kBase(0xEF, 0xEF, 0xEF);
const QColor kWork(0xE8, 0xEB, 0xEF);
const QColor kStripTop(0x1F, 0x74, 0xCF);
const QColor kStripBottom(0x0F, 0x55, 0xA9);
const QColor kFrameTop(0x1C, 0x6B, 0xC4);
const QColor kFrameBottom(0x12, 0x57, 0xA6);
const QColor kButtonTop(0x4C, 0xA3, 0xF2);
const QColor kButtonBottom(0x16, 0x63, 0xBE);
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kInk(0x0F, 0x3E, 0x7A);
const QColor kMercury(0xFF, 0x6A, 0x4D);
const QColor kCloseRed(0xFF, 0x4F, 0x4F);

// A family with a real bold face; synthetic bold smears at these sizes.
const QString kTextFamily = QStringLiteral("DejaVu Sans");

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

// Device pixels per pixel of the picture being drawn. Every picture is drawn
// in its shown size; a canvas of a higher ratio scales the painter, so the 2x
// pictures come from the same shapes, not from enlarged bitmaps.
qreal pictureRatio = 1;

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

// Text centred on x with its baseline at y.
void centredText(QPainter &p, qreal x, qreal baseline, const QString &text)
{
    const QFontMetricsF metrics(p.font());
    p.drawText(QPointF(x - metrics.horizontalAdvance(text) / 2, baseline), text);
}

// A soft shadow or glow: a ring of colour fading outwards from a circle.
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

// ---------------------------------------------------------------- glyphs

// Outline of a thermometer inside box: a rounded tube standing on a bulb.
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

// The liquid inside a thermometer outlined with line; level: how far up the
// tube it stands, 0 to 1.
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

// A water drop, point up, filling box.
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

// ---------------------------------------------------------------- pictures

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

QImage overlay()
{
    // Uniform colour in straight alpha: drawn unscaled, so any rounding here
    // would show as a visible step in the dimming.
    QImage image(qRound(1366 * pictureRatio), qRound(768 * pictureRatio), QImage::Format_ARGB32);
    image.fill(QColor(174, 166, 166, 63));
    return image;
}

// The emblem: a thermometer with a drop beside it, for the title strip and the icon.
const QColor kDrop(0x7F, 0xD3, 0xFF);
constexpr qreal kEmblemLevel = 0.6;

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

// The icon is designed on a 256-pixel grid.
const QRectF kIconTile(12, 10, 232, 232);
constexpr qreal kIconTileRadius = 52;
const QColor kIconShadow(0x04, 0x20, 0x48, 60);
constexpr qreal kIconShadowDrop = 4;
const QPointF kIconSheenCentre(40, 20);
const QSizeF kIconSheenRadii(170, 120);
constexpr int kIconSheenAlpha = 22;
const QRectF kIconEmblem(44, 41, 170, 170);
constexpr qreal kIconLine = 13;

QPainterPath iconTileShape()
{
    QPainterPath tilePath;
    tilePath.addRoundedRect(kIconTile, kIconTileRadius, kIconTileRadius);
    return tilePath;
}

// Smaller sizes are painted, not scaled down, so that edges stay sharp.
QImage appIcon(int size = 256)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    prepare(p);
    if (size != 256)
        p.scale(size / 256.0, size / 256.0);
    const QPainterPath tilePath = iconTileShape();
    p.setPen(Qt::NoPen);
    p.setBrush(kIconShadow);
    p.drawPath(tilePath.translated(0, kIconShadowDrop));
    QLinearGradient fill(0, kIconTile.top(), 0, kIconTile.bottom());
    fill.setColorAt(0, kButtonTop);
    fill.setColorAt(1, kStripBottom);
    p.setBrush(fill);
    p.drawPath(tilePath);
    p.save();
    p.setClipPath(tilePath);
    p.setBrush(withAlpha(kWhite, kIconSheenAlpha));
    p.drawEllipse(kIconSheenCentre, kIconSheenRadii.width(), kIconSheenRadii.height());
    p.restore();
    emblem(p, kIconEmblem, kWhite, kIconLine);
    return image;
}

QString svgNumber(qreal v)
{
    QString text = QString::number(v, 'f', 2);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString svgPoint(const QPointF &point)
{
    return svgNumber(point.x()) + u' ' + svgNumber(point.y());
}

QString svgPath(const QPainterPath &path)
{
    QStringList parts;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            parts << u'M' + svgPoint(e);
        } else if (e.isLineTo()) {
            parts << u'L' + svgPoint(e);
        } else {
            // A curve is its first control point followed by two data elements.
            parts << u'C' + svgPoint(e) + u' ' + svgPoint(path.elementAt(i + 1)) + u' ' +
                         svgPoint(path.elementAt(i + 2));
            i += 2;
        }
    }
    return parts.join(u' ');
}

QString svgColour(const QColor &colour)
{
    QString attributes = QStringLiteral("\"%1\"").arg(colour.name(QColor::HexRgb));
    if (colour.alpha() != 255)
        attributes += QStringLiteral(" fill-opacity=\"%1\"").arg(svgNumber(colour.alphaF()));
    return attributes;
}

// The same icon as a scalable picture, from the same shapes.
QByteArray appIconSvg()
{
    const QPainterPath tilePath = iconTileShape();
    const QRectF thermometerBox = emblemThermometerBox(kIconEmblem);
    QString svg;
    QTextStream out(&svg);
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
        << "  <defs>\n"
        << "    <linearGradient id=\"face\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\""
        << svgNumber(kIconTile.top()) << "\" x2=\"0\" y2=\"" << svgNumber(kIconTile.bottom()) << "\">\n"
        << "      <stop offset=\"0\" stop-color=\"" << kButtonTop.name() << "\"/>\n"
        << "      <stop offset=\"1\" stop-color=\"" << kStripBottom.name() << "\"/>\n"
        << "    </linearGradient>\n"
        << "    <clipPath id=\"tile\"><path d=\"" << svgPath(tilePath) << "\"/></clipPath>\n"
        << "  </defs>\n"
        << "  <path d=\"" << svgPath(tilePath.translated(0, kIconShadowDrop)) << "\" fill=" << svgColour(kIconShadow)
        << "/>\n"
        << "  <path d=\"" << svgPath(tilePath) << "\" fill=\"url(#face)\"/>\n"
        << "  <ellipse cx=\"" << svgNumber(kIconSheenCentre.x()) << "\" cy=\"" << svgNumber(kIconSheenCentre.y())
        << "\" rx=\"" << svgNumber(kIconSheenRadii.width()) << "\" ry=\"" << svgNumber(kIconSheenRadii.height())
        << "\" fill=" << svgColour(withAlpha(kWhite, kIconSheenAlpha)) << " clip-path=\"url(#tile)\"/>\n"
        << "  <path d=\"" << svgPath(thermometerShape(thermometerBox, kIconLine / 2)) << "\" fill=\"none\" stroke=\""
        << kWhite.name() << "\" stroke-width=\"" << svgNumber(kIconLine)
        << "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n"
        << "  <path d=\"" << svgPath(liquidShape(thermometerBox, kIconLine, kEmblemLevel)) << "\" fill="
        << svgColour(kMercury) << "/>\n"
        << "  <path d=\"" << svgPath(dropShape(emblemDropBox(kIconEmblem))) << "\" fill=" << svgColour(kDrop) << "/>\n"
        << "</svg>\n";
    out.flush();
    return svg.toUtf8();
}

struct Picture {
    QString file;
    QImage image;
};

// The sizes of the desktop's icon theme, the largest last.
const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
// Windows shows 16 to 48 in lists and menus and 256 in large views.
const int kIcoSizes[] = {16, 24, 32, 48, 64, 256};

// An icon file whose every entry is a PNG, as Windows has read them since Vista.
QByteArray icoFile()
{
    std::vector<QByteArray> pngs;
    for (int size : kIcoSizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        appIcon(size).save(&buffer, "PNG");
        pngs.push_back(png);
    }
    QByteArray ico;
    const auto put16 = [&ico](quint16 v) {
        char bytes[2];
        qToLittleEndian(v, bytes);
        ico.append(bytes, 2);
    };
    const auto put32 = [&ico](quint32 v) {
        char bytes[4];
        qToLittleEndian(v, bytes);
        ico.append(bytes, 4);
    };
    put16(0);  // reserved
    put16(1);  // icon, not cursor
    put16(quint16(pngs.size()));
    quint32 offset = quint32(6 + 16 * pngs.size());
    for (std::size_t i = 0; i < pngs.size(); ++i) {
        const int size = kIcoSizes[i];
        ico.append(char(size >= 256 ? 0 : size));  // 0 stands for 256
        ico.append(char(size >= 256 ? 0 : size));
        ico.append(char(0));  // no palette
        ico.append(char(0));  // reserved
        put16(1);             // colour planes
        put16(32);            // bits per pixel
        put32(quint32(pngs[i].size()));
        put32(offset);
        offset += quint32(pngs[i].size());
    }
    for (const QByteArray &png : pngs)
        ico.append(png);
    return ico;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    QTextStream err(stderr);
    if (argc != 3) {
        err << "usage: drawskin <skin directory> <icon directory>\n";
        return 2;
    }
    // A missing family would silently fall back to another font and change
    // every committed picture; refuse instead.
    const QStringList families = QFontDatabase::families();
    if (!families.contains(kTextFamily)) {
        err << "drawskin: font family \"" << kTextFamily << "\" is not installed (run scripts/setup)\n";
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QDir icons(QString::fromLocal8Bit(argv[2]));
    for (const QDir &dir : {out, icons}) {
        if (!dir.exists() && !QDir().mkpath(dir.path())) {
            err << "drawskin: cannot create " << dir.path() << "\n";
            return 1;
        }
    }

    for (const qreal ratio : {1.0, 2.0}) {
        pictureRatio = ratio;
        // The names Qt looks for when a screen is denser than one device pixel per pixel.
        const QString suffix = ratio == 1 ? QString() : QStringLiteral("@%1x").arg(ratio);
        const std::vector<Picture> pictures = {
            {QStringLiteral("background"), background()},
            {QStringLiteral("read"), roundButton(QStringLiteral("Read"), readIcon, false)},
            {QStringLiteral("read_pressed"), roundButton(QStringLiteral("Read"), readIcon, true)},
            {QStringLiteral("save"), roundButton(QStringLiteral("Save"), saveIcon, false)},
            {QStringLiteral("save_pressed"), roundButton(QStringLiteral("Save"), saveIcon, true)},
            {QStringLiteral("back"), roundButton(QStringLiteral("Back"), backIcon, false)},
            {QStringLiteral("back_pressed"), roundButton(QStringLiteral("Back"), backIcon, true)},
            {QStringLiteral("about"), titleButton(QStringLiteral("i"), QStringLiteral("About"))},
            {QStringLiteral("help"), titleButton(QStringLiteral("?"), QStringLiteral("Help"))},
            {QStringLiteral("minimize"), minimizeButton()},
            {QStringLiteral("close"), closeButton()},
            {QStringLiteral("overlay"), overlay()},
            {QStringLiteral("about_background"), aboutBackground()},
            {QStringLiteral("icon"), appIcon()},
        };
        for (const Picture &picture : pictures) {
            const QString path = out.filePath(picture.file + suffix + QStringLiteral(".png"));
            if (!picture.image.save(path, "PNG")) {
                err << "drawskin: cannot write " << path << "\n";
                return 1;
            }
        }
    }
    // The icons are files of their own sizes, not high-density variants.
    pictureRatio = 1;
    for (int size : kIconSizes) {
        const QString path = icons.filePath(QStringLiteral("loggercfg-%1.png").arg(size));
        if (!appIcon(size).save(path, "PNG")) {
            err << "drawskin: cannot write " << path << "\n";
            return 1;
        }
    }
    for (const auto &[file, bytes] : {std::pair{QStringLiteral("loggercfg.ico"), icoFile()},
                                      std::pair{QStringLiteral("loggercfg.svg"), appIconSvg()}}) {
        QSaveFile out(icons.filePath(file));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) < 0 || !out.commit()) {
            err << "drawskin: cannot write " << out.fileName() << "\n";
            return 1;
        }
    }
    return 0;
}
