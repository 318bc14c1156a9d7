#include "AuditLog.h"
#include "AuditSealFile.h"
#include "CtlSupport.h"
#include "SettingsFile.h"
#include "Verify.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <csignal>

using namespace std::chrono_literals;

// loggerctl's sealed audit log as a station uses it: made with audit init,
// written to by write, and checked with the key kept elsewhere; a write
// killed between its intent and its result; and the documents for scripts.
class TestCtlAudit : public QObject
{
    Q_OBJECT

private slots:
    void init() { FFolder = std::make_unique<TCtlFolder>(); }
    void cleanup() { FFolder.reset(); }

    void initAndVerifyThroughTheProgram_data();
    void initAndVerifyThroughTheProgram();
    void killedBetweenIntentAndResult();
    void sealedLogWithoutItsSealFileIsRefused();
    void showForScripts();
    void portsForScripts();

private:
    QString Path(const QString &name) const { return FFolder->Path(name); }
    QString Template() const;
    QStringList Write(const QString &log) const
    {
        return {QStringLiteral("write"), Template(), QStringLiteral("--port"), Port, QStringLiteral("--backup-dir"),
                Path(QStringLiteral("backups")), QStringLiteral("--audit"), log, QStringLiteral("--operator"),
                QStringLiteral("anna")};
    }
    // audit init LOG, and the key it printed.
    QString Init(const QString &log) const;

    const QString Port = QStringLiteral("ttyAUDIT");
    std::unique_ptr<TCtlFolder> FFolder;
};

namespace {

const QRegularExpression KeyLine(QStringLiteral("^([0-9a-f]{8}-){8}[0-9a-f]{4}\n$"));

qsizetype LineCount(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
}

} // namespace

QString TestCtlAudit::Template() const
{
    TSettingsFile file;
    file.Values = RecordSettings(DefaultParameterRecord());
    file.Values.at(SettingIndex("Log Interval")).at(1) = "15";
    const QString path = Path(QStringLiteral("template.toml"));
    QFile out(path);
    const std::string text = WriteSettingsFile(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), qint64(text.size())) != qint64(text.size()))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString TestCtlAudit::Init(const QString &log) const
{
    const TCtlRun run = RunCtl({QStringLiteral("audit"), QStringLiteral("init"), log});
    if (run.Status != 0 || !KeyLine.match(run.Out).hasMatch())
        qFatal("audit init: %s %s", qPrintable(run.Out), qPrintable(run.Err));
    return run.Out.trimmed();
}

void TestCtlAudit::initAndVerifyThroughTheProgram_data()
{
    QTest::addColumn<QStringList>("arguments");  // LOG, KEY and OTHER stand for this log, its key, another's
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");           // on stdout, or on stderr for a refusal

    QTest::newRow("without the key, the chain only")
        << QStringList{"audit", "verify", "LOG"} << QByteArray() << 0
        << "LOG: chain intact, 1 record; seals not checked: that needs the verification key\nlast record 1, SHA-256 ";
    QTest::newRow("with the key") << QStringList{"audit", "verify", "LOG", "--key", "KEY"} << QByteArray() << 0
                                  << "LOG: chain and seals intact, 1 record\n";
    QTest::newRow("the key typed in capitals with spaces, from stdin")
        << QStringList{"audit", "verify", "LOG", "--key", "-"} << QByteArray("KEY\n") << 0
        << "LOG: chain and seals intact, 1 record\n";
    QTest::newRow("a mistyped key") << QStringList{"audit", "verify", "LOG", "--key", "MISTYPED"} << QByteArray() << 2
                                    << "--key: the verification key is mistyped";
    QTest::newRow("another log's key") << QStringList{"audit", "verify", "LOG", "--key", "OTHER"} << QByteArray() << 2
                                       << "LOG: the key does not fit this log";
    QTest::newRow("init over a log that exists") << QStringList{"audit", "init", "LOG"} << QByteArray() << 2
                                                 << "LOG exists: a sealed log is made new, never over another";
}

