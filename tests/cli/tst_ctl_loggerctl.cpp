#include "CheckCases.h"
#include "ControlTable.h"
#include "CtlSupport.h"
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
    void unacknowledgedWriteFails();
    void restorePutsTheBackupBack();
    void loggerTextIsPrintable_data();
    void loggerTextIsPrintable();
    void noQtInternalsOnStderr_data();
    void noQtInternalsOnStderr();

private:
    QString Path(const QString &name) const { return FFiles->filePath(name); }
    QString WriteText(const QString &name, const QByteArray &text) const;
    QStringList Write(const QString &file, const QString &port) const
    {
        return {QStringLiteral("write"), file, QStringLiteral("--port"), port, QStringLiteral("--backup-dir"),
                Path(QStringLiteral("backups"))};
    }
    QStringList Backups() const { return QDir(Path(QStringLiteral("backups"))).entryList(QDir::Files, QDir::Name); }

    std::unique_ptr<TPrivateRuntime> FRuntime;
    std::unique_ptr<QTemporaryDir> FFiles;
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

// The frame the core encodes from File over Record, with the clock left as
// Clock's: what the emulator must have received.
TFrameBuffer ExpectedFrame(const TFrameBuffer &Record, const TSettingValues &File, const TFrameBuffer &Clock)
{
    TParameterSet set;
    set.SetText(Ctl::edtSerialNumber, SerialNumberText(Record));
    DecodeParameterRecord(Record, set, ".");
    ApplySettings(set, File, TScopes{}, ".");
    SetSystemTime(set, ZoneClock(std::chrono::system_clock::now(), UtcZoneIndex));
    TFrameBuffer frame = Record;
    EncodeWriteFrame(frame, set, ".");
    std::copy_n(Clock.begin() + Offset::SystemTime, 6, frame.begin() + Offset::SystemTime);
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
    FRuntime = std::make_unique<TPrivateRuntime>();
    FFiles = std::make_unique<QTemporaryDir>();
    QVERIFY(FRuntime->IsValid() && FFiles->isValid());
    // Never the user's own data folder, even where a test forgets --backup-dir.
    qputenv("XDG_DATA_HOME", QFile::encodeName(Path(QStringLiteral("data"))));
}

void TestLoggerctl::cleanup()
{
    FFiles.reset();
    FRuntime.reset();
}

