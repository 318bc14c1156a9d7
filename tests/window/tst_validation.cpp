#include "Comm.h"
#include "ShownWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

// The checks before a save: their order, their messages, where the focus goes,
// and that a failed check ends the save with nothing sent.
class TestValidation : public QObject
{
    Q_OBJECT

    // "edtX=text; rbSingleAlarm=on; chkTemperatureH3=off; cbbPasswordStartup=1;
    // enable=edtPassword"
    static void Apply(TShownWindow &w, const QString &settings)
    {
        for (const QString &setting : settings.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString name = setting.section(QLatin1Char('='), 0, 0).trimmed();
            const QString value = setting.section(QLatin1Char('='), 1);
            if (name == QLatin1String("enable"))
                w.Get(value.trimmed())->setEnabled(true);
            else if (auto *edit = w.Window.findChild<QLineEdit *>(name))
                edit->setText(value);
            else if (auto *combo = w.Window.findChild<QComboBox *>(name))
                combo->setCurrentIndex(value.toInt());
            else
                w.Get<QAbstractButton>(name)->setChecked(value == QLatin1String("on"));
        }
    }

private slots:
    void checks_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");  // empty: the focus stays where it was
        QTest::addColumn<QString>("look");   // caption and icon of the box

        const QString valid = QStringLiteral("edtSerialNumber=A05123456; edtDeviceID=0a1b2c3d; edtServiceLife=365;");
        const QString passes = QStringLiteral("Can't Open the Port");  // the checks passed; nothing was read
        const QString failed = QStringLiteral("Prompt, information");
        const QString error = QCoreApplication::applicationName() + QStringLiteral(", critical");

        QTest::newRow("fresh window") << QString() << "The Serial Number can not be empty and the Serial Number length is 9"
                                      << "edtSerialNumber" << failed;
        QTest::newRow("serial number of 8") << "edtSerialNumber=A5123456"
                                            << "The Serial Number can not be empty and the Serial Number length is 9"
                                            << "edtSerialNumber" << failed;
        // A record whose middle byte is 100 or more gives three middle digits.
        QTest::newRow("serial number of 10 from a read") << "edtSerialNumber=A100123456"
                                                         << "The Serial Number can not be empty and the Serial Number length is 9"
                                                         << "edtSerialNumber" << failed;
        QTest::newRow("any 9 characters pass the length check")
            << "edtSerialNumber=?? ??? ??; edtDeviceID=0A1B2C3D" << "The Service Life can not be empty" << "edtServiceLife" << failed;
        QTest::newRow("device id of 7") << "edtSerialNumber=A05123456; edtDeviceID=0A1B2C3"
                                        << "The Device ID can not be empty and the Device ID length is 8" << "edtDeviceID" << failed;
        QTest::newRow("blank service life") << valid + "edtServiceLife=  \t "
                                            << "The Service Life can not be empty" << "edtServiceLife" << failed;
        QTest::newRow("calibration is disabled: message, no focus")
            << valid + "edtCalibrationTemp= - " << "The Calibration Temperature can not be empty" << QString() << failed;
        QTest::newRow("blank calibration humidity") << valid + "edtCalibrationHumidity="
                                                    << "The Calibration Humidity can not be empty" << QString() << failed;
        QTest::newRow("short password when enabled")
            << valid + "cbbPasswordStartup=1; edtPassword=abc"
            << "The Password can not be empty and the Password length is 6" << QString() << failed;
        // A read with password start-up on enables the edit, which lies beyond
        // the edge of Device Info: a key would replace what nobody sees.
        QTest::newRow("password enabled by a read is never on screen: message, no focus")
            << valid + "cbbPasswordStartup=1; enable=edtPassword; edtPassword=abc"
            << "The Password can not be empty and the Password length is 6" << QString() << failed;
        QTest::newRow("password not looked at when disabled") << valid + "edtPassword=abc" << passes << QString() << error;
        QTest::newRow("no alarm ignores empty thresholds") << valid + "rbNoAlarm=on" << passes << QString() << error;

