#include "SerialPlatform.h"
#include "SerialTestSupport.h"

#include <QTest>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

class TestCommData : public QObject {
    Q_OBJECT

private slots:
    void blocks_data();
    void blocks();
    void timeoutsOnOpenPort();
    void frameArrivesUnchanged();
    void receiveFilters_data();
    void receiveFilters();
    void blockReceivedBeforeCloseStillDelivered();
    void nextBlockArrivesInsideAHandlersLoop();
    void lateReaderKeepsAnAnswerWhole();
    void receivingLastsUntilTheBlockIsDelivered_data();
    void receivingLastsUntilTheBlockIsDelivered();
    void blocksWrittenInOrderAndWhole();
    void sendDataRightAfterOpen();
    void sendEmptyNotices();
    void threeQueuedBlocksGiveOneNotice();

private:
    struct TLink {
        TPtyPair Pty;
        TComm Comm;
        TRecorder Recorder{Comm};
    };
    static void Open(TLink &link, std::uint32_t intervalMs = 200)
    {
        ConfigureLikeTheWindow(link.Comm, link.Pty.SlavePath, intervalMs);
        link.Comm.OpenPort();
    }
};

void TestCommData::blocks_data()
{
    AddBlockRows();
    QTest::newRow("silence shorter than the interval joins") << 300 << QList<int>{100, 4, 100} << 100
                                                              << QList<qsizetype>{204};
    QTest::newRow("exactly one buffer") << 100 << QList<int>{2048} << 0 << QList<qsizetype>{2048};
}

void TestCommData::blocks()
{
    QFETCH(int, intervalMs);
    QFETCH(QList<int>, chunks);
    QFETCH(int, pauseMs);
    QFETCH(QList<qsizetype>, expected);

    TLink link;
    Open(link, std::uint32_t(intervalMs));
    QByteArray sent;
    for (int i = 0; i < chunks.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(i > 0 ? pauseMs : 0));
        sent += Pattern(chunks[i], i);
        QVERIFY(link.Pty.Write(Pattern(chunks[i], i)));
    }
    QVERIFY(QTest::qWaitFor([&] { return link.Recorder.Joined().size() >= sent.size(); }, 10000));
    QTest::qWait(intervalMs + 200);
    QCOMPARE(link.Recorder.Sizes(), expected);
    QCOMPARE(link.Recorder.Joined(), sent);
    QVERIFY(link.Recorder.ZeroAfterEveryBlock);
}

void TestCommData::timeoutsOnOpenPort()
{
    TLink link;
    Open(link, 5000);
    link.Comm.SetReadIntervalTimeout(80);
    QVERIFY(link.Pty.Write(Pattern(10)));
    std::this_thread::sleep_for(500ms);
    QVERIFY(link.Pty.Write(Pattern(20)));
    QVERIFY(QTest::qWaitFor([&] { return link.Recorder.Blocks.size() == 2; }, 5000));
    QCOMPARE(link.Recorder.Sizes(), (QList<qsizetype>{10, 20}));

    // Without an interval only the total limit ends a block of a slow trickle.
    link.Recorder.Blocks.clear();
    link.Comm.SetReadIntervalTimeout(0);
    link.Comm.SetReadTotalTimeoutConstant(250);
    for (int i = 0; i < 24; ++i) {
        QVERIFY(link.Pty.Write(QByteArray(1, char(i))));
        std::this_thread::sleep_for(50ms);
    }
    QVERIFY(QTest::qWaitFor([&] { return link.Recorder.Joined().size() == 24; }, 5000));
    QVERIFY2(link.Recorder.Blocks.size() >= 2, "the total limit never ended a block");
}

void TestCommData::frameArrivesUnchanged()
{
    // Every byte a terminal likes to act on: frame markers, CR, XON, XOFF, ^C,
    // NUL, 0xFF, DEL, LF, ^Z and ^\.
    QByteArray frame = Pattern(204, 3);
    const QByteArray special("\xAA\x55\x0D\x11\x13\x03\x00\xFF\x7F\x0A\x1A\x1C", 12);
    for (qsizetype i = 0; i < special.size(); ++i)
        frame[i * 16 + 1] = special[i];

    TLink link;
    Open(link);
    QVERIFY(link.Pty.Write(frame));
    QVERIFY(QTest::qWaitFor([&] { return !link.Recorder.Blocks.isEmpty(); }, 5000));
    QTest::qWait(400);
    QCOMPARE(link.Recorder.Blocks, QList<QByteArray>{frame});

    QVERIFY(link.Comm.SendData(frame.constData(), std::uint16_t(frame.size())));
    QCOMPARE(link.Pty.Read(frame.size()), frame);
}

