#include "RecordDecoder.h"
#include "TestSupport.h"

#include <QTest>

class TestDecoder : public QObject
{
    Q_OBJECT

private slots:
    void serialNumber_data();
    void serialNumber();
    void fields_data();
    void fields();
    void alarms_data();
    void alarms();
    void rowsFollowEachRead();
    void startModeSetsItsOwnEnabledStates();
};

namespace {

// Every "name=value" of Expected, compared with what the controls show.
void CompareControls(const TFakeControls &C, const QString &Expected)
{
    for (const QString &pair : Expected.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = pair.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = pair.section(QLatin1Char('='), 1);
        QCOMPARE(QString::fromStdString(C.Describe(name.toStdString())), value);
    }
}

QString Latin1Hex(const char *text)
{
    return QString::fromLatin1(QByteArray(text).toHex(' '));
}

} // namespace

void TestDecoder::serialNumber_data()
{
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("two-digit middle") << "4: 41 05 31 32 33 34 35 36" << "A05123456";
    // Regression: the middle part lost its leading zero and the Save check refused the number.
    QTest::newRow("middle below ten keeps its zero") << "4: 41 07 31 32 33 34 35 36" << "A07123456";
    QTest::newRow("middle zero") << "4: 42 00 30 30 30 30 30 30" << "B00000000";
    QTest::newRow("middle of three digits") << "4: 41 FF 31 32 33 34 35 36" << "A255123456";
    QTest::newRow("latin-1 letter") << "4: C4 10 31 32 33 34 35 36" << "Ä16123456";
}

void TestDecoder::serialNumber()
{
    QFETCH(QString, bytes);
    QFETCH(QString, text);
    TFrameBuffer rec = BlankRecord();
    PatchBytes(rec, bytes.toStdString());
    QCOMPARE(QString::fromStdString(SerialNumberText(rec)), text);
}

