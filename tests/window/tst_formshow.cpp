#include "ShownWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

class TestFormShow : public QObject
{
    Q_OBJECT

private slots:
    void window();
    void comboItems_data();
    void comboItems();
    void startState_data();
    void startState();
    void defaults();
    void clippedControlsAreNeverOnScreen();
};

void TestFormShow::window()
{
    TShownWindow w;
    QVERIFY(w.Window.isWindow() && w.Window.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(w.Window.minimumSize() == QSize(1388, 789) && w.Window.maximumSize() == QSize(1388, 789));
    QCOMPARE(w.Window.windowTitle(), QStringLiteral("Paramter"));
    const QPoint offCentre = w.Window.geometry().center() - w.Window.screen()->availableGeometry().center();
    QVERIFY(offCentre.manhattanLength() <= 2);

    const auto *clock = w.Window.findChild<QTimer *>("tmrSysTime");
    const auto *search = w.Window.findChild<QTimer *>("tmrRead");
    QVERIFY(clock && clock->isActive() && clock->interval() == 995);
    QCOMPARE(clock->timerType(), Qt::PreciseTimer);
    QVERIFY(search && !search->isActive() && search->interval() == 3000);
    QCOMPARE(w.Window.children().indexOf(w.Get("img1")), 0);  // the background lies under everything
}

void TestFormShow::comboItems_data()
{
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("selected");

    QTest::newRow("log interval minutes include 60") << "cbbLogIntervalM" << 61 << "60" << "0";
    QTest::newRow("log interval seconds") << "cbbLogIntervalS" << 6 << "50" << "0";
    QTest::newRow("start delay minutes") << "cbbStartDelayM" << 60 << "59" << "0";
    QTest::newRow("start year reaches 2099") << "cbbStartTimeY" << 82 << "2099" << "2018";
    QTest::newRow("system year reaches 2099")
        << "cbbSystemTimeY" << 82 << "2099" << QString::number(QDate::currentDate().year());
    QTest::newRow("day 31 for every month") << "cbbStartTimeD" << 31 << "31" << "1";
    QTest::newRow("time zone") << "cbbTimeZone" << 53 << "UTC+14:00" << "UTC+00:00";
    QTest::newRow("start mode") << "cbbStartMode" << 3 << "Timing" << "Right Now";
    QTest::newRow("stop mode, clipped") << "cbbStopMode" << 3 << "Stop by Button or Software" << "Stop by Button";
    QTest::newRow("alarm type") << "cbbHumidityH1" << 2 << "Cumulative" << "Single";
    QTest::newRow("alarm delay hours") << "cbbTemperatureH3H" << 24 << "23" << "0";
}

void TestFormShow::comboItems()
{
    QFETCH(QString, combo);
    QFETCH(int, count);
    QFETCH(QString, last);
    QFETCH(QString, selected);
    TShownWindow w;
    const auto *box = w.Get<QComboBox>(combo);
    QCOMPARE(box->count(), count);
    QCOMPARE(box->itemText(count - 1), last);
    QCOMPARE(box->currentText(), selected);
    QVERIFY(!box->isEditable());
}

void TestFormShow::startState_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("hidden");

    for (const char *part : {"Y", "M", "D", "H", "N", "S"}) {
        QTest::addRow("start time %s", part) << QStringLiteral("cbbStartTime%1").arg(part) << false << false;
        QTest::addRow("system time %s", part) << QStringLiteral("cbbSystemTime%1").arg(part) << true << false;
    }
    QTest::newRow("start delay") << "cbbStartDelayM" << false << false;
    QTest::newRow("password") << "edtPassword" << false << false;
    QTest::newRow("log interval seconds") << "cbbLogIntervalS" << true << true;
    QTest::newRow("multiple alarm button") << "rbMultipleAlarm" << true << true;
    QTest::newRow("single panel") << "pnlSingleAlarm" << true << true;
    QTest::newRow("trip information") << "grp1" << true << true;
    QTest::newRow("multiple panel") << "pnlMultipleAlarm" << true << true;
    QTest::newRow("overlay") << "imgTran" << true << true;
    QTest::newRow("single delays stay disabled") << "cbbSingleHumidityH1M" << false << false;
    QTest::newRow("ticked row") << "cbbHumidityL1S" << true << false;
}

void TestFormShow::startState()
{
    QFETCH(QString, control);
    QFETCH(bool, enabled);
    QFETCH(bool, hidden);
    TShownWindow w;
    QCOMPARE(w.Get(control)->isEnabled(), enabled);
    QCOMPARE(w.Get(control)->isHidden(), hidden);
}

void TestFormShow::defaults()
{
    TShownWindow w;
    for (const char *edit : {"edtCalibrationTemp", "edtCalibrationHumidity"})
        QCOMPARE(w.Get<QLineEdit>(edit)->text(), QStringLiteral("0"));
    for (const char *edit : {"edtSerialNumber", "edtDeviceID", "edtServiceLife", "edtPassword", "edtSingleH1"})
        QVERIFY2(w.Get<QLineEdit>(edit)->text().isEmpty(), edit);
    for (const char *on : {"rbNoAlarm", "rbC", "chkTemperatureH3", "chkTemperatureH2", "chkTemperatureL2",
                           "chkHumidityH1", "chkHumidityL1"})
        QVERIFY2(w.Get<QAbstractButton>(on)->isChecked(), on);
    QVERIFY(!w.Get<QAbstractButton>("rbSingleAlarm")->isChecked() && !w.Get<QAbstractButton>("rbF")->isChecked());
}

void TestFormShow::clippedControlsAreNeverOnScreen()
{
    TShownWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.Window));
    for (const char *clipped : {"cbbProbeMode", "cbbCycleSwitch", "cbbStopMode", "edtCalibrationTemp",
                                "edtCalibrationHumidity", "cbbTemporaryPDFStartup", "cbbPasswordStartup", "edtPassword"})
        QVERIFY2(w.Get(clipped)->visibleRegion().isEmpty(), clipped);
    QVERIFY(!w.Get("cbbSystemTimeS")->visibleRegion().isEmpty());

    auto *panel = w.Get("pnlMultipleAlarm");
    panel->show();
    QVERIFY(panel->visibleRegion().isEmpty());
}

QTEST_MAIN(TestFormShow)
#include "tst_formshow.moc"
