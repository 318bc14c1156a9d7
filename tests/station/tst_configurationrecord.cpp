#include "ConfigurationRecord.h"
#include "GuiApplication.h"
#include "TestSupport.h"
#include "Verify.h"
#include "WriteFrame.h"

#include <QCryptographicHash>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

// The printed record as a quality reviewer reads it: one page of the paper
// asked for, every value as people write it next to its name, only what is
// in force, the audit record to find again, and the block to sign.
class TestConfigurationRecord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordText_data();
    void recordText();
    void guiOnlyForTheVerbsThatPrint_data();
    void guiOnlyForTheVerbsThatPrint();
    void fileName();
    void noFontNoRecord();

private:
    QTemporaryDir FDir;
};

namespace {

TFrameBuffer RecordOf(const QString &notation, const std::string &trip = {})
{
    TFakeControls controls;
    // What a save needs that a row does not say.
    controls.Apply("edtServiceLife=365; edtCalibrationTemp=0; edtCalibrationHumidity=0; edtTemperatureL1=2.00; "
                   "edtTemperatureL2=0.50; edtTemperatureH1=8.00; edtTemperatureH2=12.00; edtTemperatureH3=30.00; "
                   "edtHumidityL1=20.00; edtHumidityH1=80.00");
    controls.Apply(notation.toStdString());
    if (!trip.empty())
        controls.SetText(Ctl::mmoTripInfo, trip);
    controls.Apply("cbbSystemTimeY=2026; cbbSystemTimeM=12; cbbSystemTimeD=9; cbbSystemTimeH=1; cbbSystemTimeN=5; cbbSystemTimeS=0");
    TFrameBuffer frame {};
    EncodeWriteFrame(frame, controls, ".");
    return StoredRecord(frame, BlankRecord());
}

TAuditRecord Written(bool verified)
{
    TAuditRecord w;
    w.Sequence = 12;
    w.Time = QDateTime(QDate(2026, 12, 8), QTime(17, 5, 0), Qt::UTC);
    w.TimeZone = QStringLiteral("UTC+08:00");
    w.Host = QStringLiteral("bench-3");
    w.Operator = QStringLiteral("anna");
    w.Program = QStringLiteral("loggerctl 1.0.0");
    w.Action = TAuditAction::Batch;
    w.Port = QStringLiteral("ttyUSB0");
    w.Template = QStringLiteral("cold-chain.toml");
    w.TemplateSha256 = Sha256Hex("template");
    w.Verified = verified;
    if (!verified) {
        w.Failure = QStringLiteral("verify found 1 difference");
        w.Differences = {{"Stop Mode", "\"Stop by Button\"", "\"Stop by Software\""}};
    }
    w.Sha256 = Sha256Hex("audit line");
    // The sealed write is the result of its intent; the failed one went into a plain chain.
    w.Intent = 11;
    if (verified)
        w.Seal = QByteArray(64, 'f');
    return w;
}

QString Run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString Spaced(const QStringList &cells)
{
    QStringList escaped;
    for (const QString &cell : cells)
        escaped << QRegularExpression::escape(cell);
    return escaped.join(QStringLiteral(" +"));
}

// The first line from From on that Pattern matches a part of.
qsizetype LineAfter(const QStringList &lines, qsizetype from, const QString &pattern)
{
    const QRegularExpression re(pattern);
    for (qsizetype i = from; i < lines.size(); ++i)
        if (re.match(lines[i]).hasMatch())
            return i;
    return -1;
}

} // namespace

void TestConfigurationRecord::initTestCase()
{
    QVERIFY(FDir.isValid());
    if (QSysInfo::productType() != QLatin1String("windows"))
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
}

