#include "Comm.h"
#include "FarEnd.h"
#include "Image.h"
#include "ShownWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QComboBox>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

namespace {

bool Above(const QWidget *upper, const QWidget *lower)
{
    const QObjectList &stack = upper->parentWidget()->children();
    return stack.indexOf(upper) > stack.indexOf(lower);
}

} // namespace

class TestChrome : public QObject
{
    Q_OBJECT

private slots:
    void pressedLook();
    void close_data();
    void close();
    void dragWithoutWindowManager();
    void minimise();
};

// A press shows the pressed picture whatever the button; only a left click
// runs the button and uncovers the normal picture again.
void TestChrome::pressedLook()
{
    TShownWindow w;
    for (const QString normal : {"imgRead", "imgSave"}) {
        auto *up = w.Get<TImage>(normal);
        auto *down = w.Get<TImage>(normal + "0");
        const QPoint centre = up->rect().center();

        QTest::mousePress(up, Qt::LeftButton, {}, centre);
        QVERIFY(down->isVisible() && Above(down, up));
        QTest::mouseRelease(up, Qt::LeftButton, {}, centre);
        QVERIFY(!down->isVisible());

        const qsizetype prompts = w.Prompts.size();
        QTest::mousePress(up, Qt::RightButton, {}, centre);
        QTest::mouseRelease(up, Qt::RightButton, {}, centre);
        QVERIFY(down->isVisible() && Above(down, up));
        QCOMPARE(w.Prompts.size(), prompts);  // a right click runs nothing

        QTest::mouseClick(down, Qt::LeftButton, {}, centre);
        QVERIFY(!down->isVisible() && up->isVisible());
    }
}

void TestChrome::close_data()
{
    QTest::addColumn<bool>("closeButton");
    QTest::addColumn<bool>("answer");
    QTest::newRow("close button, Cancel") << true << false;
    QTest::newRow("close button, OK") << true << true;
    QTest::newRow("window manager close, Cancel") << false << false;
    QTest::newRow("window manager close, OK") << false << true;
}

// OK closes the port, waits and ends the program; Cancel changes nothing.
void TestChrome::close()
{
    QFETCH(bool, closeButton);
    QFETCH(bool, answer);
    TShownWindow w;
    QList<TPromptRequest> asked;
    Prompt::SetHook([&](const TPromptRequest &request) {
        asked << request;
        return answer;
    });
    // The far end of a port for the window to hold open.
    const TFarEnd far;
    QVERIFY(far.IsValid());
    TComm *comm = w.Window.CommForTests();
    QVERIFY(comm);
    comm->SetCommName(far.PortName());
    comm->OpenPort();
    QVERIFY(comm->Handle() != 0);

    QElapsedTimer clock;
    QTimer::singleShot(0, &w.Window, [&] {
        clock.start();
        if (closeButton)
            QTest::mouseClick(w.Get<TImage>("imgClose"), Qt::LeftButton);
        else
            w.Window.close();
        // OK ends the program by itself; exit() stops the loop without asking
        // the window, as quit() would.
        if (!answer)
            QCoreApplication::exit(0);
    });
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().Kind, TPromptKind::Confirm);
    QCOMPARE(asked.first().Caption, QStringLiteral("Prompt"));
    QCOMPARE(asked.first().Text, QStringLiteral("Are you sure you want to quit the system?"));
    QCOMPARE(w.Window.isVisible(), !answer);
    QCOMPARE(comm->Handle() != 0, !answer);
    if (answer)
        QVERIFY(clock.elapsed() >= 100);
}

// A bare X server has no window manager to move the window; it follows the
// mouse by itself, anchored where the left button went down.
void TestChrome::dragWithoutWindowManager()
{
    TShownWindow w;
    auto *background = w.Get<TImage>("img1");
    const QPoint start = w.Window.pos();
    const QPoint grip(700, 50);  // the title strip, clear of every control

    QTest::mousePress(background, Qt::LeftButton, {}, grip);
    QTest::mouseMove(background, grip + QPoint(40, 30));
    QCOMPARE(w.Window.pos(), start + QPoint(40, 30));
    QTest::mouseMove(background, grip + QPoint(10, 5));  // relative to the moved window
    QCOMPARE(w.Window.pos(), start + QPoint(50, 35));
    QTest::mouseRelease(background, Qt::LeftButton, {}, grip + QPoint(10, 5));

    QTest::mousePress(background, Qt::RightButton, {}, QPoint(300, 60));
    QTest::mouseMove(background, QPoint(360, 90));
    QTest::mouseRelease(background, Qt::RightButton, {}, QPoint(360, 90));
    QCOMPARE(w.Window.pos(), start + QPoint(50, 35));

    // A new drag from another place anchors there, not at the last one.
    QTest::mousePress(background, Qt::LeftButton, {}, QPoint(360, 90));
    QTest::mouseMove(background, QPoint(350, 80));
    QCOMPARE(w.Window.pos(), start + QPoint(40, 25));
    QTest::mouseRelease(background, Qt::LeftButton, {}, QPoint(350, 80));
}

// Minimised and restored, the window is the same window: nothing is prepared again.
void TestChrome::minimise()
{
    TShownWindow w;
    auto *interval = w.Get<QComboBox>("cbbLogIntervalH");
    interval->setCurrentIndex(5);
    QTest::mouseClick(w.Get<TImage>("imgMin"), Qt::LeftButton);
    QVERIFY(w.Window.isMinimized());
    w.Window.showNormal();
    QVERIFY(!w.Window.isMinimized() && w.Window.isVisible());
    QCOMPARE(interval->currentIndex(), 5);
    QVERIFY(w.Prompts.isEmpty());
}

QTEST_MAIN(TestChrome)
#include "tst_chrome.moc"
