#include "AuditLog.h"
#include "AuditVerify.h"
#include "CtlSupport.h"
#include "LoggerSeries.h"
#include "SettingsFile.h"
#include "TestSupport.h"
#include "RecordDecoder.h"
#include "Verify.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <csignal>

#include <sys/resource.h>

using namespace std::chrono_literals;

// loggerctl batch, audit and report against emulated loggers plugged in and
// out on a schedule, run as a technician runs it: each logger written once,
// recorded and printed, the batch going on past a bad one, and a log that
// survives the batch being killed.
class TestCtlBatch : public QObject
{
    Q_OBJECT

private slots:
    void init() { FFolder = std::make_unique<TCtlFolder>(); }
    void cleanup() { FFolder.reset(); }

    void everyLoggerWrittenOnce_data();
    void everyLoggerWrittenOnce();
    void killedBetweenLoggersTheLogVerifiesAndGoesOn();
    void newcomerBetweenProbeAndWriteIsALoggerOfItsOwn();
    void refusedBeforeAnything_data();
    void refusedBeforeAnything();
    void recordThatCannotBeAppended_data();
    void recordThatCannotBeAppended();
    void writeAndRestoreKeepARecordEach();
    void auditThroughTheProgram_data();
    void auditThroughTheProgram();
    void reportOfTheLoggerAsItStands();

private:
    QString Path(const QString &name) const { return FFolder->Path(name); }
    QString Template(const char *minutes = "15") const;
    QStringList Batch(const QStringList &extra = {}) const;

    std::unique_ptr<TCtlFolder> FFolder;
};

namespace {

const std::string FirstSerial = "A05123456";

// A batch started and left running while the loggers come and go.
class TBatchProcess
{
public:
    explicit TBatchProcess(const QStringList &arguments,
                           std::function<void()> childSetup = {})
    {
        if (childSetup)
            FProcess.setChildProcessModifier(childSetup);
        FProcess.start(QStringLiteral(LOGGERCTL), arguments);
        FProcess.waitForStarted();
    }
    ~TBatchProcess()
    {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished();
        }
    }
    // Waits until stdout holds Text.
    bool Said(const QString &text, int ms = 30000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!Out().contains(text)) {
            if (clock.elapsed() > ms || FProcess.state() == QProcess::NotRunning)
                return Out().contains(text);
            FProcess.waitForReadyRead(100);
        }
        return true;
    }
    void Signal(int signal) { ::kill(pid_t(FProcess.processId()), signal); }
    TCtlRun Finish(int ms = 30000)
    {
        TCtlRun run;
        if (!FProcess.waitForFinished(ms) || FProcess.exitStatus() != QProcess::NormalExit) {
            run.Err = QStringLiteral("loggerctl batch did not end normally: ") + Err();
            return run;
        }
        run.Status = FProcess.exitCode();
        run.Out = Out();
        run.Err = Err();
        return run;
    }
    QString Out()
    {
        FOut += FProcess.readAllStandardOutput();
        return QString::fromUtf8(FOut);
    }
    QString Err()
    {
        FErr += FProcess.readAllStandardError();
        return QString::fromUtf8(FErr);
    }

private:
    QProcess FProcess;
    QByteArray FOut, FErr;
};

std::vector<TAuditRecord> Records(const QString &log)
{
    TAuditContents contents;
    QString error;
    if (!ReadAuditLog(log, &contents, &error))
        qWarning("%s", qPrintable(error));
    return contents.Records;
}

// The results of the writes, each right after its intent.
std::vector<TAuditRecord> Results(const QString &log)
{
    std::vector<TAuditRecord> results;
    const std::vector<TAuditRecord> all = Records(log);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].Kind != TAuditKind::Result)
            continue;
        if (i == 0 || all[i].Intent != all[i - 1].Sequence || all[i - 1].Kind != TAuditKind::Intent)
            qWarning("record %lld is no result of the intent before it", static_cast<long long>(all[i].Sequence));
        results.push_back(all[i]);
    }
    return results;
}

QString PdfText(const QString &pdf)
{
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    text.waitForFinished();
    return QString::fromUtf8(text.readAllStandardOutput());
}

QByteArray Sha256Of(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

} // namespace

