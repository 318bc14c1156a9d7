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
    void intervalChangedOnOpenPort();
    void totalTimeoutCutsSteadyTrickle();
    void frameArrivesUnchanged();
    void receiveFilters_data();
    void receiveFilters();
    void blockReceivedBeforeCloseStillDelivered();
    void blocksWrittenInOrderAndWhole();
    void sendDataRightAfterOpen();
    void sendEmptyNotices();
    void threeQueuedBlocksGiveOneNotice();
};

// Each chunk is written to the far end in one go, with the pause before the next.
void TestCommData::blocks_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<QList<int>>("chunks");
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<QList<qsizetype>>("expected");

    QTest::newRow("silence longer than the interval splits") << 100 << QList<int>{100, 104} << 600
                                                              << QList<qsizetype>{100, 104};
    QTest::newRow("silence shorter than the interval joins") << 600 << QList<int>{100, 4, 100} << 20
                                                              << QList<qsizetype>{204};
    QTest::newRow("3000-byte burst is cut at the buffer size") << 100 << QList<int>{3000} << 0
                                                               << QList<qsizetype>{2048, 952};
    QTest::newRow("exactly one buffer") << 100 << QList<int>{2048} << 0 << QList<qsizetype>{2048};
    QTest::newRow("single byte") << 100 << QList<int>{1} << 0 << QList<qsizetype>{1};
}

void TestCommData::blocks()
{
    QFETCH(int, intervalMs);
    QFETCH(QList<int>, chunks);
    QFETCH(int, pauseMs);
    QFETCH(QList<qsizetype>, expected);

    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath, static_cast<std::uint32_t>(intervalMs));
    comm.OpenPort();

    QByteArray sent;
    for (int i = 0; i < chunks.size(); ++i) {
        if (i > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        const QByteArray chunk = Pattern(chunks[i], i);
        QVERIFY(pty.Write(chunk));
        sent += chunk;
    }
    QVERIFY(QTest::qWaitFor([&] { return recorder.Joined().size() >= sent.size(); }, 10000));
    QTest::qWait(intervalMs + 200);  // nothing more may come

    QCOMPARE(recorder.Sizes(), expected);
    QCOMPARE(recorder.Joined(), sent);
    QVERIFY(recorder.ZeroAfterEveryBlock);
    comm.ClosePort();
}

void TestCommData::intervalChangedOnOpenPort()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath, 5000);
    comm.OpenPort();
    comm.SetReadIntervalTimeout(80);

    QVERIFY(pty.Write(Pattern(10)));
    std::this_thread::sleep_for(500ms);
    QVERIFY(pty.Write(Pattern(20)));
    QVERIFY(QTest::qWaitFor([&] { return recorder.Blocks.size() >= 2; }, 5000));
    QCOMPARE(recorder.Sizes(), (QList<qsizetype>{10, 20}));
}

void TestCommData::totalTimeoutCutsSteadyTrickle()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath, 0);
    comm.SetReadTotalTimeoutConstant(250);
    comm.OpenPort();

    // Without the total limit this trickle would wait for a full buffer.
    QByteArray sent;
    for (int i = 0; i < 24; ++i) {
        const QByteArray byte(1, static_cast<char>(i));
        QVERIFY(pty.Write(byte));
        sent += byte;
        std::this_thread::sleep_for(50ms);
    }
    QVERIFY(QTest::qWaitFor([&] { return recorder.Joined().size() >= sent.size(); }, 5000));
    QCOMPARE(recorder.Joined(), sent);
    QVERIFY2(recorder.Blocks.size() >= 2, "the total limit never ended a block");
}

void TestCommData::frameArrivesUnchanged()
{
    // Every byte a terminal likes to act on: CR, XON, XOFF, ^C, NUL, the frame
    // markers, 0xFF, DEL and a newline.
    QByteArray frame = Pattern(204, 3);
    const char special[] = {'\xAA', '\x55', '\x0D', '\x11', '\x13', '\x03', '\x00', '\xFF', '\x7F', '\x0A', '\x1A', '\x1C'};
    for (qsizetype i = 0; i < qsizetype(sizeof special); ++i)
        frame[i * 16 + 1] = special[i];

    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();
    QVERIFY(pty.Write(frame));
    QVERIFY(QTest::qWaitFor([&] { return !recorder.Blocks.isEmpty(); }, 5000));
    QTest::qWait(400);
    QCOMPARE(recorder.Blocks.size(), 1);
    QCOMPARE(recorder.Blocks.first(), frame);

    // And the other way.
    QVERIFY(comm.SendData(frame.constData(), static_cast<std::uint16_t>(frame.size())));
    QCOMPARE(pty.Read(frame.size()), frame);
}