void TestCtlAudit::initAndVerifyThroughTheProgram()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QString, said);

    const QString log = Path(QStringLiteral("audit.jsonl"));
    const TCtlRun made = RunCtl({QStringLiteral("audit"), QStringLiteral("init"), log});
    QCOMPARE(made.Status, 0);
    QVERIFY2(KeyLine.match(made.Out).hasMatch(), qPrintable(made.Out));
    QVERIFY2(made.Err.contains(QStringLiteral("keep it away from this computer")), qPrintable(made.Err));
    const QString key = made.Out.trimmed();
    const QString other = Init(Path(QStringLiteral("other.jsonl")));
    QString mistyped = key;
    mistyped[0] = mistyped[0] == u'0' ? u'1' : u'0';

    for (QString &a : arguments)
        a.replace(QStringLiteral("LOG"), log)
            .replace(QStringLiteral("KEY"), key)
            .replace(QStringLiteral("OTHER"), other)
            .replace(QStringLiteral("MISTYPED"), mistyped);
    input.replace("KEY", key.toUpper().replace(u'-', u' ').toLatin1());
    const TCtlRun run = RunCtl(arguments, {}, 30000, input);
    QCOMPARE(run.Status, status);
    said.replace(QStringLiteral("LOG"), log);
    QVERIFY2((status == 2 ? run.Err : run.Out).contains(said), qPrintable(run.Out + run.Err));
}