// The emulator's own settings with another interval, so that every write
// changes the logger and a write that is not kept shows.
QString TestCtlBatch::Template(const char *minutes) const
{
    TSettingsFile file;
    file.Values = RecordSettings(DefaultParameterRecord());
    file.Values.at(SettingIndex("Log Interval")).at(1) = minutes;
    const QString path = Path(QStringLiteral("template-%1.toml").arg(QLatin1String(minutes)));
    QFile out(path);
    const std::string text = WriteSettingsFile(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), qint64(text.size())) != qint64(text.size()))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QStringList TestCtlBatch::Batch(const QStringList &extra) const
{
    return QStringList{QStringLiteral("batch"), Template(), QStringLiteral("--audit"), Path(QStringLiteral("audit.jsonl")),
                       QStringLiteral("--backup-dir"), Path(QStringLiteral("backups"))}
           + extra;
}

void TestCtlBatch::everyLoggerWrittenOnce_data()
{
    QTest::addColumn<QString>("layout");  // how the loggers follow each other
    QTest::addColumn<int>("failing");     // the one that does not keep its write, or -1
    QTest::addColumn<int>("signal");      // that ends the batch
    QTest::addColumn<bool>("bystander");  // a logger on another port, left out by --port

    QTest::newRow("one port name, each unplugged in turn, Ctrl+C") << "one name" << -1 << SIGINT << false;
    QTest::newRow("a port each, one logger not keeping its write, SIGTERM") << "a port each" << 1 << SIGTERM << false;
    QTest::newRow("another logger on the same cable") << "same cable" << -1 << SIGINT << false;
    // The fault: a logger that never goes away, listed first, was taken and
    // then held the batch for good.
    QTest::newRow("--port: a logger on another port is left alone") << "one name" << -1 << SIGINT << true;
}

void TestCtlBatch::everyLoggerWrittenOnce()
{
    QFETCH(QString, layout);
    QFETCH(int, failing);
    QFETCH(int, signal);
    QFETCH(bool, bystander);

    TLoggerEmulator standing("ttyAAA");
    if (bystander)
        QVERIFY(standing.Start());
    constexpr std::size_t Count = 3;
    TLoggerSeries series(FirstSerial, Count);
    QStringList serials;  // before the same cable changes the first line's record
    for (std::size_t i = 0; i < Count; ++i)
        serials << QString::fromStdString(series.SerialNumber(i));
    if (failing >= 0)
        series[std::size_t(failing)].SetFaultMode(TFaultMode::NotStored);
    const bool sameCable = layout == QLatin1String("same cable");
    std::vector<TPlugStep> steps;
    for (std::size_t i = 0; i < Count; ++i) {
        const std::size_t line = sameCable ? 0 : i;
        if (sameCable && i > 0)
            steps.push_back(TPlugStep::Changing(0, i));
        else
            steps.push_back(TPlugStep::PlugIn(i, layout == QLatin1String("a port each") ? "ttyBATCH" + std::to_string(i)
                                                                                        : "ttyBATCH"));
        steps.push_back(TPlugStep::WaitWritten(line, 20s));
        // The first one stays plugged in long enough to be asked again and
        // again, the last one until the batch ends.
        steps.push_back(TPlugStep::Pause(i == 0 ? 3000ms : 300ms));
        if (!sameCable && i + 1 < Count)
            steps.push_back(TPlugStep::Unplugging(i));
    }
    TPlugSchedule schedule(series, steps);
    const QString reports = Path(QStringLiteral("reports"));
    QStringList options{QStringLiteral("--operator"), QStringLiteral("tester"), QStringLiteral("--report-dir"), reports};
    if (bystander)
        options << QStringLiteral("--port") << QStringLiteral("ttyBATCH");
    TBatchProcess batch(Batch(options));
    schedule.Start();
    QVERIFY(schedule.Wait(90s));
    QCOMPARE(schedule.Failure(), std::string());
    batch.Signal(signal);
    const TCtlRun run = batch.Finish();
    QCOMPARE(run.Status, failing >= 0 ? 1 : 0);
    QCOMPARE(WriteFrames(standing), 0u);

    const QString log = Path(QStringLiteral("audit.jsonl"));
    QCOMPARE(Records(log).size(), 2 * Count);
    const std::vector<TAuditRecord> records = Results(log);
    QCOMPARE(records.size(), Count);
    if (sameCable)
        QCOMPARE(WriteFrames(series[0]), Count);
    for (std::size_t i = 0; i < Count; ++i) {
        const QString &serial = serials[qsizetype(i)];
        const bool fails = int(i) == failing;
        if (!sameCable)
            QCOMPARE(WriteFrames(series[i]), 1u);
        QVERIFY2(run.Out.contains(serial + (fails ? QStringLiteral(" FAILED: verify found")
                                                  : QStringLiteral(" configured and verified (clock sent), "))),
                 qPrintable(run.Out));
        const TAuditRecord &r = records[i];
        QCOMPARE(r.SerialNumber, serial);
        QCOMPARE(r.Verified, !fails);
        QCOMPARE(r.Action, TAuditAction::Batch);
        QCOMPARE(r.Operator, QStringLiteral("tester"));
        QCOMPARE(r.TemplateSha256, Sha256Of(Template()));
        QCOMPARE(r.Changes.size(), 1u);
        QCOMPARE(r.Changes.front().Name, std::string("Log Interval"));
        QCOMPARE(r.Differences.empty(), !fails);

        const QStringList pdfs = QDir(reports).entryList({serial + QStringLiteral("-*.pdf")}, QDir::Files);
        QCOMPARE(pdfs.size(), 1);
        const QString text = PdfText(QDir(reports).filePath(pdfs.first()));
        QVERIFY2(text.contains(serial) && text.contains(QString::fromLatin1(r.Sha256)), qPrintable(text));
        QCOMPARE(text.contains(QStringLiteral("FAILED")), fails);
    }
    QVERIFY2(run.Out.contains(QStringLiteral("batch ended: %1 configured, %2 failed; audit log %3")
                                  .arg(failing >= 0 ? 2 : 3)
                                  .arg(failing >= 0 ? 1 : 0)
                                  .arg(log)),
             qPrintable(run.Out));
    const TCtlRun verify = RunCtl({QStringLiteral("audit"), QStringLiteral("verify"), log});
    QCOMPARE(verify.Status, 0);
    QVERIFY2(verify.Out.contains(QStringLiteral("chain intact, 6 records")), qPrintable(verify.Out));
}

