#include "CheckCases.h"
#include "ControlTable.h"
#include "CtlSupport.h"
#include "LoggerRecord.h"
#include "ParameterLayout.h"
#include "RecordDecoder.h"
#include "SettingsFile.h"
#include "TestSupport.h"
#include "Verify.h"
#include "WriteFrame.h"
#include "ZoneClock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>

#include <sys/stat.h>

Q_DECLARE_METATYPE(TFaultMode)

// loggerctl against the emulator, run as a script runs it: what it sends, what
// it says, the status it ends with, and the backups it keeps.
class TestLoggerctl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void roundTrip_data();
    void roundTrip();
    void checksStopTheWriteWithTheWindowsMessage();
    void badFileSendsNothing_data();
    void badFileSendsNothing();
    void verifyCatchesWhatTheLoggerDidNotKeep_data();
    void verifyCatchesWhatTheLoggerDidNotKeep();
    void anotherLoggerBetweenReadAndWriteIsNotWritten();
    void templateKeepsBytesThatTextCannotGive();
    void unacknowledgedWriteFails();
    void restorePutsTheBackupBack();

private:
    QString Path(const QString &name) const { return FFolder->Path(name); }
    QString WriteText(const QString &name, const QByteArray &text) const { return FFolder->WriteText(name, text); }
    QStringList Write(const QString &file, const QString &port) const
    {
        return {QStringLiteral("write"), file, QStringLiteral("--port"), port, QStringLiteral("--backup-dir"),
                Path(QStringLiteral("backups"))};
    }
    QStringList Backups() const { return QDir(Path(QStringLiteral("backups"))).entryList(QDir::Files, QDir::Name); }

    std::unique_ptr<TCtlFolder> FFolder;
};

namespace {

const QString Port = QStringLiteral("ttyE2E_CTL");

// Edits as a person makes them in a file read from the emulator's logger.
const std::pair<const char *, const char *> Edits[] = {
    {"M = \"5\", S = \"0\"", "M = \"15\", S = \"0\""},
    {"\"Stop Mode\" = \"Stop by Button\"", "\"Stop Mode\" = \"Stop by Software\""},
    {"\"Time Zone\" = \"UTC+08:00\"", "\"Time Zone\" = \"UTC-03:30\""},
    {"\"Temperature/Humidity\" = \"8.00\"", "\"Temperature/Humidity\" = \"9.25\""},
    {"text = \"Cold chain shipment\"", "text = \"Batch 7\\nline two, \\u00B0C\""},
    {"\"Password Startup\" = \"Disable\"", "\"Password Startup\" = \"Enable\""},
    {"Password = \"\"", "Password = \"Ab12cd\""},
    {"text = \"Cold chain shipment\"", "text = \"Batch 7, kept between 2 and 8 degrees from door to door\""},
};

QByteArray Edited(QByteArray text, std::initializer_list<std::pair<const char *, const char *>> edits)
{
    for (const auto &[from, to] : edits) {
        const qsizetype at = text.indexOf(from);
        if (at < 0)
            qFatal("no %s in the file", from);
        text.replace(at, qstrlen(from), to);
    }
    return text;
}

TSettingsFile Parse(const QString &text)
{
    return ReadSettingsFile(text.toStdString(), "test.toml");
}

TFrameBuffer ToFrame(const TLoggerEmulator::TBytes &block)
{
    TFrameBuffer frame {};
    std::copy_n(block.begin(), std::min(block.size(), frame.size()), frame.begin());
    return frame;
}

std::chrono::sys_seconds ClockOf(const TFrameBuffer &frame)
{
    using namespace std::chrono;
    const std::uint8_t *t = frame.data() + Offset::SystemTime;
    return sys_days(year{2000 + t[0]} / t[1] / t[2]) + hours(t[3]) + minutes(t[4]) + seconds(t[5]);
}

std::chrono::sys_seconds ClockOf(const TClockReading &r)
{
    using namespace std::chrono;
    return sys_days(year{r.Year} / r.Month / r.Day) + hours(r.Hour) + minutes(r.Minute) + seconds(r.Second);
}

// The bytes the five edits above must set in the frame, written out: the
// minutes of the interval, the stop mode, the zone, Temperature H1 in
// single alarm, the trip text with its CR LF and its degree sign.
const char *const EditedBytes = "18: 0F; 22: 10; 34: 01 03 1E; 167: 00 09 19; "
                                "58: 42 61 74 63 68 20 37 0D 0A 6C 69 6E 65 20 74 77 6F 2C 20 B0 43 00";

// The frame a logger holding Record must have been sent for the edits: the
// record's own bytes where the frame shares them, the edits over them.
TFrameBuffer ExpectedFrame(const TFrameBuffer &Record, const TFrameBuffer &Sent)
{
    TFrameBuffer frame = Record;
    frame[2] = CmdParameterWrite;
    frame[3] = WriteFrameDataCount;
    // Where the record holds its trip text the frame holds the clock, then the text.
    std::copy_n(Sent.begin() + Offset::SystemTime, 6, frame.begin() + Offset::SystemTime);
    std::fill_n(frame.begin() + Offset::WriteTripInfo, Offset::WriteTripInfoLength, 0);
    PatchBytes(frame, EditedBytes);
    SealFrame(frame);
    return frame;
}

} // namespace

