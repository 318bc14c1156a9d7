#include "Convert.h"
#include "TestSupport.h"
#include "WriteFrame.h"

#include <QTest>

class TestEncoder : public QObject
{
    Q_OBJECT

private slots:
    void fields_data();
    void fields();
    void successiveSaves_data();
    void successiveSaves();
    void conversionErrors_data();
    void conversionErrors();
};

namespace {

const char *const ValidEntries = "edtSerialNumber=A05123456; edtDeviceID=0A1B2C3D; edtServiceLife=1000;"
                                 "cbbSystemTimeY=2024; cbbSystemTimeM=3; cbbSystemTimeD=5;"
                                 "cbbSystemTimeH=6; cbbSystemTimeN=7; cbbSystemTimeS=8; edtSingleL1=0; edtSingleH1=0;"
                                 "edtSingleHumidityL1=0; edtSingleHumidityH1=0; edtTemperatureL1=0; edtTemperatureL2=0;"
                                 "edtTemperatureH1=0; edtTemperatureH2=0; edtTemperatureH3=0; edtHumidityL1=0; edtHumidityH1=0";

// The window as a save finds it after the checks have passed.
TFakeControls Valid(const QString &Changes = {})
{
    TFakeControls c;
    c.Apply(ValidEntries);
    c.Apply(Changes.toStdString());
    return c;
}

#define COMPARE_BYTES(buf, bytes) QCOMPARE(QString::fromStdString(CompareBytes(buf, bytes)), QString())

} // namespace

void TestEncoder::fields_data()
{
    QTest::addColumn<QString>("changes");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("bytes");

    const auto row = [](const char *name, const char *changes, const char *bytes, const char *separator = ".") {
        QTest::newRow(name) << changes << separator << bytes;
    };
    row("defaults, check and end bytes", "", "0: AA 55 95 C6; 4: 41 05 31 32 33 34 35 36 00; 13: 0A 1B 2C 3D;"
        "20: 03 E8; 22: 01; 30*7: 00; 37: 00; 44: 00 00; 52: 18 03 05 06 07 08; 152: 00; 153*49: 00; 203: AA");
    row("serial number, latin-1 and beyond", "edtSerialNumber=é05€12345", "4: E9 05 3F 31 32 33 34 35 00");
    row("device id lower case", "edtDeviceID=0a1b2c3d", "13: 0A 1B 2C 3D");
    row("log interval", "cbbLogIntervalH=23; cbbLogIntervalM=60; cbbLogIntervalS=50", "17: 17 3C 32");
    row("service life above 16 bits keeps the low bits", "edtServiceLife=65537", "20: 00 01");
    row("stop by software", "cbbStopMode=Stop by Software", "22: 10");
    row("second items", "cbbReportLanguage=Chinese; cbbProbeMode=External; cbbMultipleStart=Enable; rbF=on;"
        "cbbCycleSwitch=Closed; cbbTemporaryPDFStartup=Enable", "30: 01 01 01 01; 37: 01; 44: 01");
    row("zone UTC-00:30", "cbbTimeZone=UTC-00:30", "34: 01 00 1E");
    row("zone UTC+14:00", "cbbTimeZone=UTC+14:00", "34: 00 0E 00");
    row("calibration -0", "edtCalibrationTemp=-0", "38: 00 00 00");
    row("calibration 1.05", "edtCalibrationTemp=1.05", "38: 00 01 05");
    row("calibration hundredths are cut", "edtCalibrationTemp=12.349", "38: 00 0C 22");
    row("calibration rounds to four places first", "edtCalibrationTemp=12.99995", "38: 00 0D 00");
    row("calibration below one hundredth is still negative", "edtCalibrationTemp=-0.001", "38: 01 00 00");
    row("calibration whole part keeps its low bits", "edtCalibrationTemp=300", "38: 00 2C 00");
    row("calibration both", "edtCalibrationTemp=25.3; edtCalibrationHumidity=-2.50", "38: 00 19 1E 01 02 32");
    row("comma locale, value a read wrote", "edtCalibrationTemp=1,5", "38: 00 01 32", ",");
    // Regression: only the locale's separator converted, while the filter lets only "." be typed.
    row("comma locale, typed point", "edtCalibrationTemp=1.5", "38: 00 01 32", ",");
    row("password enabled", "cbbPasswordStartup=Enable; edtPassword=éABCD€", "45: 01 E9 41 42 43 44 3F");
    row("password disabled", "edtPassword=Ab12cd", "45: 00 00 00 00 00 00 00");
    row("trip info", "mmoTripInfo=25°C\r\nok", "58: 32 35 B0 43 0D 0A 6F 6B 00");
    row("single, binary", "rbSingleAlarm=on; edtSingleL1=-10.05; cbbSingleL1=Cumulative; cbbSingleL1H=12;"
        "cbbSingleL1M=30; cbbSingleL1S=5; edtSingleH1=125.5", "152: 01; 153: 01 0A 05 01 0C 1E 05; 167: 00 7D 32");
    row("multiple, BCD, whole part keeps two digits", "rbMultipleAlarm=on; edtTemperatureL1=-10.05;"
        "cbbTemperatureL1=Cumulative; cbbTemperatureL1H=12; cbbTemperatureL1M=30; cbbTemperatureL1S=5;"
        "edtTemperatureH1=125.5", "152: 01; 153: 01 10 05 01 12 30 05; 167: 00 25 50");
    row("alarm type with no selection is cumulative", "rbSingleAlarm=on; cbbSingleH1=<none>", "170: 01");
    // The check byte ends with byte 201, the humidity H1 block's last.
    row("multiple, humidity H1 off up to byte 201", "rbMultipleAlarm=on; chkHumidityH1=off", "195*7: FF");
    row("multiple, humidity H1 delay seconds in byte 201", "rbMultipleAlarm=on; cbbHumidityH1S=59",
        "195: 00 00 00 00 00 00 59");
}

