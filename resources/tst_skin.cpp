#include "pngfile.h"
#include "pngruns.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QOperatingSystemVersion>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <utility>

// The windows address the pictures by name and place them at fixed sizes, so
// a missing, renamed or resized picture shows up only as a blank or blurred
// control; these checks catch that at build time instead.
class TestSkin : public QObject
{
    Q_OBJECT

private slots:
    void loadsWithSize_data();
    void loadsWithSize();
    void overlayIsUniform();
    void backgroundIsOpaque();
    void pressedPair_data();
    void pressedPair();
    void writtenForQuickDecoding_data();
    void writtenForQuickDecoding();
    void unfilteredPngKeepsEveryPixel_data();
    void unfilteredPngKeepsEveryPixel();
    void committedAsDrawn();
    void runsMatchImageData_data();
    void runsMatchImageData();
    void runsRead_data();
    void runsRead();
    void rectsMatchImageData_data();
    void rectsMatchImageData();
    void rectsRead_data();
    void rectsRead();
};

void TestSkin::loadsWithSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("denseSize");

    // The buttons are drawn at twice their controls' size; their 1x files hold
    // them scaled to the control, their 2x files as drawn.
    const struct {
        const char *name;
        QSize size;
        QSize dense;
    } rows[] = {
        {"background.png", {1388, 789}, {2776, 1578}},
        {"read.png", {76, 76}, {304, 304}},
        {"read_pressed.png", {76, 76}, {304, 304}},
        {"save.png", {76, 76}, {304, 304}},
        {"save_pressed.png", {76, 76}, {304, 304}},
        {"back.png", {76, 76}, {304, 304}},
        {"back_pressed.png", {76, 76}, {304, 304}},
        {"about.png", {36, 36}, {144, 144}},
        {"help.png", {36, 36}, {144, 144}},
        {"minimize.png", {24, 24}, {96, 96}},
        {"close.png", {23, 24}, {92, 96}},
        {"overlay.png", {1366, 768}, {2732, 1536}},
        {"about_background.png", {502, 208}, {1004, 416}},
        {"icon.png", {256, 256}, {512, 512}},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QStringLiteral(":/skin/%1").arg(QLatin1String(row.name)) << row.size << row.dense;
}

// Loaded as plain QPixmaps from the resource path, with the "@2x" variant
// that dense screens get.
void TestSkin::loadsWithSize()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QSize, denseSize);
    QString dense = name;
    dense.insert(dense.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
    for (const auto &[path, expected] : {std::pair{name, size}, std::pair{dense, denseSize}}) {
        const QPixmap pixmap(path);
        QVERIFY2(!pixmap.isNull(), qPrintable(path));
        QCOMPARE(pixmap.size(), expected);
    }
}

// Drawn unscaled over the window, so every pixel must carry the same dimming.
void TestSkin::overlayIsUniform()
{
    for (const char *name : {":/skin/overlay.png", ":/skin/overlay@2x.png"}) {
        const QImage image = QImage(QLatin1String(name)).convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!image.isNull(), name);
        const QRgb expected = qRgba(174, 166, 166, 63);
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (line[x] != expected)
                    QFAIL(qPrintable(QStringLiteral("%1: pixel %2,%3 is %4").arg(name).arg(x).arg(y).arg(line[x], 8, 16)));
            }
        }
    }
}

// The background covers the whole client area; a translucent pixel would let
// the window's own palette show through and differ between desktops.
void TestSkin::backgroundIsOpaque()
{
    for (const char *name : {":/skin/background.png", ":/skin/background@2x.png"}) {
        const QImage image = QImage(QLatin1String(name)).convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!image.isNull(), name);
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(line[x]) != 255)
                    QFAIL(qPrintable(QStringLiteral("%1: pixel %2,%3 is not opaque").arg(name).arg(x).arg(y)));
            }
        }
    }
}

void TestSkin::pressedPair_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("suffix");
    for (const char *button : {"read", "save", "back"}) {
        QTest::addRow("%s", button) << QString::fromLatin1(button) << QString();
        QTest::addRow("%s@2x", button) << QString::fromLatin1(button) << QStringLiteral("@2x");
    }
}

