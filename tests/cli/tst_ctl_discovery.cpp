#include "Comm.h"
#include "CtlSupport.h"
#include "DeniedPortsAdvice.h"
#include "Discovery.h"
#include "StationError.h"
#include "LoggerSearch.h"
#include "PortMap.h"
#include "Progress.h"
#include "RefusingPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The ports of a row, one letter each: L a logger, s silent, g garbage, c a
// record with a wrong check byte, d refused for lack of permission, m
// missing, b held open by another program, f a regular file in the port map.
class TPortRow
{
public:
    explicit TPortRow(const QString &Kinds, TPrivateRuntime *Runtime = nullptr)
    {
        for (qsizetype i = 0; i < Kinds.size(); ++i) {
            const QString name = QStringLiteral("ttyE2E_%1").arg(i);
            FNames << name;
            std::unique_ptr<TLoggerEmulator> logger;
            switch (Kinds.at(i).toLatin1()) {
            case 'L': logger = StartLogger(name); break;
            case 's': logger = StartLogger(name, TFaultMode::Silent); break;
            case 'g': logger = StartLogger(name, TFaultMode::Garbage); break;
            case 'c': logger = StartLogger(name, TFaultMode::BadCheck); break;
            case 'b':
                logger = StartLogger(name, TFaultMode::Silent);
                FHolders.push_back(std::make_unique<TComm>());
                FHolders.back()->SetCommName(name);
                FHolders.back()->OpenPort();
                break;
            case 'd':
                FRefusing.push_back(std::make_unique<TRefusingPort>());
                if (!PortMap::Register(name, FRefusing.back()->Path()))
                    qFatal("cannot register %s", qPrintable(name));
                break;
            case 'f': {
                if (!Runtime)
                    qFatal("a file in the port map needs the runtime directory");
                QFile file(Runtime->FilePath(name + QStringLiteral(".txt")));
                if (!file.open(QIODevice::WriteOnly) || !PortMap::Register(name, file.fileName()))
                    qFatal("cannot register %s", qPrintable(name));
                break;
            }
            default: break;
            }
            FLoggers.push_back(std::move(logger));
        }
    }

    const QStringList &Names() const { return FNames; }
    // The emulator behind port I; none for refused and missing ports.
    TLoggerEmulator *Logger(qsizetype I) const { return FLoggers.at(static_cast<std::size_t>(I)).get(); }

private:
    QStringList FNames;
    std::vector<std::unique_ptr<TLoggerEmulator>> FLoggers;
    std::vector<std::unique_ptr<TRefusingPort>> FRefusing;
    std::vector<std::unique_ptr<TComm>> FHolders;
};

QString Letters(const TDiscovery &Discovery)
{
    QString letters;
    for (const TPortResult &port : Discovery.Ports) {
        switch (port.Answer) {
        case TPortAnswer::Record: letters += u'R'; break;
        case TPortAnswer::NoAnswer: letters += u'n'; break;
        case TPortAnswer::Damaged: letters += u'D'; break;
        case TPortAnswer::OtherFrame: letters += u'F'; break;
        case TPortAnswer::Denied: letters += u'x'; break;
        case TPortAnswer::InUse: letters += u'B'; break;
        case TPortAnswer::Missing: letters += u'M'; break;
        case TPortAnswer::NotSerial: letters += u'N'; break;
        case TPortAnswer::CannotOpen: letters += u'o'; break;
        }
    }
    return letters;
}

} // namespace

