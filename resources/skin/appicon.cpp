#include "appicon.h"

#include "emblem.h"
#include "painting.h"
#include "shapes.h"

#include <QBuffer>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSizeF>
#include <QStringList>
#include <QTextStream>
#include <QtEndian>

#include <vector>

namespace drawskin {
namespace {

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

// Windows shows 16 to 48 in lists and menus and 256 in large views.
const int kIcoSizes[] = {16, 24, 32, 48, 64, 256};

} // namespace

QImage appIcon(int size)
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

QByteArray appIconIco()
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

} // namespace drawskin