// The window keeps both pictures of a pair visible, the pressed one below.
// The normal picture must hide it completely, or the glow shows at rest; the
// pressed one, raised above the normal one, must show a glow and keep the face
// where it was so that the button does not jump. The 1x pictures are scaled
// from the drawn size, which spreads the bezel's edge over a pixel: there the
// pressed glow may tint the rim at rest by a level or two, as it always did on
// screen.
void TestSkin::pressedPair()
{
    QFETCH(QString, button);
    QFETCH(QString, suffix);
    const QImage normal =
        QImage(QStringLiteral(":/skin/%1%2.png").arg(button, suffix)).convertToFormat(QImage::Format_ARGB32);
    const QImage pressed = QImage(QStringLiteral(":/skin/%1_pressed%2.png").arg(button, suffix))
                               .convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!normal.isNull() && !pressed.isNull());
    const bool scaled = suffix.isEmpty();

    int tint = 0;
    for (const QColor under : {QColor(Qt::white), QColor(Qt::black)}) {
        QImage alone(normal.size(), QImage::Format_ARGB32);
        alone.fill(under);
        QImage atRest = alone;
        QPainter(&alone).drawImage(0, 0, normal);
        QPainter rest(&atRest);
        rest.drawImage(0, 0, pressed);
        rest.drawImage(0, 0, normal);
        rest.end();
        for (int y = 0; y < normal.height(); ++y) {
            for (int x = 0; x < normal.width(); ++x) {
                const QRgb a = alone.pixel(x, y);
                const QRgb b = atRest.pixel(x, y);
                tint = std::max({tint, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                 std::abs(qBlue(a) - qBlue(b))});
            }
        }
    }
    QVERIFY2(tint <= (scaled ? 2 : 0), qPrintable(QStringLiteral("the pressed picture tints the rest look by %1").arg(tint)));

    const QPoint centre(normal.width() / 2, normal.height() / 2);
    const int reach = scaled ? 16 : 32;
    for (int dy = -reach; dy <= reach; dy += reach / 8) {
        for (int dx = -reach; dx <= reach; dx += reach / 8)
            QCOMPARE(pressed.pixel(centre + QPoint(dx, dy)), normal.pixel(centre + QPoint(dx, dy)));
    }

    QImage raised = normal;
    QPainter(&raised).drawImage(0, 0, pressed);
    int lit = 0;
    for (int y = 0; y < normal.height(); ++y) {
        for (int x = 0; x < normal.width(); ++x)
            lit += qGray(raised.pixel(x, y)) > qGray(normal.pixel(x, y)) + 60;
    }
    QVERIFY2(lit > normal.width() * normal.height() / 20, "the pressed picture shows no glow");

    QCOMPARE(qAlpha(normal.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(pressed.pixel(0, 0)), 0);
}

namespace {

struct TPngLayout {
    int ColourType = -1;
    QList<int> RowFilters;
};

// The colour type and the filter byte of every row, read from the file itself.
TPngLayout ReadPngLayout(const QByteArray &png)
{
    TPngLayout layout;
    if (!png.startsWith("\x89PNG\r\n\x1a\n"))
        return layout;
    quint32 width = 0;
    quint32 height = 0;
    QByteArray stream;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        const QByteArray type = png.mid(at + 4, 4);
        const QByteArray data = png.mid(at + 8, length);
        if (type == "IHDR") {
            width = qFromBigEndian<quint32>(data.constData());
            height = qFromBigEndian<quint32>(data.constData() + 4);
            layout.ColourType = quint8(data.at(9));
        } else if (type == "IDAT") {
            stream += data;
        }
        at += 12 + length;
    }
    const int channels = layout.ColourType == 2 ? 3 : layout.ColourType == 6 ? 4 : 0;
    const qsizetype rowBytes = 1 + qsizetype(width) * channels;
    // qUncompress wants the length of what it inflates before the zlib stream.
    QByteArray sized(4, '\0');
    qToBigEndian(quint32(rowBytes * height), sized.data());
    const QByteArray rows = qUncompress(sized + stream);
    if (channels == 0 || rows.size() != rowBytes * qsizetype(height))
        return layout;
    for (quint32 y = 0; y < height; ++y)
        layout.RowFilters << quint8(rows.at(y * rowBytes));
    return layout;
}

