#include <QImage>
#include <QPixmap>
#include <QTest>

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
    void pressedAddsGlowOnly_data();
    void pressedAddsGlowOnly();
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

// Loaded the way the windows load them: a plain QPixmap from the resource path.
void TestSkin::loadsWithSize()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    const QPixmap pixmap(name);
    QVERIFY2(!pixmap.isNull(), qPrintable(name));
    QCOMPARE(pixmap.size(), size);
    // QPixmap drops the alpha channel of an opaque picture; the file keeps it.
    QVERIFY(QImage(name).hasAlphaChannel());
}

// Drawn unscaled over the window, so every pixel must carry the same dimming.
void TestSkin::overlayIsUniform()
{
    const QImage image = QImage(QStringLiteral(":/skin/overlay.png")).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    const QRgb expected = qRgba(174, 166, 166, 63);
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] != expected)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(x).arg(y).arg(line[x], 8, 16)));
        }
    }
}

// The background covers the whole client area; a translucent pixel would let
// the window's own palette show through and differ between desktops.
void TestSkin::backgroundIsOpaque()
{
    const QImage image =
        QImage(QStringLiteral(":/skin/background.png")).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 255)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is not opaque").arg(x).arg(y)));
        }
    }
}

void TestSkin::pressedAddsGlowOnly_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("read") << QStringLiteral("read");
    QTest::newRow("save") << QStringLiteral("save");
    QTest::newRow("back") << QStringLiteral("back");
}

// The pressed picture covers the normal one in place: the face must match so
// the button does not jump, and the glow must reach beyond the normal edge.
void TestSkin::pressedAddsGlowOnly()
{
    QFETCH(QString, button);
    const QImage normal =
        QImage(QStringLiteral(":/skin/%1.png").arg(button)).convertToFormat(QImage::Format_ARGB32);
    const QImage pressed =
        QImage(QStringLiteral(":/skin/%1_pressed.png").arg(button)).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!normal.isNull() && !pressed.isNull());

    const QPoint centre(normal.width() / 2, normal.height() / 2);
    for (int dy = -32; dy <= 32; dy += 4) {
        for (int dx = -32; dx <= 32; dx += 4)
            QCOMPARE(pressed.pixel(centre + QPoint(dx, dy)), normal.pixel(centre + QPoint(dx, dy)));
    }

    // Corners stay clear so the frame shows around the round button.
    QCOMPARE(qAlpha(normal.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(pressed.pixel(0, 0)), 0);

    const auto ringCover = [&](const QImage &image) {
        qint64 sum = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int r2 = (x - centre.x()) * (x - centre.x()) + (y - centre.y()) * (y - centre.y());
                if (r2 >= 64 * 64 && r2 < 76 * 76)
                    sum += qAlpha(image.pixel(x, y));
            }
        }
        return sum;
    };
    QVERIFY2(ringCover(pressed) > 2 * ringCover(normal), "the pressed picture shows no glow around the button");
}

QTEST_MAIN(TestSkin)
#include "tst_skin.moc"
