#include "LineClient.h"
#include "LoggerEmulator.h"
#include "PortMap.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <cstring>
#include <thread>

#include <sys/ioctl.h>

using namespace LineClient;

Q_DECLARE_METATYPE(TBytes)
Q_DECLARE_METATYPE(TFaultMode)

namespace {

const TBytes Probe(ProbeRequest.begin(), ProbeRequest.end());
const TBytes Ack = {0xAA, 0x55, 0x15, 0x01, 0x00, 0x16, 0xAA};

TBytes Bytes(const TFrameBuffer &frame)
{
    return TBytes(frame.begin(), frame.end());
}

bool Sound(const TBytes &bytes)
{
    return CheckFrame(bytes.data(), bytes.size());
}

TBytes Sealed(TBytes frame)
{
    frame[frame.size() - 2] = FrameCheckByte(frame.data(), static_cast<int>(frame.size()) - 3);
    frame.back() = FrameEnd;
    return frame;
}

// A write frame carrying the fields of `fields` (a record image) as the tool sends them.
TFrameBuffer WriteFrame(const TFrameBuffer &fields, const TLoggerTime &time, std::string_view trip)
{
    TFrameBuffer frame{};
    frame[0] = FrameStart1;
    frame[1] = FrameStart2;
    frame[2] = CmdParameterWrite;
    frame[3] = WriteFrameDataCount;
    std::copy(fields.begin() + 4, fields.begin() + 52, frame.begin() + 4);
    const int t[6] = {time.Year - 2000, time.Month, time.Day, time.Hour, time.Minute, time.Second};
    for (int i = 0; i < 6; ++i)
        frame[52 + i] = static_cast<std::uint8_t>(t[i]);
    std::copy(trip.begin(), trip.end(), frame.begin() + 58);
    std::copy(fields.begin() + 152, fields.begin() + 202, frame.begin() + 152);
    frame[FrameCheckOffset] = FrameCheckByte(frame.data(), FrameCheckOffset - 1);
    frame[FrameEndOffset] = FrameEnd;
    return frame;
}

TBytes Exchange(const std::string &path, const TBytes &request, std::chrono::milliseconds wait = 3000ms)
{
    const int fd = Open(path);
    if (fd < 0 || !Send(fd, request)) {
        if (fd >= 0)
            ::close(fd);
        return {};
    }
    TBlock block = ReadBlock(fd, wait);
    ::close(fd);
    return block.Bytes;
}

bool Registered(const std::string &name)
{
    return PortMap::RegisteredNames().contains(QString::fromStdString(name));
}

} // namespace

class TstEmulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void probeAnswersWithRecord();
    void writeFrameIsStoredAndAcknowledged_data();
    void writeFrameIsStoredAndAcknowledged();
    void unsoundRequestGetsNoAnswer_data();
    void unsoundRequestGetsNoAnswer();
    void controlBytesPassUnchanged();
    void lineCanBeReopenedAfterExclusiveUse();
    void answerNobodyReadsIsLost();
    void answerShapeUnderFault_data();
    void answerShapeUnderFault();
    void garbageNeverPassesCheck();
    void vanishHangsUpAfterNextRequest();
    void stopKeepsAnotherEmulatorsLink();
    void idleLineCostsNoCpu();

    void programServesUntilSignal_data();
    void programServesUntilSignal();

private:
    QTemporaryDir FRuntime;
};

void TstEmulator::initTestCase()
{
    UsePrivateRuntimeDirectory(FRuntime);
}

void TstEmulator::probeAnswersWithRecord()
{
    TLoggerEmulator emulator("ttyTEST");
    QVERIFY(emulator.Start());
    QVERIFY(Registered("ttyTEST"));
    QCOMPARE(PortMap::DevicePath("ttyTEST").toStdString(), emulator.SlavePath());

    const TBytes answer = Exchange(emulator.SlavePath(), Probe);
    QCOMPARE(answer.size(), FrameBufferSize);
    QVERIFY(Sound(answer));
    QCOMPARE(answer[2], CmdParameterRecord);
    QCOMPARE(answer, Bytes(emulator.ParameterRecord()));
    // A05123456: the middle part travels as one binary byte.
    QCOMPARE(answer[4], std::uint8_t('A'));
    QCOMPARE(answer[5], std::uint8_t(5));
    QCOMPARE(std::string(answer.begin() + 6, answer.begin() + 12), std::string("123456"));
    QCOMPARE(emulator.ReceivedFrames(), std::vector<TBytes>{Probe});
}

