#include "LoggerSeries.h"
#include "PortMap.h"
#include "PrivateRuntime.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <filesystem>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using TBytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

namespace {

// The tool's end of the line, with plain POSIX calls.
class TToolEnd
{
public:
    explicit TToolEnd(const std::string &path) : FFd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~TToolEnd()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    bool IsOpen() const { return FFd >= 0; }

    bool Send(const TBytes &bytes) { return ::write(FFd, bytes.data(), bytes.size()) == ssize_t(bytes.size()); }

    // Bytes until the line has been quiet for 200 ms, as the tool reads a block.
    TBytes Block(std::chrono::milliseconds wait = 3000ms)
    {
        TBytes block;
        for (auto left = wait;; left = 200ms) {
            pollfd p{FFd, POLLIN, 0};
            std::uint8_t buffer[512];
            ssize_t n = 0;
            if (::poll(&p, 1, int(left.count())) <= 0 || !(p.revents & POLLIN) || (n = ::read(FFd, buffer, sizeof buffer)) <= 0)
                return block;
            block.insert(block.end(), buffer, buffer + n);
        }
    }

    // A line that hung up says so at once, whatever was asked of it.
    bool HungUp()
    {
        pollfd p{FFd, POLLIN, 0};
        return ::poll(&p, 1, 1000) == 1 && (p.revents & POLLHUP);
    }

private:
    int FFd;
};

const TBytes Probe(ProbeRequest.begin(), ProbeRequest.end());

TBytes Exchange(const std::string &path, const TBytes &request)
{
    TToolEnd tool(path);
    return tool.IsOpen() && tool.Send(request) ? tool.Block() : TBytes{};
}

std::string SerialOf(const TBytes &record)
{
    if (record.size() != FrameBufferSize || !CheckFrame(record.data(), record.size()))
        return "no record";
    return std::string(1, char(record[4])) + (record[5] < 10 ? "0" : "") + std::to_string(record[5])
           + std::string(record.begin() + 6, record.begin() + 12);
}

// A write frame that stores the record's fields back with a changed trip text.
TBytes WriteOf(const TFrameBuffer &record, std::string_view trip)
{
    TBytes frame(record.begin(), record.end());
    frame[2] = CmdParameterWrite;
    frame[3] = WriteFrameDataCount;
    std::fill(frame.begin() + 52, frame.begin() + 152, 0);
    const std::uint8_t time[6] = {26, 12, 8, 17, 5, 0};
    std::copy(std::begin(time), std::end(time), frame.begin() + 52);
    std::copy(trip.begin(), trip.end(), frame.begin() + 58);
    frame[FrameCheckOffset] = FrameCheckByte(frame.data(), int(FrameCheckOffset) - 1);
    frame[FrameEndOffset] = FrameEnd;
    return frame;
}

// The device registered under the name, or nothing.
std::string Registered(const char *name)
{
    const QString port = QString::fromLatin1(name);
    return PortMap::RegisteredNames().contains(port) ? PortMap::DevicePath(port).toStdString() : std::string();
}

} // namespace

// Loggers come and go as on a bench: unplugging one hangs up its line and
// takes its port away, and the next, or the same again, appears where it is
// plugged in.
class TestHotPlug : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(FRuntime.IsValid()); }
    void nextSerialNumber_data();
    void nextSerialNumber();
    void unplugHangsUpTheLine_data();
    void unplugHangsUpTheLine();
    void pluggedInAgainKeepsItsSettings_data();
    void pluggedInAgainKeepsItsSettings();
    void scheduleUnplugsAfterTheReadBack();
    void programRunsASeries();
    void programChangesLoggersOnTheSameCable();

private:
    TPrivateRuntime FRuntime;
};

void TestHotPlug::nextSerialNumber_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("next");
    QTest::newRow("counts up") << "A05123456" << "A05123457";
    QTest::newRow("carries") << "A05129999" << "A05130000";
    QTest::newRow("runs out") << "A05999999" << "";
    QTest::newRow("letters at the end") << "A0512345X" << "";
}

void TestHotPlug::nextSerialNumber()
{
    QFETCH(QString, serial);
    QFETCH(QString, next);
    QCOMPARE(QString::fromStdString(NextSerialNumber(serial.toStdString()).value_or("")), next);
}

void TestHotPlug::unplugHangsUpTheLine_data()
{
    QTest::addColumn<QString>("tool");  // what the tool is doing when the cable is pulled
    QTest::newRow("line closed") << "closed";
    QTest::newRow("line held open") << "open";
    QTest::newRow("in the middle of an answer") << "answer";
}