void TestCommData::receiveFilters_data()
{
    QTest::addColumn<bool>("parityCheck");
    QTest::addColumn<bool>("ignoreNull");
    QTest::addColumn<QByteArray>("expected");

    // With parity checking on the driver doubles 0xFF; the reader must undo it.
    QTest::newRow("parity checking keeps 0xFF single") << true << false << QByteArray("\x01\xFF\x00\xFF\xFF\x02", 6);
    QTest::newRow("null bytes dropped") << false << true << QByteArray("\x01\xFF\xFF\xFF\x02", 5);
    QTest::newRow("both") << true << true << QByteArray("\x01\xFF\xFF\xFF\x02", 5);
}

void TestCommData::receiveFilters()
{
    QFETCH(bool, parityCheck);
    QFETCH(bool, ignoreNull);
    QFETCH(QByteArray, expected);

    TLink link;
    link.Comm.SetParityCheck(parityCheck);
    link.Comm.SetIgnoreNullChar(ignoreNull);
    Open(link, 100);
    QVERIFY(link.Pty.Write(QByteArray("\x01\xFF\x00\xFF\xFF\x02", 6)));
    QVERIFY(QTest::qWaitFor([&] { return !link.Recorder.Blocks.isEmpty(); }, 5000));
    QTest::qWait(300);
    QCOMPARE(link.Recorder.Joined(), expected);
}

void TestCommData::blockReceivedBeforeCloseStillDelivered()
{
    TLink link;
    Open(link, 50);
    QVERIFY(link.Pty.Write(Pattern(10)));
    std::this_thread::sleep_for(600ms);  // posted, but no events are processed here
    link.Comm.ClosePort();
    QVERIFY(link.Recorder.Blocks.isEmpty());
    QVERIFY(QTest::qWaitFor([&] { return !link.Recorder.Blocks.isEmpty(); }, 2000));
    QCOMPARE(link.Recorder.Blocks.first(), Pattern(10));
}

void TestCommData::nextBlockArrivesInsideAHandlersLoop()
{
    TLink link;
    Open(link);
    const QStringList arrivals =
        BlocksAroundANestedLoop(link.Comm, [&](const QByteArray &bytes) { return link.Pty.Write(bytes); });
    QCOMPARE(arrivals, (QStringList{QStringLiteral("first at 1"), QStringLiteral("second at 2")}));
}

// A reader held off the processor for longer than the interval must not cut an
// answer whose bytes were already waiting: no silence was seen on the line.
void TestCommData::lateReaderKeepsAnAnswerWhole()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    auto port = SerialPlatform::TPort::Open(pty.SlavePath);
    QVERIFY(port);
    port->ApplyLineSettings(SerialPlatform::TLineSettings{});
    port->SetTimeouts(SerialPlatform::TTimeouts{200, 0, 0, 0, 0});
    SerialPlatform::TReaderIo reader(*port, false, false, 64);
    SerialPlatform::TEvent stop;

    QVERIFY(pty.Write(Pattern(5, 0)));
    std::this_thread::sleep_for(50ms);
    QCOMPARE(reader.StartRead().Status, SerialPlatform::TIo::Pending);
    QVERIFY(pty.Write(Pattern(5, 1)));
    std::this_thread::sleep_for(400ms);
    QCOMPARE(reader.Wait(stop), SerialPlatform::TReaderWake::Read);
    const SerialPlatform::TIoResult read = reader.FinishRead();
    QCOMPARE(read.Status, SerialPlatform::TIo::Done);
    QCOMPARE(read.Count, std::size_t{10});
}

void TestCommData::receivingLastsUntilTheBlockIsDelivered_data()
{
    QTest::addColumn<bool>("watch");
    // Before any byte, while the block comes, once it is complete but not yet
    // delivered, after delivery, after the close.
    QTest::addColumn<QStringList>("states");
    // Regression: between the reader's end of the block and its delivery the
    // port said it was quiet, and a caller gave up on an answer in the queue.
    QTest::newRow("watched") << true << QStringList{"quiet", "block", "block", "quiet", "quiet"};
    QTest::newRow("not watched: cannot tell") << false << QStringList{"unknown", "unknown", "unknown", "unknown", "quiet"};
}