// Finding the logger with every port probed at once, beside ports of every
// other kind, and what is said when there is none.
class TestCtlDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Root opens any device, so a refusal is tested as somebody else.
        QVERIFY2(::geteuid() != 0, "the test runs as root although main() gave up root");
    }

    void init()
    {
        FRuntime = std::make_unique<TPrivateRuntime>();
        QVERIFY(FRuntime->IsValid());
    }
    void cleanup() { FRuntime.reset(); }

    void everyPortIsJudged_data()
    {
        QTest::addColumn<QString>("ports");
        QTest::addColumn<QString>("answers");
        QTest::newRow("every kind") << "sgdmbcfL" << "nDxMBDNR";
        QTest::newRow("two loggers: the first in the list wins") << "sLL" << "nRR";
    }

    void everyPortIsJudged()
    {
        QFETCH(QString, ports);
        QFETCH(QString, answers);
        const TPortRow row(ports, FRuntime.get());
        const TDiscovery discovery = ProbePorts(row.Names(), TProbeEnd::EveryPort);
        QCOMPARE(Letters(discovery), answers);
        QVERIFY(discovery.Found());
        QCOMPARE(discovery.Found()->Port, row.Names().at(answers.indexOf(u'R')));
        QCOMPARE(discovery.Found()->Record, row.Logger(answers.indexOf(u'R'))->ParameterRecord());
    }

    void firstRecordEndsTheSearch_data()
    {
        QTest::addColumn<QString>("ports");
        QTest::newRow("the tenth of ten") << "sssssssssL";
        QTest::newRow("the first, the rest silent") << "Lsssssssss";
        QTest::newRow("beside every other kind") << "gdmbcsL";
    }

    void firstRecordEndsTheSearch()
    {
        QFETCH(QString, ports);
        const TPortRow row(ports);
        QElapsedTimer clock;
        clock.start();
        const TDiscovery discovery = ProbePorts(row.Names(), TProbeEnd::FirstRecord);
        const qint64 elapsed = clock.elapsed();
        QVERIFY(discovery.Found());
        QCOMPARE(discovery.Found()->Port, row.Names().at(ports.indexOf(u'L')));
        // Well within the time a silent port is given: nobody waited for one.
        QVERIFY2(elapsed < AnswerLimit.count() - 500, qPrintable(QString::number(elapsed)));
        // Every silent port heard one probe, at once, and is closed again.
        for (qsizetype i = 0; i < ports.size(); ++i) {
            if (ports.at(i) != u's')
                continue;
            QCOMPARE(row.Logger(i)->ReceivedFrames().size(), 1u);
            TComm again;
            again.SetCommName(row.Names().at(i));
            again.OpenPort();
            again.ClosePort();
        }
    }

    // "advice: ports": the window's advice on refused ports, which names the
    // group of the devices, so it is known only once the row's ports exist.
    static QString Resolved(const QString &message)
    {
        if (!message.startsWith(QLatin1String("advice: ")))
            return message;
        const QString rest = message.mid(8);
        const bool newline = rest.endsWith(QLatin1Char('\n'));
        const QStringList ports = rest.trimmed().split(QStringLiteral(", "));
        return DeniedPortsAdvice(ports) + (newline ? QStringLiteral("\n") : QString());
    }

    void noLoggerIsExitThree_data()
    {
        QTest::addColumn<QString>("ports");
        QTest::addColumn<QString>("message");
        QTest::newRow("no port at all") << "" << "no serial port found (No device detected!)";
        // Regression: ports that did not open were counted among the silent ones.
        QTest::newRow("silent, missing and in use: each named with its reason")
            << "smb" << "no logger answered on ttyE2E_0; ttyE2E_2 is in use by another program; there is no port ttyE2E_1";
        QTest::newRow("every port busy") << "bb" << "no logger found; ttyE2E_0, ttyE2E_1 are in use by other programs";
        QTest::newRow("a file in the port map") << "fs" << "no logger answered on ttyE2E_1; ttyE2E_0 is not a serial port";
        QTest::newRow("damaged answers are named")
            << "gc" << "no logger answered on ttyE2E_0, ttyE2E_1; ttyE2E_0, ttyE2E_1 answered with frames that are no sound record";
        QTest::newRow("refused ports: the window's advice") << "dsd" << "advice: ttyE2E_0, ttyE2E_2";
    }

    void noLoggerIsExitThree()
    {
        QFETCH(QString, ports);
        QFETCH(QString, message);
        const TPortRow row(ports, FRuntime.get());
        message = Resolved(message);
        TProgress progress;
        try {
            FindLogger(QString(), [&] { return row.Names(); }, progress);
            QFAIL("a logger was found");
        } catch (const EStationError &e) {
            QCOMPARE(e.Status(), TExitStatus::NoLogger);
            QCOMPARE(QString::fromUtf8(e.what()), message);
        }
    }

    // A named port is the only one probed; what it did decides the status.
    // The port is the row's first unless named; %1 in the message is the port.
    void namedPortAsTheProgramSaysIt_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("silent") << "s" << "" << 3 << "no logger answered on %1\n";
        QTest::newRow("missing") << "m" << "" << 3 << "there is no port %1\n";
        QTest::newRow("in use by another program") << "b" << "" << 3 << "%1 is in use by another program\n";
        QTest::newRow("refused") << "d" << "" << 3 << "advice: %1\n";
        QTest::newRow("a device that is no terminal") << "" << "/dev/null" << 3 << "%1 is not a serial port\n";
        QTest::newRow("a regular file by its path") << "" << "plain-file" << 3 << "%1 is not a serial port\n";
        QTest::newRow("a regular file in the port map") << "f" << "" << 3 << "%1 is not a serial port\n";
        QTest::newRow("a folder") << "" << "/tmp" << 3 << "%1 is not a serial port\n";
        QTest::newRow("a damaged answer is the logger's fault") << "c" << "" << 1
                                                                 << "the answer on %1 failed the frame check (Data Check Error)\n";
    }

    void namedPortAsTheProgramSaysIt()
    {
        QFETCH(QString, kind);
        QFETCH(QString, port);
        QFETCH(int, status);
        QFETCH(QString, message);
        const TPortRow row(kind, FRuntime.get());
        if (port.isEmpty()) {
            port = row.Names().first();
        } else if (!port.startsWith(u'/')) {
            QFile file(FRuntime->FilePath(port));
            QVERIFY(file.open(QIODevice::WriteOnly));
            port = file.fileName();
        }
        message = Resolved(message.arg(port));
        const TCtlRun run = RunCtl({QStringLiteral("read"), QStringLiteral("--port"), port});
        QCOMPARE(run.Status, status);
        QCOMPARE(run.Err, message);
        QCOMPARE(run.Out, QString());
    }

    // ports --probe as a script sees it: a line a port, and the time it takes.
    // Delay is the loggers' answer delay (0: their own); limit, when not 0,
    // the most the whole run may take.
    void portsProbeDescribesEachPort_data()
    {
        QTest::addColumn<QString>("ports");
        QTest::addColumn<int>("delay");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("limit");
        // Regression: every silent port was given the full three seconds.
        QTest::newRow("a logger and two silent ports, in about a second")
            << "Lss" << 0 << QStringList{"ttyE2E_0 logger A05123456", "ttyE2E_1 no answer", "ttyE2E_2 no answer"} << 0
            << 1500;
        QTest::newRow("ports that do not open say why")
            << "sbfd" << 0
            << QStringList{"ttyE2E_0 no answer", "ttyE2E_1 in use by another program", "ttyE2E_2 not a serial port",
                           "ttyE2E_3 permission denied"}
            << 3 << 1500;
        QTest::newRow("a slow answer begun before the limit is read whole")
            << "sL" << 450 << QStringList{"ttyE2E_0 no answer", "ttyE2E_1 logger A05123456"} << 0 << 0;
        QTest::newRow("an answer that begins after the limit is none")
            << "L" << 1500 << QStringList{"ttyE2E_0 no answer"} << 3 << 0;
    }

    void portsProbeDescribesEachPort()
    {
        QFETCH(QString, ports);
        QFETCH(int, delay);
        QFETCH(QStringList, lines);
        QFETCH(int, status);
        QFETCH(int, limit);
        const TPortRow row(ports, FRuntime.get());
        for (qsizetype i = 0; i < ports.size(); ++i)
            if (delay > 0 && row.Logger(i))
                row.Logger(i)->SetAnswerDelay(std::chrono::milliseconds(delay));
        QElapsedTimer clock;
        clock.start();
        const TCtlRun run = RunCtl({QStringLiteral("ports"), QStringLiteral("--probe")});
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(run.Status, status);
        // The system's own serial ports are listed too; only the row's are looked at.
        QStringList described;
        for (const QString &line : run.Out.split(u'\n', Qt::SkipEmptyParts))
            if (line.startsWith(QLatin1String("ttyE2E_")))
                described << line.simplified();
        QCOMPARE(described, lines);
        if (limit > 0)
            QVERIFY2(elapsed < limit, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
        // Each port heard exactly one probe.
        for (qsizetype i = 0; i < ports.size(); ++i)
            if (ports.at(i) != u'b' && row.Logger(i))
                QCOMPARE(row.Logger(i)->ReceivedFrames().size(), 1u);
    }

    // A logger found, then gone before it is read back (as after a write):
    // the logger's fault, exit 1, never "no logger found".
    void readBackOfALoggerThatWentAway_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("unplugged")
            << "unplug" << "the logger on ttyE2E_0 went away: there is no port ttyE2E_0; the write is not verified";
        QTest::newRow("its port taken by another program")
            << "hold" << "the logger on ttyE2E_0 went away: ttyE2E_0 is in use by another program; the write is not verified";
        QTest::newRow("fell silent") << "silence"
                                     << "the logger on ttyE2E_0 did not answer when read back: the write is not verified";
    }

    void readBackOfALoggerThatWentAway()
    {
        QFETCH(QString, what);
        QFETCH(QString, message);
        const TPortRow row(QStringLiteral("L"));
        const QString port = row.Names().first();
        TProgress progress;
        QCOMPARE(FindLogger(port, {}, progress).Port, port);
        TComm holder;
        if (what == QLatin1String("unplug")) {
            row.Logger(0)->Unplug();
        } else if (what == QLatin1String("hold")) {
            holder.SetCommName(port);
            holder.OpenPort();
        } else {
            row.Logger(0)->SetFaultMode(TFaultMode::Silent);
        }
        try {
            ReadBack(port);
            QFAIL("read back");
        } catch (const EStationError &e) {
            QCOMPARE(e.Status(), TExitStatus::LoggerFault);
            QCOMPARE(QString::fromUtf8(e.what()), message);
        }
    }

private:
    std::unique_ptr<TPrivateRuntime> FRuntime;
};

int main(int argc, char *argv[])
{
    RunWithoutRoot(argc, argv);
    QCoreApplication application(argc, argv);
    TestCtlDiscovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ctl_discovery.moc"