        const QString multiple = valid + "rbMultipleAlarm=on;";
        // The multiple-alarm rows are never on screen: their messages show, the focus stays.
        QTest::newRow("multiple: H3 first, never on screen: no focus")
            << multiple << "The Temperature H3 can not be empty" << QString() << failed;
        QTest::newRow("multiple: unticked empty row passes")
            << multiple + "chkTemperatureH3=off" << "The Temperature H2 can not be empty" << QString() << failed;
        QTest::newRow("multiple: lone minus in an unticked row fails, edit disabled")
            << multiple + "chkTemperatureH3=off; edtTemperatureH3=-" << "The Temperature H3 can not be empty" << QString() << failed;
        QTest::newRow("multiple: H1 and L1 always required")
            << multiple + "chkTemperatureH3=off; chkTemperatureH2=off; chkTemperatureL2=off; chkHumidityH1=off; chkHumidityL1=off"
            << "The Temperature H1 can not be empty" << QString() << failed;
        QTest::newRow("multiple: panel order, L1 before L2")
            << multiple + "edtTemperatureH3=1; edtTemperatureH2=2; edtTemperatureH1=3"
            << "The Temperature L1 can not be empty" << QString() << failed;
        QTest::newRow("multiple: all filled")
            << multiple + "edtTemperatureH3=1; edtTemperatureH2=2; edtTemperatureH1=3; edtTemperatureL1=-4; "
                          "edtTemperatureL2=-5; edtHumidityH1=80; edtHumidityL1=20"
            << passes << QString() << error;

        const QString single = valid + "rbSingleAlarm=on;";
        QTest::newRow("single: H1 reported first") << single << "The Temperature H1 can not be empty" << "edtSingleH1" << failed;
        QTest::newRow("single: lone minus") << single + "edtSingleH1=5; edtSingleL1= -"
                                            << "The Temperature L1 can not be empty" << "edtSingleL1" << failed;
        QTest::newRow("single: humidity rows share the messages")
            << single + "edtSingleH1=5; edtSingleL1=1; edtSingleHumidityH1=90"
            << "The Humidity L1 can not be empty" << "edtSingleHumidityL1" << failed;
    }

void checks()
    {
        QFETCH(QString, settings);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(QString, look);

        TShownWindow w;
        Apply(w, settings);
        QWidget *before = w.Get(QStringLiteral("cbbTimeZone"));
        before->setFocus();

        QTest::mouseClick(w.Get(QStringLiteral("imgSave")), Qt::LeftButton);

        QCOMPARE(w.Prompts, QStringList{message});
        QCOMPARE(w.LastLook(), look);
        QWidget *expected = focus.isEmpty() ? before : w.Get(focus);
        QCOMPARE(w.Window.focusWidget(), expected);
    }

    void failedCheckStopsTheSearchAndSendsNothing()
    {
        TShownWindow w;
        w.Window.ReadPortList = [](QStringList &list) { list = {QStringLiteral("/nonexistent/port")}; };
        QTest::mouseClick(w.Get(QStringLiteral("imgRead")), Qt::LeftButton);
        QVERIFY(w.Window.ReadTimerForTests()->isActive());

        QTest::mousePress(w.Get(QStringLiteral("imgSave")), Qt::LeftButton);
        QVERIFY(w.Get(QStringLiteral("imgSave0"))->isVisible());
        QTest::mouseRelease(w.Get(QStringLiteral("imgSave")), Qt::LeftButton);

        QCOMPARE(w.Prompts.size(), 1);
        QVERIFY(!w.Window.ReadTimerForTests()->isActive());
        QVERIFY(!w.Get(QStringLiteral("imgSave0"))->isVisible());
        QCOMPARE(w.Window.CommForTests()->Handle(), std::intptr_t(0));
    }
};

QTEST_MAIN(TestValidation)
#include "tst_validation.moc"
