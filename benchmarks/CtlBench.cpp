// loggerctl against the window: how soon each finds the logger on the last of
// ten ports, how close one write with verify comes to the time the line
// itself takes, and what a batch adds to it for each logger.
#include "BenchFigures.h"

#include "Discovery.h"
#include "LoggerEmulator.h"
#include "LoggerLine.h"
#include "LoggerSeries.h"
#include "PrivateRuntime.h"
#include "RecordDecoder.h"
#include "SettingsFile.h"
#include "ShownWindow.h"
#include "Verify.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <mutex>

using namespace std::chrono_literals;

namespace {

constexpr int Ports = 10;
constexpr int CtlRounds = 10;
constexpr int WriteRounds = 5;
constexpr std::size_t BatchLoggers = 20;

std::string Spread(const std::vector<double> &v)
{
    return "min " + Bench::Fixed(Bench::Min(v)) + ", max " + Bench::Fixed(Bench::Max(v)) + ", n="
           + std::to_string(v.size());
}

// Nine silent loggers and a sound one, in the port list's order last.
struct TTenPorts {
    TTenPorts()
    {
        for (int i = 0; i < Ports; ++i) {
            const QString name = QStringLiteral("ttyBENCH%1").arg(i);
            Names << name;
            Loggers.push_back(std::make_unique<TLoggerEmulator>(name.toStdString()));
            if (i + 1 < Ports)
                Loggers.back()->SetFaultMode(TFaultMode::Silent);
            if (!Loggers.back()->Start())
                throw Bench::EBenchFailure("cannot start an emulated logger");
        }
    }
    QStringList Names;
    std::vector<std::unique_ptr<TLoggerEmulator>> Loggers;
};

// The window's walk: Read, then one port every three seconds.
double WindowFindsMs(const QStringList &Names)
{
    TShownWindow w;
    w.Window.ReadPortList = [Names](QStringList &list) { list = Names; };
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(w.Get(QStringLiteral("imgRead")), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return !w.Window.FoundPort().isEmpty(); }, 60000))
        throw Bench::EBenchFailure("the window did not find the logger");
    return double(clock.elapsed());
}

void Discovery()
{
    const TTenPorts ports;
    std::vector<double> ours;
    for (int round = 0; round < CtlRounds; ++round) {
        const TDiscovery found = ProbePorts(ports.Names, TProbeEnd::FirstRecord);
        if (!found.Found() || found.Found()->Port != ports.Names.back())
            throw Bench::EBenchFailure("loggerctl did not find the logger on the last port");
        ours.push_back(Bench::Milliseconds(found.Searched));
    }
    const double window = WindowFindsMs(ports.Names);
    const double median = Bench::Median(ours);
    Bench::Figure("discovery_loggerctl", median, "ms", Spread(ours));
    Bench::Figure("discovery_window", window, "ms", "n=1; the walk's ticks are fixed, 3 s apart");
    std::printf("discovery ratio %s ours/peer\n", Bench::Fixed(median / window, 4).c_str());
    Bench::Goal("discovery_loggerctl", median < 1000.0, "< 1 s to the first sound record, the logger on the last of 10 ports");
}

// What the line itself takes for a write with verify: four exchanges (the
// probe that finds the logger, the one that finds it again just before the
// write, the write, the read-back), each with the waits after opening and
// after closing, the logger's silence that ends a request, its answer delay,
// the answer at 9600 baud and the silence that ends it at our end. The
// emulator takes requests from a pseudo-terminal at once, so their own bytes
// cost nothing here; on a real line the 225 request bytes would add about
// 234 ms to both sides.
double LineMs()
{
    const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    const double perExchange = 2 * ms(TLoggerLine::SettleWait) + ms(TLoggerEmulator::SilenceInterval)
                               + ms(TLoggerEmulator::DefaultAnswerDelay) + 200.0;
    const double answers = double(3 * FrameBufferSize + 7) * ms(TLoggerEmulator::ByteTime);
    return 4 * perExchange + answers;
}

QString WriteTemplate(const QString &Path, const TFrameBuffer &Record, const char *Minutes)
{
    TSettingsFile file;
    file.Values = RecordSettings(Record);
    file.Values.at(SettingIndex("Log Interval")).at(1) = Minutes;
    QFile out(Path);
    const std::string text = WriteSettingsFile(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), qint64(text.size())) != qint64(text.size()))
        throw Bench::EBenchFailure("cannot write a settings file");
    return Path;
}

void Write()
{
    QTemporaryDir dir;
    auto logger = std::make_unique<TLoggerEmulator>("ttyBENCHW");
    if (!logger->Start())
        throw Bench::EBenchFailure("cannot start an emulated logger");
    // Two files that differ in the interval, written in turn, so that every
    // write changes the logger.
    QStringList files;
    for (const char *minutes : {"15", "5"})
        files << WriteTemplate(dir.filePath(QStringLiteral("interval-%1.toml").arg(QLatin1String(minutes))),
                               logger->ParameterRecord(), minutes);
    std::vector<double> walls;
    for (int round = 0; round < WriteRounds; ++round) {
        QProcess ctl;
        QElapsedTimer clock;
        clock.start();
        ctl.start(QStringLiteral(LOGGERCTL), {QStringLiteral("write"), files.at(round % 2), QStringLiteral("--port"),
                                              QStringLiteral("ttyBENCHW"), QStringLiteral("--backup-dir"),
                                              dir.filePath(QStringLiteral("backups"))});
        if (!ctl.waitForFinished(30000) || ctl.exitCode() != 0)
            throw Bench::EBenchFailure("loggerctl write failed: " + ctl.readAllStandardError().toStdString());
        walls.push_back(double(clock.elapsed()));
    }
    const double median = Bench::Median(walls);
    const double line = LineMs();
    Bench::Figure("write_verify_loggerctl", median, "ms", Spread(walls) + ", the whole program");
    Bench::Figure("write_verify_line", line, "ms", "computed: 4 exchanges, waits, silences, answers at 9600 baud");
    std::printf("write_verify ratio %s ours/line\n", Bench::Fixed(median / line, 3).c_str());
    Bench::Goal("write_verify", median <= 1.15 * line, "within 15 % of the line's own time");
}

