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
    void rowsFollowEachRead();
};

namespace {

// Every "name=value" of Expected, compared with what the controls show.
void CompareControls(const TFakeControls &C, const QString &Expected)
{
    for (const QString &pair : Expected.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = pair.section(QLatin1Char('='), 0, 0).trimmed();
        QCOMPARE(QString::fromStdString(C.Describe(name.toStdString())), pair.section(QLatin1Char('='), 1));
    }
}

TFakeControls Decode(const QString &Before, const QString &Bytes, const QString &Separator = ".")
{
    TFakeControls c;
    c.Apply(Before.toStdString());
    TFrameBuffer rec = BlankRecord();
    PatchBytes(rec, Bytes.toStdString());
    DecodeParameterRecord(rec, c, Separator.toStdString());
    return c;
}

} // namespace

void TestDecoder::serialNumber_data()
{
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("text");
    // Regression: the middle part lost its leading zero and the Save check refused the number.
    QTest::newRow("middle below ten keeps its zero") << "4: 41 07 31 32 33 34 35 36" << "A07123456";
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

// Values that a save writes come back through the round trip; these rows hold
// what only a read meets: codes out of range, unknown codes, foreign bytes.
void TestDecoder::fields_data()
{
    QTest::addColumn<QString>("before");    // control states before the read
    QTest::addColumn<QString>("bytes");     // record bytes besides the frame bytes
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, const QString &before, const QString &bytes, const QString &expected,
                        const char *separator = ".") {
        QTest::newRow(name) << before << bytes << separator << expected;
    };
    row("log seconds between steps", "", "19: 19", "cbbLogIntervalS=20");
    row("log interval out of range", "", "17: 18 3D 3C",
        "cbbLogIntervalH=<none>; cbbLogIntervalM=<none>; cbbLogIntervalS=<none>");
    // A read that starts from the window's defaults cannot tell whether the first items are set.
    const QString seconds = "cbbStopMode=Stop by Software; cbbReportLanguage=Chinese; cbbProbeMode=External;"
                            "cbbMultipleStart=Enable; rbF=on; cbbCycleSwitch=Closed; cbbTemporaryPDFStartup=Enable;";
    row("first items, right now", seconds + "cbbStartMode=Timing; @StartTime=on; cbbStartDelayH=4",
        "22: 01 00 18 03 1F 17 3B 1E", "cbbStopMode=Stop by Button; cbbReportLanguage=English; cbbProbeMode=Internal;"
        "cbbMultipleStart=Disable; rbC=on; rbF=off; cbbCycleSwitch=Opened; cbbTemporaryPDFStartup=Disable;"
        "cbbStartMode=Right Now; @StartDelay=off; @StartTime=off; cbbStartDelayH=4; cbbStartTimeY=2018");
    row("stop by software", "", "22: 10", "cbbStopMode=Stop by Software");
    const QString unknown = seconds + "cbbStartMode=Delayed; @StartDelay=on; cbbStartDelayH=3; rbC=off;"
                                      "cbbPasswordStartup=Enable; @Password=on; edtPassword=old123";
    row("unknown codes change nothing", unknown,
        "22: 02 03 18 03 1F 17 3B 1E; 30: 02 02 02 02; 37: 02; 44: 02 02 41 62 31 32 63 64", unknown + "; @StartTime=off");
    row("delayed", "cbbStartTimeH=5", "23: 01 18 03 1F 02 0F 1E",
        "cbbStartMode=Delayed; @StartDelay=on; @StartTime=off; cbbStartDelayH=2; cbbStartDelayM=15;"
        "cbbStartTimeY=2018; cbbStartTimeH=5; cbbStartTimeN=0");
    row("timing", "cbbStartDelayH=4", "23: 02 18 03 1F 17 3B 1E",
        "cbbStartMode=Timing; @StartDelay=off; @StartTime=on; cbbStartTimeY=2024; cbbStartTimeM=3;"
        "cbbStartTimeD=31; cbbStartTimeH=23; cbbStartTimeN=59; cbbStartTimeS=30; cbbStartDelayH=4");
    row("timing, year 2099", "", "23: 02 63", "cbbStartTimeY=2099");
    row("timing out of range", "", "23: 02 11 00 20 18 C8 3C",
        "cbbStartTimeY=<none>; cbbStartTimeM=<none>; cbbStartTimeD=<none>; cbbStartTimeH=<none>;"
        "cbbStartTimeN=<none>; cbbStartTimeS=<none>");
    row("delayed out of range", "", "23: 01; 27: 18 C8", "cbbStartDelayH=<none>; cbbStartDelayM=<none>");
    row("zone: any non-zero sign is west", "", "34: 7F 05 1E", "cbbTimeZone=UTC-05:30");
    row("zone minus zero matches nothing", "cbbTimeZone=UTC+03:00", "34: 01 00 00", "cbbTimeZone=UTC+03:00");
    row("zone beyond the list", "cbbTimeZone=UTC+03:00", "34: 00 0F 00", "cbbTimeZone=UTC+03:00");

    // Regression: hundredths below ten lost their zero and the next save wrote tenths.
    row("calibration hundredths below ten", "", "38: 01 00 05", "edtCalibrationTemp=-0.05");
    row("calibration comma", "", "38: 01 00 05", "edtCalibrationTemp=-0,05", ",");
    row("calibration any sign byte is minus", "", "41: 80 01 00", "edtCalibrationHumidity=-1.00");
    row("calibration fraction above 99", "", "38: 00 01 C8", "edtCalibrationTemp=1.200");

    row("password latin-1", "edtPassword=old123", "45: 01 E9 41 42 43 44 FC",
        "cbbPasswordStartup=Enable; @Password=on; edtPassword=éABCDü");
    row("password disabled keeps the text", "cbbPasswordStartup=Enable; @Password=on; edtPassword=old123",
        "45: 00 41 62 31 32 63 64", "cbbPasswordStartup=Disable; @Password=off; edtPassword=old123");
    row("trip info empty", "mmoTripInfo=old", "52: 00 41", "mmoTripInfo=");
    row("trip info without zero byte", "", "52*100: 78; 152: 00", "mmoTripInfo=" + QString(100, QLatin1Char('x')));

    // Alarms.
    const QString singleRows = "edtSingleL1=1.00; edtSingleH1=2.00; edtSingleHumidityL1=3.00; edtSingleHumidityH1=4.00";
    const QString offBlocks = "160*7: FF; 174*7: FF; 181*7: FF";
    row("no alarm leaves every threshold", "rbSingleAlarm=on; pnlSingleAlarm=shown; pnlMultipleAlarm=shown; " + singleRows,
        "152: 00 01 0A 05 00 01 02 03",
        "rbNoAlarm=on; rbSingleAlarm=off; pnlSingleAlarm=hidden; pnlMultipleAlarm=hidden; " + singleRows);
    // Regression: single alarm was taken for multiple alarm because its humidity blocks are real.
    row("single alarm, binary, with humidity blocks", "",
        "152: 01; 153: 01 0A 05 00 0C 1E 05; 167: 00 7D 32 01 17 3B 3B; 188: 00 14 00 01 00 00 0A;"
        "195: 00 5A 63 00 01 02 03; " + offBlocks,
        "rbSingleAlarm=on; rbNoAlarm=off; pnlSingleAlarm=shown; pnlMultipleAlarm=hidden;"
        "edtSingleL1=-10.05; cbbSingleL1=Single; cbbSingleL1H=12; cbbSingleL1M=30; cbbSingleL1S=5;"
        "edtSingleH1=125.50; cbbSingleH1=Cumulative; cbbSingleH1H=23; cbbSingleH1M=59; cbbSingleH1S=59;"
        "edtSingleHumidityL1=20.00; cbbSingleHumidityL1=Cumulative; cbbSingleHumidityL1S=10;"
        "edtSingleHumidityH1=90.99; cbbSingleHumidityH1H=1; cbbSingleHumidityH1M=2; cbbSingleHumidityH1S=3;"
        "edtTemperatureL1=; edtHumidityL1=; chkHumidityL1=on");
    row("single alarm, humidity blocks off keep their rows, odd type and delay", singleRows,
        "152: 01; 153: 00 01 00 80 18 3C 3C; 188*7: FF; 195*7: FF; " + offBlocks,
        "rbSingleAlarm=on; edtSingleL1=1.00; cbbSingleL1=Cumulative; cbbSingleL1H=<none>; cbbSingleL1M=<none>;"
        "cbbSingleL1S=<none>; edtSingleH1=0.00; edtSingleHumidityL1=3.00; edtSingleHumidityH1=4.00");
    // Regression: multiple alarm is written in BCD and was read back as binary.
    row("multiple alarm, BCD", "",
        "152: 01; 153: 01 10 05 00 12 30 05; 160: 00 25 30 01 23 59 59; 167: 00 25 50 00 00 00 00;"
        "174*7: FF; 181: 01 00 50 00 00 01 00; 188*7: FF; 195: 00 99 99 01 00 00 00",
        "rbMultipleAlarm=on; pnlMultipleAlarm=shown; pnlSingleAlarm=hidden;"
        "edtTemperatureL1=-10.05; cbbTemperatureL1H=12; cbbTemperatureL1M=30; cbbTemperatureL1S=5;"
        "edtTemperatureL2=25.30; cbbTemperatureL2=Cumulative; cbbTemperatureL2H=23; cbbTemperatureL2S=59;"
        "chkTemperatureL2=on; edtTemperatureH1=25.50; chkTemperatureH2=off; @TemperatureH2Row=off;"
        "edtTemperatureH3=-0.50; cbbTemperatureH3M=1; chkHumidityL1=off; @HumidityL1Row=off;"
        "edtHumidityH1=99.99; chkHumidityH1=on; @HumidityH1Row=on; edtSingleL1=");
    row("multiple alarm, nibbles above nine, delay beyond the list", "",
        "152: 01; 160: 00 1A 0F 00 24 60 99; 174*7: FF; 181*7: FF",
        "rbMultipleAlarm=on; edtTemperatureL2=20.15; cbbTemperatureL2H=<none>; cbbTemperatureL2M=<none>;"
        "cbbTemperatureL2S=<none>");
    row("multiple alarm, L1 and H1 are never off", "", "152: 01; 153*7: FF; 160: 00 01 00 00 00 00 00",
        "edtTemperatureL1=-165.165; cbbTemperatureL1=Cumulative; cbbTemperatureL1H=<none>");
}

