#include "PrivateRuntime.h"
#include "LoggerEmulator.h"
#include "PortMap.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

using TBytes = std::vector<std::uint8_t>;
using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct TByteAt {
    std::size_t Offset;
    std::uint8_t Value;
};
using TBytesAt = std::vector<TByteAt>;

Q_DECLARE_METATYPE(TBytes)
Q_DECLARE_METATYPE(TBytesAt)
Q_DECLARE_METATYPE(TFaultMode)

namespace {

// The tool's end of the line with plain POSIX calls.
int Open(const std::string &path)
{
    return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

bool Send(int fd, const TBytes &bytes)
{
    return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

struct TBlock {
    TBytes Bytes;
    TClock::time_point First, Last;
};

// Read as the tool does: a block ends when the line has been quiet for 200 ms.
// Empty when no byte arrives within `wait`.
TBlock ReadBlock(int fd, std::chrono::milliseconds wait)
{
    TBlock block;
    for (auto deadline = TClock::now() + wait;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now()).count();
        pollfd p{fd, POLLIN, 0};
        std::uint8_t buffer[512];
        ssize_t n = 0;
        if (::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0 || !(p.revents & POLLIN)
            || (n = ::read(fd, buffer, sizeof buffer)) <= 0)
            return block;
        block.Last = TClock::now();
        if (block.Bytes.empty())
            block.First = block.Last;
        block.Bytes.insert(block.Bytes.end(), buffer, buffer + n);
        deadline = block.Last + 200ms;
    }
}

const TBytes Probe(ProbeRequest.begin(), ProbeRequest.end());
const TBytes Ack = {0xAA, 0x55, 0x15, 0x01, 0x00, 0x16, 0xAA};

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
TBytes WriteFrame(const TFrameBuffer &fields, const TLoggerTime &time, std::string_view trip)
{
    TBytes frame(fields.begin(), fields.end());
    frame[2] = CmdParameterWrite;
    frame[3] = WriteFrameDataCount;
    std::fill(frame.begin() + 52, frame.begin() + 152, 0);
    const int t[6] = {time.Year - 2000, time.Month, time.Day, time.Hour, time.Minute, time.Second};
    std::copy(std::begin(t), std::end(t), frame.begin() + 52);
    std::copy(trip.begin(), trip.end(), frame.begin() + 58);
    return Sealed(frame);
}

TBytes Exchange(const std::string &path, const TBytes &request)
{
    const int fd = Open(path);
    const TBytes answer = fd >= 0 && Send(fd, request) ? ReadBlock(fd, 3000ms).Bytes : TBytes{};
    if (fd >= 0)
        ::close(fd);
    return answer;
}

} // namespace

class TstEmulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(FRuntime.IsValid());
    }

    void writeFrameIsStoredAndAcknowledged_data()
    {
        QTest::addColumn<int>("day");
        QTest::addColumn<bool>("clockSet");
        QTest::newRow("valid system time") << 4 << true;
        QTest::newRow("impossible date keeps the clock") << 30 << false;
    }

    void writeFrameIsStoredAndAcknowledged()
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

        // Every stored byte differs from the default one, so a field copied from the wrong place shows.
        for (std::size_t i = 4; i < 202; ++i)
            fields[i] = static_cast<std::uint8_t>(i * 7);
        // As long as the frame allows, led by bytes that a cooked line would eat or translate.
        std::string trip = "\r\n\x11\x13\x03\x1A\x7F\r";
        trip.resize(WriteTripInfoSize, 'x');
        const TLoggerTime time{2025, 2, day, 5, 6, 7};
        const TBytes frame = WriteFrame(fields, time, trip);

        QCOMPARE(Exchange(emulator.SlavePath(), frame), Ack);

        const TBytes record = Exchange(emulator.SlavePath(), Probe);
        QVERIFY(Sound(record));
        QCOMPARE(record[2], CmdParameterRecord);
        QVERIFY(std::equal(frame.begin() + 4, frame.begin() + 52, record.begin() + 4));
        QVERIFY(std::equal(frame.begin() + 58, frame.begin() + 152, record.begin() + 52));
        QVERIFY(std::all_of(record.begin() + 146, record.begin() + 152, [](auto b) { return b == 0; }));
        QVERIFY(std::equal(frame.begin() + 152, frame.begin() + 202, record.begin() + 152));

        if (clockSet) {
            QVERIFY(emulator.Clock() >= time);
            QTRY_VERIFY_WITH_TIMEOUT(emulator.Clock() > time, 5000);  // and it runs on
            QVERIFY(emulator.Clock() < TLoggerTime({2025, 2, day, 5, 7, 7}));
        } else {
            const auto drift = *ToSeconds(emulator.Clock()) - *ToSeconds(before);
            QVERIFY(drift >= 0s && drift < 30s);
        }
    }

    // Faults of the logger's memory: the write is acknowledged like any other,
    // and only what a probe answers afterwards shows what was kept. Each row
    // writes the default fields with `written` changed and `trip` as trip
    // text, and lists bytes of the record read back, neighbours of a garbled
    // byte among them.
    void memoryFaultStoresTheWriteWrongly_data()
    {
        QTest::addColumn<TFaultMode>("fault");
        QTest::addColumn<QString>("name");
        QTest::addColumn<TBytesAt>("written");
        QTest::addColumn<QByteArray>("trip");
        QTest::addColumn<TBytesAt>("held");
        QTest::addColumn<bool>("clockSet");

        const QByteArray trip = QByteArray(40, 'k') + QByteArray(54, 'c');
        QTest::newRow("wrong-byte: minutes one higher")
            << TFaultMode::WrongByte << "wrong-byte" << TBytesAt{{18, 15}} << trip
            << TBytesAt{{17, 0}, {18, 16}, {19, 0}, {92, 'c'}} << true;
        QTest::newRow("not-stored: nothing, the clock included")
            << TFaultMode::NotStored << "not-stored" << TBytesAt{{18, 15}, {16, 0x44}} << trip
            << TBytesAt{{16, 0x4D}, {18, 5}, {52, 'C'}, {70, 't'}, {71, 0}} << false;
        QTest::newRow("cut-trip: the first 40 bytes of the trip text")
            << TFaultMode::CutTrip << "cut-trip" << TBytesAt{{18, 15}} << trip
            << TBytesAt{{18, 15}, {52, 'k'}, {91, 'k'}, {92, 0}, {145, 0}, {151, 0}, {152, 1}} << true;
        QTest::newRow("drop-password: six zero bytes")
            << TFaultMode::DropPassword << "drop-password"
            << TBytesAt{{45, 1}, {46, '9'}, {47, '8'}, {48, '7'}, {49, '6'}, {50, '5'}, {51, '4'}} << trip
            << TBytesAt{{45, 1}, {46, 0}, {47, 0}, {48, 0}, {49, 0}, {50, 0}, {51, 0}, {52, 'k'}} << true;
        QTest::newRow("wrong-identity: device ID's last byte one higher")
            << TFaultMode::WrongIdentity << "wrong-identity"
            << TBytesAt{{13, 0x11}, {14, 0x22}, {15, 0x33}, {16, 0x44}} << trip
            << TBytesAt{{13, 0x11}, {14, 0x22}, {15, 0x33}, {16, 0x45}, {17, 0}} << true;
        QTest::newRow("wrong-calibration: fraction one higher")
            << TFaultMode::WrongCalibration << "wrong-calibration" << TBytesAt{{38, 1}, {39, 2}, {40, 25}} << trip
            << TBytesAt{{38, 1}, {39, 2}, {40, 26}, {41, 0}, {43, 0}} << true;
        QTest::newRow("wrong-calibration: fraction 255 wraps without a carry")
            << TFaultMode::WrongCalibration << "wrong-calibration" << TBytesAt{{39, 2}, {40, 255}} << trip
            << TBytesAt{{38, 0}, {39, 2}, {40, 0}, {41, 0}} << true;
    }

    void memoryFaultStoresTheWriteWrongly()
    {
        QFETCH(TFaultMode, fault);
        QFETCH(QString, name);
        QFETCH(TBytesAt, written);
        QFETCH(QByteArray, trip);
        QFETCH(TBytesAt, held);
        QFETCH(bool, clockSet);

        QCOMPARE(FaultModeFromName(name.toStdString()), fault);
        QCOMPARE(QString::fromLatin1(FaultModeName(fault)), name);

        TLoggerEmulator emulator("ttyTEST");
        emulator.SetFaultMode(fault);
        QVERIFY(emulator.Start());
        TFrameBuffer fields = emulator.ParameterRecord();
        for (const auto &[offset, value] : written)
            fields[offset] = value;
        const TLoggerTime time{2031, 2, 4, 5, 6, 7};
        QCOMPARE(Exchange(emulator.SlavePath(), WriteFrame(fields, time, trip.toStdString())), Ack);

        const TBytes record = Exchange(emulator.SlavePath(), Probe);
        QVERIFY(Sound(record));
        QCOMPARE(record.size(), FrameBufferSize);
        for (const auto &[offset, value] : held)
            QVERIFY2(record[offset] == value, qPrintable(QStringLiteral("offset %1 holds %2, not %3")
                                                              .arg(offset).arg(record[offset]).arg(value)));
        QCOMPARE(emulator.Clock() >= time, clockSet);
        QCOMPARE(emulator.StoredWrites(), 1u);
    }

    // The logger on the adapter changed after one answer: the write before
    // it is no answer, the probe after it gets the newcomer's record, and the
    // line never goes away.
    void newcomerTakesTheLineAfterOneAnswer()
    {
        TLoggerEmulator emulator("ttyTEST");
        QVERIFY(emulator.Start());
        const std::string path = emulator.SlavePath();
        TFrameBuffer newcomer = DefaultParameterRecord();
        QVERIFY(SetSerialNumber(newcomer, "B07654321"));
        emulator.ChangeLoggerAfterAnswers(1, newcomer);

        QCOMPARE(Exchange(path, WriteFrame(emulator.ParameterRecord(), {2031, 2, 4, 5, 6, 7}, "first")), Ack);
        QCOMPARE(emulator.StoredWrites(), 1u);
        const TBytes first = Exchange(path, Probe);
        const TBytes second = Exchange(path, Probe);
        const TBytes third = Exchange(path, Probe);
        QVERIFY(Sound(first) && Sound(second) && Sound(third));
        auto serialOf = [](const TBytes &record) { return TBytes(record.begin() + 4, record.begin() + 12); };
        QCOMPARE(serialOf(first), TBytes({'A', 5, '1', '2', '3', '4', '5', '6'}));
        QCOMPARE(serialOf(second), TBytes({'B', 7, '6', '5', '4', '3', '2', '1'}));
        QCOMPARE(serialOf(third), serialOf(second));
        // The newcomer was never written: its trip text is its own.
        QCOMPARE(second[52], std::uint8_t('C'));

        QCOMPARE(emulator.StoredWrites(), 0u);
        QCOMPARE(emulator.ReadsSinceWrite(), 2u);
        QVERIFY(emulator.Plugged() && !emulator.HungUp());
        QCOMPARE(emulator.SlavePath(), path);
        QCOMPARE(PortMap::DevicePath("ttyTEST").toStdString(), path);
    }

    void recordByteIsParsed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("value");

        QTest::newRow("decimal") << "40=150" << true << 40 << 150;
        QTest::newRow("hexadecimal") << "0x28=0X96" << true << 40 << 150;
        QTest::newRow("first data byte, zero") << "4=0" << true << 4 << 0;
        QTest::newRow("last data byte, 255") << "201=0xff" << true << 201 << 255;
        QTest::newRow("data count") << "3=1" << false << 0 << 0;
        QTest::newRow("check byte") << "202=1" << false << 0 << 0;
        QTest::newRow("past the frame, wrapping a byte") << "260=1" << false << 0 << 0;
        QTest::newRow("offset too long for any number") << "18446744073709551656=1" << false << 0 << 0;
        QTest::newRow("value 256") << "40=256" << false << 0 << 0;
        QTest::newRow("negative value") << "40=-1" << false << 0 << 0;
        QTest::newRow("no equals sign") << "40" << false << 0 << 0;
        QTest::newRow("hex prefix alone") << "0x=1" << false << 0 << 0;
        QTest::newRow("trailing letters") << "40=15x" << false << 0 << 0;
    }

    void recordByteIsParsed()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, offset);
        QFETCH(int, value);

        std::string error;
        const auto byte = ParseRecordByte(text.toStdString(), &error);
        QCOMPARE(byte.has_value(), valid);
        QCOMPARE(error.empty(), valid);
        if (valid) {
            QCOMPARE(byte->Offset, std::size_t(offset));
            QCOMPARE(byte->Value, std::uint8_t(value));
        }
    }

    void unsoundRequestGetsNoAnswer_data()
    {
        QTest::addColumn<TBytes>("request");
        QTest::addColumn<bool>("inTwoParts");
        QTest::addColumn<TFaultMode>("fault");

        const TBytes write = WriteFrame(DefaultParameterRecord(), {2025, 1, 1, 0, 0, 0}, "changed");
        TBytes writeBadCheck = write;
        ++writeBadCheck[FrameCheckOffset];
        TBytes writeTooLong = write;
        writeTooLong.insert(writeTooLong.begin() + 100, 0x00);
        const auto none = TFaultMode::None;

        QTest::newRow("unknown command") << Sealed({0xAA, 0x55, 0x20, 0x01, 0x11, 0, 0}) << false << none;
        QTest::newRow("write frame with a wrong check byte") << writeBadCheck << false << none;
        QTest::newRow("write frame one byte too long") << Sealed(writeTooLong) << false << none;
        QTest::newRow("probe cut by a pause") << Probe << true << none;
        QTest::newRow("sound probe to a silent logger") << Probe << false << TFaultMode::Silent;
        QTest::newRow("vanish hangs up instead") << Probe << false << TFaultMode::Vanish;
    }

    void unsoundRequestGetsNoAnswer()
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
        const std::size_t firstPart = inTwoParts ? 3 : request.size();
        QVERIFY(Send(fd, TBytes(request.begin(), request.begin() + firstPart)));
        if (inTwoParts) {
            QTest::qWait(500);
            QVERIFY(Send(fd, TBytes(request.begin() + firstPart, request.end())));
        }
        const TBlock answer = ReadBlock(fd, 1000ms);
        ::close(fd);

        QVERIFY(answer.Bytes.empty());
        QCOMPARE(emulator.ReceivedFrames().size(), inTwoParts ? 2u : 1u);
        QCOMPARE(emulator.ParameterRecord(), record);
        // A hung-up line is gone for good, and so is its name.
        QTRY_COMPARE_WITH_TIMEOUT(emulator.HungUp(), fault == TFaultMode::Vanish, 3000);
        QCOMPARE(PortMap::RegisteredNames().contains("ttyTEST"), fault != TFaultMode::Vanish);
    }

    void closedLineForgetsExclusiveUseAndUnreadAnswer()
    {
        // The tool opens the port exclusively for every exchange; a pseudo-terminal
        // would stay exclusive after the close, and a real port drops what arrives
        // while it is closed instead of greeting the next open with a stale record.
        TLoggerEmulator emulator("ttyTEST");
        emulator.SetAnswerDelay(400ms);
        QVERIFY(emulator.Start());
        int fd = Open(emulator.SlavePath());
        QVERIFY(fd >= 0);
        QCOMPARE(::ioctl(fd, TIOCEXCL), 0);
        QVERIFY(Send(fd, Probe));
        ::close(fd);
        QTest::qWait(1200);

        fd = Open(emulator.SlavePath());
        QVERIFY2(fd >= 0, std::strerror(errno));
        int exclusive = -1;
        QCOMPARE(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 0);  // root may open an exclusive line, so ask
        QVERIFY(ReadBlock(fd, 500ms).Bytes.empty());
        QVERIFY(Send(fd, Probe));
        QCOMPARE(ReadBlock(fd, 3000ms).Bytes.size(), FrameBufferSize);
        ::close(fd);
    }

    void answerShapeUnderFault_data()
    {
        QTest::addColumn<TFaultMode>("fault");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QList<int>>("blockSizes");
        QTest::addColumn<int>("copies");  // of the answer; 0 when the bytes are no answer at all
        QTest::addColumn<int>("minSpanMs");
        QTest::addColumn<int>("maxSpanMs");

        // 204 bytes at 9600 baud take about 212 ms; 64 KiB would take over a minute.
        QTest::newRow("sound probe") << TFaultMode::None << false << QList<int>{204} << 1 << 150 << 2000;
        QTest::newRow("bad-check") << TFaultMode::BadCheck << false << QList<int>{204} << 1 << 150 << 2000;
        QTest::newRow("split") << TFaultMode::Split << false << QList<int>{100, 104} << 1 << 0 << 2000;
        QTest::newRow("slow") << TFaultMode::Slow << true << QList<int>{7} << 1 << 800 << 5000;
        QTest::newRow("twice") << TFaultMode::Twice << false << QList<int>{204, 204} << 2 << 150 << 2000;
        // No sizes: one block of random length.
        QTest::newRow("garbage") << TFaultMode::Garbage << false << QList<int>{} << 0 << 0 << 2000;
        QTest::newRow("flood") << TFaultMode::Flood << false << QList<int>{64 * 1024} << 0 << 0 << 5000;
    }

    void answerShapeUnderFault()
    {
        QFETCH(TFaultMode, fault);
        QFETCH(bool, write);
        QFETCH(QList<int>, blockSizes);
        QFETCH(int, copies);
        QFETCH(int, minSpanMs);
        QFETCH(int, maxSpanMs);

        TLoggerEmulator emulator("ttyTEST");
        emulator.SetFaultMode(fault);
        emulator.SetAnswerDelay(300ms);
        QVERIFY(emulator.Start());
        const TFrameBuffer record = emulator.ParameterRecord();
        TBytes answer = write ? Ack : TBytes(record.begin(), record.end());
        if (fault == TFaultMode::BadCheck)
            ++answer[answer.size() - 2];
        const int fd = Open(emulator.SlavePath());
        QVERIFY(fd >= 0);
        const auto sent = TClock::now();
        QVERIFY(Send(fd, write ? WriteFrame(record, {2025, 1, 1, 0, 0, 0}, "") : Probe));

        QList<int> sizes;
        TBytes all;
        const TBlock first = ReadBlock(fd, 3000ms);
        for (TBlock block = first; !block.Bytes.empty(); block = ReadBlock(fd, 1000ms)) {
            sizes << int(block.Bytes.size());
            all.insert(all.end(), block.Bytes.begin(), block.Bytes.end());
            if (sizes.size() == std::max<qsizetype>(blockSizes.size(), 1))
                break;
        }
        QVERIFY(ReadBlock(fd, 700ms).Bytes.empty());
        ::close(fd);

        if (blockSizes.isEmpty())
            QVERIFY(sizes.size() == 1 && sizes[0] >= 7 && sizes[0] <= int(FrameBufferSize));
        else
            QCOMPARE(sizes, blockSizes);
        TBytes expected;
        for (int copy = 0; copy < copies; ++copy)
            expected.insert(expected.end(), answer.begin(), answer.end());
        if (copies > 0)
            QCOMPARE(all, expected);
        QCOMPARE(Sound(TBytes(all.begin(), all.begin() + std::min(all.size(), answer.size()))),
                 copies > 0 && fault != TFaultMode::BadCheck);
        // The request ends after 200 ms of silence, then comes the delay.
        QVERIFY(first.First - sent >= 450ms);
        QVERIFY(first.Last - first.First >= std::chrono::milliseconds(minSpanMs));
        QVERIFY(first.Last - first.First <= std::chrono::milliseconds(maxSpanMs));
    }

    void stopKeepsAnotherEmulatorsLink()
    {
        TLoggerEmulator first("ttyTEST");
        QVERIFY(first.Start());
        TLoggerEmulator second("ttyTEST");
        QVERIFY(second.Start());
        first.Stop();
        QCOMPARE(PortMap::DevicePath("ttyTEST").toStdString(), second.SlavePath());
        second.Stop();
        QVERIFY(!PortMap::RegisteredNames().contains("ttyTEST"));
    }

    void idleLineCostsNoCpu()
    {
        auto idle = [] {
            timespec before {}, after {};
            ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
            std::this_thread::sleep_for(1s);
            ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
            return (after.tv_sec - before.tv_sec) * 1000 + (after.tv_nsec - before.tv_nsec) / 1000000 < 50;
        };
        TLoggerEmulator emulator("ttyTEST");
        QVERIFY(emulator.Start());
        QVERIFY(idle());
        QCOMPARE(Exchange(emulator.SlavePath(), Probe).size(), FrameBufferSize);
        QVERIFY2(idle(), "after the tool closed the line");

        int fd = Open(emulator.SlavePath());
        QVERIFY2(fd >= 0 && idle(), "while the tool holds the line");
        ::close(fd);

        // The flood fills the line and waits for room that never comes.
        emulator.SetFaultMode(TFaultMode::Flood);
        emulator.SetAnswerDelay(0ms);
        fd = Open(emulator.SlavePath());
        QVERIFY(fd >= 0 && Send(fd, Probe));
        QTest::qWait(500);
        QVERIFY2(idle(), "while a flood waits for a tool that does not read");
        ::close(fd);
    }

    // The program's tests come last: once the test has forked, the race
    // detector ends it at the next thread started, and the tests above start
    // the emulator's.

    // The program's own loggers: bytes set by hand survive in a sealed record,
    // and the newcomer differs in serial number, device ID and calibration.
    void programPlaysOddBytesAndANewcomer()
    {
        QProcess program;
        program.start(QStringLiteral(LOGGER_EMULATOR),
                      {"--name", "ttyPROGRAM", "--answer-delay", "0", "--newcomer-after-reads", "1",
                       "--record-byte", "40=150", "--record-byte", "0x2A=0xFE"});
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(program.canReadLine(), 5000);
        const std::string path = PortMap::DevicePath("ttyPROGRAM").toStdString();
        QVERIFY(!path.empty());
        const TBytes first = Exchange(path, Probe);
        const TBytes second = Exchange(path, Probe);
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitCode(), 0);

        QVERIFY(Sound(first) && Sound(second));
        auto bytes = [](const TBytes &record, std::size_t from, std::size_t to) {
            return TBytes(record.begin() + from, record.begin() + to);
        };
        QCOMPARE(bytes(first, 4, 17), TBytes({'A', 5, '1', '2', '3', '4', '5', '6', 0, 0x1A, 0x2B, 0x3C, 0x4D}));
        QCOMPARE(bytes(first, 38, 44), TBytes({0, 0, 150, 0, 0xFE, 0}));
        QCOMPARE(bytes(second, 4, 17), TBytes({'A', 5, '1', '2', '3', '4', '5', '7', 0, 0xE5, 0xD4, 0xC3, 0xB2}));
        QCOMPARE(bytes(second, 38, 44), TBytes({0, 1, 150, 0, 0xFF, 0}));
    }

    void programServesUntilSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }

    void programServesUntilSignal()
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
        QCOMPARE(PortMap::DevicePath("ttyPROGRAM"), match.captured(1));
        QVERIFY(Sound(Exchange(match.captured(1).toStdString(), Probe)));

        QCOMPARE(::kill(static_cast<pid_t>(program.processId()), signal), 0);
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!PortMap::RegisteredNames().contains("ttyPROGRAM"));
        const QByteArray log = program.readAllStandardError();
        QVERIFY2(log.contains("rx 7: AA 55 14 01 11 26 AA"), log.constData());
        // B07654321: the middle part of the serial number travels as one binary byte.
        QVERIFY2(log.contains("tx 204: AA 55 94 C6 42 07 36 35 34 33 32 31"), log.constData());
    }

private:
    TPrivateRuntime FRuntime;
};

QTEST_GUILESS_MAIN(TstEmulator)
#include "tst_emulator.moc"
