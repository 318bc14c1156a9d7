#include "CtlSupport.h"
#include "ParameterLayout.h"
#include "RecordDecoder.h"
#include "SettingsFile.h"
#include "Verify.h"

#include <QDir>
#include <QFileInfo>

// What loggerctl takes from where it runs, and what it gives back to the
// terminal: the station's file, the environment of a shell without a desktop
// login, text from a logger that a terminal could take for commands.
class TestCtlEnvironment : public QObject
{
    Q_OBJECT

private slots:
    void init() { FFolder = std::make_unique<TCtlFolder>(); }
    void cleanup() { FFolder.reset(); }

    void stationFile_data();
    void stationFile();
    void loggerTextIsPrintable_data();
    void loggerTextIsPrintable();
    void noQtInternalsOnStderr_data();
    void noQtInternalsOnStderr();

private:
    QString Path(const QString &name) const { return FFolder->Path(name); }
    QString WriteText(const QString &name, const QByteArray &text) const { return FFolder->WriteText(name, text); }

    std::unique_ptr<TCtlFolder> FFolder;
};

namespace {
const QString Port = QStringLiteral("ttyE2E_ENV");
} // namespace

// The station's file gives write its audit log, operator and backup folder;
// options on the command line win; a broken file is said and left out.
void TestCtlEnvironment::stationFile_data()
{
    QTest::addColumn<QString>("station");  // "LOG" and "DIR" stand for folders of the test
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("log");      // where the record went; empty: none
    QTest::addColumn<QString>("backups");  // the folder the backup went to
    QTest::addColumn<QString>("said");

    QTest::newRow("none") << "" << QStringList{} << "" << "data/loggerctl/backups" << "";
    QTest::newRow("every key honoured")
        << "audit_log = \"LOG/station.jsonl\"\noperator = \"tech1\"\nbackup_folder = \"DIR/kept\"\n" << QStringList{}
        << "station.jsonl" << "kept" << "audit record 2 appended to";
    QTest::newRow("options win")
        << "audit_log = \"LOG/station.jsonl\"\noperator = \"tech1\"\nbackup_folder = \"DIR/kept\"\n"
        << QStringList{"--audit", "LOG/own.jsonl", "--operator", "anna", "--backup-dir", "DIR/own"} << "own.jsonl" << "own"
        << "";
    QTest::newRow("a broken file is said, the defaults stand in")
        << "audit_log = 5\n" << QStringList{} << "" << "data/loggerctl/backups"
        << "station.toml:1: audit_log: is not a text in quotes; going on without the station's settings";
}

void TestCtlEnvironment::stationFile()
{
    QFETCH(QString, station);
    QFETCH(QStringList, options);
    QFETCH(QString, log);
    QFETCH(QString, backups);
    QFETCH(QString, said);

    auto logger = StartLogger(Port);
    const QString folder = FFolder->Files.path();
    if (!station.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(FFolder->Runtime.StationFile()).absolutePath()));
        QFile file(FFolder->Runtime.StationFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QString(station).replace(QLatin1String("LOG"), folder).replace(QLatin1String("DIR"), folder).toUtf8());
    }
    TSettingsFile settings;
    settings.Values = RecordSettings(logger->ParameterRecord());
    QByteArray text = QByteArray::fromStdString(WriteSettingsFile(settings));
    QVERIFY(text.contains("M = \"5\""));
    const QString path = WriteText(QStringLiteral("edited.toml"), text.replace("M = \"5\"", "M = \"15\""));
    const TCtlRun run = RunCtl(QStringList{QStringLiteral("write"), path, QStringLiteral("--port"), Port}
                               + options.replaceInStrings(QLatin1String("LOG"), folder)
                                     .replaceInStrings(QLatin1String("DIR"), folder));
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    QVERIFY2(run.Err.contains(said), qPrintable(run.Err));
    QCOMPARE(QDir(Path(backups)).entryList(QDir::Files).size(), 1);
    for (const QString &name : {QStringLiteral("station.jsonl"), QStringLiteral("own.jsonl")}) {
        QCOMPARE(QFile::exists(Path(name)), name == log);
        if (name == log) {
            QFile record(Path(name));
            QVERIFY(record.open(QIODevice::ReadOnly));
            const QByteArray line = record.readAll();
            QVERIFY2(line.contains(options.isEmpty() ? "\"operator\":\"tech1\"" : "\"operator\":\"anna\""), line.constData());
        }
    }
}

// A serial number with an escape character in it, as a logger with a damaged
// memory could send: a terminal must not take it for a command.
void TestCtlEnvironment::loggerTextIsPrintable_data()
{
    QTest::addColumn<QStringList>("arguments");  // %file: a settings file of the logger as it was; %out: one to write
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("stream");  // out or err
    QTest::addColumn<QString>("line");    // one line of it, blanks run together
    QTest::newRow("read") << QStringList{"read", "--port", Port, "-o", "%out"} << 0 << "err"
                          << "read the logger A0512\\x1b456 on ttyE2E_ENV into %out";
    QTest::newRow("ports --probe") << QStringList{"ports", "--probe"} << 0 << "out" << "ttyE2E_ENV logger A0512\\x1b456";
    QTest::newRow("diff") << QStringList{"diff", "%file", "--port", Port, "--with-identity"} << 1 << "out"
                          << "Serial Number: logger \"A0512\\u001B456\", file \"A05123456\"";
    QTest::newRow("report") << QStringList{"report", "--port", Port, "-o", "%out"} << 0 << "err"
                            << "printed the configuration record of the logger A0512\\x1b456 on ttyE2E_ENV into %out";
}

void TestCtlEnvironment::loggerTextIsPrintable()
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
void TestCtlEnvironment::noQtInternalsOnStderr_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<bool>("told");  // our own one warning, that the port map is not where the user put it
    QTest::newRow("XDG_RUNTIME_DIR unset") << QStringList{"XDG_RUNTIME_DIR"} << false;
    QTest::newRow("XDG_RUNTIME_DIR a missing folder") << QStringList{"XDG_RUNTIME_DIR=%dir/missing"} << false;
    QTest::newRow("XDG_RUNTIME_DIR writable by others") << QStringList{"XDG_RUNTIME_DIR=%dir/open"} << true;
    QTest::newRow("HOME unset") << QStringList{"HOME"} << false;
    QTest::newRow("HOME and XDG_RUNTIME_DIR unset") << QStringList{"HOME", "XDG_RUNTIME_DIR"} << false;
}

void TestCtlEnvironment::noQtInternalsOnStderr()
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

QTEST_GUILESS_MAIN(TestCtlEnvironment)
#include "tst_ctl_environment.moc"