void TestEncoder::fields()
{
    QFETCH(QString, changes);
    QFETCH(QString, separator);
    QFETCH(QString, bytes);
    TFrameBuffer buf {};
    EncodeWriteFrame(buf, Valid(changes), separator.toStdString());
    COMPARE_BYTES(buf, bytes.toStdString());
    QVERIFY(CheckFrame(buf.data(), buf.size()));
}

// Saves one after another into one buffer, as a run of the program does: what a
// setting leaves out of the frame keeps the bytes of the save before.
void TestEncoder::successiveSaves_data()
{
    QTest::addColumn<QStringList>("steps");  // the window's changes, then the bytes after that save, and so on
    QTest::newRow("start modes") << QStringList {
        "cbbStartMode=Timing; cbbStartTimeY=2024; cbbStartTimeM=12; cbbStartTimeD=31; cbbStartTimeH=23;"
        "cbbStartTimeN=59; cbbStartTimeS=58; cbbStartDelayH=9", "23: 02 18 0C 1F 17 3B 3A",
        "cbbStartMode=Delayed; cbbStartDelayH=2; cbbStartDelayM=15; cbbStartTimeY=2030", "23: 01 18 0C 1F 02 0F 3A",
        "cbbStartTimeY=2030; cbbStartDelayH=5", "23: 00 18 0C 1F 02 0F 3A",
        // A start row with no selection fails only where the mode uses it.
        "cbbStartTimeY=<none>; cbbStartDelayH=<none>", "23: 00 18 0C 1F 02 0F 3A"};

    const QString second = "22: 10 01; 30: 01 01 01 01; 37: 01; 44: 01 01 41 62 31 32 63 64";
    QTest::newRow("settings with no selection") << QStringList {
        "cbbStopMode=Stop by Software; cbbStartMode=Delayed; cbbReportLanguage=Chinese; cbbProbeMode=External;"
        "cbbMultipleStart=Enable; rbF=on; cbbCycleSwitch=Closed; cbbTemporaryPDFStartup=Enable;"
        "cbbPasswordStartup=Enable; edtPassword=Ab12cd", second,
        "cbbStopMode=<none>; cbbStartMode=<none>; cbbReportLanguage=<none>; cbbProbeMode=<none>;"
        "cbbMultipleStart=<none>; rbC=off; rbF=off; cbbCycleSwitch=<none>; cbbTemporaryPDFStartup=<none>;"
        "cbbPasswordStartup=<none>; edtPassword=zzzzzz", second,
        // "Disable" writes its switch but keeps the earlier password.
        "edtPassword=zzzzzz", "45: 00 41 62 31 32 63 64"};

    // Unticked rows need no valid threshold: they are not converted. "No Alarm"
    // writes only its switch; the blocks keep the last alarm save of the run.
    const QString single = "153: 00 01 00; 160*7: FF; 167: 00 02 00; 174*14: FF; 188: 00 03 00; 195: 00 04 00";
    QTest::newRow("alarm blocks") << QStringList {
        "rbMultipleAlarm=on; edtTemperatureL1=-1; edtTemperatureH1=30; chkTemperatureL2=off; chkTemperatureH2=off;"
        "chkTemperatureH3=off; chkHumidityL1=off; chkHumidityH1=off; edtTemperatureL2=x; edtHumidityH1=.",
        "152: 01; 153: 01 01 00 00 00 00 00; 160*7: FF; 167: 00 30 00 00 00 00 00; 174*14: FF; 188*14: FF",
        "rbSingleAlarm=on; edtSingleL1=1; edtSingleH1=2; edtSingleHumidityL1=3; edtSingleHumidityH1=4;"
        "edtTemperatureH2=x", "152: 01; " + single,
        "", "152: 00; " + single};

    // 94 characters, not 94 bytes of UTF-8; a shorter text is zero-filled.
    QTest::newRow("trip information") << QStringList {
        "mmoTripInfo=" + QString(100, QChar(0xE9)), "58*94: E9", "mmoTripInfo=ab", "58: 61 62; 60*92: 00"};
}