void TestHotPlug::unplugHangsUpTheLine()
{
    QFETCH(QString, tool);

    TLoggerSeries series("A05123456", 1);
    TLoggerEmulator &logger = series[0];
    QVERIFY(logger.Plug("ttyBENCH"));
    const std::string path = logger.SlavePath();
    QCOMPARE(Registered("ttyBENCH"), path);

    std::optional<TToolEnd> end;
    if (tool != u"closed") {
        end.emplace(path);
        QVERIFY(end->IsOpen());
    }
    if (tool == u"answer") {
        QVERIFY(end->Send(Probe));
        QTest::qWait(350);  // the request's silence, the answer delay, some bytes
    }
    const auto before = std::chrono::steady_clock::now();
    logger.Unplug();
    // At once, not after the linger a stop allows the last bytes.
    QVERIFY(std::chrono::steady_clock::now() - before < TLoggerEmulator::Linger);
    QVERIFY(!logger.Plugged());
    QVERIFY(Registered("ttyBENCH").empty());
    if (end) {
        QVERIFY(end->HungUp());
        if (tool == u"answer")
            QVERIFY(end->Block(0ms).size() < FrameBufferSize);
        end.reset();
    }
    QVERIFY(!std::filesystem::exists(path) || Exchange(path, Probe).empty());
}

void TestHotPlug::pluggedInAgainKeepsItsSettings_data()
{
    QTest::addColumn<QString>("second");
    QTest::newRow("on the same port name") << "ttyBENCH";
    QTest::newRow("on another port name") << "ttyOTHER";
}

void TestHotPlug::pluggedInAgainKeepsItsSettings()
{
    QFETCH(QString, second);

    TLoggerSeries series("B07000001", 2);
    QVERIFY(series[0].Plug("ttyBENCH"));
    const TBytes ack = Exchange(series[0].SlavePath(), WriteOf(series[0].ParameterRecord(), "written before"));
    QCOMPARE(ack.size(), 7u);
    series[0].Unplug();

    // Another logger takes the name meanwhile, and goes again.
    QVERIFY(series[1].Plug("ttyBENCH"));
    QCOMPARE(SerialOf(Exchange(Registered("ttyBENCH"), Probe)), std::string("B07000002"));
    series[1].Unplug();

    QVERIFY(series[0].Plug(second.toStdString()));
    const TBytes record = Exchange(Registered(qPrintable(second)), Probe);
    QCOMPARE(SerialOf(record), std::string("B07000001"));
    QCOMPARE(std::string(record.begin() + 52, record.begin() + 66), std::string("written before"));
    QCOMPARE(series[0].StoredWrites(), 1u);
    QCOMPARE(PortMap::RegisteredNames(), QStringList{second});
}