void TestDecoder::fields_data()
{
    QTest::addColumn<QString>("before");    // control states before the read
    QTest::addColumn<QString>("bytes");     // record bytes besides the frame bytes
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, const char *before, const QString &bytes, const char *expected,
                        const char *separator = ".") {
        QTest::newRow(name) << before << bytes << separator << expected;
    };
    row("device id", "", "13: 01 AB 00 FF", "edtDeviceID=01AB00FF");
    row("log interval", "", "17: 17 3C 1E", "cbbLogIntervalH=23; cbbLogIntervalM=60; cbbLogIntervalS=30");
    row("log seconds between steps", "", "19: 19", "cbbLogIntervalS=20");
    row("log hours out of range", "", "17: 18", "cbbLogIntervalH=<none>");
    row("log seconds out of range", "", "19: 3C", "cbbLogIntervalS=<none>");
    row("service life", "", "20: 01 2C", "edtServiceLife=300");
    row("service life maximum", "", "20: FF FF", "edtServiceLife=65535");

    row("stop by button", "cbbStopMode=Stop by Software", "22: 01", "cbbStopMode=Stop by Button");
    row("stop by software", "", "22: 10", "cbbStopMode=Stop by Software");
    row("stop by both", "", "22: 11", "cbbStopMode=Stop by Button or Software");
    row("stop mode: other unchanged", "cbbStopMode=Stop by Software", "22: 02", "cbbStopMode=Stop by Software");

    row("right now", "cbbStartMode=Timing; @StartTime=on; cbbStartDelayH=4", "23: 00 18 03 1F 17 3B 1E",
        "cbbStartMode=Right Now; @StartDelay=off; @StartTime=off; cbbStartDelayH=4; cbbStartTimeY=2018");
    row("delayed", "cbbStartTimeH=5", "23: 01 18 03 1F 02 0F 1E",
        "cbbStartMode=Delayed; @StartDelay=on; @StartTime=off; cbbStartDelayH=2; cbbStartDelayM=15;"
        "cbbStartTimeY=2018; cbbStartTimeH=5; cbbStartTimeN=0");
    row("timing", "cbbStartDelayH=4", "23: 02 18 03 1F 17 3B 1E",
        "cbbStartMode=Timing; @StartDelay=off; @StartTime=on; cbbStartTimeY=2024; cbbStartTimeM=3;"
        "cbbStartTimeD=31; cbbStartTimeH=23; cbbStartTimeN=59; cbbStartTimeS=30; cbbStartDelayH=4");
    row("timing, last year of the list", "", "23: 02 63", "cbbStartTimeY=2099");
    row("timing out of range", "", "23: 02 11 00 20 18 C8 3C",
        "cbbStartTimeY=<none>; cbbStartTimeM=<none>; cbbStartTimeD=<none>; cbbStartTimeH=<none>;"
        "cbbStartTimeN=<none>; cbbStartTimeS=<none>");
    row("delayed out of range", "", "23: 01; 27: 18 C8", "cbbStartDelayH=<none>; cbbStartDelayM=<none>");
    row("start mode: other unchanged", "cbbStartMode=Delayed; @StartDelay=on; cbbStartDelayH=3",
        "23: 03 18 03 1F 17 3B 1E", "cbbStartMode=Delayed; @StartDelay=on; @StartTime=off; cbbStartDelayH=3");

    struct TTwoItems {
        const char *Combo, *First, *Second;
        int Offset;
    };
    for (const TTwoItems &t : {TTwoItems{"cbbReportLanguage", "English", "Chinese", 30},
                               TTwoItems{"cbbProbeMode", "Internal", "External", 31},
                               TTwoItems{"cbbMultipleStart", "Disable", "Enable", 32},
                               TTwoItems{"cbbCycleSwitch", "Opened", "Closed", 37},
                               TTwoItems{"cbbTemporaryPDFStartup", "Disable", "Enable", 44}}) {
        const QString first = QStringLiteral("%1=%2").arg(t.Combo, t.First);
        const QString second = QStringLiteral("%1=%2").arg(t.Combo, t.Second);
        const auto bytes = [&](int b) { return QStringLiteral("%1: %2").arg(t.Offset).arg(b); };
        QTest::addRow("%s 0", t.Combo) << second << bytes(0) << "." << first;
        QTest::addRow("%s 1", t.Combo) << "" << bytes(1) << "." << second;
        QTest::addRow("%s other unchanged", t.Combo) << second << bytes(2) << "." << second;
    }

    row("celsius", "rbF=on", "33: 00", "rbC=on; rbF=off");
    row("fahrenheit", "", "33: 01", "rbC=off; rbF=on");
    row("unit: other unchanged", "rbF=on", "33: 02", "rbC=off; rbF=on");

    row("zone west with minutes", "", "34: 01 05 1E", "cbbTimeZone=UTC-05:30");
    row("zone east", "", "34: 00 08 00", "cbbTimeZone=UTC+08:00");
    row("zone: any non-zero sign is west", "", "34: 7F 0C 00", "cbbTimeZone=UTC-12:00");
    row("zone last item", "", "34: 00 0E 00", "cbbTimeZone=UTC+14:00");
    row("zone minus zero matches nothing", "cbbTimeZone=UTC+03:00", "34: 01 00 00", "cbbTimeZone=UTC+03:00");
    row("zone beyond the list", "cbbTimeZone=UTC+03:00", "34: 00 0F 00", "cbbTimeZone=UTC+03:00");
    row("zone of three digits", "cbbTimeZone=UTC+03:00", "34: 00 64 00", "cbbTimeZone=UTC+03:00");

    row("calibration", "", "38: 00 19 1E 01 02 32", "edtCalibrationTemp=25.30; edtCalibrationHumidity=-2.50");
    // Regression: hundredths below ten lost their zero and the next save wrote tenths.
    row("calibration hundredths below ten", "", "38: 01 00 05", "edtCalibrationTemp=-0.05");
    row("calibration comma", "", "38: 01 00 05", "edtCalibrationTemp=-0,05", ",");
    row("calibration any sign byte is minus", "", "38: 80 01 00", "edtCalibrationTemp=-1.00");
    row("calibration fraction above 99", "", "38: 00 01 C8", "edtCalibrationTemp=1.200");

    row("password enabled", "edtPassword=old123", "45: 01 41 62 31 32 63 64",
        "cbbPasswordStartup=Enable; @Password=on; edtPassword=Ab12cd");
    row("password disabled keeps the text", "cbbPasswordStartup=Enable; @Password=on; edtPassword=old123",
        "45: 00 41 62 31 32 63 64", "cbbPasswordStartup=Disable; @Password=off; edtPassword=old123");
    row("password: other unchanged", "cbbPasswordStartup=Enable; @Password=on; edtPassword=old123",
        "45: 02 41 62 31 32 63 64", "cbbPasswordStartup=Enable; @Password=on; edtPassword=old123");
    row("password latin-1", "", "45: 01 E9 41 42 43 44 FC", "edtPassword=éABCDü");

    row("trip info with line break", "mmoTripInfo=old", "52: " + Latin1Hex("Hi\r\nthere") + " 00 41",
        "mmoTripInfo=Hi\r\nthere");
    row("trip info empty", "mmoTripInfo=old", "52: 00 41", "mmoTripInfo=");
    row("trip info latin-1", "", "52: 32 35 B0 43", "mmoTripInfo=25°C");
    row("trip info without zero byte", "", "52*100: 78; 152: 00",
        "mmoTripInfo=xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
}