// Killed while it waits for the next logger: the records so far stand, and
// the next batch chains on to them.
void TestCtlBatch::killedBetweenLoggersTheLogVerifiesAndGoesOn()
{
    TLoggerSeries series(FirstSerial, 2);
    TPlugSchedule schedule(series, {TPlugStep::PlugIn(0, "ttyBATCH"), TPlugStep::Pause(0ms), TPlugStep::Unplugging(0),
                                    TPlugStep::PlugIn(1, "ttyBATCH")});
    schedule.Start();
    const QString log = Path(QStringLiteral("audit.jsonl"));
    {
        TBatchProcess first(Batch());
        QVERIFY2(first.Said(QString::fromStdString(FirstSerial) + QStringLiteral(" configured and verified")),
                 qPrintable(first.Err()));
        first.Signal(SIGKILL);
        QCOMPARE(first.Finish().Status, -1);
    }
    const TCtlRun verify = RunCtl({QStringLiteral("audit"), QStringLiteral("verify"), log});
    QVERIFY2(verify.Status == 0 && verify.Out.contains(QStringLiteral("chain intact, 2 records")), qPrintable(verify.Out));

    schedule.Skip();
    QVERIFY(schedule.Wait(10s));
    TBatchProcess second(Batch({QStringLiteral("--count"), QStringLiteral("1")}));
    const TCtlRun run = second.Finish(60000);
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    QVERIFY2(run.Out.contains(QString::fromStdString(series.SerialNumber(1)) + QStringLiteral(" configured and verified")),
             qPrintable(run.Out));
    const std::vector<TAuditRecord> records = Records(log);
    QCOMPARE(records.size(), 4u);
    QCOMPARE(records[3].Sequence, 4);
    QCOMPARE(records[3].Intent, 3);
    QCOMPARE(records[2].Previous, records[1].Sha256);
    QCOMPARE(RunCtl({QStringLiteral("audit"), QStringLiteral("verify"), log}).Status, 0);
}

