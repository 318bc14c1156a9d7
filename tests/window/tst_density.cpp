#include "AboutUnt.h"
#include "Image.h"
#include "ShownWindow.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

// Runs on a screen of device pixel ratio 2, as a 4K monitor at 200% does.
class TestDensity : public QObject
{
    Q_OBJECT

private slots:
    void everyPictureIsDrawnForTheScreen();
};

namespace {

// Each image control with a picture shows its 2x variant: a pixmap of device
// pixel ratio 2 that has the 1x picture's size in logical pixels.
void CheckPictures(const QWidget *window, int &checked)
{
    QVERIFY(window->devicePixelRatioF() == 2);
    for (const TImage *image : window->findChildren<TImage *>()) {
        if (image->Picture().isEmpty())
            continue;
        const QPixmap plain(image->Picture());
        QVERIFY2(image->pixmap().devicePixelRatio() == 2, qPrintable(image->objectName()));
        QCOMPARE(image->pixmap().deviceIndependentSize(), QSizeF(plain.size()));
        ++checked;
    }
}

} // namespace

void TestDensity::everyPictureIsDrawnForTheScreen()
{
    TShownWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.Window));
    int checked = 0;
    bool aboutSeen = false;
    QTimer::singleShot(0, &w.Window, [&] {
        auto *about = w.Window.findChild<TAboutFrm *>();
        QVERIFY(about);
        // About is the window's child; the overlay is set while About is open.
        CheckPictures(&w.Window, checked);
        aboutSeen = true;
        about->close();
    });
    QTest::mouseClick(w.Get<TImage>("imgAbout"), Qt::LeftButton);
    QVERIFY(aboutSeen);
    // background, three pairs, four title-bar buttons, overlay; About: background, Back pair
    QCOMPARE(checked, 15);
}

int main(int argc, char *argv[])
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication application(argc, argv);
    TestDensity test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_density.moc"
