#include "PortMap.h"
#include "SerialTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <sys/ioctl.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

QString OpenError(TComm &comm)
{
    try {
        comm.OpenPort();
    } catch (const ECommsError &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace

class TestCommLifecycle : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void openWhileOpen();
    void openFailures_data();
    void openFailures();
    void portInUse();
    void exclusiveFlagClearedOnClose();
    void registeredNameOpensItsTarget();
    void sendDataRefused();
    void closeIsHarmless();
    void idlePortCostsNothing();
    void farEndVanishing();
    void destructorClosesPort();
    void openCloseCycles();

private:
    QTemporaryDir FRuntime;
};

void TestCommLifecycle::initTestCase()
{
    // A private runtime directory, so that the port map is ours alone.
    QVERIFY(FRuntime.isValid());
    QVERIFY(QFile::setPermissions(FRuntime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                       | QFileDevice::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(FRuntime.path()));
    QFile plain(FRuntime.filePath(QStringLiteral("plain-file")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("not a port");
}

void TestCommLifecycle::openWhileOpen()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();
    const std::intptr_t handle = comm.Handle();
    QVERIFY(handle != 0);

    QCOMPARE(OpenError(comm), QStringLiteral("This serial port already opened"));
    QCOMPARE(comm.Handle(), handle);
    QVERIFY(comm.SendData("x", 1));
    QCOMPARE(pty.Read(1), QByteArray("x"));
}

void TestCommLifecycle::openFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("no such device") << QStringLiteral("/dev/loggercfg-no-such-port");
    QTest::newRow("plain name without device") << QStringLiteral("COM77");
    QTest::newRow("not a terminal") << QStringLiteral("/dev/null");
    QTest::newRow("a directory") << QStringLiteral("/tmp");
    QTest::newRow("empty name") << QString();
    QTest::newRow("regular file") << FRuntime.filePath(QStringLiteral("plain-file"));
}

void TestCommLifecycle::openFailures()
{
    QFETCH(QString, name);
    TPtyPair pty;
    QVERIFY(pty.Valid());
    const int descriptors = OpenDescriptors();
    const int threads = RunningThreads();

    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, name);
    QCOMPARE(OpenError(comm), QStringLiteral("Can't Open the Port"));
    QCOMPARE(comm.Handle(), std::intptr_t{0});
    QVERIFY(!comm.SendData("x", 1));
    QCOMPARE(OpenDescriptors(), descriptors);
    QCOMPARE(RunningThreads(), threads);

    comm.SetCommName(pty.SlavePath);
    QCOMPARE(OpenError(comm), QString());
    QVERIFY(comm.Handle() != 0);
    QVERIFY(pty.Write("ok"));
    QVERIFY(QTest::qWaitFor([&] { return recorder.Joined() == "ok"; }, 3000));
}

void TestCommLifecycle::portInUse()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm first, second;
    ConfigureLikeTheWindow(first, pty.SlavePath);
    ConfigureLikeTheWindow(second, pty.SlavePath);
    first.OpenPort();

    QCOMPARE(OpenError(second), QStringLiteral("Can't Open the Port"));
    QCOMPARE(second.Handle(), std::intptr_t{0});
    QVERIFY(first.SendData("still mine", 10));
    QCOMPARE(pty.Read(10), QByteArray("still mine"));

    first.ClosePort();
    QCOMPARE(OpenError(second), QString());
}

void TestCommLifecycle::exclusiveFlagClearedOnClose()
{
    // A pseudo-terminal keeps the exclusive flag after its last close while the
    // master stays open; left set, it would lock every other user out.
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();
    int exclusive = 0;
    QCOMPARE(::ioctl(static_cast<int>(comm.Handle()), TIOCGEXCL, &exclusive), 0);
    QCOMPARE(exclusive, 1);
    comm.ClosePort();

    const int fd = ::open(QFile::encodeName(pty.SlavePath).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    QCOMPARE(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
    ::close(fd);
    QCOMPARE(exclusive, 0);
}

void TestCommLifecycle::registeredNameOpensItsTarget()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    QVERIFY(PortMap::Register(QStringLiteral("LOGGER1"), pty.SlavePath));

    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, QStringLiteral("LOGGER1"));
    comm.OpenPort();
    QVERIFY(pty.Write("mapped"));
    QVERIFY(QTest::qWaitFor([&] { return recorder.Joined() == "mapped"; }, 3000));
    comm.ClosePort();
    PortMap::Unregister(QStringLiteral("LOGGER1"));
}

void TestCommLifecycle::sendDataRefused()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    QVERIFY(!comm.SendData("x", 1));

    comm.OpenPort();
    QVERIFY(!comm.SendData("x", 0));
    QVERIFY(!comm.SendData(nullptr, 5));
    comm.ClosePort();
    QVERIFY(!comm.SendData("x", 1));
    QCOMPARE(pty.Read(1, 300), QByteArray());
}

void TestCommLifecycle::closeIsHarmless()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    comm.ClosePort();
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();
    comm.ClosePort();
    comm.ClosePort();
    QCOMPARE(comm.Handle(), std::intptr_t{0});
    comm.OpenPort();
    QVERIFY(comm.Handle() != 0);
}

void TestCommLifecycle::idlePortCostsNothing()
{
    // Pseudo-terminals report no line events; that must be taken for "none", not
    // for a fault, and must not be looked for over and over.
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();
    QTest::qWait(200);

    const qint64 before = ProcessCpuMicroseconds();
    std::this_thread::sleep_for(1s);
    const qint64 used = ProcessCpuMicroseconds() - before;
    QVERIFY2(used < 50000, qPrintable(QStringLiteral("%1 us of CPU while idle").arg(used)));
    QTest::qWait(100);
    QCOMPARE(recorder.Hangups, 0);
}

void TestCommLifecycle::farEndVanishing()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    const int threads = RunningThreads();
    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();
    QCOMPARE(RunningThreads(), threads + 2);

    pty.CloseMaster();
    QVERIFY(QTest::qWaitFor([&] { return recorder.Hangups > 0; }, 5000));
    // The reader ends; the idle writer learns of it only at its next write.
    QVERIFY(QTest::qWaitFor([&] { return RunningThreads() == threads + 1; }, 5000));

    const qint64 before = ProcessCpuMicroseconds();
    std::this_thread::sleep_for(1s);
    const qint64 used = ProcessCpuMicroseconds() - before;
    QVERIFY2(used < 50000, qPrintable(QStringLiteral("%1 us of CPU after the hang-up").arg(used)));
    QTest::qWait(200);
    QCOMPARE(recorder.Hangups, 1);

    QVERIFY(comm.Handle() != 0);
    comm.ClosePort();
    QCOMPARE(RunningThreads(), threads);
    QTest::qWait(100);
    QCOMPARE(recorder.Hangups, 1);
}

void TestCommLifecycle::destructorClosesPort()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
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
    QCOMPARE(RunningThreads(), threads);
    QTest::qWait(100);

    TComm again;
    ConfigureLikeTheWindow(again, pty.SlavePath);
    QCOMPARE(OpenError(again), QString());
}

void TestCommLifecycle::openCloseCycles()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    TRecorder recorder;
    recorder.Attach(comm);
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
    QCOMPARE(RunningThreads(), threads);
    QCOMPARE(recorder.Hangups, 0);
}

QTEST_GUILESS_MAIN(TestCommLifecycle)
#include "tst_commlifecycle.moc"