void TestLoggerctl::initTestCase()
{
    // The locale row means something only if Qt takes it for a comma locale.
    QCOMPARE(QLocale(QStringLiteral("de_DE")).decimalPoint(), QStringLiteral(","));
}

void TestLoggerctl::init()
{
    FFolder = std::make_unique<TCtlFolder>();
}

void TestLoggerctl::cleanup()
{
    FFolder.reset();
}

void TestLoggerctl::roundTrip_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("point locale") << "C.UTF-8";
    QTest::newRow("comma locale") << "de_DE.UTF-8";
}

void TestLoggerctl::roundTrip()
{
    QFETCH(QString, locale);
    const QStringList environment = {QStringLiteral("LC_ALL=") + locale, QStringLiteral("LANG=") + locale};
    auto logger = StartLogger(Port);
    const TFrameBuffer before = logger->ParameterRecord();

    const TCtlRun read = RunCtl({QStringLiteral("read"), QStringLiteral("--port"), Port}, environment);
    QVERIFY2(read.Status == 0, qPrintable(read.Err));
    QCOMPARE(Parse(read.Out).Values, RecordSettings(before));
    QVERIFY(read.Out.contains(QLatin1String("\"8.00\"")));

    const QByteArray text = Edited(read.Out.toUtf8(), {Edits[0], Edits[1], Edits[2], Edits[3], Edits[4]});
    const TSettingsFile file = Parse(QString::fromUtf8(text));
    const auto start = std::chrono::system_clock::now();
    const TCtlRun write = RunCtl(Write(WriteText(QStringLiteral("edited.toml"), text), Port), environment);
    const auto end = std::chrono::system_clock::now();
    QVERIFY2(write.Status == 0, qPrintable(write.Err));
    QVERIFY2(write.Err.startsWith(QLatin1String("wrote ")) && write.Err.count(u'\n') == 1, qPrintable(write.Err));
    // The record has no clock: what was sent of it is not claimed as verified.
    QVERIFY2(write.Err.contains(QLatin1String("the clock was sent, but a logger cannot report its clock")),
             qPrintable(write.Err));

    const auto blocks = logger->ReceivedFrames();
    // Three probes (read, find, the same logger again), the frame, the read-back's probe.
    QCOMPARE(blocks.size(), 5u);
    QVERIFY(IsWriteFrame(blocks[3]));
    const TFrameBuffer sent = ToFrame(blocks[3]);
    QCOMPARE(sent, ExpectedFrame(before, sent));
    // The computer's clock in the file's zone, UTC-03:30.
    const int zone = UtcZoneIndex - 7;
    QVERIFY(ClockOf(sent) >= ClockOf(ZoneClock(start, zone)) - std::chrono::seconds(1));
    QVERIFY(ClockOf(sent) <= ClockOf(ZoneClock(end, zone)));

    const TCtlRun again = RunCtl({QStringLiteral("read"), QStringLiteral("--port"), Port}, environment);
    QVERIFY2(again.Status == 0, qPrintable(again.Err));
    QCOMPARE(Parse(again.Out).Values, file.Values);
    QCOMPARE(Backups().size(), 1);
}

