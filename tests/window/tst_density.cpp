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
    void picturesWaitUntilShown_data();
    void picturesWaitUntilShown();
    void theLastPictureSetIsShown_data();
    void theLastPictureSetIsShown();
};

namespace {

// The file of a picture drawn for screens of ratio 2.
QString Dense(QString picture)
{
    return picture.insert(picture.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
}

// Each image control with a picture shows its 2x variant once it is shown:
// an opaque picture of the control's size is painted with the 2x file's
// pixels, any other is a pixmap of device pixel ratio 2 with the 2x file's
// size. Hidden ones are shown first, as the windows do when they need them.
void CheckPictures(const QWidget *window, int &checked)
{
    QVERIFY(window->devicePixelRatioF() == 2);
    for (TImage *image : window->findChildren<TImage *>()) {
        if (image->Picture().isEmpty())
            continue;
        image->show();
        const QImage dense(Dense(image->Picture()));
        if (image->pixmap().isNull()) {
            QVERIFY2(!dense.hasAlphaChannel(), qPrintable(image->objectName()));
            const QImage shown = image->grab().toImage();
            QCOMPARE(shown.devicePixelRatio(), 2.0);
            QVERIFY2(shown.convertToFormat(QImage::Format_RGB32) == dense.convertToFormat(QImage::Format_RGB32),
                     qPrintable(image->objectName()));
        } else {
            QVERIFY2(image->pixmap().devicePixelRatio() == 2, qPrintable(image->objectName()));
            QCOMPARE(image->pixmap().size(), dense.size());
        }
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

void TestDensity::picturesWaitUntilShown_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<bool>("shownAtStart");
    // The pressed looks lie under the normal ones, which let a rim of them
    // show through: they are part of the first frame.
    for (const char *shown : {"img1", "imgRead", "imgRead0", "imgSave", "imgSave0", "imgAbout", "imgHelp", "imgMin",
                              "imgClose"})
        QTest::newRow(shown) << shown << true;
    for (const char *hidden : {"imgBack", "imgBack0", "imgTran"})
        QTest::newRow(hidden) << hidden << false;
}

// The first frame decodes only the pictures it shows; a hidden one is decoded
// when it is first shown, for the screen it is on, before it is painted.
void TestDensity::picturesWaitUntilShown()
{
    QFETCH(QString, image);
    QFETCH(bool, shownAtStart);
    TShownWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.Window));
    auto *control = w.Get<TImage>(image);
    QVERIFY(!control->Picture().isEmpty());
    QCOMPARE(control->isVisible(), shownAtStart);
    QCOMPARE(control->PictureRead(), shownAtStart);

    control->show();
    QVERIFY(control->PictureRead());
}

void TestDensity::theLastPictureSetIsShown_data()
{
    QTest::addColumn<QStringList>("beforeShow");
    QTest::addColumn<QStringList>("whileShown");
    QTest::addColumn<QString>("shown");
    const QString read = QStringLiteral(":/skin/read.png");
    const QString about = QStringLiteral(":/skin/about.png");
    QTest::newRow("set before the window shows") << QStringList{read} << QStringList{} << read;
    QTest::newRow("changed before the window shows") << QStringList{read, about} << QStringList{} << about;
    QTest::newRow("cleared before the window shows") << QStringList{read, QString()} << QStringList{} << QString();
    QTest::newRow("changed while shown") << QStringList{read} << QStringList{about} << about;
    QTest::newRow("set twice while shown") << QStringList{} << QStringList{about, read} << read;
}

// The picture shown is the last one set, before the window shows or after.
void TestDensity::theLastPictureSetIsShown()
{
    QFETCH(QStringList, beforeShow);
    QFETCH(QStringList, whileShown);
    QFETCH(QString, shown);
    QWidget window;
    window.resize(200, 200);
    auto *image = new TImage(&window);
    image->setGeometry(10, 10, 76, 76);
    for (const QString &picture : beforeShow)
        image->SetPicture(picture);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const QString &picture : whileShown)
        image->SetPicture(picture);
    QCOMPARE(image->Picture(), shown);
    if (shown.isEmpty()) {
        QVERIFY(image->pixmap().isNull());
        return;
    }
    // Compared as the pixmap holds them: premultiplied.
    QCOMPARE(image->pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
             QImage(Dense(shown)).convertToFormat(QImage::Format_ARGB32_Premultiplied));
    QCOMPARE(image->pixmap().devicePixelRatio(), 2.0);
}

int main(int argc, char *argv[])
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication application(argc, argv);
    TestDensity test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_density.moc"