void TestDecoder::fields()
{
    QFETCH(QString, before);
    QFETCH(QString, bytes);
    QFETCH(QString, separator);
    QFETCH(QString, expected);
    CompareControls(Decode(before, bytes, separator), expected);
}

void TestDecoder::rowsFollowEachRead()
{
    const QString rest = "; 188*7: FF; 195*7: FF; 181: 00 03 00 00 00 00 00";
    TFakeControls c = Decode("", "152: 01; 160: 00 01 00 00 00 00 00; 174*7: FF" + rest);
    CompareControls(c, "chkTemperatureH2=off; @TemperatureH2Row=off; chkHumidityL1=off; @HumidityL1Row=off;"
                       "chkTemperatureL2=on; @TemperatureL2Row=on");

    TFrameBuffer second = BlankRecord();
    PatchBytes(second, ("152: 01; 160*7: FF; 174: 00 02 00 00 00 00 00" + rest).toStdString());
    DecodeParameterRecord(second, c, ".");
    CompareControls(c, "chkTemperatureH2=on; @TemperatureH2Row=on; edtTemperatureH2=2.00;"
                       "chkTemperatureL2=off; @TemperatureL2Row=off; edtTemperatureL2=1.00;"
                       "chkHumidityL1=off; @HumidityL1Row=off");
}

QTEST_APPLESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