void TestLoggerctl::checksStopTheWriteWithTheWindowsMessage()
{
    auto logger = StartLogger(Port);
    for (const TCheckCase &row : CheckCases()) {
        TFakeControls window;
        window.Apply(row.Settings);
        TSettingsFile file;
        file.Values = CaptureSettings(window, ".");
        const QString path = WriteText(QStringLiteral("check.toml"), QByteArray::fromStdString(WriteSettingsFile(file)));
        const std::size_t writes = WriteFrames(*logger);
        const std::size_t received = logger->ReceivedFrames().size();

        const TCtlRun run = RunCtl(Write(path, Port) + QStringList{QStringLiteral("--with-identity"),
                                                                 QStringLiteral("--with-calibration")});
        const QByteArray name = row.Name;
        if (row.Message) {
            // Before any port is opened, naming the file, the line and the key.
            QVERIFY2(run.Status == 2, name + ": " + run.Err.toUtf8());
            QVERIFY2(run.Err.startsWith(path + QLatin1Char(':')), name + ": " + run.Err.toUtf8());
            const char *message = row.FileMessage ? row.FileMessage : row.Message;
            QVERIFY2(run.Err.endsWith(QStringLiteral(": ") + QString::fromUtf8(message) + QLatin1Char('\n')),
                     name + ": " + run.Err.toUtf8());
            QVERIFY2(logger->ReceivedFrames().size() == received, name);
        } else {
            QVERIFY2(run.Status == 0, name + ": " + run.Err.toUtf8());
            QVERIFY2(WriteFrames(*logger) == writes + 1, name);
        }
    }
}