void TestDecoder::fields()
{
    QFETCH(QString, before);
    QFETCH(QString, bytes);
    QFETCH(QString, separator);
    QFETCH(QString, expected);

    TFakeControls c;
    c.Apply(before.toStdString());
    TFrameBuffer rec = BlankRecord();
    PatchBytes(rec, bytes.toStdString());
    DecodeParameterRecord(rec, c, separator.toStdString());
    CompareControls(c, expected);
}

void TestDecoder::alarms_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("expected");

    const char *singleRowsBefore = "edtSingleL1=1.00; edtSingleH1=2.00; edtSingleHumidityL1=3.00; edtSingleHumidityH1=4.00";
    const char *offBlocks = "160*7: FF; 174*7: FF; 181*7: FF";

    QTest::newRow("no alarm leaves every threshold")
        << QString("rbSingleAlarm=on; pnlSingleAlarm=shown; pnlMultipleAlarm=shown; ") + singleRowsBefore
        << "152: 00 01 0A 05 00 01 02 03"
        << QString("rbNoAlarm=on; rbSingleAlarm=off; pnlSingleAlarm=hidden; pnlMultipleAlarm=hidden; ")
               + singleRowsBefore;

    // Regression: single alarm was taken for multiple alarm because its humidity blocks are real.
    QTest::newRow("single alarm, binary, with humidity blocks")
        << ""
        << QString("152: 01; 153: 01 0A 05 00 0C 1E 05; 167: 00 7D 32 01 17 3B 3B; 188: 00 14 00 01 00 00 0A;"
                   "195: 00 5A 63 00 01 02 03; ") + offBlocks
        << "rbSingleAlarm=on; rbNoAlarm=off; pnlSingleAlarm=shown; pnlMultipleAlarm=hidden;"
           "edtSingleL1=-10.05; cbbSingleL1=Single; cbbSingleL1H=12; cbbSingleL1M=30; cbbSingleL1S=5;"
           "edtSingleH1=125.50; cbbSingleH1=Cumulative; cbbSingleH1H=23; cbbSingleH1M=59; cbbSingleH1S=59;"
           "edtSingleHumidityL1=20.00; cbbSingleHumidityL1=Cumulative; cbbSingleHumidityL1S=10;"
           "edtSingleHumidityH1=90.99; cbbSingleHumidityH1H=1; cbbSingleHumidityH1M=2; cbbSingleHumidityH1S=3;"
           "edtTemperatureL1=; edtHumidityL1=; chkHumidityL1=on";

    QTest::newRow("single alarm, humidity blocks off keep their rows")
        << singleRowsBefore
        << QString("152: 01; 153: 00 01 00 00 00 00 00; 188*7: FF; 195*7: FF; ") + offBlocks
        << "rbSingleAlarm=on; edtSingleL1=1.00; edtSingleH1=0.00; edtSingleHumidityL1=3.00; edtSingleHumidityH1=4.00";

    QTest::newRow("single alarm, any non-zero alarm type is cumulative")
        << "" << QString("152: 01; 153: 00 01 00 80 00 00 00; ") + offBlocks << "cbbSingleL1=Cumulative";

    QTest::newRow("single alarm, delay out of range")
        << "" << QString("152: 01; 153: 00 01 00 00 18 3C 3C; ") + offBlocks
        << "cbbSingleL1H=<none>; cbbSingleL1M=<none>; cbbSingleL1S=<none>";

    // Regression: multiple alarm is written in BCD and was read back as binary.
    QTest::newRow("multiple alarm, BCD")
        << ""
        << "152: 01; 153: 01 10 05 00 12 30 05; 160: 00 25 30 01 23 59 59; 167: 00 25 50 00 00 00 00;"
           "174*7: FF; 181: 01 00 50 00 00 01 00; 188*7: FF; 195: 00 99 99 01 00 00 00"
        << "rbMultipleAlarm=on; pnlMultipleAlarm=shown; pnlSingleAlarm=hidden;"
           "edtTemperatureL1=-10.05; cbbTemperatureL1H=12; cbbTemperatureL1M=30; cbbTemperatureL1S=5;"
           "edtTemperatureL2=25.30; cbbTemperatureL2=Cumulative; cbbTemperatureL2H=23; cbbTemperatureL2S=59;"
           "chkTemperatureL2=on; edtTemperatureH1=25.50; chkTemperatureH2=off; @TemperatureH2Row=off;"
           "edtTemperatureH3=-0.50; cbbTemperatureH3M=1; chkHumidityL1=off; @HumidityL1Row=off;"
           "edtHumidityH1=99.99; chkHumidityH1=on; @HumidityH1Row=on; edtSingleL1=";

    QTest::newRow("multiple alarm, nibbles above nine")
        << "" << "152: 01; 160: 00 1A 0F 00 0A 00 00; 174*7: FF; 181*7: FF"
        << "rbMultipleAlarm=on; edtTemperatureL2=20.15; cbbTemperatureL2H=10";

    QTest::newRow("multiple alarm, BCD delay beyond the list")
        << "" << "152: 01; 160: 00 01 00 00 24 60 99; 174*7: FF; 181*7: FF"
        << "cbbTemperatureL2H=<none>; cbbTemperatureL2M=<none>; cbbTemperatureL2S=<none>";

    QTest::newRow("multiple alarm, L1 and H1 are never off")
        << "" << "152: 01; 153*7: FF; 160: 00 01 00 00 00 00 00"
        << "edtTemperatureL1=-165.165; cbbTemperatureL1=Cumulative; cbbTemperatureL1H=<none>";
}