void TstEmulator::writeFrameIsStoredAndAcknowledged_data()
{
    QTest::addColumn<int>("day");
    QTest::addColumn<bool>("clockSet");
    QTest::newRow("valid system time") << 4 << true;
    QTest::newRow("impossible date keeps the clock") << 30 << false;
}

void TstEmulator::writeFrameIsStoredAndAcknowledged()
{
    QFETCH(int, day);
    QFETCH(bool, clockSet);

    TLoggerEmulator emulator("ttyTEST");
    TFrameBuffer fields = emulator.ParameterRecord();
    // A trip text without a zero byte, which the shorter one written must not leave a tail of.
    std::fill_n(fields.begin() + TripInfoOffset, TripInfoSize, 'y');
    emulator.SetParameterRecord(fields);
    QVERIFY(emulator.Start());
    const TLoggerTime before = emulator.Clock();

    QVERIFY(SetSerialNumber(fields, "B12345678"));
    const std::uint8_t deviceId[] = {0xDE, 0xAD, 0xBE, 0xEF};
    std::copy(std::begin(deviceId), std::end(deviceId), fields.begin() + 13);
    fields[45] = 1;  // password start-up
    const std::uint8_t l2[] = {0x01, 0x05, 0x50, 0x01, 0x02, 0x30, 0x00};  // multiple alarm, BCD
    std::copy(std::begin(l2), std::end(l2), fields.begin() + 160);
    const TLoggerTime time{2025, 2, day, 5, 6, 7};
    const std::string trip(94, 'x');  // as long as the write frame allows
    const TFrameBuffer frame = WriteFrame(fields, time, trip);

    QCOMPARE(Exchange(emulator.SlavePath(), Bytes(frame)), Ack);

    const TBytes record = Exchange(emulator.SlavePath(), Probe);
    QCOMPARE(record.size(), FrameBufferSize);
    QVERIFY(Sound(record));
    QCOMPARE(record[2], CmdParameterRecord);
    QVERIFY(std::equal(frame.begin() + 4, frame.begin() + 52, record.begin() + 4));
    QVERIFY(std::equal(frame.begin() + 58, frame.begin() + 152, record.begin() + 52));
    QVERIFY(std::all_of(record.begin() + 146, record.begin() + 152, [](auto b) { return b == 0; }));
    QVERIFY(std::equal(frame.begin() + 152, frame.begin() + 202, record.begin() + 152));
    QCOMPARE(record, Bytes(emulator.ParameterRecord()));

    if (clockSet) {
        QVERIFY(emulator.Clock() >= time);
        QTRY_VERIFY_WITH_TIMEOUT(emulator.Clock() > time, 5000);  // and it runs on
        QVERIFY(emulator.Clock() < TLoggerTime({2025, 2, day, 5, 7, 7}));
    } else {
        const auto drift = *ToSeconds(emulator.Clock()) - *ToSeconds(before);
        QVERIFY(drift >= 0s && drift < 30s);
    }
}

void TstEmulator::unsoundRequestGetsNoAnswer_data()
{
    QTest::addColumn<TBytes>("request");
    QTest::addColumn<bool>("inTwoParts");
    QTest::addColumn<TFaultMode>("fault");

    TBytes badCheck = Probe;
    ++badCheck[5];
    const TFrameBuffer write = WriteFrame(DefaultParameterRecord(), {2025, 1, 1, 0, 0, 0}, "changed");
    TBytes writeBadCheck = Bytes(write);
    ++writeBadCheck[FrameCheckOffset];
    TBytes writeTooLong = Bytes(write);
    writeTooLong.insert(writeTooLong.begin() + 100, 0x00);
    const auto none = TFaultMode::None;

    QTest::newRow("probe with a wrong check byte") << badCheck << false << none;
    QTest::newRow("unknown command") << Sealed({0xAA, 0x55, 0x20, 0x01, 0x11, 0, 0}) << false << none;
    QTest::newRow("write command in a short frame") << Sealed({0xAA, 0x55, 0x95, 0x01, 0x00, 0, 0}) << false << none;
    QTest::newRow("write frame with a wrong check byte") << writeBadCheck << false << none;
    QTest::newRow("write frame one byte too long") << Sealed(writeTooLong) << false << none;
    QTest::newRow("probe cut by a pause") << Probe << true << none;
    QTest::newRow("sound probe to a silent logger") << Probe << false << TFaultMode::Silent;
}