// One table of what is refused before anything is sent: each row edits a
// file read from the logger, and must end with status 2, one message that
// names the file, the line and the key, no backup and no byte to the logger.
void TestLoggerctl::badFileSendsNothing_data()
{
    QTest::addColumn<QStringList>("edits");   // from, to, ...; "<file>", path: the file itself is the fault
    QTest::addColumn<QStringList>("options"); // beyond write FILE --port --backup-dir
    QTest::addColumn<QString>("marker");      // the line the message names holds it; empty: no line
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown key") << QStringList{"\"Start Mode\" =", "\"Start Mod\" = \"Timing\"\n\"Start Mode\" ="}
                                 << QStringList{} << "\"Start Mod\""
                                 << "\"Device Info\".\"Start Mod\": unknown key in [\"Device Info\"]";
    QTest::newRow("missing key") << QStringList{"\"Service Life\" = \"365\"  # days\n", ""} << QStringList{}
                                 << "[\"Device Info\"]" << "\"Device Info\".\"Service Life\": missing from [\"Device Info\"]";
    QTest::newRow("value outside its list") << QStringList{"\"Start Mode\" = \"Right Now\"", "\"Start Mode\" = \"Later\""}
                                            << QStringList{} << "\"Later\""
                                            << "\"Start Mode\": \"Later\" is not one of \"Right Now\", \"Delayed\", \"Timing\"";
    QTest::newRow("five digits of service life") << QStringList{"\"365\"", "\"65535\""} << QStringList{} << "65535"
        << "\"Service Life\": \"65535\" is not a number of up to 4 digits, as the window takes it";
    QTest::newRow("a value of the wrong type") << QStringList{"\"365\"", "365"} << QStringList{} << "365"
                                               << "\"Service Life\": is not a text in quotes";
    QTest::newRow("a character the logger cannot store")
        << QStringList{"\"Cold chain shipment\"", "\"Cold chain \\u20AC\""} << QStringList{} << "Cold chain"
        << "the logger stores only characters";
    QTest::newRow("broken file") << QStringList{"\"Start Mode\" = \"Right Now\"", "\"Start Mode\" = \"Right Now"}
                                 << QStringList{} << "\"Start Mode\"" << "not a TOML file";
    // toml++ 3.3.0 ran into a branch it declares unreachable here.
    QTest::newRow("a letter right after a value")
        << QStringList{"\"Start Mode\" = \"Right Now\"", "\"Start Mode\" = \"Right Now\"\u00E9"} << QStringList{}
        << "\"Start Mode\"" << "saw '\u00E9'";
    QTest::newRow("newer format") << QStringList{"format = 1", "format = 2"} << QStringList{} << "format = 2"
                                  << "format: format 2 is newer than this loggercfg reads (format 1)";
    QTest::newRow("no such file") << QStringList{"<file>", "missing"} << QStringList{} << ""
                                  << "No such file or directory";
    QTest::newRow("a device that never ends") << QStringList{"<file>", "/dev/zero"} << QStringList{} << ""
                                              << "not a regular file (a pipe or a device)";
    // Regression: the open waited for somebody to write into the pipe.
    QTest::newRow("a pipe nobody writes to") << QStringList{"<file>", "<fifo>"} << QStringList{} << ""
                                             << "not a regular file (a pipe or a device)";
    QTest::newRow("a folder") << QStringList{"<file>", "/tmp"} << QStringList{} << "" << "a folder, not a file";
    QTest::newRow("a file too large") << QStringList{"<file>", "<large>"} << QStringList{} << ""
                                      << "larger than 1 MiB: not a settings file";
    // What the logger cannot hold as written.
    QTest::newRow("multiple alarm with H3, H2 and L2 off")
        << QStringList{"Alarm = \"Single Alarm\"", "Alarm = \"Multiple Alarm\"",
                       "[\"Alarm Setting\".\"Multiple Alarm\".\"Temperature H3:Over\"]\non = true",
                       "[\"Alarm Setting\".\"Multiple Alarm\".\"Temperature H3:Over\"]\non = false",
                       "[\"Alarm Setting\".\"Multiple Alarm\".\"Temperature H2:Over\"]\non = true",
                       "[\"Alarm Setting\".\"Multiple Alarm\".\"Temperature H2:Over\"]\non = false",
                       "[\"Alarm Setting\".\"Multiple Alarm\".\"Temperature L2:Below\"]\non = true",
                       "[\"Alarm Setting\".\"Multiple Alarm\".\"Temperature L2:Below\"]\non = false",
                       "[\"Alarm Setting\".\"Multiple Alarm\".\"Humidity H1:Over\"]\non = true",
                       "[\"Alarm Setting\".\"Multiple Alarm\".\"Humidity H1:Over\"]\non = false",
                       "[\"Alarm Setting\".\"Multiple Alarm\".\"Humidity L1:Below\"]\non = true",
                       "[\"Alarm Setting\".\"Multiple Alarm\".\"Humidity L1:Below\"]\non = false",
                       "\"Temperature/Humidity\" = \"\"  # at most 99.99 in multiple alarm\n\"Alarm Mode\" = \"Single\"  "
                       "# Single, Cumulative\n\"Alarm Delay\" = { H = \"0\", M = \"0\", S = \"0\" }\n\n[\"Alarm "
                       "Setting\".\"Multiple Alarm\".\"Temperature L1",
                       "\"Temperature/Humidity\" = \"25.50\"\n\"Alarm Mode\" = \"Single\"\n\"Alarm Delay\" = { H = "
                       "\"0\", M = \"0\", S = \"0\" }\n\n[\"Alarm Setting\".\"Multiple Alarm\".\"Temperature L1",
                       "\"Temperature/Humidity\" = \"\"  # at most 99.99 in multiple alarm\n\"Alarm Mode\" = \"Single\"  "
                       "# Single, Cumulative\n\"Alarm Delay\" = { H = \"0\", M = \"0\", S = \"0\" }\n\n[\"Alarm "
                       "Setting\".\"Multiple Alarm\".\"Temperature L2",
                       "\"Temperature/Humidity\" = \"2.00\"\n\"Alarm Mode\" = \"Single\"\n\"Alarm Delay\" = { H = "
                       "\"0\", M = \"0\", S = \"0\" }\n\n[\"Alarm Setting\".\"Multiple Alarm\".\"Temperature L2"}
        << QStringList{} << "on = false"
        << "\"Alarm Setting\".\"Multiple Alarm\".\"Temperature H3:Over\".on: Multiple Alarm needs Temperature H3, H2 "
           "or L2 switched on: with all three off the logger reads the setting back as Single Alarm";
    QTest::newRow("an alarm mode left empty") << QStringList{"\"Alarm Mode\" = \"Single\"", "\"Alarm Mode\" = \"\""}
                                              << QStringList{} << "\"Alarm Mode\" = \"\""
                                              << "\"Alarm Mode\": is left empty, and a write would store some item";
    QTest::newRow("trip information longer than a write carries")
        << QStringList{"text = \"Cold chain shipment\"", "text = \"" + QString(92, u'x') + "\\nx\""} << QStringList{}
        << "text = " << "is 95 bytes long (a line break counts two); a write carries 94";
    QTest::newRow("a threshold beyond its byte") << QStringList{"\"8.00\"", "\"300\""} << QStringList{} << "\"300\""
                                                 << "is outside -255.99 to 255.99";
    QTest::newRow("a serial number the window would not take")
        << QStringList{"\"A05123456\"", "\"A-1234567\""} << QStringList{"--with-identity"} << "A-1234567"
        << "identity.\"Serial Number\": \"A-1234567\" is not a letter or a digit followed by digits";
    QTest::newRow("a start time that does not exist")
        << QStringList{"\"Start Mode\" = \"Right Now\"", "\"Start Mode\" = \"Timing\"", "D = \"1\", H", "D = \"30\", H",
                       "M = \"1\", D", "M = \"2\", D"}
        << QStringList{} << "Y = \"2018\"" << "\"Device Info\".\"Start Time\": The Start Time 2018-02-30 does not exist";
    QTest::newRow("a low limit above its high one, without --yes")
        << QStringList{"\"2.00\"", "\"9.00\""} << QStringList{} << ""
        << "looks mistaken (see above); nothing was written: check it, or write it as it stands with --yes";
}