void TestHotPlug::scheduleUnplugsAfterTheReadBack()
{
    TLoggerSeries series("A05123456", 2);
    TPlugSchedule schedule(series, {TPlugStep::PlugIn(0, "ttyBENCH"), TPlugStep::WaitWritten(0, 20s),
                                    TPlugStep::Unplugging(0), TPlugStep::Pause(300ms), TPlugStep::PlugIn(1, "ttyBENCH"),
                                    TPlugStep::Pause(0ms), TPlugStep::Unplugging(1)});
    schedule.Start();
    QTRY_VERIFY_WITH_TIMEOUT(!Registered("ttyBENCH").empty(), 5000);
    const std::string first = Registered("ttyBENCH");
    QCOMPARE(SerialOf(Exchange(first, Probe)), std::string("A05123456"));
    QCOMPARE(Exchange(first, WriteOf(series[0].ParameterRecord(), "batch")).size(), 7u);
    // Written, not yet read back: a tool that verifies still needs the logger.
    QTest::qWait(500);
    QVERIFY(series[0].Plugged());
    QCOMPARE(SerialOf(Exchange(first, Probe)), std::string("A05123456"));

    QTRY_VERIFY_WITH_TIMEOUT(!series[0].Plugged(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(series[1].Plugged(), 5000);
    QCOMPARE(SerialOf(Exchange(Registered("ttyBENCH"), Probe)), std::string("A05123457"));
    // A pause of zero lasts until the schedule is told to go on.
    QTest::qWait(300);
    QVERIFY(series[1].Plugged() && !schedule.Finished());
    schedule.Skip();
    QVERIFY(schedule.Wait(5s));
    QVERIFY(!series[1].Plugged());
    QCOMPARE(schedule.Failure(), std::string());
    QCOMPARE(series[0].StoredWrites(), 1u);
    QCOMPARE(series[1].StoredWrites(), 0u);
}

namespace {

// The program's next line on stdout, waiting for it a while.
QString NextLine(QProcess &program)
{
    if (!program.canReadLine())
        program.waitForReadyRead(10000);
    return QString::fromLocal8Bit(program.readLine()).trimmed();
}

} // namespace

void TestHotPlug::programRunsASeries()
{
    QProcess program;
    program.start(QStringLiteral(LOGGER_EMULATOR), {"--name", "ttySERIES", "--series", "2", "--serial", "C01000009",
                                                    "--swap-when-written", "--plug-gap", "200", "--answer-delay", "0"});
    QVERIFY(program.waitForStarted());
    const QRegularExpression banner(QStringLiteral(R"(^logger-emulator: port ttySERIES is (\S+) \((\w+)\)$)"));

    auto plugged = banner.match(NextLine(program));
    QVERIFY(plugged.hasMatch());
    QCOMPARE(plugged.captured(2), QStringLiteral("C01000009"));
    const std::string path = plugged.captured(1).toStdString();
    const TBytes record = Exchange(path, Probe);
    QCOMPARE(SerialOf(record), std::string("C01000009"));
    TFrameBuffer fields {};
    std::copy(record.begin(), record.end(), fields.begin());
    QCOMPARE(Exchange(path, WriteOf(fields, "series")).size(), 7u);
    QCOMPARE(SerialOf(Exchange(path, Probe)), std::string("C01000009"));
    QCOMPARE(NextLine(program), QStringLiteral("logger-emulator: unplugged C01000009 from ttySERIES"));

    // The serial numbers count up, carrying into the next digit.
    plugged = banner.match(NextLine(program));
    QVERIFY(plugged.hasMatch());
    QCOMPARE(plugged.captured(2), QStringLiteral("C01000010"));
    QCOMPARE(SerialOf(Exchange(plugged.captured(1).toStdString(), Probe)), std::string("C01000010"));
    // Not written: SIGUSR1 unplugs it, as a technician who gives up on it.
    QCOMPARE(::kill(pid_t(program.processId()), SIGUSR1), 0);
    QCOMPARE(NextLine(program), QStringLiteral("logger-emulator: unplugged C01000010 from ttySERIES"));
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(PortMap::RegisteredNames().isEmpty());
}

// The adapter stays plugged in and registered on one pseudo-terminal, as a
// COM port mapped under wine stays; only the logger behind it changes.
void TestHotPlug::programChangesLoggersOnTheSameCable()
{
    QProcess program;
    program.start(QStringLiteral(LOGGER_EMULATOR), {"--name", "ttyCABLE", "--series", "2", "--serial", "C01000009",
                                                    "--same-cable", "--swap-when-written", "--answer-delay", "0"});
    QVERIFY(program.waitForStarted());
    const auto plugged = QRegularExpression(QStringLiteral(R"(^logger-emulator: port ttyCABLE is (\S+) \(C01000009\)$)"))
                             .match(NextLine(program));
    QVERIFY(plugged.hasMatch());
    const std::string path = plugged.captured(1).toStdString();
    TFrameBuffer fields {};
    const TBytes record = Exchange(path, Probe);
    std::copy(record.begin(), record.end(), fields.begin());
    QCOMPARE(Exchange(path, WriteOf(fields, "first")).size(), 7u);
    QCOMPARE(SerialOf(Exchange(path, Probe)), std::string("C01000009"));

    QCOMPARE(NextLine(program), QStringLiteral("logger-emulator: C01000010 in place of C01000009 on ttyCABLE"));
    QCOMPARE(Registered("ttyCABLE"), path);
    const TBytes next = Exchange(path, Probe);
    QCOMPARE(SerialOf(next), std::string("C01000010"));
    // The first logger's write went with it.
    QCOMPARE(std::string(next.begin() + 52, next.begin() + 71), std::string("Cold chain shipment"));
    std::copy(next.begin(), next.end(), fields.begin());
    QCOMPARE(Exchange(path, WriteOf(fields, "second")).size(), 7u);
    QCOMPARE(SerialOf(Exchange(path, Probe)), std::string("C01000010"));
    QCOMPARE(NextLine(program), QStringLiteral("logger-emulator: unplugged C01000010 from ttyCABLE"));
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestHotPlug)
#include "tst_hotplug.moc"