// Another logger takes the cable's place right after the first one answered
// the batch's probe: the first is not written, and the newcomer is taken as
// itself, never written with the first one's identity.
void TestCtlBatch::newcomerBetweenProbeAndWriteIsALoggerOfItsOwn()
{
    TLoggerEmulator line("ttyBATCH");
    QVERIFY(line.Start());
    TFrameBuffer newcomer = line.ParameterRecord();
    QVERIFY(SetSerialNumber(newcomer, "B07654321"));
    PatchBytes(newcomer, "13: E5 D4 C3 B2");
    SealRecord(newcomer);
    line.ChangeLoggerAfterAnswers(1, newcomer);

    TBatchProcess batch(Batch({QStringLiteral("--count"), QStringLiteral("1")}));
    const TCtlRun run = batch.Finish(60000);
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    QVERIFY2(run.Out.startsWith(QStringLiteral("A05123456 was replaced on ttyBATCH by B07654321 (device ID E5D4C3B2) "
                                               "before it was written: not written\n")),
             qPrintable(run.Out));
    QVERIFY2(run.Out.contains(QStringLiteral("B07654321 configured and verified")), qPrintable(run.Out));
    QCOMPARE(WriteFrames(line), 1u);
    const TFrameBuffer record = line.ParameterRecord();
    QCOMPARE(SerialNumberText(record), std::string("B07654321"));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(record.data()) + 13, 4), QByteArray("\xE5\xD4\xC3\xB2"));
    // Nothing of the first logger is recorded: no intent went in for it.
    const std::vector<TAuditRecord> records = Records(Path(QStringLiteral("audit.jsonl")));
    QCOMPARE(records.size(), 2u);
    for (const TAuditRecord &r : records)
        QCOMPARE(r.SerialNumber, QStringLiteral("B07654321"));
}

void TestCtlBatch::refusedBeforeAnything_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");

    QTest::newRow("a template that fails the window's checks")
        << "checks" << "The Password can not be empty and the Password length is 6";
    QTest::newRow("a template that is no settings file") << "broken" << "template-15.toml:1";
    QTest::newRow("the template given as the audit log") << "log is the template" << "not an audit log";
    QTest::newRow("an audit log in a folder that is not there") << "no folder" << "does not exist";
    QTest::newRow("no audit log, neither given nor in the station's file")
        << "no log" << "loggerctl batch needs an audit log: --audit LOG, or audit_log in";
}

void TestCtlBatch::refusedBeforeAnything()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);

    auto logger = StartLogger(QStringLiteral("ttyBATCH"));
    QStringList arguments = Batch();
    const QString path = Template();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray text = file.readAll();
    if (fault == QLatin1String("checks")) {
        text.replace("\"Password Startup\" = \"Disable\"", "\"Password Startup\" = \"Enable\"");
        text.replace("\nPassword = \"\"", "\nPassword = \"abc\"");
    } else if (fault == QLatin1String("broken")) {
        text.prepend("not toml at all\n");
    } else if (fault == QLatin1String("log is the template")) {
        arguments[3] = path;
    } else if (fault == QLatin1String("no log")) {
        arguments.remove(2, 2);
    } else {
        arguments[3] = Path(QStringLiteral("missing/audit.jsonl"));
    }
    file.resize(0);
    file.write(text);
    file.close();
    const QByteArray before = text;

    const TCtlRun run = RunCtl(arguments, {}, 10000);
    QCOMPARE(run.Status, 2);
    QVERIFY2(run.Err.contains(message), qPrintable(run.Err));
    QVERIFY(logger->ReceivedFrames().empty());
    QVERIFY(!QFile::exists(Path(QStringLiteral("audit.jsonl"))));
    QFile again(path);
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), before);
}

// A full disk, played by a file size limit: with no room for the intent
// nothing is written; with room for the intent alone the logger is written,
// and the program says that its result is missing. The log is left as
// whole lines either way.
void TestCtlBatch::recordThatCannotBeAppended_data()
{
    QTest::addColumn<QString>("verb");
    QTest::addColumn<bool>("intentFits");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("write, no room for the intent") << "write" << false << 2 << "nothing was written to the logger";
    QTest::newRow("write, room for the intent only") << "write" << true << 1 << "stays without a result";
    QTest::newRow("batch, no room for the intent, which stops at once")
        << "batch" << false << 1 << "not written, but not recorded";
    QTest::newRow("batch, room for the intent only") << "batch" << true << 1
                                                     << "A05123456 configured and verified, but not recorded";
}

