#include "ConfigurationRecord.h"
#include "GuiApplication.h"
#include "TestSupport.h"
#include "Verify.h"
#include "WriteFrame.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

// The printed record as the paperwork needs it: one page, and every setting
// with its value readable as text, next to its name.
class TestConfigurationRecord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pageHoldsEverySetting_data();
    void pageHoldsEverySetting();
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

void TestConfigurationRecord::pageHoldsEverySetting_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QByteArray>("trip");  // Latin-1, set as it is
    QTest::addColumn<int>("write");        // 0 none (a report), 1 verified, 2 failed

    const QString configured = QStringLiteral(
        "edtSerialNumber=A05123456; edtDeviceID=1A2B3C4D; edtServiceLife=365; cbbLogIntervalM=5; "
        "cbbStartMode=Timing; cbbStartTimeY=2027; cbbStartTimeM=12; cbbStartTimeD=31; cbbStartTimeH=23; "
        "cbbStartTimeN=59; cbbStartTimeS=30; cbbTimeZone=UTC+08:00; rbSingleAlarm=on; edtSingleH1=8.00; "
        "edtSingleL1=2.00; edtSingleHumidityH1=80.00; edtSingleHumidityL1=20.00; mmoTripInfo=Cold chain shipment");
    QTest::newRow("single alarm, written and verified") << configured << QByteArray() << 1;
    QTest::newRow("multiple alarm, verify failed")
        << "edtSerialNumber=B07654321; edtDeviceID=0A0B0C0D; rbMultipleAlarm=on; chkTemperatureH3=off; "
           "edtTemperatureH2=-10.05; cbbTemperatureH2=Cumulative; cbbTemperatureH2H=23; cbbTemperatureH2S=59; "
           "cbbStopMode=Stop by Button or Software; cbbPasswordStartup=Enable; edtPassword=Ab12cd; "
           "edtCalibrationTemp=-1.50; rbF=on; cbbTimeZone=UTC-03:30; mmoTripInfo=Vaccines, lot 4711"
        << QByteArray() << 2;
    QTest::newRow("a report of a logger as it stands") << configured << QByteArray() << 0;
    // Every byte spelt out as an escape: the longest value the page can meet.
    QTest::newRow("the longest trip text, every byte a control character")
        << QStringLiteral("edtSerialNumber=C01000001; edtDeviceID=FFFFFFFF; rbNoAlarm=on") << QByteArray(94, '\x01')
        << 1;
}

void TestConfigurationRecord::pageHoldsEverySetting()
{
    QFETCH(QString, settings);
    QFETCH(QByteArray, trip);
    QFETCH(int, write);

    TConfigurationRecordData data;
    data.Record = RecordOf(settings, QString::fromLatin1(trip).toStdString());
    data.Port = QStringLiteral("ttyUSB0");
    data.ReadAt = QDateTime(QDate(2026, 12, 8), QTime(17, 5, 3), Qt::UTC);
    if (write) {
        data.Write = Written(write == 1);
        data.ClockSet = TClockReading{2026, 12, 9, 1, 5, 0};
    }
    const QString pdf = FDir.filePath(QStringLiteral("%1.pdf").arg(QTest::currentDataTag()));
    QString error;
    QVERIFY2(WriteConfigurationRecord(data, pdf, &error), qPrintable(error));

    if (QSysInfo::productType() == QLatin1String("windows"))
        QSKIP("pdftotext and pdfinfo are Linux tools: the Linux build reads the same page");
    const QString info = Run(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(QRegularExpression(QStringLiteral("Pages: +1\n")).match(info).hasMatch(), qPrintable(info));
    const QString layout = Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(!layout.isEmpty());
    const QString flat = QString(layout).replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
    const QStringList lines = layout.split(u'\n');

    const TSettingValues values = RecordSettings(data.Record);
    const QString serial = QString::fromStdString(values[SettingIndex("Serial Number")].front());
    QVERIFY(flat.contains(QStringLiteral("Configuration record ") + serial));
    QVERIFY(flat.contains(QStringLiteral("Serial Number ") + serial));
    const auto &all = Settings();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const TSetting &s = all[i];
        const QString name = QString::fromStdString(s.Name);
        const QString value = QString::fromStdString(DisplayValue(s, values[i]));
        if (s.Table.size() == 3) {
            // An alarm row: the panel's table, then the row with its values in the window's order.
            const qsizetype panel = LineAfter(lines, 0, QStringLiteral("^ *") + Spaced({QString::fromStdString(s.Table[1])}));
            QVERIFY2(panel >= 0, qPrintable(name));
            const qsizetype row = LineAfter(lines, panel, Spaced({QString::fromStdString(s.Table[2])}));
            QVERIFY2(row >= 0 && lines[row].contains(value), qPrintable(name + u' ' + value));
        } else if (value.size() > 40) {
            // A row across the table, where a long value may break anywhere.
            QVERIFY2(QString(flat).remove(u' ').contains(QString(name + value).remove(u' ')), qPrintable(name + u' ' + value));
        } else {
            QVERIFY2(QRegularExpression(Spaced({name, value})).match(layout).hasMatch(), qPrintable(name + u' ' + value));
        }
    }
    if (write) {
        QVERIFY(flat.contains(QStringLiteral("Clock set 2026-12-09 01:05:00 in UTC+08:00")));
        QVERIFY(flat.contains(QStringLiteral("Audit record 12, SHA-256 ") + QString::fromLatin1(Sha256Hex("audit line"))));
        QVERIFY(flat.contains(write == 1 ? QStringLiteral("Verify verified")
                                         : QStringLiteral("Verify FAILED: verify found 1 difference. Stop Mode: sent")));
    } else {
        QVERIFY(flat.contains(QStringLiteral("Read 2026-12-08 17:05:03 UTC through ttyUSB0")));
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