void TestDecoder::alarms()
{
    QFETCH(QString, before);
    QFETCH(QString, bytes);
    QFETCH(QString, expected);

    TFakeControls c;
    c.Apply(before.toStdString());
    TFrameBuffer rec = BlankRecord();
    PatchBytes(rec, bytes.toStdString());
    DecodeParameterRecord(rec, c, ".");
    CompareControls(c, expected);
}

void TestDecoder::rowsFollowEachRead()
{
    TFakeControls c;
    TFrameBuffer first = BlankRecord();
    PatchBytes(first, "152: 01; 160: 00 01 00 00 00 00 00; 174*7: FF; 181: 00 03 00 00 00 00 00; 188*7: FF; 195*7: FF");
    DecodeParameterRecord(first, c, ".");
    CompareControls(c, "chkTemperatureH2=off; @TemperatureH2Row=off; chkHumidityL1=off; @HumidityL1Row=off;"
                       "chkTemperatureL2=on; @TemperatureL2Row=on");

    TFrameBuffer second = BlankRecord();
    PatchBytes(second, "152: 01; 160*7: FF; 174: 00 02 00 00 00 00 00; 181: 00 03 00 00 00 00 00; 188*7: FF; 195*7: FF");
    DecodeParameterRecord(second, c, ".");
    CompareControls(c, "chkTemperatureH2=on; @TemperatureH2Row=on; edtTemperatureH2=2.00;"
                       "chkTemperatureL2=off; @TemperatureL2Row=off; edtTemperatureL2=1.00;"
                       "chkHumidityL1=off; @HumidityL1Row=off");
}

void TestDecoder::startModeSetsItsOwnEnabledStates()
{
    // The decoder applies the start rows' states itself, since setting the combo
    // from code runs no change handler: once each, delay first.
    for (const auto &[mode, log] : {std::pair{0, "Enable StartDelay off|Enable StartTime off"},
                                    {1, "Enable StartDelay on|Enable StartTime off"},
                                    {2, "Enable StartDelay off|Enable StartTime on"},
                                    {3, ""}}) {
        TFakeControls c;
        TFrameBuffer rec = BlankRecord();
        rec[23] = static_cast<std::uint8_t>(mode);
        rec[45] = 2;  // leaves the password switch alone
        DecodeParameterRecord(rec, c, ".");
        QStringList enables;
        for (const std::string &entry : c.Log)
            if (entry.starts_with("Enable Start"))
                enables << QString::fromStdString(entry);
        QCOMPARE(enables.join(QLatin1Char('|')), QString::fromLatin1(log));
    }
}

QTEST_APPLESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