bool Opaque(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) != 255)
                return false;
        }
    }
    return true;
}

} // namespace

void TestSkin::writtenForQuickDecoding_data()
{
    QTest::addColumn<QString>("path");
    for (const QString &name : QDir(QStringLiteral(LOGGERCFG_SKIN_DIR)).entryList({QStringLiteral("*.png")}))
        QTest::newRow(qPrintable(name)) << QDir(QStringLiteral(LOGGERCFG_SKIN_DIR)).filePath(name);
}

// The windows decode these pictures as they start. Rows without filters
// decode about three times faster than the filters QImage::save lets libpng
// choose, and an opaque picture stored without alpha needs no scan of its
// pixels to become a pixmap. A picture saved by other means fails here.
void TestSkin::writtenForQuickDecoding()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const TPngLayout layout = ReadPngLayout(file.readAll());
    QVERIFY2(!layout.RowFilters.isEmpty(), "not a PNG of 8-bit RGB or RGBA rows");
    QCOMPARE(layout.RowFilters, QList<int>(layout.RowFilters.size(), 0));
    QCOMPARE(layout.ColourType, Opaque(QImage(path)) ? 2 : 6);
}

void TestSkin::unfilteredPngKeepsEveryPixel_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("colourType");

    QImage opaque(7, 3, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < opaque.height(); ++y)
        for (int x = 0; x < opaque.width(); ++x)
            opaque.setPixel(x, y, qRgb(x * 36, y * 100, 255 - x * 30));
    QTest::newRow("opaque, stored as RGB") << opaque << 2;

    QImage translucent(5, 4, QImage::Format_ARGB32);
    for (int y = 0; y < translucent.height(); ++y)
        for (int x = 0; x < translucent.width(); ++x)
            translucent.setPixel(x, y, qRgba(200, x * 60, y * 80, x * 63));
    QTest::newRow("translucent, stored as RGBA") << translucent << 6;

    // Premultiplied, a faint pixel keeps only what its alpha lets it keep.
    QImage faint(1, 1, QImage::Format_ARGB32_Premultiplied);
    faint.setPixel(0, 0, qPremultiply(qRgba(255, 128, 0, 2)));
    QTest::newRow("one faint premultiplied pixel") << faint << 6;

    QImage rgb32(3, 1, QImage::Format_RGB32);
    rgb32.fill(QColor(16, 79, 150));
    QTest::newRow("no alpha channel at all") << rgb32 << 2;
}

void TestSkin::unfilteredPngKeepsEveryPixel()
{
    QFETCH(QImage, image);
    QFETCH(int, colourType);
    const QByteArray png = drawskin::unfilteredPng(image);
    const TPngLayout layout = ReadPngLayout(png);
    QCOMPARE(layout.ColourType, colourType);
    QCOMPARE(layout.RowFilters, QList<int>(image.height(), 0));
    const QImage read = QImage::fromData(png, "PNG");
    QVERIFY(!read.isNull());
    QCOMPARE(read.convertToFormat(QImage::Format_ARGB32), image.convertToFormat(QImage::Format_ARGB32));
}

