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

TRun Run(const QStringList &arguments)
{
    QProcess process;
    process.start(Program(), arguments);
    TRun run;
    if (!process.waitForFinished(60000)) {
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
    void initTestCase()
    {
        QCOMPARE(WineStage::Ports(), (QStringList{LoggerPort} + SilentPorts));
    }

    void readProbesEveryPortAtOnce()
    {
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
        const TRun read = Run({QStringLiteral("read"), QStringLiteral("--port"), LoggerPort});
        QVERIFY2(read.Status == 0, qPrintable(read.Err));
        QByteArray text = read.Out;
        const QByteArray interval = "M = \"5\", S = \"0\"";
        QVERIFY(text.contains(interval));
        text.replace(interval, "M = \"20\", S = \"0\"");
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
};

QTEST_GUILESS_MAIN(TestLoggerctlWin)
#include "tst_loggerctl_win.moc"