void TestCtlBatch::recordThatCannotBeAppended()
{
    QFETCH(QString, verb);
    QFETCH(bool, intentFits);
    QFETCH(int, status);
    QFETCH(QString, said);

    const QString log = Path(QStringLiteral("audit.jsonl"));
    TAuditRecord sample;
    sample.Program = QStringLiteral("earlier");
    sample.Template = QString(600, u'x');  // a few records outgrow a backup
    while (QFileInfo(log).size() < 8192) {
        TAuditRecord r = sample;
        QString error;
        QVERIFY2(AppendAuditRecord(log, &r, &error), qPrintable(error));
    }
    const qint64 size = QFileInfo(log).size();
    const auto arguments = [&](const QString &port, const QString &audit) {
        return verb == QLatin1String("write")
                   ? QStringList{QStringLiteral("write"), Template(), QStringLiteral("--port"), port,
                                 QStringLiteral("--backup-dir"), Path(QStringLiteral("backups")), QStringLiteral("--audit"),
                                 audit}
                   : QStringList{QStringLiteral("batch"), Template(), QStringLiteral("--audit"), audit,
                                 QStringLiteral("--backup-dir"), Path(QStringLiteral("backups")), QStringLiteral("--port"),
                                 port, QStringLiteral("--count"), QStringLiteral("1")};
    };
    // How long the intent's line is, from the same write into a log of its own.
    qint64 room = 0;
    if (intentFits) {
        auto probe = StartLogger(QStringLiteral("ttyPROBE"));
        const QString probeLog = Path(QStringLiteral("probe.jsonl"));
        const TCtlRun run = RunCtl(arguments(QStringLiteral("ttyPROBE"), probeLog));
        QVERIFY2(run.Status == 0, qPrintable(run.Err));
        QFile lines(probeLog);
        QVERIFY(lines.open(QIODevice::ReadOnly));
        room = lines.readLine().size() + 8;  // its number here has a digit or two more
    }
    const auto limit = [most = size + room] {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails instead of ending the program
        const rlimit fsize{rlim_t(most), rlim_t(most)};
        ::setrlimit(RLIMIT_FSIZE, &fsize);
    };

    auto logger = StartLogger(QStringLiteral("ttyBATCH"));
    TBatchProcess process(arguments(QStringLiteral("ttyBATCH"), log), limit);
    const TCtlRun run = process.Finish();
    QCOMPARE(run.Status, status);
    QVERIFY2(run.Err.contains(QStringLiteral("the audit record could not be appended to %1").arg(log)),
             qPrintable(run.Err));
    QVERIFY2((run.Out + run.Err).contains(said), qPrintable(run.Out + run.Err));
    QCOMPARE(WriteFrames(*logger), intentFits ? 1u : 0u);
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.endsWith('\n'));
    QCOMPARE(bytes.size() > size, intentFits);
    const TAuditCheck check = VerifyAuditLog(log);
    QVERIFY2(check.Intact(), qPrintable(check.Summary()));
    QCOMPARE(check.OpenIntents.size(), intentFits ? 1u : 0u);
}

void TestCtlBatch::writeAndRestoreKeepARecordEach()
{
    auto logger = StartLogger(QStringLiteral("ttyBATCH"));
    const QString log = Path(QStringLiteral("audit.jsonl"));
    const QString backups = Path(QStringLiteral("backups"));
    const QStringList common = {QStringLiteral("--port"), QStringLiteral("ttyBATCH"), QStringLiteral("--backup-dir"),
                                backups, QStringLiteral("--audit"), log, QStringLiteral("--operator"),
                                QStringLiteral("anna")};
    const TCtlRun write = RunCtl(QStringList{QStringLiteral("write"), Template()} + common);
    QVERIFY2(write.Status == 0, qPrintable(write.Err));
    QVERIFY2(write.Err.contains(QStringLiteral("audit record 2 appended to %1 after its intent, record 1").arg(log)),
             qPrintable(write.Err));
    // The new plain log is named as such once, when it is made.
    QCOMPARE(write.Err.count(QStringLiteral("audit init makes a sealed one")), 1);
    const QString backup = QDir(backups).absoluteFilePath(QDir(backups).entryList(QDir::Files).first());
    const TCtlRun restore = RunCtl(QStringList{QStringLiteral("restore"), backup} + common);
    QVERIFY2(restore.Status == 0, qPrintable(restore.Err));
    QVERIFY(!restore.Err.contains(QStringLiteral("audit init")));

    QCOMPARE(Records(log).size(), 4u);
    const std::vector<TAuditRecord> records = Results(log);
    QCOMPARE(records.size(), 2u);
    QCOMPARE(records[0].Action, TAuditAction::Write);
    QCOMPARE(records[0].Port, QStringLiteral("ttyBATCH"));
    QCOMPARE(records[0].DeviceId, QStringLiteral("1A2B3C4D"));
    QCOMPARE(records[0].TimeZone, QStringLiteral("UTC+08:00"));
    QCOMPARE(records[0].Operator, QStringLiteral("anna"));
    QVERIFY(records[0].Verified);
    QCOMPARE(records[0].Changes.size(), 1u);
    const TSettingDifference &change = records[0].Changes.front();
    QCOMPARE(change.Name + ": " + change.Old + " -> " + change.New,
             std::string("Log Interval: { H = \"0\", M = \"5\", S = \"0\" } -> { H = \"0\", M = \"15\", S = \"0\" }"));
    QCOMPARE(records[1].Action, TAuditAction::Restore);
    QCOMPARE(records[1].Template, backup);
    QCOMPARE(records[1].TemplateSha256, Sha256Of(backup));
    QCOMPARE(records[1].Changes.front().New, std::string("{ H = \"0\", M = \"5\", S = \"0\" }"));
    QVERIFY(std::abs(records[0].Time.secsTo(QDateTime::currentDateTimeUtc())) < 60);
}