void TstEmulator::unsoundRequestGetsNoAnswer()
{
    QFETCH(TBytes, request);
    QFETCH(bool, inTwoParts);
    QFETCH(TFaultMode, fault);

    TLoggerEmulator emulator("ttyTEST");
    emulator.SetFaultMode(fault);
    QVERIFY(emulator.Start());
    const TFrameBuffer record = emulator.ParameterRecord();
    const int fd = Open(emulator.SlavePath());
    QVERIFY(fd >= 0);
    if (inTwoParts) {
        QVERIFY(Send(fd, TBytes(request.begin(), request.begin() + 3)));
        QTest::qWait(500);
        QVERIFY(Send(fd, TBytes(request.begin() + 3, request.end())));
    } else {
        QVERIFY(Send(fd, request));
    }
    const TBlock answer = ReadBlock(fd, 1000ms);
    ::close(fd);

    QVERIFY(answer.Bytes.empty());
    QCOMPARE(emulator.ReceivedFrames().size(), inTwoParts ? 2u : 1u);
    QCOMPARE(emulator.ParameterRecord(), record);
}

void TstEmulator::controlBytesPassUnchanged()
{
    // CR, LF, XON, XOFF, ^C, ^Z, DEL and NUL: each one a cooked line would eat or translate.
    const std::string trip = "\r\n\x11\x13\x03\x1A\x7F\x0A\x0D";
    TLoggerEmulator emulator("ttyTEST");
    TFrameBuffer record = emulator.ParameterRecord();
    std::copy(trip.begin(), trip.end(), record.begin() + TripInfoOffset);
    record[TripInfoOffset + trip.size()] = 0x00;
    emulator.SetParameterRecord(record);
    QVERIFY(emulator.Start());

    QCOMPARE(Exchange(emulator.SlavePath(), Probe), Bytes(emulator.ParameterRecord()));

    // The acknowledgement only comes when the frame arrived with its check byte intact.
    const std::string back = "\x13\x11\r\r\n\x03";
    QCOMPARE(Exchange(emulator.SlavePath(), Bytes(WriteFrame(record, {2025, 6, 1, 12, 0, 0}, back))), Ack);
    const TFrameBuffer stored = emulator.ParameterRecord();
    QCOMPARE(std::string(stored.begin() + TripInfoOffset, stored.begin() + TripInfoOffset + back.size()), back);
}