// The committed pictures must be what the renderer draws today: the About
// picture carries the project's version, and the icons are installed by the
// packages, so a version bump or a drawing change without a redraw would ship
// stale pictures. Builds differ in antialiasing by a few levels, no more.
void TestSkin::committedAsDrawn()
{
    if (QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows)
        QSKIP("the pictures are drawn with the Linux build's fonts: the Linux build checks them");
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const QString skinOut = out.filePath(QStringLiteral("skin"));
    const QString iconOut = out.filePath(QStringLiteral("icons"));
    QProcess drawskin;
    drawskin.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    drawskin.start(QStringLiteral(LOGGERCFG_DRAWSKIN), {skinOut, iconOut});
    QVERIFY(drawskin.waitForFinished(60000));
    QCOMPARE(drawskin.exitCode(), 0);

    int compared = 0;
    for (const auto &[committed, drawn] : {std::pair{QStringLiteral(LOGGERCFG_SKIN_DIR), skinOut},
                                           std::pair{QStringLiteral(LOGGERCFG_ICON_DIR), iconOut}}) {
        const QStringList names = QDir(drawn).entryList({QStringLiteral("*.png")}, QDir::Files);
        QCOMPARE(QDir(committed).entryList({QStringLiteral("*.png")}, QDir::Files), names);
        for (const QString &name : names) {
            const QImage a = QImage(QDir(committed).filePath(name)).convertToFormat(QImage::Format_ARGB32);
            const QImage b = QImage(QDir(drawn).filePath(name)).convertToFormat(QImage::Format_ARGB32);
            QVERIFY2(!a.isNull() && a.size() == b.size(), qPrintable(name));
            for (int y = 0; y < a.height(); ++y) {
                for (int x = 0; x < a.width(); ++x) {
                    const QRgb p = a.pixel(x, y);
                    const QRgb q = b.pixel(x, y);
                    const int diff = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                               std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
                    if (diff > 24)
                        QFAIL(qPrintable(QStringLiteral("%1 differs at %2,%3; redraw with the target skin-images")
                                             .arg(name).arg(x).arg(y)));
                }
            }
            ++compared;
        }
    }
    QCOMPARE(compared, 2 * 14 + 8);

    // The scalable icon is text and owes nothing to fonts: it must match exactly.
    QFile committedSvg(QStringLiteral(LOGGERCFG_ICON_DIR "/loggercfg.svg"));
    QFile drawnSvg(QDir(iconOut).filePath(QStringLiteral("loggercfg.svg")));
    QVERIFY(committedSvg.open(QIODevice::ReadOnly) && drawnSvg.open(QIODevice::ReadOnly));
    QVERIFY2(committedSvg.readAll() == drawnSvg.readAll(), "loggercfg.svg differs; redraw with the target skin-images");
}

void TestSkin::runsMatchImageData_data()
{
    writtenForQuickDecoding_data();
}

// The windows show what the runs fill, other readers what the image data
// holds: Qt's own PNG reader is the judge of every committed picture.
void TestSkin::runsMatchImageData()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QImage runs = skin::ImageFromRuns(file.readAll());
    QVERIFY2(!runs.isNull(), "no runs, or runs that do not add up");
    QImage imageData(path);
    // Qt's reader takes a ratio from an "@2x" name; the window sets the
    // ratio itself, whatever reads the pixels.
    imageData.setDevicePixelRatio(1);
    QCOMPARE(runs.format(), imageData.format());
    QCOMPARE(runs, imageData);
}

namespace {

void AppendChunk(QByteArray &png, const char *type, const QByteArray &data)
{
    char length[4];
    qToBigEndian(quint32(data.size()), length);
    png.append(length, 4).append(type, 4).append(data).append(4, '\0');  // the reader leaves CRCs to libpng
}

// A PNG file of the given size and colour type whose runs chunk holds chunk,
// and whose image data is empty: only the runs can give it pixels.
QByteArray PngWithRuns(quint32 width, quint32 height, char colourType, const QByteArray &chunk)
{
    QByteArray header(13, '\0');
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header[8] = 8;
    header[9] = colourType;
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header);
    if (!chunk.isNull())
        AppendChunk(png, "ruNS", chunk);
    AppendChunk(png, "IDAT", QByteArray());
    AppendChunk(png, "IEND", QByteArray());
    return png;
}

} // namespace