// Through the program: its exit status and its words. The kinds of tampering
// are tst_auditlog's.
void TestCtlBatch::auditThroughTheProgram_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");

    QTest::newRow("intact, with the hash to keep") << "" << 0 << "chain intact, 3 records\nlast record 3, SHA-256 ";
    QTest::newRow("a changed byte") << "change" << 1 << "record 2 changed (line 2)";
    QTest::newRow("a torn last line") << "tear" << 1 << "torn record 4 (line 4), chain otherwise intact";
    QTest::newRow("no log") << "remove" << 2 << "";
}

void TestCtlBatch::auditThroughTheProgram()
{
    QFETCH(QString, damage);
    QFETCH(int, status);
    QFETCH(QString, said);

    const QString log = Path(QStringLiteral("audit.jsonl"));
    for (const char *serial : {"A05123456", "A05123457", "A05123456"}) {
        TAuditRecord r;
        r.SerialNumber = QLatin1String(serial);
        r.Operator = QStringLiteral("anna");
        r.Verified = true;
        QString error;
        QVERIFY2(AppendAuditRecord(log, &r, &error), qPrintable(error));
    }
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray text = file.readAll();
    if (damage == QLatin1String("change"))
        text.replace("A05123457", "A05123458");
    else if (damage == QLatin1String("tear"))
        text += "{\"seq\":4,\"time\":\"2026-";
    file.resize(0);
    file.write(text);
    file.close();
    if (damage == QLatin1String("remove"))
        QFile::remove(log);

    const TCtlRun verify = RunCtl({QStringLiteral("audit"), QStringLiteral("verify"), log});
    QCOMPARE(verify.Status, status);
    QVERIFY2(verify.Out.contains(said), qPrintable(verify.Out + verify.Err));
    if (status == 2)
        return;
    const TCtlRun show = RunCtl({QStringLiteral("audit"), QStringLiteral("show"), log, QStringLiteral("--serial"),
                                 QStringLiteral("a05123456")});
    QCOMPARE(show.Status, 0);
    const QStringList lines = show.Out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);  // the titles and the two records of A05123456
    QVERIFY2(lines[1].startsWith(QLatin1String("1 ")) && lines[2].startsWith(QLatin1String("3 ")),
             qPrintable(show.Out));
}

void TestCtlBatch::reportOfTheLoggerAsItStands()
{
    auto logger = StartLogger(QStringLiteral("ttyBATCH"));
    const QString pdf = Path(QStringLiteral("record.pdf"));
    const TCtlRun run = RunCtl({QStringLiteral("report"), QStringLiteral("--port"), QStringLiteral("ttyBATCH"),
                                QStringLiteral("-o"), pdf});
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    const QString text = PdfText(pdf);
    for (const char *part : {"Configuration record A05123456", "1A2B3C4D", "Log Interval", "Cold chain shipment",
                             "not written: the settings as the logger holds them"})
        QVERIFY2(text.contains(QLatin1String(part)), part);
    // Read, never written.
    const auto blocks = logger->ReceivedFrames();
    QCOMPARE(blocks.size(), 1u);
    QCOMPARE(blocks.front(), TLoggerEmulator::TBytes(ProbeRequest.begin(), ProbeRequest.end()));

    // A file that cannot be written is said in our words, with no painter's
    // complaint of Qt's own beside it.
    const QString nowhere = Path(QStringLiteral("missing/record.pdf"));
    const TCtlRun refused = RunCtl({QStringLiteral("report"), QStringLiteral("--port"), QStringLiteral("ttyBATCH"),
                                    QStringLiteral("-o"), nowhere});
    QCOMPARE(refused.Status, 2);
    QCOMPARE(refused.Err, QStringLiteral("cannot write %1: No such file or directory\n").arg(nowhere));
}

QTEST_GUILESS_MAIN(TestCtlBatch)
#include "tst_ctl_batch.moc"