void TestConfigurationRecord::recordText_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QByteArray>("trip");     // Latin-1, set as it is
    QTest::addColumn<int>("write");           // 0 none (a report), 1 verified into a sealed log, 2 failed, plain chain
    QTest::addColumn<QString>("paper");
    QTest::addColumn<QList<QStringList>>("rows");  // cells that stand in this order on one line of the page
    QTest::addColumn<QStringList>("absent");

    const QString common = QStringLiteral("edtSerialNumber=A05123456; edtDeviceID=1A2B3C4D; cbbTimeZone=UTC+08:00; ");
    QTest::newRow("no alarm, started right now: a report")
        << common + "cbbStartMode=Right Now; rbNoAlarm=on; cbbLogIntervalH=1; cbbLogIntervalM=30; rbC=on"
        << QByteArray() << 0 << "a4"
        << QList<QStringList>{{"Configuration record A05123456"},
                              {"Serial Number", "A05123456", "Device ID", "1A2B3C4D"},
                              {"Read", "2026-12-08 17:05:03 UTC through ttyUSB0"},
                              {"Start Mode", "Right Now"},
                              {"Log Interval", "1 h 30 min 0 s"},
                              {"Alarm", "No Alarm"},
                              {"Service Life", "365 days"},
                              {"Temp. Unit", "°C"},
                              {"Time Zone", "UTC+08:00"},
                              {"Probe Mode"},
                              {"Printed name", "Signature", "Date and time"},
                              {"Configured by"},
                              {"Checked by"}}
        << QStringList{"Start Time", "Start Delay", "H1:Over", "Audit record", "SHA-256", "{", "\""};
    QTest::newRow("single alarm, delayed start, verified into a sealed log")
        << common + "cbbStartMode=Delayed; cbbStartDelayH=0; cbbStartDelayM=30; rbSingleAlarm=on; edtSingleH1=8.00; "
                    "cbbSingleH1=Cumulative; cbbSingleH1H=1; cbbSingleH1M=30; cbbSingleH1S=0; edtSingleL1=2.00; "
                    "edtSingleHumidityH1=80.00; edtSingleHumidityL1=20.00; rbF=on"
        << QByteArray() << 1 << "a4"
        << QList<QStringList>{{"Written", "2026-12-08 17:05:00 UTC, batch by anna on bench-3 through ttyUSB0,"},
                              {"Clock sent", "2026-12-09 01:05:00 in UTC+08:00; a logger cannot report its clock,"},
                              {"Verify", "verified: every setting read back as asked"},
                              {"Audit log", "/station/audit.jsonl"},
                              {"Audit record", "12, the result of intent 11"},
                              {"Seal", "sealed at step 12"},
                              {"SHA-256 to keep", "HASH"},
                              {"Start Mode", "Delayed"},
                              {"Start Delay", "0 h 30 min"},
                              {"Alarm", "Single Alarm"},
                              {"Single Alarm", "Threshold", "Alarm Mode", "Alarm Delay"},
                              {"Temperature H1:Over", "8.00 °F", "Cumulative", "1 h 30 min 0 s"},
                              {"Temperature L1:Below", "2.00 °F"},
                              {"Humidity H1:Over", "80.00 %RH"},
                              {"Configured by", "anna"}}
        << QStringList{"Start Time", "Multiple Alarm", "H3:Over", "not in use"};
    QTest::newRow("multiple alarm with a row off, timed start, verify failed, a plain chain, on Letter")
        << common + "cbbStartMode=Timing; cbbStartTimeY=2027; cbbStartTimeM=12; cbbStartTimeD=31; cbbStartTimeH=23; "
                    "cbbStartTimeN=59; cbbStartTimeS=30; rbMultipleAlarm=on; chkTemperatureH3=off; "
                    "edtTemperatureH2=-10.05; cbbTemperatureH2=Cumulative; cbbTemperatureH2H=23; "
                    "cbbTemperatureH2M=0; cbbTemperatureH2S=59; cbbStopMode=Stop by Button or Software; "
                    "cbbPasswordStartup=Enable; edtPassword=Ab12cd; edtCalibrationTemp=-1.50; rbC=on"
        << QByteArray() << 2 << "letter"
        << QList<QStringList>{{"Verify", "FAILED: verify found 1 difference. Stop Mode: sent Stop by Button, read back"},
                              {"Seal", "none: a plain chain, not sealed"},
                              {"Start Mode", "Timing"},
                              {"Start Time", "2027-12-31 23:59:30"},
                              {"Alarm", "Multiple Alarm"},
                              {"Multiple Alarm", "On", "Threshold", "Alarm Mode", "Alarm Delay"},
                              {"Temperature H3:Over", "off", "-", "-", "-"},
                              {"Temperature H2:Over", "on", "-10.05 °C", "Cumulative", "23 h 0 min 59 s"},
                              {"Stop Mode", "Stop by Button or Software"},
                              {"Password Startup", "Enable"},
                              {"Password", "Ab12cd"},
                              {"Calibration Temperature", "-1.50 °C"},
                              {"Calibration Humidity", "0.00 %RH"}}
        << QStringList{"Start Delay", "Single Alarm", "Stop by Software\"", "1 h 30 min"};
    // Every byte spelt out as an escape: the longest value the page can meet.
    QTest::newRow("the longest trip text, every byte a control character")
        << QStringLiteral("edtSerialNumber=C01000001; edtDeviceID=FFFFFFFF; rbNoAlarm=on") << QByteArray(94, '\x01')
        << 1 << "a4" << QList<QStringList>{{"Trip Information"}} << QStringList{};
}