QString TestLoggerctl::WriteText(const QString &name, const QByteArray &text) const
{
    QFile file(Path(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
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

    const auto blocks = logger->ReceivedFrames();
    QCOMPARE(blocks.size(), 4u);  // two probes, the frame, the read-back's probe
    QVERIFY(IsWriteFrame(blocks[2]));
    const TFrameBuffer sent = ToFrame(blocks[2]);
    QCOMPARE(sent, ExpectedFrame(before, file.Values, sent));
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

        const TCtlRun run = RunCtl(Write(path, Port) + QStringList{QStringLiteral("--with-identity"),
                                                                 QStringLiteral("--with-calibration")});
        const QByteArray name = row.Name;
        if (row.Message) {
            QVERIFY2(run.Status == 2, name + ": " + run.Err.toUtf8());
            QVERIFY2(run.Err == QString::fromUtf8(row.Message) + QLatin1Char('\n'), name + ": " + run.Err.toUtf8());
            QVERIFY2(WriteFrames(*logger) == writes, name);
        } else {
            QVERIFY2(run.Status == 0, name + ": " + run.Err.toUtf8());
            QVERIFY2(WriteFrames(*logger) == writes + 1, name);
        }
    }
}

void TestLoggerctl::badFileSendsNothing_data()
{
    QTest::addColumn<QString>("from");    // "<file>": the file itself is the fault
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("marker");  // the line the message names holds it; empty: no line
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown key") << "\"Start Mode\" =" << "\"Start Mod\" = \"Timing\"\n\"Start Mode\" ="
                                 << "\"Start Mod\"" << "\"Device Info\".\"Start Mod\": unknown key in [\"Device Info\"]";
    QTest::newRow("missing key") << "\"Service Life\" = \"365\"  # days\n" << "" << "[\"Device Info\"]"
                                 << "\"Device Info\".\"Service Life\": missing from [\"Device Info\"]";
    QTest::newRow("value outside its list") << "\"Start Mode\" = \"Right Now\"" << "\"Start Mode\" = \"Later\""
                                            << "\"Later\""
                                            << "\"Start Mode\": \"Later\" is not one of \"Right Now\", \"Delayed\", \"Timing\"";
    QTest::newRow("value outside its range") << "\"365\"" << "\"65536\"" << "65536"
                                             << "\"Service Life\": \"65536\" is not a number of days from 0 to 65535";
    QTest::newRow("a value of the wrong type") << "\"365\"" << "365" << "365" << "\"Service Life\": is not a text in quotes";
    QTest::newRow("a character the logger cannot store") << "\"Cold chain shipment\"" << "\"Cold chain \\u20AC\""
                                                          << "Cold chain" << "the logger stores only characters";
    QTest::newRow("broken file") << "\"Start Mode\" = \"Right Now\"" << "\"Start Mode\" = \"Right Now" << "\"Start Mode\""
                                 << "not a TOML file";
    // toml++ 3.3.0 ran into a branch it declares unreachable here.
    QTest::newRow("a letter right after a value") << "\"Start Mode\" = \"Right Now\"" << "\"Start Mode\" = \"Right Now\"\u00E9"
                                                  << "\"Start Mode\"" << "saw '\u00E9'";
    QTest::newRow("newer format") << "format = 1" << "format = 2" << "format = 2"
                                  << "format: format 2 is newer than this loggercfg reads (format 1)";
    QTest::newRow("no such file") << "<file>" << "missing" << "" << "No such file or directory";
    QTest::newRow("a device that never ends") << "<file>" << "/dev/zero" << "" << "not a regular file (a pipe or a device)";
    // Regression: the open waited for somebody to write into the pipe.
    QTest::newRow("a pipe nobody writes to") << "<file>" << "<fifo>" << "" << "not a regular file (a pipe or a device)";
    QTest::newRow("a folder") << "<file>" << "/tmp" << "" << "a folder, not a file";
    QTest::newRow("a file too large") << "<file>" << "<large>" << "" << "larger than 1 MiB: not a settings file";
}

void TestLoggerctl::badFileSendsNothing()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, marker);
    QFETCH(QString, message);

    auto logger = StartLogger(Port);
    TSettingsFile good;
    good.Values = RecordSettings(logger->ParameterRecord());
    QString text = QString::fromStdString(WriteSettingsFile(good));
    QString path;
    if (to == QLatin1String("<fifo>")) {
        path = Path(QStringLiteral("pipe.toml"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (to == QLatin1String("<large>")) {
        path = WriteText(QStringLiteral("large.toml"), text.toUtf8() + QByteArray(1 << 20, '#'));
    } else if (from == QLatin1String("<file>")) {
        path = to.startsWith(u'/') ? to : Path(to);
    } else {
        QVERIFY2(text.contains(from), qPrintable(from));
        text.replace(text.indexOf(from), from.size(), to);
        path = WriteText(QStringLiteral("bad.toml"), text.toUtf8());
    }

    QElapsedTimer clock;
    clock.start();
    const TCtlRun run = RunCtl(Write(path, Port), {}, 10000);
    // Refused before any port is opened, so at once whatever the file is.
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QCOMPARE(run.Status, 2);
    QString where = path + QStringLiteral(": ");
    if (!marker.isEmpty()) {
        const qsizetype at = text.indexOf(marker);
        QVERIFY(at >= 0);
        where = QStringLiteral("%1:%2: ").arg(path).arg(text.left(at).count(u'\n') + 1);
    }
    QVERIFY2(run.Err.startsWith(where), qPrintable(run.Err));
    QVERIFY2(run.Err.contains(message), qPrintable(run.Err));
    QCOMPARE(run.Err.count(u'\n'), 1);
    QVERIFY(logger->ReceivedFrames().empty());
    QVERIFY(Backups().isEmpty());
}

void TestLoggerctl::verifyCatchesWhatTheLoggerDidNotKeep_data()
{
    QTest::addColumn<TFaultMode>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QStringList>("unsaid");

    QTest::newRow("kept as sent") << TFaultMode::None << 0 << QStringList{"verified every setting"}
                                  << QStringList{"expected"};
    QTest::newRow("one byte stored wrong")
        << TFaultMode::WrongByte << 1
        << QStringList{"Log Interval: expected { H = \"0\", M = \"15\", S = \"0\" }, read back { H = \"0\", M = \"16\", S = \"0\" }",
                       "verify failed: the logger A05123456 on ttyE2E_CTL holds 1 setting(s) other than written"}
        << QStringList{"Trip Information", "Stop Mode"};
    QTest::newRow("acknowledged but not stored")
        << TFaultMode::NotStored << 1
        << QStringList{"Log Interval: expected", "Trip Information: expected \"Batch 7\\nline two, °C\", read back \"Cold chain shipment\"",
                       "Stop Mode: expected", "holds 5 setting(s) other than written"}
        << QStringList{"Start Mode", "Serial Number"};
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
                                   {Edits[0], Edits[1], Edits[2], Edits[3], Edits[4]});
    const TCtlRun run = RunCtl(Write(WriteText(QStringLiteral("edited.toml"), text), Port));
    QCOMPARE(run.Status, status);
    for (const QString &text : said)
        QVERIFY2(run.Err.contains(text), qPrintable(run.Err));
    for (const QString &text : unsaid)
        QVERIFY2(!run.Err.contains(text), qPrintable(run.Err));
    QCOMPARE(Backups().size(), 1);
    QVERIFY2(run.Err.contains(Backups().first()), qPrintable(run.Err));
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
    // The write follows the probe's answer by more than 300 ms.
    QElapsedTimer clock;
    clock.start();
    while (logger->ReceivedFrames().empty() && clock.elapsed() < 10000)
        QTest::qWait(5);
    logger->SetFaultMode(TFaultMode::Silent);
    QVERIFY(process.waitForFinished(20000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.startsWith(QStringLiteral("the logger on %1 did not acknowledge the write").arg(Port)), qPrintable(err));
    QCOMPARE(WriteFrames(*logger), 1u);
    QCOMPARE(Backups().size(), 1);
}

void TestLoggerctl::restorePutsTheBackupBack()
{
    auto logger = StartLogger(Port);
    const TSettingValues original = RecordSettings(logger->ParameterRecord());
    TSettingsFile file;
    file.Values = original;
    const QByteArray text = QByteArray::fromStdString(WriteSettingsFile(file));
    QCOMPARE(RunCtl(Write(WriteText(QStringLiteral("edited.toml"), Edited(text, {Edits[0]})), Port)).Status, 0);
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
    QCOMPARE(RecordSettings(logger->ParameterRecord()), original);
    QCOMPARE(Backups().size(), 2);
    run = RunCtl(diff);
    QCOMPARE(run.Status, 0);
    QCOMPARE(run.Out, QString());

    // A backup of another logger is refused before anything is sent...
    QFile own(backup);
    QVERIFY(own.open(QIODevice::ReadOnly));
    const QString other = WriteText(QStringLiteral("other.toml"), own.readAll().replace("A05123456", "B07654321"));
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


// A serial number with an escape character in it, as a logger with a damaged
// memory could send: a terminal must not take it for a command.
void TestLoggerctl::loggerTextIsPrintable_data()
{
    QTest::addColumn<QStringList>("arguments");  // %file: a settings file of the logger as it was; %out: one to write
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("stream");  // out or err
    QTest::addColumn<QString>("line");    // one line of it, blanks run together
    QTest::newRow("read") << QStringList{"read", "--port", Port, "-o", "%out"} << 0 << "err"
                          << "read the logger A0512\\x1b456 on ttyE2E_CTL into %out";
    QTest::newRow("ports --probe") << QStringList{"ports", "--probe"} << 0 << "out" << "ttyE2E_CTL logger A0512\\x1b456";
    QTest::newRow("diff") << QStringList{"diff", "%file", "--port", Port, "--with-identity"} << 1 << "out"
                          << "Serial Number: logger \"A0512\\u001B456\", file \"A05123456\"";
    QTest::newRow("report") << QStringList{"report", "--port", Port, "-o", "%out"} << 0 << "err"
                            << "printed the configuration record of the logger A0512\\x1b456 on ttyE2E_CTL into %out";
}

void TestLoggerctl::loggerTextIsPrintable()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, stream);
    QFETCH(QString, line);
    auto logger = StartLogger(Port);
    const QString file = Path(QStringLiteral("before.toml"));
    QCOMPARE(RunCtl({QStringLiteral("read"), QStringLiteral("--port"), Port, QStringLiteral("-o"), file}).Status, 0);
    TFrameBuffer record = logger->ParameterRecord();
    record[Offset::SerialDigits + 2] = 0x1b;
    logger->SetParameterRecord(record);

    const QString out = Path(QStringLiteral("out"));
    arguments.replaceInStrings(QStringLiteral("%file"), file).replaceInStrings(QStringLiteral("%out"), out);
    const TCtlRun run = RunCtl(arguments);
    QCOMPARE(run.Status, status);
    QVERIFY2(!run.Out.contains(QChar(0x1b)) && !run.Err.contains(QChar(0x1b)), qPrintable(run.Out + run.Err));
    QStringList lines;
    for (const QString &printed : (stream == QLatin1String("out") ? run.Out : run.Err).split(u'\n'))
        lines << printed.simplified();
    QVERIFY2(lines.contains(QString(line).replace(QStringLiteral("%out"), out)), qPrintable(lines.join(u'\n')));
}

// Shells without a desktop login: Qt's own lookup of the runtime directory
// warned on stderr, each time it was made. %dir is a folder of the test's own,
// which also holds the temporary folder a missing runtime directory falls back on.
void TestLoggerctl::noQtInternalsOnStderr_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<bool>("told");  // our own one warning, that the port map is not where the user put it
    QTest::newRow("XDG_RUNTIME_DIR unset") << QStringList{"XDG_RUNTIME_DIR"} << false;
    QTest::newRow("XDG_RUNTIME_DIR a missing folder") << QStringList{"XDG_RUNTIME_DIR=%dir/missing"} << false;
    QTest::newRow("XDG_RUNTIME_DIR writable by others") << QStringList{"XDG_RUNTIME_DIR=%dir/open"} << true;
    QTest::newRow("HOME unset") << QStringList{"HOME"} << false;
    QTest::newRow("HOME and XDG_RUNTIME_DIR unset") << QStringList{"HOME", "XDG_RUNTIME_DIR"} << false;
}