void TestCommData::receivingLastsUntilTheBlockIsDelivered()
{
    QFETCH(bool, watch);
    QFETCH(QStringList, states);
    const auto state = [](TReceiving receiving) {
        switch (receiving) {
        case TReceiving::Quiet: return QStringLiteral("quiet");
        case TReceiving::Block: return QStringLiteral("block");
        case TReceiving::Unknown: break;
        }
        return QStringLiteral("unknown");
    };
    TLink link;
    link.Comm.SetWatchReceiving(watch);
    Open(link);
    QStringList seen{state(link.Comm.Receiving())};
    QVERIFY(link.Pty.Write(Pattern(20)));
    std::this_thread::sleep_for(50ms);
    seen << state(link.Comm.Receiving());
    // No event loop runs meanwhile, so the block waits in the queue.
    std::this_thread::sleep_for(400ms);
    seen << state(link.Comm.Receiving());
    QVERIFY(QTest::qWaitFor([&] { return !link.Recorder.Blocks.isEmpty(); }, 3000));
    seen << state(link.Comm.Receiving());
    link.Comm.ClosePort();
    seen << state(link.Comm.Receiving());
    QCOMPARE(seen, states);
    QCOMPARE(link.Recorder.Sizes(), QList<qsizetype>{20});
}

void TestCommData::blocksWrittenInOrderAndWhole()
{
    TLink link;
    Open(link);
    QByteArray expected;
    for (const int size : {7, 204, 65535, 1, 3000}) {
        QByteArray block = Pattern(size, size);
        QVERIFY(link.Comm.SendData(block.constData(), std::uint16_t(size)));
        expected += block;
        block.fill('\0');  // the caller may reuse its buffer at once
    }
    QCOMPARE(link.Pty.Read(expected.size(), 15000), expected);
}

void TestCommData::sendDataRightAfterOpen()
{
    TPtyPair pty;
    const QByteArray probe("\xAA\x55\x14\x01\x11\x26\xAA", 7);
    for (int round = 0; round < 20; ++round) {
        TComm comm;
        ConfigureLikeTheWindow(comm, pty.SlavePath);
        comm.OpenPort();
        QVERIFY2(comm.SendData(probe.constData(), 7), qPrintable(QString::number(round)));
        QCOMPARE(pty.Read(7), probe);
    }
}

void TestCommData::sendEmptyNotices()
{
    TLink link;
    Open(link);
    int &notices = link.Recorder.SendEmpty;
    // Once when the writer first finds its queue empty, then once per drain.
    QVERIFY(QTest::qWaitFor([&] { return notices == 1; }, 3000));
    for (int expected = 2; expected <= 3; ++expected) {
        QVERIFY(link.Comm.SendData("abc", 3));
        QCOMPARE(link.Pty.Read(3), QByteArray("abc"));
        QVERIFY(QTest::qWaitFor([&] { return notices == expected; }, 3000));
    }
    QTest::qWait(300);
    QCOMPARE(notices, 3);
}

void TestCommData::threeQueuedBlocksGiveOneNotice()
{
    TLink link;
    Open(link);
    QVERIFY(QTest::qWaitFor([&] { return link.Recorder.SendEmpty == 1; }, 3000));

    // Two full blocks overfill the pseudo-terminal while nobody reads it, so the
    // writer is stuck in the second when the three small ones are queued.
    const QByteArray stuffing = Pattern(65535, 1) + Pattern(65535, 2);
    QVERIFY(link.Comm.SendData(stuffing.constData(), 65535));
    QVERIFY(link.Comm.SendData(stuffing.constData() + 65535, 65535));
    QTest::qWait(500);
    const int before = link.Recorder.SendEmpty;
    for (const char *block : {"one", "two", "three"})
        QVERIFY(link.Comm.SendData(block, std::uint16_t(qstrlen(block))));

    const QByteArray expected = stuffing + "onetwothree";
    QCOMPARE(link.Pty.Read(expected.size(), 15000), expected);
    QTest::qWait(500);
    QCOMPARE(link.Recorder.SendEmpty, before + 1);
}

QTEST_GUILESS_MAIN(TestCommData)
#include "tst_commdata.moc"