void TestSkin::runsRead_data()
{
    QTest::addColumn<QByteArray>("png");
    QTest::addColumn<QList<QRgb>>("pixels");  // empty: refused

    // Runs cross row ends; 130 pixels take a two-byte length.
    const QByteArray grey("\x01\x80\x80\x80\xff", 5);
    QTest::newRow("RGB, a run across the row end")
        << PngWithRuns(3, 2, 2, qCompress(QByteArray("\x02\x10\x20\x30\xff\x03\x01\x02\x03\xff", 10) + grey))
        << QList<QRgb>{0xff102030, 0xff102030, 0xff010203, 0xff010203, 0xff010203, 0xff808080};
    QTest::newRow("RGBA keeps alpha unpremultiplied")
        << PngWithRuns(2, 1, 6, qCompress(QByteArray("\x01\xff\x00\x00\x40\x01\x00\x00\xff\x00", 10)))
        << QList<QRgb>{0x40ff0000, 0x000000ff};
    QTest::newRow("a two-byte length")
        << PngWithRuns(130, 1, 2, qCompress(QByteArray("\x82\x01\x05\x06\x07\xff", 6)))
        << QList<QRgb>(130, 0xff050607);

    const QList<QRgb> refused;
    QTest::newRow("no runs chunk") << PngWithRuns(3, 2, 2, QByteArray()) << refused;
    QTest::newRow("one pixel short") << PngWithRuns(3, 2, 2, qCompress(QByteArray("\x05\x01\x02\x03\xff", 5)))
                                     << refused;
    QTest::newRow("one pixel over") << PngWithRuns(3, 2, 2, qCompress(QByteArray("\x07\x01\x02\x03\xff", 5)))
                                    << refused;
    QTest::newRow("a run of none")
        << PngWithRuns(1, 1, 2, qCompress(QByteArray("\x00\x01\x02\x03\xff\x01\x01\x02\x03\xff", 10)))
        << refused;
    QTest::newRow("a pixel cut short") << PngWithRuns(1, 1, 2, qCompress(QByteArray("\x01\x01\x02\x03", 4)))
                                       << refused;
    QTest::newRow("a length that never ends")
        << PngWithRuns(1, 1, 2, qCompress(QByteArray("\x81\x81\x81\x81\x81\x81", 6))) << refused;
    QTest::newRow("translucent in an RGB file")
        << PngWithRuns(1, 1, 2, qCompress(QByteArray("\x01\x01\x02\x03\x80", 5))) << refused;
    QTest::newRow("not deflated") << PngWithRuns(1, 1, 2, QByteArray("\x00\x00\x00\x05\x01\x01\x02\x03\xff", 9))
                                  << refused;
    // A size claimed beyond what the pixels could take is not inflated at all.
    QByteArray huge = qCompress(QByteArray("\x01\x01\x02\x03\xff", 5));
    qToBigEndian(quint32(0x7fffffff), huge.data());
    QTest::newRow("a claimed size beyond the picture") << PngWithRuns(1, 1, 2, huge) << refused;
    QByteArray cut = PngWithRuns(1, 1, 2, qCompress(QByteArray("\x01\x01\x02\x03\xff", 5)));
    cut.truncate(40);
    QTest::newRow("a file cut inside the chunk") << cut << refused;
    QTest::newRow("16 bits a sample") << [] {
        QByteArray png = PngWithRuns(1, 1, 2, qCompress(QByteArray("\x01\x01\x02\x03\xff", 5)));
        png[8 + 8 + 8] = 16;
        return png;
    }() << refused;
    QTest::newRow("wider than any picture")
        << PngWithRuns(100000, 1, 2, qCompress(QByteArray("\xa0\x8d\x06\x01\x02\x03\xff", 7))) << refused;
}

// Any runs that do not fill the picture exactly are refused, and the window
// falls back to the image data.
void TestSkin::runsRead()
{
    QFETCH(QByteArray, png);
    QFETCH(QList<QRgb>, pixels);
    const QImage image = skin::ImageFromRuns(png);
    if (pixels.isEmpty()) {
        QVERIFY(image.isNull());
        return;
    }
    QVERIFY(!image.isNull());
    QList<QRgb> read;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            read << image.pixel(x, y);
    QCOMPARE(read, pixels);
}

void TestSkin::rectsMatchImageData_data()
{
    writtenForQuickDecoding_data();
}

// Every opaque picture painted as its rectangles gives what Qt's PNG reader
// reads from the image data; a translucent one has no rectangles, since
// painting them would blend instead of copy.
void TestSkin::rectsMatchImageData()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const skin::TPictureRects rects = skin::RectsFromRuns(file.readAll());
    QImage imageData(path);
    imageData.setDevicePixelRatio(1);
    if (imageData.hasAlphaChannel()) {
        QVERIFY(rects.Size.isEmpty() && rects.Rects.isEmpty());
        return;
    }
    QCOMPARE(rects.Size, imageData.size());
    QImage painted(rects.Size, QImage::Format_RGB32);
    painted.fill(Qt::magenta);
    QPainter painter(&painted);
    int top = 0;
    for (const skin::TColourRect &rect : rects.Rects) {
        QVERIFY(rect.Rect.top() >= top);
        top = rect.Rect.top();
        painter.fillRect(rect.Rect, QColor::fromRgb(rect.Colour));
    }
    painter.end();
    QCOMPARE(painted, imageData.convertToFormat(QImage::Format_RGB32));
}

