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

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The ports of a row, one letter each: L a logger, s silent, g garbage, c a
// record with a wrong check byte, d refused for lack of permission, m
// missing, b held open by another program.
class TPortRow
{
public:
    explicit TPortRow(const QString &Kinds)
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
        QTest::newRow("every kind") << "sgdmbcL" << "nDxooDR";
        QTest::newRow("two loggers: the first in the list wins") << "sLL" << "nRR";
    }

    void everyPortIsJudged()
    {
        QFETCH(QString, ports);
        QFETCH(QString, answers);
        const TPortRow row(ports);
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
        QTest::newRow("silent, missing and in use") << "smb"
                                                    << "no logger answered on ttyE2E_0, ttyE2E_1, ttyE2E_2";
        QTest::newRow("damaged answers are named")
            << "gc" << "no logger answered on ttyE2E_0, ttyE2E_1; ttyE2E_0, ttyE2E_1 answered with frames that are no sound record";
        QTest::newRow("refused ports: the window's advice") << "dsd" << "advice: ttyE2E_0, ttyE2E_2";
    }

    void noLoggerIsExitThree()
    {
        QFETCH(QString, ports);
        QFETCH(QString, message);
        const TPortRow row(ports);
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
    void namedPortAsTheProgramSaysIt_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("silent") << "s" << 3 << "no logger answered on ttyE2E_0\n";
        QTest::newRow("missing") << "m" << 3 << "cannot open ttyE2E_0: it is missing or another program uses it\n";
        QTest::newRow("refused") << "d" << 3 << "advice: ttyE2E_0\n";
        QTest::newRow("a damaged answer is the logger's fault") << "c" << 1
                                                                 << "the answer on ttyE2E_0 failed the frame check (Data Check Error)\n";
    }

    void namedPortAsTheProgramSaysIt()
    {
        QFETCH(QString, kind);
        QFETCH(int, status);
        QFETCH(QString, message);
        const TPortRow row(kind);
        message = Resolved(message);
        const TCtlRun run = RunCtl({QStringLiteral("read"), QStringLiteral("--port"), row.Names().first()});
        QCOMPARE(run.Status, status);
        QCOMPARE(run.Err, message);
        QCOMPARE(run.Out, QString());
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
