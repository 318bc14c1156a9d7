// Read latency of the Windows build under wine: the time from the last byte of
// a 204-byte record to OnReceiveData, less the 200 ms read interval, as the
// Linux benchmark measures it. Both ends are ours, on a null-modem pair that
// the wine driver maps (wine-run --pair COMa,COMb), so that one clock times both.
//
//   wine-latency [records]        (ports from LOGGERCFG_WINE_PORTS)
#include "BenchFigures.h"
#include "Comm.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>

#include <cstring>
#include <random>
#include <thread>

namespace {

constexpr std::uint16_t RecordSize = 204;
constexpr auto ReadInterval = std::chrono::milliseconds(200);

void ConfigureLikeTheWindow(TComm &comm, const QString &port)
{
    comm.SetOutx_XonXoffFlow(false);
    comm.SetInx_XonXoffFlow(false);
    comm.SetCommName(port);
    comm.SetBaudRate(9600);
    comm.SetReadIntervalTimeout(static_cast<std::uint32_t>(ReadInterval.count()));
}

void ReadLatency(const QString &sendPort, const QString &receivePort, int records)
{
    TComm sender;
    TComm receiver;
    ConfigureLikeTheWindow(sender, sendPort);
    ConfigureLikeTheWindow(receiver, receivePort);
    sender.OpenPort();
    receiver.OpenPort();

    std::vector<std::uint8_t> record(RecordSize);
    std::mt19937 random(7);
    for (auto &byte : record)
        byte = static_cast<std::uint8_t>(random());

    std::vector<double> overheads;
    int broken = 0;
    std::size_t pending = 0;
    int pieces = 0;
    Bench::TClock::time_point sent;
    QEventLoop loop;
    QTimer next;
    next.setSingleShot(true);
    // The write is queued and done at once: a pseudo-terminal keeps no line pace.
    QObject::connect(&next, &QTimer::timeout, &loop, [&] {
        sent = Bench::TClock::now();
        if (!sender.SendData(record.data(), RecordSize))
            loop.exit(1);
    });
    receiver.OnReceiveData = [&](TComm *, const std::uint8_t *buffer, std::uint16_t length) {
        const Bench::TClock::time_point arrived = Bench::TClock::now();
        pending += length;
        ++pieces;
        if (pending < RecordSize)
            return;
        if (pieces == 1 && length == RecordSize && std::memcmp(buffer, record.data(), RecordSize) == 0)
            overheads.push_back(Bench::Milliseconds(arrived - sent - ReadInterval));
        else
            ++broken;
        pending = 0;
        pieces = 0;
        if (static_cast<int>(overheads.size()) + broken >= records)
            loop.exit(0);
        else
            next.start(static_cast<int>(5 + random() % 45));
    };
    QTimer::singleShot(std::chrono::seconds(records), &loop, [&] { loop.exit(2); });
    next.start(100);
    const int result = loop.exec();
    receiver.ClosePort();
    sender.ClosePort();
    if (result != 0)
        throw Bench::EBenchFailure(result == 1 ? "wine read latency: the record could not be sent"
                                               : "wine read latency: records stopped arriving");

    Bench::Figure("wine_read_latency_overhead_median", Bench::Median(overheads), "ms",
                  "p99 " + Bench::Fixed(Bench::Percentile(overheads, 99), 3) + " ms, min "
                      + Bench::Fixed(Bench::Min(overheads), 3) + ", max " + Bench::Fixed(Bench::Max(overheads), 3)
                      + ", n=" + std::to_string(overheads.size()),
                  3);
    Bench::Figure("wine_read_latency_split_records", broken, "blocks", "records that did not arrive as one block", 0);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList ports = QString::fromLocal8Bit(qgetenv("LOGGERCFG_WINE_PORTS")).split(u' ', Qt::SkipEmptyParts);
    if (ports.size() != 2) {
        std::fprintf(stderr, "wine-latency: run by wine-run --pair COMa,COMb\n");
        return 2;
    }
    const int records = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    try {
        ReadLatency(ports[0], ports[1], records);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
