// The serial link under load and at rest: read latency, idle cost, a far end
// that vanishes and a flood, the last two against QSerialPort in the same run.
#include "BenchSupport.h"

#include "Comm.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <poll.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

using namespace std::chrono_literals;
using Bench::TClock;

namespace {

constexpr auto ReadInterval = 200ms;
constexpr std::size_t RecordSize = 204;
// 10 bits a byte at 9600 baud, as a logger sends them.
constexpr auto ByteTime = 1042us;
constexpr std::size_t FloodSize = 8u << 20;
constexpr std::size_t BlockSize = 2048;

void ConfigureLikeTheWindow(TComm &comm, const std::string &path)
{
    comm.SetOutx_XonXoffFlow(false);
    comm.SetInx_XonXoffFlow(false);
    comm.SetCommName(QString::fromStdString(path));
    comm.SetBaudRate(9600);
    comm.SetReadIntervalTimeout(static_cast<std::uint32_t>(ReadInterval.count()));
}

// Runs the event loop until `loop` is quit or the limit passes; false on the limit.
bool Run(QEventLoop &loop, TClock::duration limit)
{
    bool expired = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        expired = true;
        loop.quit();
    });
    timer.start(std::chrono::duration_cast<std::chrono::milliseconds>(limit));
    loop.exec();
    return !expired;
}

void RunFor(TClock::duration span)
{
    QEventLoop loop;
    Run(loop, span);
}

std::string Spread(const std::vector<double> &v, int decimals = 2)
{
    return "min " + Bench::Fixed(Bench::Min(v), decimals) + ", max " + Bench::Fixed(Bench::Max(v), decimals)
           + ", n=" + std::to_string(v.size());
}

std::vector<int> ThreadIds()
{
    std::vector<int> ids;
    for (const auto &[tid, count] : Bench::VoluntarySwitches())
        ids.push_back(tid);
    return ids;
}

// The threads that opening a port started: its reader and writer.
std::vector<int> OpenAndFindWorkers(TComm &comm)
{
    const std::vector<int> before = ThreadIds();
    comm.OpenPort();
    std::vector<int> workers;
    for (int tid : ThreadIds())
        if (std::find(before.begin(), before.end(), tid) == before.end())
            workers.push_back(tid);
    if (workers.size() != 2)
        throw Bench::EBenchFailure("an open port should run two threads");
    return workers;
}

// ---- read latency ---------------------------------------------------------

void ReadLatency(int blocks)
{
    Bench::TPty pty;
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath());
    comm.OpenPort();

    const std::vector<std::uint8_t> record = Bench::FloodPattern(RecordSize);
    std::atomic<std::int64_t> lastByteNs{0};
    std::mutex lock;
    std::condition_variable wake;
    int released = 1;
    bool stop = false;

    std::vector<double> overheads;
    int broken = 0;
    std::size_t pending = 0;
    int pieces = 0;
    QEventLoop loop;
    comm.OnReceiveData = [&](TComm *, const std::uint8_t *buffer, std::uint16_t length) {
        const TClock::time_point arrived = TClock::now();
        const TClock::time_point last{TClock::duration(lastByteNs.load(std::memory_order_acquire))};
        // A record cut in pieces by a stall of the sender is counted, not timed,
        // and the next one waits until all its pieces are in.
        pending += length;
        ++pieces;
        if (pending < RecordSize)
            return;
        if (pieces == 1 && length == RecordSize && std::memcmp(buffer, record.data(), RecordSize) == 0)
            overheads.push_back(Bench::Milliseconds(arrived - last - ReadInterval));
        else
            ++broken;
        pending = 0;
        pieces = 0;
        const std::lock_guard guard(lock);
        if (static_cast<int>(overheads.size()) + broken >= blocks)
            loop.quit();
        else
            ++released;
        wake.notify_one();
    };

    // The far end answers one record at a time, at the line's pace, each after a
    // short pause of varying length so that no block lines up with the last.
    std::thread farEnd([&] {
        std::mt19937 random(7);
        for (int sent = 0;; ++sent) {
            {
                std::unique_lock guard(lock);
                wake.wait(guard, [&] { return stop || released > sent; });
                if (stop)
                    return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 45));
            const TClock::time_point start = TClock::now();
            for (std::size_t i = 0; i < RecordSize; ++i) {
                std::this_thread::sleep_until(start + i * ByteTime);
                if (::write(pty.Master(), &record[i], 1) != 1)
                    return;
            }
            lastByteNs.store(TClock::now().time_since_epoch().count(), std::memory_order_release);
        }
    });

    const bool finished = Run(loop, blocks * 2s);
    {
        const std::lock_guard guard(lock);
        stop = true;
    }
    wake.notify_one();
    farEnd.join();
    comm.ClosePort();
    if (!finished)
        throw Bench::EBenchFailure("read latency: blocks stopped arriving");

    const double median = Bench::Median(overheads);
    Bench::Figure("read_latency_overhead_median", median, "ms",
                  "p99 " + Bench::Fixed(Bench::Percentile(overheads, 99), 3) + " ms, min "
                      + Bench::Fixed(Bench::Min(overheads), 3) + ", max " + Bench::Fixed(Bench::Max(overheads), 3)
                      + ", n=" + std::to_string(overheads.size()),
                  3);
    Bench::Figure("read_latency_split_records", broken, "blocks", "records that did not arrive as one block", 0);
    Bench::Goal("read_latency_overhead_median", median < 1.0 && broken == 0, "< 1 ms, every record whole");
}

