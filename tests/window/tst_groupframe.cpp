#include "GroupBox.h"
#include "ShownWindow.h"

#include <QFile>
#include <QStylePainter>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QTest>

#include <memory>

namespace {

// A group that paints itself, or leaves all of it to the style as groups did
// before they drew their frames themselves.
class TProbeGroup : public TGroupBox
{
public:
    using TGroupBox::TGroupBox;

    QImage Painted(qreal ratio, bool byTheStyle)
    {
        FByTheStyle = byTheStyle;
        QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(QColor(232, 235, 239));
        render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (!FByTheStyle) {
            TGroupBox::paintEvent(event);
            return;
        }
        QStylePainter painter(this);
        painter.setFont(TitleFont());
        QStyleOptionGroupBox option;
        InitGroupOption(option);
        painter.drawComplexControl(QStyle::CC_GroupBox, option);
    }

private:
    bool FByTheStyle = false;
};

} // namespace

class TestGroupFrame : public QObject
{
    Q_OBJECT

private slots:
    // First: the other case has the style load its frame picture by name.
    void theShownWindowOpensNoImagePlugin();
    void framesAreTheStylesOwn_data();
    void framesAreTheStylesOwn();
};

// Asked to read a picture without being told its format, Qt opens every image
// plugin installed; nothing the window shows needs one.
void TestGroupFrame::theShownWindowOpensNoImagePlugin()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        QSKIP("this system does not list what a process has mapped");
    TShownWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.Window));
    w.Window.grab();
    QByteArrayList plugins;
    for (const QByteArray &line : maps.readAll().split('\n'))
        if (line.contains("/imageformats/"))
            plugins << line.mid(line.lastIndexOf(' ') + 1);
    QVERIFY2(plugins.isEmpty(), plugins.join(", ").constData());
}

void TestGroupFrame::framesAreTheStylesOwn_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<int>("titlePixels");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<bool>("flat");
    QTest::newRow("title") << QStringLiteral("Alarm Setting") << false << 21 << 1.0 << false;
    QTest::newRow("title, ratio 2") << QStringLiteral("Alarm Setting") << false << 21 << 2.0 << false;
    QTest::newRow("title, ratio 1.5") << QStringLiteral("Log Setting") << false << 21 << 1.5 << false;
    QTest::newRow("small title") << QStringLiteral("Device Info") << false << 9 << 1.0 << false;
    QTest::newRow("no title") << QString() << false << 21 << 1.0 << false;
    QTest::newRow("check box") << QStringLiteral("Trip Information") << true << 21 << 1.0 << false;
    QTest::newRow("check box, no title") << QString() << true << 21 << 2.0 << false;
    QTest::newRow("flat") << QStringLiteral("Alarm Setting") << false << 21 << 1.0 << true;
}

void TestGroupFrame::framesAreTheStylesOwn()
{
    QFETCH(QString, title);
    QFETCH(bool, checkable);
    QFETCH(int, titlePixels);
    QFETCH(qreal, ratio);
    QFETCH(bool, flat);
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    QVERIFY(fusion);
    TProbeGroup group;
    group.setStyle(fusion.get());
    group.setTitle(title);
    group.setCheckable(checkable);
    group.setFlat(flat);
    QFont font = group.font();
    font.setPixelSize(titlePixels);
    font.setBold(true);
    group.SetTitleFont(font);
    group.resize(300, 120);
    QCOMPARE(group.Painted(ratio, false), group.Painted(ratio, true));
}

QTEST_MAIN(TestGroupFrame)
#include "tst_groupframe.moc"