void TstEmulator::lineCanBeReopenedAfterExclusiveUse()
{
    // The tool opens the port exclusively for every exchange; a pseudo-terminal
    // would keep it exclusive after the close, and the next open would fail.
    TLoggerEmulator emulator("ttyTEST");
    QVERIFY(emulator.Start());
    for (int exchange = 0; exchange < 3; ++exchange) {
        const int fd = Open(emulator.SlavePath());
        QVERIFY2(fd >= 0, std::strerror(errno));
        QCOMPARE(::ioctl(fd, TIOCEXCL), 0);
        QVERIFY(Send(fd, Probe));
        QCOMPARE(ReadBlock(fd, 3000ms).Bytes.size(), FrameBufferSize);
        ::close(fd);
        QTest::qWait(100);
    }
    const int fd = Open(emulator.SlavePath());
    QVERIFY2(fd >= 0, std::strerror(errno));
    int exclusive = -1;
    QCOMPARE(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
    ::close(fd);
    QCOMPARE(exclusive, 0);
}

void TstEmulator::answerNobodyReadsIsLost()
{
    // A real port drops what arrives while it is closed; a stale record would
    // greet the next open as a block of its own.
    TLoggerEmulator emulator("ttyTEST");
    emulator.SetAnswerDelay(400ms);
    QVERIFY(emulator.Start());
    int fd = Open(emulator.SlavePath());
    QVERIFY(fd >= 0);
    QVERIFY(Send(fd, Probe));
    ::close(fd);
    QTest::qWait(1200);

    fd = Open(emulator.SlavePath());
    QVERIFY(fd >= 0);
    const TBlock stale = ReadBlock(fd, 500ms);
    QVERIFY(stale.Bytes.empty());
    QVERIFY(Send(fd, Probe));
    QCOMPARE(ReadBlock(fd, 3000ms).Bytes.size(), FrameBufferSize);
    ::close(fd);
}

void TstEmulator::answerShapeUnderFault_data()
{
    QTest::addColumn<TFaultMode>("fault");
    QTest::addColumn<bool>("write");
    QTest::addColumn<QList<int>>("blockSizes");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<int>("copies");  // of the answer; 0 when the bytes are no answer at all
    QTest::addColumn<int>("minSpanMs");
    QTest::addColumn<int>("maxSpanMs");

    // 204 bytes at 9600 baud take about 212 ms; 64 KiB would take over a minute.
    QTest::newRow("none") << TFaultMode::None << false << QList<int>{204} << true << 1 << 150 << 2000;
    QTest::newRow("bad-check") << TFaultMode::BadCheck << false << QList<int>{204} << false << 1 << 150 << 2000;
    QTest::newRow("split") << TFaultMode::Split << false << QList<int>{100, 104} << true << 1 << 0 << 2000;
    QTest::newRow("slow") << TFaultMode::Slow << true << QList<int>{7} << true << 1 << 800 << 5000;
    QTest::newRow("twice") << TFaultMode::Twice << false << QList<int>{204, 204} << true << 2 << 150 << 2000;
    QTest::newRow("twice, acknowledgement") << TFaultMode::Twice << true << QList<int>{7, 7} << true << 2 << 0 << 2000;
    QTest::newRow("flood") << TFaultMode::Flood << false << QList<int>{64 * 1024} << false << 0 << 0 << 5000;
}

void TstEmulator::answerShapeUnderFault()
{
    QFETCH(TFaultMode, fault);
    QFETCH(bool, write);
    QFETCH(QList<int>, blockSizes);
    QFETCH(bool, sound);
    QFETCH(int, copies);
    QFETCH(int, minSpanMs);
    QFETCH(int, maxSpanMs);

    TLoggerEmulator emulator("ttyTEST");
    emulator.SetFaultMode(fault);
    emulator.SetAnswerDelay(300ms);
    QVERIFY(emulator.Start());
    const TBytes expected = write ? Ack : Bytes(emulator.ParameterRecord());
    const int fd = Open(emulator.SlavePath());
    QVERIFY(fd >= 0);
    const auto sent = TClock::now();
    QVERIFY(Send(fd, write ? Bytes(WriteFrame(emulator.ParameterRecord(), {2025, 1, 1, 0, 0, 0}, "")) : Probe));

    QList<int> sizes;
    TBytes all;
    TBlock block = ReadBlock(fd, 3000ms);
    const TBlock first = block;
    while (!block.Bytes.empty()) {
        sizes << int(block.Bytes.size());
        all.insert(all.end(), block.Bytes.begin(), block.Bytes.end());
        if (sizes.size() == blockSizes.size())
            break;
        block = ReadBlock(fd, 1000ms);
    }
    QVERIFY(ReadBlock(fd, 700ms).Bytes.empty());
    ::close(fd);

    QCOMPARE(sizes, blockSizes);
    if (copies == 0) {
        QVERIFY(!Sound(all));
    } else {
        QCOMPARE(all.size(), expected.size() * copies);
        for (int copy = 0; copy < copies; ++copy) {
            const TBytes answer(all.begin() + copy * expected.size(), all.begin() + (copy + 1) * expected.size());
            QCOMPARE(Sound(answer), sound);
            for (std::size_t i = 0; i < answer.size(); ++i) {
                const bool checkByte = i == answer.size() - 2;
                if (!(fault == TFaultMode::BadCheck && checkByte))
                    QCOMPARE(answer[i], expected[i]);
            }
        }
    }
    // The request ends after 200 ms of silence, then comes the delay.
    QVERIFY(first.First - sent >= 450ms);
    QVERIFY(first.Last - first.First >= std::chrono::milliseconds(minSpanMs));
    QVERIFY(first.Last - first.First <= std::chrono::milliseconds(maxSpanMs));
}

void TstEmulator::garbageNeverPassesCheck()
{
    TLoggerEmulator emulator("ttyTEST");
    emulator.SetFaultMode(TFaultMode::Garbage);
    QVERIFY(emulator.Start());
    for (int i = 0; i < 3; ++i) {
        const TBytes answer = Exchange(emulator.SlavePath(), Probe);
        QVERIFY(answer.size() >= 7 && answer.size() <= FrameBufferSize);
        QVERIFY(!Sound(answer));
    }
}

void TstEmulator::vanishHangsUpAfterNextRequest()
{
    TLoggerEmulator emulator("ttyTEST");
    emulator.SetFaultMode(TFaultMode::Vanish);
    QVERIFY(emulator.Start());
    QVERIFY(!emulator.HungUp());
    const int fd = Open(emulator.SlavePath());
    QVERIFY(fd >= 0);
    QVERIFY(Send(fd, Probe));

    pollfd p{fd, POLLIN, 0};
    QVERIFY(::poll(&p, 1, 3000) == 1);
    QVERIFY(p.revents & POLLHUP);
    std::uint8_t byte;
    QVERIFY(::read(fd, &byte, 1) <= 0);  // no answer came before the hang-up
    ::close(fd);
    QTRY_VERIFY_WITH_TIMEOUT(emulator.HungUp(), 3000);
    QVERIFY(!Registered("ttyTEST"));
    QCOMPARE(emulator.ReceivedFrames(), std::vector<TBytes>{Probe});
    emulator.Stop();
}

void TstEmulator::stopKeepsAnotherEmulatorsLink()
{
    TLoggerEmulator first("ttyTEST");
    QVERIFY(first.Start());
    TLoggerEmulator second("ttyTEST");
    QVERIFY(second.Start());
    QCOMPARE(PortMap::DevicePath("ttyTEST").toStdString(), second.SlavePath());

    first.Stop();
    QCOMPARE(PortMap::DevicePath("ttyTEST").toStdString(), second.SlavePath());
    second.Stop();
    QVERIFY(!Registered("ttyTEST"));
}

void TstEmulator::idleLineCostsNoCpu()
{
    auto cpuOverOneSecond = [] {
        timespec before {}, after {};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
        std::this_thread::sleep_for(1s);
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
        return (after.tv_sec - before.tv_sec) * 1000 + (after.tv_nsec - before.tv_nsec) / 1000000;
    };
    TLoggerEmulator emulator("ttyTEST");
    QVERIFY(emulator.Start());
    QVERIFY(cpuOverOneSecond() < 50);

    QCOMPARE(Exchange(emulator.SlavePath(), Probe).size(), FrameBufferSize);
    QVERIFY2(cpuOverOneSecond() < 50, "after the tool closed the line");

    int fd = Open(emulator.SlavePath());
    QVERIFY(fd >= 0);
    QVERIFY2(cpuOverOneSecond() < 50, "while the tool holds the line");
    ::close(fd);

    // The flood fills the line and waits for room that never comes.
    emulator.SetFaultMode(TFaultMode::Flood);
    emulator.SetAnswerDelay(0ms);
    fd = Open(emulator.SlavePath());
    QVERIFY(fd >= 0);
    QVERIFY(Send(fd, Probe));
    QTest::qWait(500);
    QVERIFY2(cpuOverOneSecond() < 50, "while a flood waits for a tool that does not read");
    ::close(fd);
}

void TstEmulator::programServesUntilSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
}

