#include "Frame.h"
#include "SettingsFile.h"
#include "WineStage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// As in the window's test: the logger on COM3, silent ones on COM10 and
// COM100, which the registry's order probes first.
const QString LoggerPort = QStringLiteral("COM3");
const QStringList SilentPorts = {QStringLiteral("COM10"), QStringLiteral("COM100")};

struct TRun {
    int Status = -1;
    QByteArray Out;
    QString Err;
};

// The Linux path CMake gave, on the drive where wine shows the Linux root.
QString Program()
{
    const QString path = QStringLiteral(LOGGERCTL);
    return path.startsWith(u'/') ? QStringLiteral("Z:") + path : path;
}

TRun Run(const QStringList &arguments, int limitMs = 60000)
{
    QProcess process;
    // The configuration record is printed through Windows' own platform, as on
    // a Windows machine; the stage's offscreen one finds no fonts under wine.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("windows"));
    process.setProcessEnvironment(environment);
    process.start(Program(), arguments);
    TRun run;
    if (!process.waitForFinished(limitMs)) {
        process.kill();
        process.waitForFinished();
        run.Err = QStringLiteral("loggerctl.exe did not end: ") + process.errorString();
        return run;
    }
    run.Status = process.exitCode();
    run.Out = process.readAllStandardOutput();
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The logger on Port read as a file, its interval changed to 20 minutes, so
// that writing it changes the logger.
QByteArray ReadWithNewInterval(const QString &port)
{
    const TRun read = Run({QStringLiteral("read"), QStringLiteral("--port"), port});
    if (read.Status != 0)
        qWarning("read failed: %s", qPrintable(read.Err));
    QByteArray text = read.Out;
    const QByteArray interval = "M = \"5\", S = \"0\"";
    if (!text.contains(interval))
        return {};
    return text.replace(interval, "M = \"20\", S = \"0\"");
}

TSettingsFile Parse(const QByteArray &text)
{
    return ReadSettingsFile(text.toStdString(), "loggerctl.toml");
}

} // namespace

// loggerctl.exe from a Windows program, on COM ports that wine maps to logger
// emulators on the Linux side.
class TestLoggerctlWin : public QObject
{
    Q_OBJECT

private slots:
    void readProbesEveryPortAtOnce()
    {
        QCOMPARE(WineStage::Ports(), (QStringList{LoggerPort} + SilentPorts));
        QElapsedTimer clock;
        clock.start();
        const TRun run = Run({QStringLiteral("read")});
        QVERIFY2(run.Status == 0, qPrintable(run.Err));
        // The window's walk would ask COM3 only at its third tick, after 9 s.
        QVERIFY2(clock.elapsed() < 9000, qPrintable(QString::number(clock.elapsed())));
        const TSettingsFile file = Parse(run.Out);
        QCOMPARE(file.Port, std::string("COM3"));
        QCOMPARE(file.Values.at(SettingIndex("Serial Number")).front(), std::string("A05123456"));
        QVERIFY2(!run.Out.contains('\r'), "the file's line ends changed on the way to stdout");
        const QByteArray probe(reinterpret_cast<const char *>(ProbeRequest.data()), ProbeRequest.size());
        for (const QString &port : SilentPorts)
            QCOMPARE(WineStage::ReceivedBlocks(port), QList<QByteArray>{probe});
    }