// Twenty loggers plugged in one after another on one port name, each taken
// away soon after it was read back. From its plug-in to the batch's line for
// it a logger costs the line's time (the probe that finds it, the write, the
// read-back) plus what the tool adds: noticing the port, the backup, the
// audit record flushed to disk, the wait between the steps.
void Batch()
{
    QTemporaryDir dir;
    TLoggerSeries series("A05123456", BatchLoggers);
    std::vector<TPlugStep> steps;
    for (std::size_t i = 0; i < BatchLoggers; ++i) {
        if (i > 0)
            steps.push_back(TPlugStep::Pause(300ms));
        steps.push_back(TPlugStep::PlugIn(i, "ttyBENCHB"));
        steps.push_back(TPlugStep::WaitWritten(i, 20s));
        steps.push_back(TPlugStep::Unplugging(i));
    }
    std::mutex mutex;
    std::vector<Bench::TClock::time_point> plugged;
    TPlugSchedule schedule(series, steps, [&](const TPlugStep &step, const TLoggerEmulator &) {
        if (step.Action == TPlugStep::TAction::Plug) {
            std::lock_guard lock(mutex);
            plugged.push_back(Bench::TClock::now());
        }
    });
    const QString file = WriteTemplate(dir.filePath(QStringLiteral("template.toml")), series[0].ParameterRecord(), "15");

    QProcess ctl;
    ctl.start(QStringLiteral(LOGGERCTL), {QStringLiteral("batch"), file, QStringLiteral("--audit"),
                                          dir.filePath(QStringLiteral("audit.jsonl")), QStringLiteral("--backup-dir"),
                                          dir.filePath(QStringLiteral("backups")), QStringLiteral("--count"),
                                          QString::number(BatchLoggers)});
    if (!ctl.waitForStarted())
        throw Bench::EBenchFailure("cannot start loggerctl batch");
    schedule.Start();
    std::vector<Bench::TClock::time_point> configured;
    QElapsedTimer limit;
    limit.start();
    while (ctl.state() != QProcess::NotRunning || ctl.canReadLine()) {
        if (!ctl.canReadLine() && !ctl.waitForReadyRead(20)) {
            if (limit.elapsed() > 180000)
                throw Bench::EBenchFailure("the batch did not end");
            continue;
        }
        const QByteArray line = ctl.readLine();
        if (line.contains(" configured and verified (clock sent), "))
            configured.push_back(Bench::TClock::now());
        else if (line.contains("FAILED"))
            throw Bench::EBenchFailure("a logger failed: " + line.trimmed().toStdString());
    }
    schedule.Stop();
    if (ctl.exitCode() != 0 || configured.size() != BatchLoggers || plugged.size() != BatchLoggers)
        throw Bench::EBenchFailure("the batch ended with " + std::to_string(ctl.exitCode()) + " after "
                                   + std::to_string(configured.size()) + " loggers: "
                                   + ctl.readAllStandardError().toStdString());
    const double line = LineMs();
    std::vector<double> own;
    for (std::size_t i = 0; i < BatchLoggers; ++i)
        own.push_back(Bench::Milliseconds(configured[i] - plugged[i]) - line);
    const double median = Bench::Median(own);
    Bench::Figure("batch_own_per_logger", median, "ms",
                  "p90 " + Bench::Fixed(Bench::Percentile(own, 90)) + ", " + Spread(own)
                      + ", plug-in to its line less the line's time");
    Bench::Figure("batch_line_per_logger", line, "ms", "computed: probe, write, read-back at 9600 baud");
    Bench::Goal("batch", median < 150.0, "< 150 ms of the tool's own per logger");
}

} // namespace

int main(int argc, char *argv[])
{
    // Before the application, which looks the runtime directory up.
    const TPrivateRuntime runtime;
    QApplication application(argc, argv);
    if (!runtime.IsValid()) {
        std::fprintf(stderr, "ctl-bench: no private runtime directory\n");
        return 1;
    }
    QStringList cases = application.arguments().mid(1);
    if (cases.isEmpty())
        cases = {QStringLiteral("discovery"), QStringLiteral("write"), QStringLiteral("batch")};
    int status = 0;
    for (const QString &name : cases) {
        try {
            if (name == QLatin1String("discovery"))
                Discovery();
            else if (name == QLatin1String("write"))
                Write();
            else if (name == QLatin1String("batch"))
                Batch();
            else
                throw Bench::EBenchFailure("unknown case " + name.toStdString());
        } catch (const Bench::EBenchFailure &e) {
            std::fprintf(stderr, "ctl-bench %s: %s\n", qPrintable(name), e.what());
            status = 1;
        }
    }
    return status;
}