void TestEncoder::successiveSaves()
{
    QFETCH(QStringList, steps);
    TFrameBuffer buf {};
    for (qsizetype i = 0; i + 1 < steps.size(); i += 2) {
        EncodeWriteFrame(buf, Valid(steps[i]), ".");
        COMPARE_BYTES(buf, steps[i + 1].toStdString());
    }
}

void TestEncoder::conversionErrors_data()
{
    QTest::addColumn<QString>("changes");
    QTest::addColumn<QString>("message");

    const auto row = [](const char *name, const char *changes, const char *message) {
        QTest::newRow(name) << changes << message;
    };
    row("serial middle not digits", "edtSerialNumber=ABC123456", "'BC' is not a valid integer value");
    row("service life blanks", "edtServiceLife=  ", "'  ' is not a valid integer value");
    row("log interval no selection", "cbbLogIntervalM=<none>", "'' is not a valid integer value");
    row("start delay no selection", "cbbStartMode=Delayed; cbbStartDelayM=<none>", "'' is not a valid integer value");
    row("time zone no selection", "cbbTimeZone=<none>", "'' is not a valid integer value");
    row("single threshold minus only", "rbSingleAlarm=on; edtSingleL1=-", "'-' is not a valid floating point value");
    row("multiple threshold, comma in point locale", "rbMultipleAlarm=on; edtTemperatureL1=1,5",
        "'1,5' is not a valid floating point value");
    row("alarm delay no selection", "rbSingleAlarm=on; cbbSingleL1S=<none>", "'' is not a valid integer value");
    row("first failure in offset order wins", "edtServiceLife=x; edtDeviceID=ZZ1B2C3D",
        "'ZZ' is not a valid integer value");
}

void TestEncoder::conversionErrors()
{
    QFETCH(QString, changes);
    QFETCH(QString, message);

    // A failed save must leave the buffer as the last good save left it.
    TFrameBuffer buf {};
    for (std::size_t i = 0; i < buf.size(); ++i)
        buf[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const TFrameBuffer before = buf;

    QString thrown;
    try {
        EncodeWriteFrame(buf, Valid(changes), ".");
    } catch (const EConvertError &e) {
        thrown = QString::fromUtf8(e.what());
    }
    QCOMPARE(thrown, message);
    QVERIFY(buf == before);
}

QTEST_APPLESS_MAIN(TestEncoder)
#include "tst_encoder.moc"
