#include "PortMap.h"
#include "SerialTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <new>
#include <sys/ioctl.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

// An allocation that fails on demand, on the thread that asks for it: with
// AllocationsToFailure at n, the one after the next n throws.
thread_local int AllocationsToFailure = -1;

void *Allocate(std::size_t size)
{
    if (AllocationsToFailure >= 0 && AllocationsToFailure-- == 0)
        throw std::bad_alloc();
    if (void *block = std::malloc(size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}

void *AllocateOrNull(std::size_t size) noexcept
{
    try {
        return Allocate(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

} // namespace

void *operator new(std::size_t size) { return Allocate(size); }
void *operator new[](std::size_t size) { return Allocate(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return AllocateOrNull(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return AllocateOrNull(size); }
void operator delete(void *block) noexcept { std::free(block); }
void operator delete[](void *block) noexcept { std::free(block); }
void operator delete(void *block, std::size_t) noexcept { std::free(block); }
void operator delete[](void *block, std::size_t) noexcept { std::free(block); }
void operator delete(void *block, const std::nothrow_t &) noexcept { std::free(block); }
void operator delete[](void *block, const std::nothrow_t &) noexcept { std::free(block); }

namespace {


qint64 CpuOverOneSecond()
{
    const qint64 before = ProcessCpuMicroseconds();
    std::this_thread::sleep_for(1s);
    return ProcessCpuMicroseconds() - before;
}

} // namespace

class TestCommLifecycle : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void openFailures_data();
    void openFailures();
    void portInUse();
    void exclusiveFlagClearedOnClose();
    void registeredNameOpensItsTarget();
    void closedComponentRefusesAndIgnores();
    void idleThenFarEndVanishing();
    void bytesCollectedBeforeVanishingDelivered();
    void destructorClosesPort();
    void openCloseCycles();
    void allocationFailingDuringOpen();

private:
    QTemporaryDir FRuntime;
};

void TestCommLifecycle::initTestCase()
{
    // A runtime directory of our own, so that the port map is ours alone.
    QVERIFY(QFile::setPermissions(FRuntime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(FRuntime.path()));
    QFile plain(FRuntime.filePath(QStringLiteral("plain-file")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
}

void TestCommLifecycle::openFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");  // the class of the open's exception
    QTest::newRow("no such device") << QStringLiteral("/dev/loggercfg-no-such-port") << "no such port";
    QTest::newRow("plain name without device") << QStringLiteral("COM77") << "no such port";
    QTest::newRow("a path through a file") << FRuntime.filePath(QStringLiteral("plain-file/ttyS0")) << "no such port";
    // Regression: each of these once opened and failed only at the terminal
    // check, as a port that was busy or missing.
    QTest::newRow("not a terminal") << QStringLiteral("/dev/null") << "not a serial port";
    QTest::newRow("regular file") << FRuntime.filePath(QStringLiteral("plain-file")) << "not a serial port";
    QTest::newRow("a directory") << QStringLiteral("/tmp") << "not a serial port";
    QTest::newRow("empty name") << QString() << "not a serial port";
}

void TestCommLifecycle::openFailures()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    TPtyPair pty;
    TComm comm;  // holds its notification event for its whole life
    const int descriptors = OpenDescriptors();
    const int threads = RunningThreads();

    TRecorder recorder(comm);
    ConfigureLikeTheWindow(comm, name);
    QCOMPARE(OpenError(comm), QStringLiteral("Can't Open the Port"));
    QCOMPARE(OpenFailureKind(comm), kind);
    QCOMPARE(comm.Handle(), std::intptr_t{0});
    QVERIFY(!comm.SendData("x", 1));
    QCOMPARE(OpenDescriptors(), descriptors);
    QVERIFY(ThreadsSettleAt(threads));

    comm.SetCommName(pty.SlavePath);
    QCOMPARE(OpenError(comm), QString());
    QVERIFY(pty.Write("ok"));
    QVERIFY(QTest::qWaitFor([&] { return recorder.Joined() == "ok"; }, 3000));
}

void TestCommLifecycle::portInUse()
{
    TPtyPair pty;
    TComm first, second;
    ConfigureLikeTheWindow(first, pty.SlavePath);
    ConfigureLikeTheWindow(second, pty.SlavePath);
    first.OpenPort();
    const std::intptr_t handle = first.Handle();

    QCOMPARE(OpenError(first), QStringLiteral("This serial port already opened"));
    QCOMPARE(first.Handle(), handle);
    // Root passes the terminal's own exclusive flag; the lock must still hold.
    QCOMPARE(OpenError(second), QStringLiteral("Can't Open the Port"));
    QCOMPARE(OpenFailureKind(second), QStringLiteral("in use"));
    QCOMPARE(second.Handle(), std::intptr_t{0});
    QVERIFY(first.SendData("still mine", 10));
    QCOMPARE(pty.Read(10), QByteArray("still mine"));

    first.ClosePort();
    QCOMPARE(OpenError(second), QString());
}

void TestCommLifecycle::exclusiveFlagClearedOnClose()
{
    // A pseudo-terminal keeps the flag after its last close while the master is
    // open; left set, it would lock every other user out.
    TPtyPair pty;
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();
    comm.ClosePort();
    const int fd = ::open(QFile::encodeName(pty.SlavePath).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    int exclusive = -1;
    QCOMPARE(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
    ::close(fd);
    QCOMPARE(exclusive, 0);
}

void TestCommLifecycle::registeredNameOpensItsTarget()
{
    TPtyPair pty;
    QVERIFY(PortMap::Register(QStringLiteral("LOGGER1"), pty.SlavePath));
    TComm comm;
    TRecorder recorder(comm);
    ConfigureLikeTheWindow(comm, QStringLiteral("LOGGER1"));
    comm.OpenPort();
    QVERIFY(pty.Write("mapped"));
    QVERIFY(QTest::qWaitFor([&] { return recorder.Joined() == "mapped"; }, 3000));
    PortMap::Unregister(QStringLiteral("LOGGER1"));
}

void TestCommLifecycle::closedComponentRefusesAndIgnores()
{
    TPtyPair pty;
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.ClosePort();
    QVERIFY(!comm.SendData("x", 1));

    comm.OpenPort();
    QVERIFY(!comm.SendData("x", 0));
    QVERIFY(!comm.SendData(nullptr, 5));
    comm.ClosePort();
    comm.ClosePort();
    QCOMPARE(comm.Handle(), std::intptr_t{0});
    QVERIFY(!comm.SendData("x", 1));
    QCOMPARE(pty.Read(1, 300), QByteArray());
}

void TestCommLifecycle::idleThenFarEndVanishing()
{
    TPtyPair pty;
    const int threads = RunningThreads();
    TComm comm;
    TRecorder recorder(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();
    QCOMPARE(RunningThreads(), threads + 2);

    // Pseudo-terminals report no line events: that means none, not a fault, and
    // is not asked again and again.
    QTest::qWait(200);
    qint64 used = CpuOverOneSecond();
    QVERIFY2(used < 50000, qPrintable(QStringLiteral("%1 us of CPU while idle").arg(used)));
    QTest::qWait(100);
    QCOMPARE(recorder.Hangups, 0);

    pty.CloseMaster();
    QVERIFY(QTest::qWaitFor([&] { return recorder.Hangups > 0; }, 5000));
    // The reader ends; the idle writer learns of it only at its next write.
    QVERIFY(QTest::qWaitFor([&] { return RunningThreads() == threads + 1; }, 5000));
    used = CpuOverOneSecond();
    QVERIFY2(used < 50000, qPrintable(QStringLiteral("%1 us of CPU after the hang-up").arg(used)));
    QTest::qWait(200);
    QCOMPARE(recorder.Hangups, 1);

    QVERIFY(comm.Handle() != 0);
    comm.ClosePort();
    QVERIFY(ThreadsSettleAt(threads));
}

void TestCommLifecycle::bytesCollectedBeforeVanishingDelivered()
{
    TPtyPair pty;
    TComm comm;
    TRecorder recorder(comm);
    qsizetype blocksAtHangup = -1;
    comm.OnRequestHangup = [&](TComm *) {
        ++recorder.Hangups;
        blocksAtHangup = recorder.Blocks.size();
    };
    // The interval would hold the bytes far longer than the test runs.
    ConfigureLikeTheWindow(comm, pty.SlavePath, 60000);
    comm.OpenPort();
    QVERIFY(pty.Write(Pattern(10)));
    // The hang-up discards what the reader has not yet taken from the terminal,
    // so it must have had time to take the bytes, even on a loaded machine.
    std::this_thread::sleep_for(1s);
    pty.CloseMaster();
    QVERIFY(QTest::qWaitFor([&] { return recorder.Hangups > 0; }, 5000));
    QCOMPARE(recorder.Blocks, QList<QByteArray>{Pattern(10)});
    QCOMPARE(blocksAtHangup, qsizetype(1));
    QTest::qWait(200);
    QCOMPARE(recorder.Hangups, 1);
}

void TestCommLifecycle::destructorClosesPort()
{
    TPtyPair pty;
    const int descriptors = OpenDescriptors();
    const int threads = RunningThreads();
    {
        TComm comm;
        ConfigureLikeTheWindow(comm, pty.SlavePath, 20);
        comm.OpenPort();
        QVERIFY(pty.Write(Pattern(100)));
        std::this_thread::sleep_for(200ms);  // a block waits undelivered
    }
    QCOMPARE(OpenDescriptors(), descriptors);
    QVERIFY(ThreadsSettleAt(threads));
    QTest::qWait(100);
    TComm again;
    ConfigureLikeTheWindow(again, pty.SlavePath);
    QCOMPARE(OpenError(again), QString());
}

void TestCommLifecycle::openCloseCycles()
{
    TPtyPair pty;
    TComm comm;
    TRecorder recorder(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    const int descriptors = OpenDescriptors();
    const int threads = RunningThreads();
    for (int cycle = 0; cycle < 200; ++cycle) {
        comm.OpenPort();
        if (cycle % 20 == 0)
            QVERIFY(comm.SendData("c", 1));
        comm.ClosePort();
    }
    QCoreApplication::processEvents();
    QCOMPARE(OpenDescriptors(), descriptors);
    QVERIFY(ThreadsSettleAt(threads));
    QCOMPARE(recorder.Hangups, 0);
}

// Each allocation of the open fails in turn. Once the reader runs, a failure
// that nobody stopped it for would hold the open in its join for good.
void TestCommLifecycle::allocationFailingDuringOpen()
{
    TPtyPair pty;
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    const int descriptors = OpenDescriptors();
    const int threads = RunningThreads();
    for (int failing = 0;; ++failing) {
        const QByteArray row = "allocation " + QByteArray::number(failing);
        QVERIFY2(failing < 500, "the open never got through without failing");
        AllocationsToFailure = failing;
        try {
            comm.OpenPort();
        } catch (const std::exception &) {
        }
        const bool failed = AllocationsToFailure < 0;
        AllocationsToFailure = -1;
        const bool opened = comm.Handle() != 0;
        comm.ClosePort();
        QVERIFY2(OpenDescriptors() == descriptors, row);
        QVERIFY2(ThreadsSettleAt(threads), row);
        if (!failed) {
            QVERIFY2(opened, row);
            break;
        }
    }
    QCOMPARE(OpenError(comm), QString());
}

QTEST_GUILESS_MAIN(TestCommLifecycle)
#include "tst_commlifecycle.moc"