void TestLoggerctl::noQtInternalsOnStderr()
{
    QFETCH(QStringList, environment);
    QFETCH(bool, told);
    auto logger = StartLogger(Port);
    // By its device, which no runtime directory hides.
    const QString device = QString::fromStdString(logger->SlavePath());
    const QString file = Path(QStringLiteral("logger.toml"));
    QCOMPARE(RunCtl({QStringLiteral("read"), QStringLiteral("--port"), device, QStringLiteral("-o"), file}).Status, 0);
    const QString dir = Path(QStringLiteral("env"));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/open")));
    QVERIFY(QFile::setPermissions(dir + QStringLiteral("/open"), QFileDevice::Permissions(0x7777)));
    environment.replaceInStrings(QStringLiteral("%dir"), dir);
    environment << QStringLiteral("TMPDIR=") + dir;

    const QList<std::pair<QStringList, int>> commands = {
        {{"ports"}, 0},
        {{"ports", "--probe"}, -1},  // whatever the computer's own ports answer
        {{"read", "--port", device}, 0},
        {{"diff", file, "--port", device}, 0},
        {{"report", "--port", device, "-o", Path(QStringLiteral("record.pdf"))}, 0},
    };
    for (const auto &[arguments, status] : commands) {
        const TCtlRun run = RunCtl(arguments, environment);
        const QString what = arguments.join(u' ') + QStringLiteral(": ") + run.Err;
        QVERIFY2(status < 0 || run.Status == status, qPrintable(what));
        QVERIFY2(!run.Err.contains(QLatin1String("QStandardPaths")), qPrintable(what));
        QVERIFY2(run.Err.count(QLatin1String("warning: XDG_RUNTIME_DIR")) == (told ? 1 : 0), qPrintable(what));
    }
}

QTEST_GUILESS_MAIN(TestLoggerctl)
#include "tst_ctl_loggerctl.moc"