// A crash, or a second Ctrl+C, after the intent went in and before the
// result did: the logger may hold the write or not. The next run appends
// after it, verify names the intent, and nothing else is amiss.
void TestCtlAudit::killedBetweenIntentAndResult()
{
    const QString log = Path(QStringLiteral("audit.jsonl"));
    const QString key = Init(log);
    auto logger = StartLogger(Port);
    logger->SetAnswerDelay(1500ms);  // well within the waits for the probe's answer and the acknowledgement

    QProcess first;
    first.start(QStringLiteral(LOGGERCTL), Write(log));
    QVERIFY(first.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (LineCount(log) < 2 && waited.elapsed() < 20000)
        QTest::qWait(10);
    QVERIFY2(LineCount(log) == 2, first.readAllStandardError().constData());  // the creation and the intent
    ::kill(pid_t(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitStatus(), QProcess::CrashExit);

    logger->SetAnswerDelay(TLoggerEmulator::DefaultAnswerDelay);
    const TCtlRun second = RunCtl(Write(log));
    QVERIFY2(second.Status == 0, qPrintable(second.Err));

    TAuditContents contents;
    QString error;
    QVERIFY2(ReadAuditLog(log, &contents, &error), qPrintable(error));
    QVERIFY(contents.NotRecords.empty());
    QCOMPARE(contents.Records.size(), 4u);
    for (std::size_t i = 0; i < contents.Records.size(); ++i)
        QCOMPARE(contents.Records[i].Sequence, qint64(i) + 1);
    QCOMPARE(contents.Records[1].Kind, TAuditKind::Intent);
    QCOMPARE(contents.Records[3].Intent, 3);

    const TCtlRun verify = RunCtl({QStringLiteral("audit"), QStringLiteral("verify"), log, QStringLiteral("--key"), key});
    QCOMPARE(verify.Status, 1);
    QVERIFY2(verify.Out.contains(QStringLiteral("chain and seals intact, 4 records; intent 2 (line 2) has no result, "
                                                "A05123456 on ttyAUDIT: written? unknown: read the logger")),
             qPrintable(verify.Out));
    const TCtlRun show = RunCtl({QStringLiteral("audit"), QStringLiteral("show"), log});
    QCOMPARE(show.Status, 0);
    QVERIFY2(QRegularExpression(QStringLiteral("\n2  .* A05123456 .* UNKNOWN ")).match(show.Out).hasMatch(),
             qPrintable(show.Out));
    QVERIFY2(show.Err.contains(QStringLiteral("written? unknown: read the logger")), qPrintable(show.Err));
}

void TestCtlAudit::sealedLogWithoutItsSealFileIsRefused()
{
    const QString log = Path(QStringLiteral("audit.jsonl"));
    Init(log);
    QVERIFY(QFile::remove(SealFilePath(log)));
    auto logger = StartLogger(Port);
    const TCtlRun run = RunCtl(Write(log));
    QCOMPARE(run.Status, 2);
    QVERIFY2(run.Err.contains(QStringLiteral("it is sealed, and its seal file %1 is missing").arg(SealFilePath(log))),
             qPrintable(run.Err));
    QVERIFY(logger->ReceivedFrames().empty());
    QCOMPARE(LineCount(log), 1);
}

void TestCtlAudit::showForScripts()
{
    const QString log = Path(QStringLiteral("audit.jsonl"));
    const QString key = Init(log);
    auto logger = StartLogger(Port);
    QCOMPARE(RunCtl(Write(log)).Status, 0);

    const TCtlRun show = RunCtl({QStringLiteral("audit"), QStringLiteral("show"), log, QStringLiteral("--json"),
                                 QStringLiteral("--key"), key});
    QCOMPARE(show.Status, 0);
    QJsonParseError error {};
    const QJsonObject doc = QJsonDocument::fromJson(show.Out.toUtf8(), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString() + show.Out));
    QCOMPARE(doc.value(QLatin1String("log")).toString(), log);
    QCOMPARE(doc.value(QLatin1String("sealed")).toBool(), true);
    const QJsonObject check = doc.value(QLatin1String("check")).toObject();
    QCOMPARE(check.value(QLatin1String("clean")).toBool(), true);
    QCOMPARE(check.value(QLatin1String("seals")).toString(), QStringLiteral("intact"));
    QCOMPARE(check.value(QLatin1String("summary")).toString(), QStringLiteral("chain and seals intact, 3 records"));

    // Each record as its line, and the hash of that line.
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeLast();
    const QJsonArray records = doc.value(QLatin1String("records")).toArray();
    QCOMPARE(records.size(), lines.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QJsonObject r = records[i].toObject();
        QCOMPARE(r.value(QLatin1String("line")).toInt(), int(i) + 1);
        QCOMPARE(r.value(QLatin1String("sha256")).toString().toLatin1(),
                 QCryptographicHash::hash(lines[i], QCryptographicHash::Sha256).toHex());
        QCOMPARE(r.value(QLatin1String("record")).toObject(), QJsonDocument::fromJson(lines[i]).object());
    }
    const QJsonObject result = records[2].toObject().value(QLatin1String("record")).toObject();
    QCOMPARE(result.value(QLatin1String("result")).toString(), QStringLiteral("verified"));
    QCOMPARE(result.value(QLatin1String("intent")).toInt(), 2);
    QCOMPARE(result.value(QLatin1String("operator")).toString(), QStringLiteral("anna"));
}

// Other serial ports of the machine may be listed too; the emulator's is looked up among them.
void TestCtlAudit::portsForScripts()
{
    auto logger = StartLogger(Port);
    const auto entry = [this](const QString &out) {
        for (const QJsonValue &p : QJsonDocument::fromJson(out.toUtf8()).object().value(QLatin1String("ports")).toArray())
            if (p.toObject().value(QLatin1String("port")).toString() == Port)
                return p.toObject();
        return QJsonObject();
    };
    const TCtlRun listed = RunCtl({QStringLiteral("ports"), QStringLiteral("--json")});
    QCOMPARE(listed.Status, 0);
    QCOMPARE(QJsonDocument::fromJson(listed.Out.toUtf8()).object().value(QLatin1String("probed")).toBool(true), false);
    QCOMPARE(entry(listed.Out), (QJsonObject{{QLatin1String("port"), Port}}));

    const TCtlRun probed = RunCtl({QStringLiteral("ports"), QStringLiteral("--probe"), QStringLiteral("--json")});
    QCOMPARE(probed.Status, 0);
    QCOMPARE(QJsonDocument::fromJson(probed.Out.toUtf8()).object().value(QLatin1String("probed")).toBool(), true);
    QCOMPARE(entry(probed.Out), (QJsonObject{{QLatin1String("port"), Port},
                                             {QLatin1String("answer"), QStringLiteral("record")},
                                             {QLatin1String("serial"), QStringLiteral("A05123456")}}));
}

QTEST_GUILESS_MAIN(TestCtlAudit)
#include "tst_ctl_audit.moc"