// ---- idle -----------------------------------------------------------------

struct TIdleRun {
    double CpuMs = 0;
    long Wakeups = 0;
    long PortThreadWakeups = 0;
};

TIdleRun IdleOnce(TClock::duration span)
{
    Bench::TPty pty;
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath());
    const std::vector<int> portThreads = OpenAndFindWorkers(comm);
    // The threads' own start-up is not idling.
    RunFor(300ms);

    const auto switches0 = Bench::VoluntarySwitches();
    const TClock::duration cpu0 = Bench::ProcessCpu();
    RunFor(span);
    const TClock::duration cpu1 = Bench::ProcessCpu();
    const auto switches1 = Bench::VoluntarySwitches();
    comm.ClosePort();
    return {Bench::Milliseconds(cpu1 - cpu0), Bench::WakeupsBetween(switches0, switches1),
            Bench::WakeupsBetween(switches0, switches1, &portThreads)};
}

void Idle(int runs, TClock::duration span)
{
    std::vector<double> cpu, wakeups, portWakeups;
    for (int i = 0; i < runs; ++i) {
        const TIdleRun run = IdleOnce(span);
        cpu.push_back(run.CpuMs);
        wakeups.push_back(static_cast<double>(run.Wakeups));
        portWakeups.push_back(static_cast<double>(run.PortThreadWakeups));
    }
    const std::string over = ", over " + Bench::Fixed(Bench::Seconds(span), 0) + " s";
    Bench::Figure("idle_cpu_median", Bench::Median(cpu), "ms", Spread(cpu, 3) + over, 3);
    Bench::Figure("idle_wakeups_median", Bench::Median(wakeups), "wake-ups",
                  Spread(wakeups, 0) + over + ", all threads, one of them the end of the measurement", 0);
    Bench::Figure("idle_port_thread_wakeups_max", Bench::Max(portWakeups), "wake-ups",
                  "reader and writer, n=" + std::to_string(runs) + over, 0);
    // The timer that ends the measurement wakes the event loop once.
    Bench::Goal("idle", Bench::Max(cpu) < 5.0 && Bench::Max(wakeups) <= 1 && Bench::Max(portWakeups) == 0,
                "< 5 ms CPU, no wake-up but the measurement's own");
}

// ---- vanished far end -----------------------------------------------------

constexpr auto VanishSpan = 2s;

double PercentOfCore(TClock::duration cpu, TClock::duration wall) { return 100.0 * Bench::Seconds(cpu) / Bench::Seconds(wall); }

// The far end hangs up; what the process spends over the next VanishSpan.
double CpuAfterHangup(Bench::TPty &pty)
{
    const TClock::duration cpu0 = Bench::ProcessCpu();
    const TClock::time_point wall0 = TClock::now();
    pty.CloseMaster();
    RunFor(VanishSpan);
    return PercentOfCore(Bench::ProcessCpu() - cpu0, TClock::now() - wall0);
}