void TstEmulator::programServesUntilSignal()
{
    QFETCH(int, signal);

    QProcess program;
    program.start(QStringLiteral(LOGGER_EMULATOR),
                  {"--name", "ttyPROGRAM", "--serial", "B07654321", "--answer-delay", "0", "--log"});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(program.canReadLine(), 5000);
    const QString banner = QString::fromLocal8Bit(program.readLine()).trimmed();
    const auto match = QRegularExpression(R"(port ttyPROGRAM is (\S+))").match(banner);
    QVERIFY2(match.hasMatch(), qPrintable(banner));
    const std::string path = match.captured(1).toStdString();
    QCOMPARE(PortMap::DevicePath("ttyPROGRAM").toStdString(), path);

    const TBytes answer = Exchange(path, Probe);
    QVERIFY(Sound(answer));
    QCOMPARE(answer[4], std::uint8_t('B'));
    QCOMPARE(answer[5], std::uint8_t(7));
    QCOMPARE(std::string(answer.begin() + 6, answer.begin() + 12), std::string("654321"));

    QCOMPARE(::kill(static_cast<pid_t>(program.processId()), signal), 0);
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(!Registered("ttyPROGRAM"));
    const QByteArray log = program.readAllStandardError();
    QVERIFY2(log.contains("rx 7: AA 55 14 01 11 26 AA"), log.constData());
    QVERIFY2(log.contains("tx 204: AA 55 94 C6 42 07"), log.constData());
}

QTEST_GUILESS_MAIN(TstEmulator)
#include "tst_emulator.moc"