    void writeVerifiesAndKeepsABackup()
    {
        QCOMPARE(WineStage::Ports(), (QStringList{LoggerPort} + SilentPorts));
        QByteArray text = ReadWithNewInterval(LoggerPort);
        QVERIFY(!text.isEmpty());
        text.replace("text = \"Cold chain shipment\"", "text = \"Wine run\\nsecond line\"");

        QTemporaryDir dir;
        QFile edited(dir.filePath(QStringLiteral("edited.toml")));
        QVERIFY(edited.open(QIODevice::WriteOnly) && edited.write(text) == text.size());
        edited.close();
        const QString backups = dir.filePath(QStringLiteral("backups"));
        const TRun write = Run({QStringLiteral("write"), QDir::toNativeSeparators(edited.fileName()),
                                QStringLiteral("--port"), LoggerPort, QStringLiteral("--backup-dir"), backups});
        QVERIFY2(write.Status == 0, qPrintable(write.Err));
        QVERIFY2(write.Err.startsWith(QLatin1String("wrote ")), qPrintable(write.Err));

        const QList<QByteArray> received = WineStage::ReceivedBlocks(LoggerPort);
        QVERIFY(received.size() >= 3);
        const QByteArray frame = received.at(received.size() - 2);
        QVERIFY(frame.size() == 204 && frame.startsWith(QByteArray::fromHex("AA5595")));
        QCOMPARE(int(frame.at(18)), 20);
        QCOMPARE(frame.mid(58, 8), QByteArray("Wine run"));
        const QStringList kept = QDir(backups).entryList(QDir::Files);
        QCOMPARE(kept.size(), 1);
        QVERIFY2(kept.first().startsWith(QLatin1String("A05123456-")), qPrintable(kept.first()));

        const TRun again = Run({QStringLiteral("read"), QStringLiteral("--port"), LoggerPort});
        QVERIFY2(again.Status == 0, qPrintable(again.Err));
        QCOMPARE(Parse(again.Out).Values, Parse(text).Values);
    }

    // Three loggers one after another on one COM port that stays (another
    // logger on the same cable), beside a silent port: each is written once,
    // recorded in a log that verifies, and printed.
    void batchOfThreeOnOneCable()
    {
        QCOMPARE(WineStage::Ports(), (QStringList{QStringLiteral("COM4"), QStringLiteral("COM10")}));
        const QString port = QStringLiteral("COM4");
        const QByteArray text = ReadWithNewInterval(port);
        QVERIFY(!text.isEmpty());

        QTemporaryDir dir;
        QFile batchTemplate(dir.filePath(QStringLiteral("template.toml")));
        QVERIFY(batchTemplate.open(QIODevice::WriteOnly) && batchTemplate.write(text) == text.size());
        batchTemplate.close();
        const QString log = QDir::toNativeSeparators(dir.filePath(QStringLiteral("audit.jsonl")));
        const QString reports = QDir::toNativeSeparators(dir.filePath(QStringLiteral("reports")));
        const TRun batch = Run({QStringLiteral("batch"), QDir::toNativeSeparators(batchTemplate.fileName()),
                                QStringLiteral("--audit"), log, QStringLiteral("--report-dir"), reports,
                                QStringLiteral("--backup-dir"), dir.filePath(QStringLiteral("backups")),
                                QStringLiteral("--count"), QStringLiteral("3")},
                               180000);
        QVERIFY2(batch.Status == 0, qPrintable(batch.Err + QString::fromUtf8(batch.Out)));
        const QString out = QString::fromUtf8(batch.Out);
        for (const char *serial : {"A05123456", "A05123457", "A05123458"})
            QVERIFY2(out.contains(QStringLiteral("%1 configured and verified (clock sent), ").arg(QLatin1String(serial))),
                     qPrintable(out));
        QCOMPARE(out.count(QStringLiteral(" configured and verified (clock sent), ")), 3);
        QVERIFY2(out.contains(QStringLiteral("batch ended: 3 configured, 0 failed")), qPrintable(out));

        int frames = 0;
        for (const QByteArray &block : WineStage::ReceivedBlocks(port))
            frames += block.size() == 204 && block.startsWith(QByteArray::fromHex("AA5595"));
        QCOMPARE(frames, 3);
        QCOMPARE(QDir(reports).entryList({QStringLiteral("*.pdf")}, QDir::Files).size(), 3);

        const TRun verify = Run({QStringLiteral("audit"), QStringLiteral("verify"), log});
        QVERIFY2(verify.Status == 0, qPrintable(verify.Err + QString::fromUtf8(verify.Out)));
        QFile records(log);
        QVERIFY(records.open(QIODevice::ReadOnly));
        QCOMPARE(records.readAll().count('\n'), 6);  // each write's intent and result
    }
};

QTEST_GUILESS_MAIN(TestLoggerctlWin)
#include "tst_loggerctl_win.moc"