double VanishOurs(int &hangups)
{
    Bench::TPty pty;
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath());
    hangups = 0;
    comm.OnRequestHangup = [&](TComm *) { ++hangups; };
    comm.OnReceiveData = [](TComm *, const std::uint8_t *, std::uint16_t) {};
    comm.OpenPort();
    RunFor(300ms);

    const double percent = CpuAfterHangup(pty);
    comm.ClosePort();
    return percent;
}

double VanishPeer(long &errorSignals)
{
    Bench::TPty pty;
    QSerialPort port(QString::fromStdString(pty.SlavePath()));
    port.setBaudRate(9600);
    if (!port.open(QIODevice::ReadWrite))
        throw Bench::EBenchFailure("QSerialPort would not open the pseudo-terminal: " + port.errorString().toStdString());
    errorSignals = 0;
    QObject::connect(&port, &QSerialPort::readyRead, &port, [&] { port.readAll(); });
    QObject::connect(&port, &QSerialPort::errorOccurred, &port, [&](QSerialPort::SerialPortError e) {
        errorSignals += e != QSerialPort::NoError;
    });
    RunFor(300ms);

    const double percent = CpuAfterHangup(pty);
    port.close();
    return percent;
}

void Vanish(int rounds)
{
    std::vector<double> ours, peer, hangups, peerErrors;
    for (int i = 0; i < rounds; ++i) {
        int h = 0;
        long e = 0;
        ours.push_back(VanishOurs(h));
        peer.push_back(VanishPeer(e));
        hangups.push_back(h);
        peerErrors.push_back(static_cast<double>(e) / Bench::Seconds(VanishSpan));
    }
    const double oursMedian = Bench::Median(ours);
    const double peerMedian = Bench::Median(peer);
    Bench::Figure("vanish_cpu_ours_median", oursMedian, "% of a core", Spread(ours, 3) + ", over 2 s", 3);
    Bench::Figure("vanish_cpu_peer_median", peerMedian, "% of a core", Spread(peer, 1) + ", over 2 s, QSerialPort", 1);
    Bench::Figure("vanish_hangup_notices_max", Bench::Max(hangups), "notices",
                  "min " + Bench::Fixed(Bench::Min(hangups), 0) + ", n=" + std::to_string(rounds), 0);
    Bench::Figure("vanish_peer_error_signals_median", Bench::Median(peerErrors), "per s", Spread(peerErrors, 0), 0);
    std::printf("vanish_cpu ratio %s ours/peer\n", Bench::Fixed(oursMedian / peerMedian, 4).c_str());
    Bench::Goal("vanish_cpu_ours", Bench::Max(ours) < 1.0 && Bench::Min(hangups) == 1 && Bench::Max(hangups) == 1,
                "< 1% of a core in every round, exactly one hang-up notice");
}

// ---- flood ----------------------------------------------------------------

// The flooding far end runs as a process of its own, so that its CPU time is
// not the reader's; it waits for one byte on its standard input, then writes.
int FloodWriter(std::size_t size)
{
    const std::vector<std::uint8_t> bytes = Bench::FloodPattern(size);
    const int line = 3;
    char go = 0;
    if (::read(0, &go, 1) != 1)
        return 2;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(line, bytes.data() + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return 3;
        pollfd p{line, POLLOUT, 0};
        ::poll(&p, 1, -1);
    }
    return 0;
}