void TestCommData::receiveFilters_data()
{
    QTest::addColumn<bool>("parityCheck");
    QTest::addColumn<bool>("ignoreNull");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray bytes("\x01\xFF\x00\xFF\xFF\x02\x00", 7);
    // The driver doubles 0xFF once it marks bad bytes; the reader must undo that.
    QTest::newRow("parity checking keeps 0xFF single") << true << false << bytes << bytes;
    QTest::newRow("null bytes dropped") << false << true << bytes << QByteArray("\x01\xFF\xFF\xFF\x02", 5);
    QTest::newRow("both") << true << true << bytes << QByteArray("\x01\xFF\xFF\xFF\x02", 5);
}

void TestCommData::receiveFilters()
{
    QFETCH(bool, parityCheck);
    QFETCH(bool, ignoreNull);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);

    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath, 100);
    comm.SetParityCheck(parityCheck);
    comm.SetIgnoreNullChar(ignoreNull);
    comm.OpenPort();
    QVERIFY(pty.Write(sent));
    QVERIFY(QTest::qWaitFor([&] { return !recorder.Blocks.isEmpty(); }, 5000));
    QTest::qWait(300);
    QCOMPARE(recorder.Joined(), expected);
}

void TestCommData::blockReceivedBeforeCloseStillDelivered()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath, 50);
    comm.OpenPort();
    QVERIFY(pty.Write(Pattern(10)));
    // No event processing here: the block is posted, not yet delivered.
    std::this_thread::sleep_for(600ms);
    comm.ClosePort();
    QCOMPARE(recorder.Blocks.size(), 0);
    QVERIFY(QTest::qWaitFor([&] { return !recorder.Blocks.isEmpty(); }, 2000));
    QCOMPARE(recorder.Blocks.first(), Pattern(10));
}

void TestCommData::blocksWrittenInOrderAndWhole()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();

    QByteArray expected;
    for (const int size : {7, 204, 65535, 1, 3000}) {
        QByteArray block = Pattern(size, size);
        QVERIFY(comm.SendData(block.constData(), static_cast<std::uint16_t>(size)));
        block.fill('\x00');  // the caller may reuse its buffer at once
        expected += Pattern(size, size);
    }
    QCOMPARE(pty.Read(expected.size(), 15000), expected);
}

void TestCommData::sendDataRightAfterOpen()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    for (int round = 0; round < 20; ++round) {
        TComm comm;
        ConfigureLikeTheWindow(comm, pty.SlavePath);
        comm.OpenPort();
        const QByteArray probe("\xAA\x55\x14\x01\x11\x26\xAA", 7);
        QVERIFY2(comm.SendData(probe.constData(), 7), qPrintable(QStringLiteral("round %1").arg(round)));
        QCOMPARE(pty.Read(7), probe);
        comm.ClosePort();
    }
}

void TestCommData::sendEmptyNotices()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();

    // Once when the writer first finds its queue empty, and no more while idle.
    QVERIFY(QTest::qWaitFor([&] { return recorder.SendEmpty == 1; }, 3000));
    QTest::qWait(300);
    QCOMPARE(recorder.SendEmpty, 1);

    // Once per drain.
    for (int expected = 2; expected <= 4; ++expected) {
        QVERIFY(comm.SendData("abc", 3));
        QCOMPARE(pty.Read(3), QByteArray("abc"));
        QVERIFY(QTest::qWaitFor([&] { return recorder.SendEmpty == expected; }, 3000));
    }
    QTest::qWait(300);
    QCOMPARE(recorder.SendEmpty, 4);

    // A new open starts afresh.
    comm.ClosePort();
    QTest::qWait(100);
    recorder.SendEmpty = 0;
    comm.OpenPort();
    QVERIFY(QTest::qWaitFor([&] { return recorder.SendEmpty == 1; }, 3000));
}

void TestCommData::threeQueuedBlocksGiveOneNotice()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();
    QVERIFY(QTest::qWaitFor([&] { return recorder.SendEmpty == 1; }, 3000));

    // Two full blocks overfill the pseudo-terminal while nobody reads it, so the
    // writer is stuck in the second when the three small ones are queued.
    const QByteArray big1 = Pattern(65535, 1), big2 = Pattern(65535, 2);
    QVERIFY(comm.SendData(big1.constData(), 65535));
    QVERIFY(comm.SendData(big2.constData(), 65535));
    QTest::qWait(500);
    const int before = recorder.SendEmpty;
    QVERIFY(comm.SendData("one", 3));
    QVERIFY(comm.SendData("two", 3));
    QVERIFY(comm.SendData("three", 5));

    const QByteArray expected = big1 + big2 + "onetwothree";
    QCOMPARE(pty.Read(expected.size(), 15000), expected);
    QVERIFY(QTest::qWaitFor([&] { return recorder.SendEmpty == before + 1; }, 3000));
    QTest::qWait(300);
    QCOMPARE(recorder.SendEmpty, before + 1);
}

QTEST_GUILESS_MAIN(TestCommData)
#include "tst_commdata.moc"