void TestConfigurationRecord::recordText()
{
    QFETCH(QString, settings);
    QFETCH(QByteArray, trip);
    QFETCH(int, write);
    QFETCH(QString, paper);
    QFETCH(QList<QStringList>, rows);
    QFETCH(QStringList, absent);

    TConfigurationRecordData data;
    data.Record = RecordOf(settings, QString::fromLatin1(trip).toStdString());
    data.Port = QStringLiteral("ttyUSB0");
    data.ReadAt = QDateTime(QDate(2026, 12, 8), QTime(17, 5, 3), Qt::UTC);
    data.Paper = *PaperNamed(paper);
    if (write) {
        data.Write = Written(write == 1);
        data.AuditLog = QStringLiteral("/station/audit.jsonl");
        data.ClockSet = TClockReading{2026, 12, 9, 1, 5, 0};
    }
    const QString pdf = FDir.filePath(QStringLiteral("%1.pdf").arg(QTest::currentDataTag()));
    QString error;
    QVERIFY2(WriteConfigurationRecord(data, pdf, &error), qPrintable(error));

    if (QSysInfo::productType() == QLatin1String("windows"))
        QSKIP("pdftotext and pdfinfo are Linux tools: the Linux build reads the same page");
    const QString info = Run(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(QRegularExpression(QStringLiteral("Pages: +1\n")).match(info).hasMatch(), qPrintable(info));
    QVERIFY2(info.contains(paper == QLatin1String("letter") ? QStringLiteral("612 x 792 pts (letter)")
                                                            : QStringLiteral("595 x 842 pts (A4)")),
             qPrintable(info));
    const QString layout = Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(!layout.isEmpty());
    const QString hash = QString::fromLatin1(QCryptographicHash::hash("audit line", QCryptographicHash::Sha256).toHex());
    const QStringList lines = layout.split(u'\n');
    for (QStringList cells : rows) {
        cells.replaceInStrings(QStringLiteral("HASH"), hash);
        QVERIFY2(LineAfter(lines, 0, Spaced(cells)) >= 0, qPrintable(cells.join(u'|') + QStringLiteral("\n") + layout));
    }
    for (const QString &text : absent)
        QVERIFY2(!layout.contains(text), qPrintable(text + QStringLiteral("\n") + layout));
    if (!trip.isEmpty()) {
        const QString flat = QString(layout).remove(QRegularExpression(QStringLiteral("\\s+")));
        QVERIFY2(flat.contains(QStringLiteral("TripInformation") + QString(QStringLiteral("\\x01")).repeated(trip.size())),
                 qPrintable(layout));
    }
}

void TestConfigurationRecord::guiOnlyForTheVerbsThatPrint_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("gui");
    QTest::newRow("report") << QStringList{"report", "-o", "x.pdf"} << true;
    QTest::newRow("batch with reports") << QStringList{"batch", "t.toml", "--report-dir", "out"} << true;
    QTest::newRow("batch with reports, one word") << QStringList{"batch", "--report-dir=out", "t.toml"} << true;
    QTest::newRow("batch without") << QStringList{"batch", "t.toml", "--audit", "log"} << false;
    QTest::newRow("a file named report") << QStringList{"write", "report"} << false;
    QTest::newRow("read") << QStringList{"read", "--port", "ttyUSB0"} << false;
}

void TestConfigurationRecord::guiOnlyForTheVerbsThatPrint()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, gui);
    std::vector<QByteArray> bytes = {"loggerctl"};
    for (const QString &a : arguments)
        bytes.push_back(a.toUtf8());
    std::vector<const char *> argv;
    for (const QByteArray &b : bytes)
        argv.push_back(b.constData());
    QCOMPARE(NeedsGuiApplication(int(argv.size()), argv.data()), gui);
}

void TestConfigurationRecord::fileName()
{
    const QDateTime time(QDate(2026, 12, 8), QTime(17, 5, 0), Qt::UTC);
    QCOMPARE(ConfigurationRecordFileName(QStringLiteral("A05123456"), time), QStringLiteral("A05123456-20261208T170500Z.pdf"));
    // The serial number holds any byte the logger stores, a path separator among them.
    QCOMPARE(ConfigurationRecordFileName(QStringLiteral("A/5\x01..é:"), time.toLocalTime()),
             QStringLiteral("A_5_____-20261208T170500Z.pdf"));
}

void TestConfigurationRecord::noFontNoRecord()
{
    if (QSysInfo::productType() == QLatin1String("windows"))
        QSKIP("fontconfig is how Linux finds its fonts");
    // A machine without fonts draws the page without text; that must fail
    // rather than pass for a record. This program again, with no fonts.
    QFile config(FDir.filePath(QStringLiteral("fonts.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"fonts.dtd\"><fontconfig><cachedir>"
                 + QFile::encodeName(FDir.filePath(QStringLiteral("fonts"))) + "</cachedir></fontconfig>\n");
    config.close();
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FONTCONFIG_FILE"), config.fileName());
    program.setProcessEnvironment(environment);
    const QString pdf = FDir.filePath(QStringLiteral("no font.pdf"));
    program.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--write"), pdf});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 1);
    QVERIFY2(program.readAllStandardError().contains("no font is installed"), "no message");
    QVERIFY(!QFile::exists(pdf));
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--write") == 0) {
        int count = 2;
        char *args[] = {argv[0], const_cast<char *>("report"), nullptr};
        const auto app = MakeApplication(count, args);
        TConfigurationRecordData data;
        data.Record = RecordOf(QStringLiteral("edtSerialNumber=A05123456; edtDeviceID=1A2B3C4D"));
        QString error;
        if (WriteConfigurationRecord(data, QString::fromLocal8Bit(argv[2]), &error))
            return 0;
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    // As loggerctl makes its application: offscreen, whatever display is set.
    std::vector<char *> args(argv, argv + argc);
    char report[] = "report";
    args.insert(args.begin() + 1, report);
    int count = int(args.size());
    const auto app = MakeApplication(count, args.data());
    TestConfigurationRecord test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_configurationrecord.moc"