void TestLoggerctl::badFileSendsNothing()
{
    QFETCH(QStringList, edits);
    QFETCH(QStringList, options);
    QFETCH(QString, marker);
    QFETCH(QString, message);

    auto logger = StartLogger(Port);
    TSettingsFile good;
    good.Values = RecordSettings(logger->ParameterRecord());
    QString text = QString::fromStdString(WriteSettingsFile(good));
    QString path;
    if (edits.value(1) == QLatin1String("<fifo>")) {
        path = Path(QStringLiteral("pipe.toml"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (edits.value(1) == QLatin1String("<large>")) {
        path = WriteText(QStringLiteral("large.toml"), text.toUtf8() + QByteArray(1 << 20, '#'));
    } else if (edits.first() == QLatin1String("<file>")) {
        path = edits[1].startsWith(u'/') ? edits[1] : Path(edits[1]);
    } else {
        for (qsizetype e = 0; e + 1 < edits.size(); e += 2) {
            QVERIFY2(text.contains(edits[e]), qPrintable(edits[e]));
            text.replace(text.indexOf(edits[e]), edits[e].size(), edits[e + 1]);
        }
        path = WriteText(QStringLiteral("bad.toml"), text.toUtf8());
    }

    QElapsedTimer clock;
    clock.start();
    const TCtlRun run = RunCtl(Write(path, Port) + options, {}, 10000);
    // Refused before any port is opened, so at once whatever the file is.
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QCOMPARE(run.Status, 2);
    QString where = path;
    if (!marker.isEmpty()) {
        const qsizetype at = text.indexOf(marker);
        QVERIFY(at >= 0);
        where = QStringLiteral("%1:%2: ").arg(path).arg(text.left(at).count(u'\n') + 1);
    }
    const QString last = run.Err.section(u'\n', -2, -2);
    QVERIFY2(last.startsWith(where), qPrintable(run.Err));
    QVERIFY2(last.contains(message), qPrintable(run.Err));
    QVERIFY(logger->ReceivedFrames().empty());
    QVERIFY(Backups().isEmpty());
}

// One table of loggers that acknowledge a write and then hold something
// else: verify names each setting that differs from what the file asked for.
void TestLoggerctl::verifyCatchesWhatTheLoggerDidNotKeep_data()
{
    QTest::addColumn<TFaultMode>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QStringList>("unsaid");

    const QString failed = QStringLiteral("verify failed: the logger A05123456 (device ID 1A2B3C4D) on ttyE2E_CTL holds");
    QTest::newRow("kept as sent") << TFaultMode::None << 0 << QStringList{"verified every setting"}
                                  << QStringList{"asked"};
    QTest::newRow("one byte stored wrong")
        << TFaultMode::WrongByte << 1
        << QStringList{"Log Interval: asked { H = \"0\", M = \"15\", S = \"0\" }, the logger holds { H = \"0\", M = \"16\", "
                       "S = \"0\" }",
                       failed + " 1 setting(s) other than asked"}
        << QStringList{"Trip Information", "Stop Mode"};
    QTest::newRow("acknowledged but not stored")
        << TFaultMode::NotStored << 1
        << QStringList{"Log Interval: asked", "Trip Information: asked \"Batch 7, kept between 2 and 8 degrees from door "
                                              "to door\", the logger holds \"Cold chain shipment\"",
                       "Stop Mode: asked", "Password: asked", failed}
        << QStringList{"Start Mode", "Serial Number"};
    QTest::newRow("the trip text cut")
        << TFaultMode::CutTrip << 1
        << QStringList{"Trip Information: asked \"Batch 7, kept between 2 and 8 degrees from door to door\", the logger "
                       "holds \"Batch 7, kept between 2 and 8 degrees fr\""}
        << QStringList{"Log Interval"};
    QTest::newRow("the password dropped") << TFaultMode::DropPassword << 1
                                          << QStringList{"Password: asked \"Ab12cd\", the logger holds \"\\u0000"}
                                          << QStringList{"Log Interval"};
    QTest::newRow("its identity changed") << TFaultMode::WrongIdentity << 1
                                          << QStringList{"Device ID: asked \"1A2B3C4D\", the logger holds \"1A2B3C4E\""}
                                          << QStringList{"Log Interval"};
    QTest::newRow("its calibration changed")
        << TFaultMode::WrongCalibration << 1
        << QStringList{"Calibration Temperature: asked \"0.00\", the logger holds \"0.01\""} << QStringList{"Log Interval"};
}

void TestLoggerctl::verifyCatchesWhatTheLoggerDidNotKeep()
{
    QFETCH(TFaultMode, fault);
    QFETCH(int, status);
    QFETCH(QStringList, said);
    QFETCH(QStringList, unsaid);

    auto logger = StartLogger(Port, fault);
    TSettingsFile file;
    file.Values = RecordSettings(logger->ParameterRecord());
    const QByteArray text = Edited(QByteArray::fromStdString(WriteSettingsFile(file)),
                                   {Edits[0], Edits[1], Edits[2], Edits[3], Edits[7], Edits[5], Edits[6]});
    const TCtlRun run = RunCtl(Write(WriteText(QStringLiteral("edited.toml"), text), Port));
    QCOMPARE(run.Status, status);
    for (const QString &text : said)
        QVERIFY2(run.Err.contains(text), qPrintable(run.Err));
    for (const QString &text : unsaid)
        QVERIFY2(!run.Err.contains(text), qPrintable(run.Err));
    QCOMPARE(Backups().size(), 1);
    QVERIFY2(run.Err.contains(Backups().first()), qPrintable(run.Err));
}

// A logger changed on a cable that stays plugged in, right after the first
// one answered: the newcomer is sent nothing, not another's identity above all.
void TestLoggerctl::anotherLoggerBetweenReadAndWriteIsNotWritten()
{
    auto logger = StartLogger(Port);
    TFrameBuffer newcomer = logger->ParameterRecord();
    QVERIFY(SetSerialNumber(newcomer, "B07654321"));
    PatchBytes(newcomer, "13: E5 D4 C3 B2");
    SealRecord(newcomer);
    logger->ChangeLoggerAfterAnswers(1, newcomer);
    TSettingsFile file;
    file.Values = RecordSettings(logger->ParameterRecord());
    const QString path = WriteText(QStringLiteral("edited.toml"),
                                   Edited(QByteArray::fromStdString(WriteSettingsFile(file)), {Edits[0]}));
    const TCtlRun run = RunCtl(Write(path, Port));
    QCOMPARE(run.Status, 1);
    QCOMPARE(run.Err, QStringLiteral("another logger answers on %1: B07654321 (device ID E5D4C3B2), where A05123456 "
                                     "(device ID 1A2B3C4D) was read; nothing was written\n")
                          .arg(Port));
    QCOMPARE(WriteFrames(*logger), 0u);
    QVERIFY(logger->ParameterRecord() == newcomer);
}

// A calibration stored as hundredths byte 150 reads as "0.150" and would be
// written back as 0.15: a template keeps the logger's bytes instead.
void TestLoggerctl::templateKeepsBytesThatTextCannotGive()
{
    auto logger = StartLogger(Port);
    TFrameBuffer odd = logger->ParameterRecord();
    PatchBytes(odd, "40: 96");
    SealRecord(odd);
    logger->SetParameterRecord(odd);
    TSettingsFile file;
    file.Values = RecordSettings(logger->ParameterRecord());
    const QString path = WriteText(QStringLiteral("edited.toml"),
                                   Edited(QByteArray::fromStdString(WriteSettingsFile(file)), {Edits[0]}));
    const TCtlRun run = RunCtl(Write(path, Port));
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    const auto blocks = logger->ReceivedFrames();
    QVERIFY(IsWriteFrame(blocks.at(2)));
    QCOMPARE(blocks[2][40], std::uint8_t(150));
    QCOMPARE(logger->ParameterRecord()[40], std::uint8_t(150));
}

// The logger goes quiet between the read and the write: the write is not
// acknowledged, and the backup taken before it stays.
void TestLoggerctl::unacknowledgedWriteFails()
{
    auto logger = StartLogger(Port);
    TSettingsFile file;
    file.Values = RecordSettings(logger->ParameterRecord());
    const QString path = WriteText(QStringLiteral("same.toml"), QByteArray::fromStdString(WriteSettingsFile(file)));

    QProcess process;
    process.start(QStringLiteral(LOGGERCTL), Write(path, Port));
    QVERIFY(process.waitForStarted());
    // The write follows the second probe's answer, the one that finds the same
    // logger again, by more than 300 ms; that answer is on its way already.
    QElapsedTimer clock;
    clock.start();
    while (logger->ReceivedFrames().size() < 2 && clock.elapsed() < 10000)
        QTest::qWait(5);
    logger->SetFaultMode(TFaultMode::Silent);
    QVERIFY(process.waitForFinished(20000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.startsWith(QStringLiteral("the logger on %1 did not acknowledge the write; it may hold the new settings "
                                           "or the old ones: read it to see which")
                                .arg(Port)),
             qPrintable(err));
    QCOMPARE(WriteFrames(*logger), 1u);
    QCOMPARE(Backups().size(), 1);
}

void TestLoggerctl::restorePutsTheBackupBack()
{
    auto logger = StartLogger(Port);
    // A reserved byte that no setting shows, which a write with its identity clears.
    TFrameBuffer held = logger->ParameterRecord();
    PatchBytes(held, "12: 07");
    SealRecord(held);
    logger->SetParameterRecord(held);
    const TSettingValues original = RecordSettings(held);
    TSettingsFile file;
    file.Values = original;
    const QByteArray text = QByteArray::fromStdString(WriteSettingsFile(file));
    const QString edited = WriteText(QStringLiteral("edited.toml"), Edited(text, {Edits[0]}));
    QCOMPARE(RunCtl(Write(edited, Port) << QStringLiteral("--with-identity")).Status, 0);
    QCOMPARE(logger->ParameterRecord()[12], std::uint8_t(0));
    QCOMPARE(Backups().size(), 1);
    const QString backup = QDir(Path(QStringLiteral("backups"))).filePath(Backups().first());

    const QStringList diff = {QStringLiteral("diff"), backup, QStringLiteral("--port"), Port};
    TCtlRun run = RunCtl(diff);
    QCOMPARE(run.Status, 1);
    QCOMPARE(run.Out, QStringLiteral("Log Interval: logger { H = \"0\", M = \"15\", S = \"0\" }, file { H = \"0\", "
                                     "M = \"5\", S = \"0\" }\n"));

    const QStringList restore = {QStringLiteral("restore"), backup, QStringLiteral("--port"), Port,
                                 QStringLiteral("--backup-dir"), Path(QStringLiteral("backups"))};
    run = RunCtl(restore);
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    QVERIFY2(run.Err.contains(QLatin1String("note: the backup puts back bytes that no setting shows, at record offsets 12")),
             qPrintable(run.Err));
    QVERIFY(logger->ParameterRecord() == held);
    QCOMPARE(Backups().size(), 2);
    run = RunCtl(diff);
    QCOMPARE(run.Status, 0);
    QCOMPARE(run.Out, QString());

    // A settings file is no backup: restore refuses it before any port is opened.
    const std::size_t received = logger->ReceivedFrames().size();
    run = RunCtl(QStringList{restore}.replaceInStrings(backup, edited));
    QCOMPARE(run.Status, 2);
    QCOMPARE(run.Err, QStringLiteral("%1 is a settings file, not a backup: restore takes only backups; write it with "
                                     "loggerctl write %1\n")
                          .arg(edited));
    QCOMPARE(logger->ReceivedFrames().size(), received);

    // A backup of another logger is refused before anything is sent...
    TFrameBuffer otherRecord = held;
    QVERIFY(SetSerialNumber(otherRecord, "B07654321"));
    SealRecord(otherRecord);
    TSettingsFile otherBackup;
    otherBackup.Kind = TSettingsFileKind::Backup;
    otherBackup.Values = RecordSettings(otherRecord);
    otherBackup.Record = otherRecord;
    const QString other = WriteText(QStringLiteral("other.toml"), QByteArray::fromStdString(WriteSettingsFile(otherBackup)));
    const std::size_t writes = WriteFrames(*logger);
    run = RunCtl(QStringList{restore}.replaceInStrings(backup, other));
    QCOMPARE(run.Status, 2);
    QVERIFY2(run.Err.contains(QStringLiteral("holds the settings of the logger B07654321, but the logger on %1 is "
                                             "A05123456; nothing was written (--force restores it anyway)")
                                  .arg(Port)),
             qPrintable(run.Err));
    QCOMPARE(WriteFrames(*logger), writes);
    QCOMPARE(Backups().size(), 2);

    // ...and written whole, identity included, when forced.
    run = RunCtl(QStringList{restore}.replaceInStrings(backup, other) << QStringLiteral("--force"));
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    QCOMPARE(SerialNumberText(logger->ParameterRecord()), std::string("B07654321"));
}

QTEST_GUILESS_MAIN(TestLoggerctl)
#include "tst_ctl_loggerctl.moc"
