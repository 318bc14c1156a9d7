#include <QDir>
#include <QFile>
#include <QImage>
#include <QOperatingSystemVersion>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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
    void committedAsDrawn();
};

void TestSkin::loadsWithSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");

    const struct {
        const char *name;
        QSize size;
    } rows[] = {
        {"background.png", {1388, 789}},
        {"read.png", {152, 152}},
        {"read_pressed.png", {152, 152}},
        {"save.png", {152, 152}},
        {"save_pressed.png", {152, 152}},
        {"back.png", {152, 152}},
        {"back_pressed.png", {152, 152}},
        {"about.png", {72, 72}},
        {"help.png", {72, 72}},
        {"minimize.png", {48, 48}},
        {"close.png", {46, 48}},
        {"overlay.png", {1366, 768}},
        {"about_background.png", {502, 208}},
        {"icon.png", {256, 256}},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QStringLiteral(":/skin/%1").arg(QLatin1String(row.name)) << row.size;
}

// Loaded as plain QPixmaps from the resource path; the "@2x" variant that
// dense screens get is twice as large in each direction.
void TestSkin::loadsWithSize()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QString dense = name;
    dense.insert(dense.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
    for (const auto &[path, expected] : {std::pair{name, size}, std::pair{dense, size * 2}}) {
        const QPixmap pixmap(path);
        QVERIFY2(!pixmap.isNull(), qPrintable(path));
        QCOMPARE(pixmap.size(), expected);
        // QPixmap drops the alpha channel of an opaque picture; the file keeps it.
        QVERIFY(QImage(path).hasAlphaChannel());
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
// where it was so that the button does not jump.
void TestSkin::pressedPair()
{
    QFETCH(QString, button);
    QFETCH(QString, suffix);
    const QImage normal =
        QImage(QStringLiteral(":/skin/%1%2.png").arg(button, suffix)).convertToFormat(QImage::Format_ARGB32);
    const QImage pressed = QImage(QStringLiteral(":/skin/%1_pressed%2.png").arg(button, suffix))
                               .convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!normal.isNull() && !pressed.isNull());

    for (int y = 0; y < normal.height(); ++y) {
        for (int x = 0; x < normal.width(); ++x) {
            if (qAlpha(pressed.pixel(x, y)) != 0 && qAlpha(normal.pixel(x, y)) != 255)
                QFAIL(qPrintable(QStringLiteral("the pressed picture shows through at %1,%2").arg(x).arg(y)));
        }
    }

    const QPoint centre(normal.width() / 2, normal.height() / 2);
    for (int dy = -32; dy <= 32; dy += 4) {
        for (int dx = -32; dx <= 32; dx += 4)
            QCOMPARE(pressed.pixel(centre + QPoint(dx, dy)), normal.pixel(centre + QPoint(dx, dy)));
    }

    QImage raised = normal;
    QPainter(&raised).drawImage(0, 0, pressed);
    int lit = 0;
    for (int y = 0; y < normal.height(); ++y) {
        for (int x = 0; x < normal.width(); ++x)
            lit += qGray(raised.pixel(x, y)) > qGray(normal.pixel(x, y)) + 60;
    }
    QVERIFY2(lit > 500, "the pressed picture shows no glow");

    QCOMPARE(qAlpha(normal.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(pressed.pixel(0, 0)), 0);
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

QTEST_MAIN(TestSkin)
#include "tst_skin.moc"