class TFloodWriter {
public:
    TFloodWriter(int master, std::size_t size)
    {
        if (::pipe2(FStart, O_CLOEXEC) != 0)
            throw Bench::EBenchFailure("flood: no pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, FStart[0], 0);
        posix_spawn_file_actions_adddup2(&actions, master, 3);
        const std::string count = std::to_string(size);
        char *argv[] = {const_cast<char *>("serial-bench"), const_cast<char *>("flood-writer"),
                        const_cast<char *>(count.c_str()), nullptr};
        const int failed = ::posix_spawn(&FPid, "/proc/self/exe", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(FStart[0]);
        if (failed != 0)
            throw Bench::EBenchFailure("flood: cannot start the writer");
    }
    ~TFloodWriter()
    {
        // After a good run the writer is done; after a failed one it may be stuck
        // on a full line.
        ::close(FStart[1]);
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }
    void Go() const
    {
        const char go = 1;
        [[maybe_unused]] const ssize_t n = ::write(FStart[1], &go, 1);
    }

private:
    int FStart[2] = {-1, -1};
    pid_t FPid = -1;
};

struct TFloodRun {
    double MiBPerCpuSecond = 0;
    double MiBPerSecond = 0;
    // CPU per 2048 bytes delivered: all threads, and the port's own threads.
    double MicrosecondsPerBlock = 0;
    double WorkerMicrosecondsPerBlock = 0;
    std::size_t Blocks = 0;
    std::size_t OddBlocks = 0;
};

// Times the flood from the go to the last byte delivered; the receiver quits
// `loop` when it has everything.
TFloodRun TimeFlood(Bench::TPty &pty, QEventLoop &loop, const QByteArray &received, const std::string &who,
                    const std::vector<int> &workers = {})
{
    TFloodWriter writer(pty.Master(), FloodSize);
    const TClock::duration cpu0 = Bench::ProcessCpu();
    const TClock::duration workers0 = Bench::ThreadsCpu(workers);
    const TClock::time_point wall0 = TClock::now();
    writer.Go();
    const bool finished = Run(loop, 60s);
    const TClock::duration cpu = Bench::ProcessCpu() - cpu0;
    const TClock::duration workersCpu = Bench::ThreadsCpu(workers) - workers0;
    const TClock::duration wall = TClock::now() - wall0;
    if (!finished)
        throw Bench::EBenchFailure("flood (" + who + "): " + std::to_string(received.size()) + " of "
                                   + std::to_string(FloodSize) + " bytes arrived");
    static const std::vector<std::uint8_t> expected = Bench::FloodPattern(FloodSize);
    if (static_cast<std::size_t>(received.size()) != FloodSize
        || std::memcmp(received.constData(), expected.data(), FloodSize) != 0)
        throw Bench::EBenchFailure("flood (" + who + "): the bytes delivered differ from the bytes sent");
    const double mib = static_cast<double>(FloodSize) / (1 << 20);
    const double blocks = static_cast<double>(FloodSize / BlockSize);
    TFloodRun run;
    run.MiBPerCpuSecond = mib / Bench::Seconds(cpu);
    run.MiBPerSecond = mib / Bench::Seconds(wall);
    run.MicrosecondsPerBlock = Bench::Seconds(cpu) * 1e6 / blocks;
    run.WorkerMicrosecondsPerBlock = Bench::Seconds(workersCpu) * 1e6 / blocks;
    return run;
}

TFloodRun FloodOurs()
{
    Bench::TPty pty;
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath());
    QByteArray received;
    received.reserve(FloodSize);
    std::size_t blocks = 0, odd = 0;
    QEventLoop loop;
    comm.OnReceiveData = [&](TComm *, const std::uint8_t *buffer, std::uint16_t length) {
        received.append(reinterpret_cast<const char *>(buffer), length);
        ++blocks;
        odd += length != BlockSize;
        if (static_cast<std::size_t>(received.size()) >= FloodSize)
            loop.quit();
    };
    const std::vector<int> workers = OpenAndFindWorkers(comm);
    TFloodRun run = TimeFlood(pty, loop, received, "ours", workers);
    comm.ClosePort();
    run.Blocks = blocks;
    run.OddBlocks = odd;
    return run;
}

TFloodRun FloodPeer()
{
    Bench::TPty pty;
    QSerialPort port(QString::fromStdString(pty.SlavePath()));
    port.setBaudRate(9600);
    if (!port.open(QIODevice::ReadWrite))
        throw Bench::EBenchFailure("QSerialPort would not open the pseudo-terminal: " + port.errorString().toStdString());
    QByteArray received;
    received.reserve(FloodSize);
    QEventLoop loop;
    QObject::connect(&port, &QSerialPort::readyRead, &port, [&] {
        received.append(port.readAll());
        if (static_cast<std::size_t>(received.size()) >= FloodSize)
            loop.quit();
    });
    QObject::connect(&port, &QSerialPort::errorOccurred, &port, [](QSerialPort::SerialPortError) {});
    return TimeFlood(pty, loop, received, "QSerialPort");
}

void Flood(int rounds)
{
    std::vector<double> ours, peer, ratios, oursWall, peerWall, oursBlockCpu, oursWorkerCpu, peerBlockCpu;
    std::size_t oddBlocks = 0, blocks = 0;
    for (int i = 0; i < rounds; ++i) {
        // Alternate who goes first, so that neither always meets a cold cache.
        const bool oursFirst = i % 2 == 0;
        TFloodRun a = oursFirst ? FloodOurs() : FloodPeer();
        TFloodRun b = oursFirst ? FloodPeer() : FloodOurs();
        if (!oursFirst)
            std::swap(a, b);
        ours.push_back(a.MiBPerCpuSecond);
        oursWall.push_back(a.MiBPerSecond);
        peer.push_back(b.MiBPerCpuSecond);
        peerWall.push_back(b.MiBPerSecond);
        ratios.push_back(a.MiBPerCpuSecond / b.MiBPerCpuSecond);
        oursBlockCpu.push_back(a.MicrosecondsPerBlock);
        oursWorkerCpu.push_back(a.WorkerMicrosecondsPerBlock);
        peerBlockCpu.push_back(b.MicrosecondsPerBlock);
        oddBlocks += a.OddBlocks;
        blocks += a.Blocks;
    }
    Bench::Figure("flood_ours_median", Bench::Median(ours), "MiB per CPU second", Spread(ours, 1), 1);
    Bench::Figure("flood_peer_median", Bench::Median(peer), "MiB per CPU second", Spread(peer, 1) + ", QSerialPort", 1);
    Bench::Figure("flood_ours_wall_median", Bench::Median(oursWall), "MiB/s", Spread(oursWall, 1), 1);
    Bench::Figure("flood_peer_wall_median", Bench::Median(peerWall), "MiB/s", Spread(peerWall, 1) + ", QSerialPort", 1);
    Bench::Figure("flood_ours_cpu_per_block_median", Bench::Median(oursBlockCpu), "us",
                  Spread(oursBlockCpu, 1) + ", per 2048 bytes, all threads", 1);
    Bench::Figure("flood_ours_worker_cpu_per_block_median", Bench::Median(oursWorkerCpu), "us",
                  Spread(oursWorkerCpu, 1) + ", per 2048 bytes, the port's reader and writer", 1);
    Bench::Figure("flood_peer_cpu_per_block_median", Bench::Median(peerBlockCpu), "us",
                  Spread(peerBlockCpu, 1) + ", per 2048 bytes, QSerialPort", 1);
    Bench::Figure("flood_blocks_not_2048", static_cast<double>(oddBlocks), "blocks",
                  "of " + std::to_string(blocks) + "; every byte of every run compared", 0);
    const double ratio = Bench::Median(ratios);
    std::printf("flood ratio %s ours/peer (per-round %s)\n", Bench::Fixed(ratio, 2).c_str(), Spread(ratios).c_str());
    Bench::Goal("flood", ratio >= 1.0 && oddBlocks == 0, "ratio >= 1, no byte lost, blocks of 2048");
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "flood-writer") == 0)
        return FloodWriter(std::stoul(argv[2]));

    QCoreApplication application(argc, argv);
    const QStringList cases = argc > 1 ? application.arguments().mid(1)
                                       : QStringList{"latency", "idle", "vanish", "flood"};
    const std::map<QString, std::function<void()>> known = {
        {"latency", [] { ReadLatency(100); }},
        {"idle", [] { Idle(5, 10s); }},
        {"vanish", [] { Vanish(5); }},
        {"flood", [] { Flood(25); }},
    };
    for (const QString &name : cases) {
        if (!known.contains(name)) {
            std::fprintf(stderr, "usage: serial-bench [latency] [idle] [vanish] [flood]\n");
            return 2;
        }
    }
    try {
        for (const QString &name : cases)
            known.at(name)();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "serial-bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