void TestSkin::rectsRead_data()
{
    QTest::addColumn<QByteArray>("png");
    QTest::addColumn<QList<QRect>>("rects");
    QTest::addColumn<QList<QRgb>>("colours");

    const auto runs = [](quint32 width, quint32 height, char colourType, const char *bytes, int size) {
        return PngWithRuns(width, height, colourType, qCompress(QByteArray(bytes, size)));
    };
    QTest::newRow("one colour, whole rows")
        << runs(3, 2, 2, "\x06\x10\x20\x30\xff", 5) << QList<QRect>{{0, 0, 3, 2}} << QList<QRgb>{0xff102030};
    QTest::newRow("a run across the row end is cut there")
        << runs(3, 2, 2, "\x02\x10\x20\x30\xff\x03\x01\x02\x03\xff\x01\x80\x80\x80\xff", 15)
        << QList<QRect>{{0, 0, 2, 1}, {2, 0, 1, 1}, {0, 1, 2, 1}, {2, 1, 1, 1}}
        << QList<QRgb>{0xff102030, 0xff010203, 0xff010203, 0xff808080};
    QTest::newRow("columns join down the rows")
        << runs(2, 3, 2, "\x01\x01\x01\x01\xff\x01\x02\x02\x02\xff\x01\x01\x01\x01\xff\x01\x02\x02\x02\xff"
                         "\x01\x01\x01\x01\xff\x01\x02\x02\x02\xff", 30)
        << QList<QRect>{{0, 0, 1, 3}, {1, 0, 1, 3}} << QList<QRgb>{0xff010101, 0xff020202};
    QTest::newRow("a narrower run below starts its own")
        << runs(2, 2, 2, "\x03\x05\x05\x05\xff\x01\x06\x06\x06\xff", 10)
        << QList<QRect>{{0, 0, 2, 1}, {0, 1, 1, 1}, {1, 1, 1, 1}} << QList<QRgb>{0xff050505, 0xff050505, 0xff060606};
    QTest::newRow("whole rows join the row above")
        << runs(2, 3, 2, "\x01\x07\x07\x07\xff\x01\x08\x08\x08\xff\x02\x09\x09\x09\xff\x02\x09\x09\x09\xff", 20)
        << QList<QRect>{{0, 0, 1, 1}, {1, 0, 1, 1}, {0, 1, 2, 2}} << QList<QRgb>{0xff070707, 0xff080808, 0xff090909};

    const QList<QRect> none;
    const QList<QRgb> noColours;
    QTest::newRow("RGBA") << runs(2, 1, 6, "\x02\xff\x00\x00\xff", 5) << none << noColours;
    QTest::newRow("one pixel short") << runs(3, 2, 2, "\x05\x01\x02\x03\xff", 5) << none << noColours;
    QTest::newRow("no runs chunk") << PngWithRuns(3, 2, 2, QByteArray()) << none << noColours;
}

// Runs that do not fill an opaque picture exactly give no rectangles, and the
// window shows the picture as a pixmap instead.
void TestSkin::rectsRead()
{
    QFETCH(QByteArray, png);
    QFETCH(QList<QRect>, rects);
    QFETCH(QList<QRgb>, colours);
    const skin::TPictureRects picture = skin::RectsFromRuns(png);
    QList<QRect> readRects;
    QList<QRgb> readColours;
    for (const skin::TColourRect &rect : picture.Rects) {
        readRects << rect.Rect;
        readColours << rect.Colour;
    }
    QCOMPARE(readRects, rects);
    QCOMPARE(readColours, colours);
    QCOMPARE(picture.Size.isEmpty(), rects.isEmpty());
}

QTEST_MAIN(TestSkin)
#include "tst_skin.moc"
