#include "LoggerEmulator.h"
#include "LoggerSeries.h"
#include "ParameterLayout.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <map>
#include <cstdio>
#include <stdexcept>

namespace {

TLoggerEmulator *RunningEmulator = nullptr;

extern "C" void OnSignal(int)
{
    if (RunningEmulator)
        RunningEmulator->RequestStop();
}

int Fail(const QString &message)
{
    std::fprintf(stderr, "logger-emulator: %s\n", qPrintable(message));
    return 2;
}

// The name's number counted up by n (ttyLOGGER0, ttyLOGGER1...), or n + 1
// put after a name without one.
std::string CountedName(const std::string &name, std::size_t n)
{
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    if (digits == name.size())
        return name + std::to_string(n + 1);
    return name.substr(0, digits) + std::to_string(std::stoull(name.substr(digits)) + n);
}

// The logger that takes the cable's place with --newcomer-after-reads. It
// differs from the first in all that a tool must not carry over from one
// logger to the next: the serial number counted up, the device ID's bits
// inverted, both calibrations' whole-number bytes one higher. Nothing when the
// serial numbers run out.
std::optional<TFrameBuffer> NewcomerOf(TFrameBuffer record)
{
    const auto serial = NextSerialNumber(SerialNumberOf(record));
    if (!serial || !SetSerialNumber(record, *serial))
        return std::nullopt;
    for (std::size_t i = 0; i < 4; ++i)
        record[Offset::DeviceID + i] = static_cast<std::uint8_t>(~record[Offset::DeviceID + i]);
    ++record[Offset::CalibrationTemp + 1];
    ++record[Offset::CalibrationHumidity + 1];
    return record;
}

struct TSeriesOptions {
    std::size_t Count = 0;
    std::chrono::milliseconds SwapAfter{0};
    bool SwapWhenWritten = false;
    std::chrono::milliseconds Gap{1000};
    bool OnePortEach = false;
    bool SameCable = false;
};

// After a logger has answered the read-back of its write, the tool still
// prints its line and closes the port: the technician gives it a moment.
constexpr std::chrono::milliseconds SettleAfterWrite{1000};

// The loggers plugged in one after another, each unplugged on SIGUSR1, after
// SwapAfter or once written; the program ends after the last, or on SIGINT,
// SIGTERM or SIGHUP. On the same cable, the line of the first stays plugged
// in and each next logger takes the place of the one before on it.
int RunSeries(const TSeriesOptions &options, const std::string &name, const std::string &firstSerial,
              const std::function<void(TLoggerEmulator &)> &configure)
{
    std::unique_ptr<TLoggerSeries> series;
    try {
        series = std::make_unique<TLoggerSeries>(firstSerial, options.Count);
    } catch (const std::invalid_argument &e) {
        return Fail(QString::fromStdString(e.what()));
    }
    std::vector<TPlugStep> steps;
    for (std::size_t i = 0; i < series->Size(); ++i) {
        configure((*series)[i]);
        // On the same cable every logger answers on the first one's line.
        const std::size_t line = options.SameCable ? 0 : i;
        if (i == 0 || !options.SameCable) {
            if (i > 0)
                steps.push_back(TPlugStep::Pause(options.Gap));
            steps.push_back(TPlugStep::PlugIn(i, options.OnePortEach ? CountedName(name, i) : name));
        } else {
            steps.push_back(TPlugStep::Changing(line, i));
        }
        if (options.SwapWhenWritten) {
            steps.push_back(TPlugStep::WaitWritten(line, options.SwapAfter));
            steps.push_back(TPlugStep::Pause(SettleAfterWrite));
        } else {
            steps.push_back(TPlugStep::Pause(options.SwapAfter));
        }
        if (!options.SameCable || i + 1 == series->Size())
            steps.push_back(TPlugStep::Unplugging(line));
    }

    // The signals are taken by this thread alone, so they are blocked before
    // the loggers' threads start and inherit the mask.
    sigset_t awaited;
    sigemptyset(&awaited);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
        sigaddset(&awaited, signal);
    pthread_sigmask(SIG_BLOCK, &awaited, nullptr);

    // Taken before the start: on the same cable the first line's record changes.
    std::vector<std::string> serials;
    for (std::size_t i = 0; i < series->Size(); ++i)
        serials.push_back(series->SerialNumber(i));
    std::map<std::size_t, std::size_t> onLine;  // which logger answers on each line
    const auto report = [&serials, &onLine](const TPlugStep &step, const TLoggerEmulator &logger) {
        const std::string port = logger.PortName();
        switch (step.Action) {
        case TPlugStep::TAction::Plug:
            onLine[step.Logger] = step.Logger;
            std::printf("logger-emulator: port %s is %s (%s)\n", port.c_str(), logger.SlavePath().c_str(),
                        serials[step.Logger].c_str());
            break;
        case TPlugStep::TAction::Change:
            std::printf("logger-emulator: %s in place of %s on %s\n", serials[step.Logger].c_str(),
                        serials[onLine[step.Line]].c_str(), port.c_str());
            onLine[step.Line] = step.Logger;
            break;
        default:
            std::printf("logger-emulator: unplugged %s from %s\n", serials[onLine[step.Logger]].c_str(), port.c_str());
            break;
        }
        std::fflush(stdout);
    };
    TPlugSchedule schedule(*series, std::move(steps), report);
    schedule.Start();
    const timespec look{0, 200 * 1000 * 1000};
    while (!schedule.Finished()) {
        const int signal = sigtimedwait(&awaited, nullptr, &look);
        if (signal == SIGUSR1)
            schedule.Skip();
        else if (signal > 0)
            break;
    }
    schedule.Stop();
    series->UnplugAll();
    if (!schedule.Failure().empty())
        return Fail(QString::fromStdString(schedule.Failure()));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("logger-emulator"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Emulates a temperature and humidity data logger on a pseudo-terminal, registered as a serial port."));
    parser.addHelpOption();
    const QString defaultName = QString::fromLatin1(TLoggerEmulator::DefaultPortName);
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("Port name to register (default %1).").arg(defaultName),
                                  QStringLiteral("name"), defaultName);
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("Serial number, such as A05123456."),
                                    QStringLiteral("serial"));
    const QString defaultDelay = QString::number(TLoggerEmulator::DefaultAnswerDelay.count());
    const QCommandLineOption delay(QStringLiteral("answer-delay"),
                                   QStringLiteral("Pause before an answer, in milliseconds (default %1).")
                                       .arg(defaultDelay),
                                   QStringLiteral("ms"), defaultDelay);
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral("Misbehave: none, bad-check, split, silent, garbage, vanish, slow, twice, flood, "
                       "wrong-byte, not-stored, cut-trip, drop-password, wrong-identity or wrong-calibration."),
        QStringLiteral("mode"), QStringLiteral("none"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("Print every frame in hex on stderr."));
    const QCommandLineOption series(QStringLiteral("series"),
                                    QStringLiteral("Plug in N loggers one after another, their serial numbers "
                                                   "counting up from --serial; SIGUSR1 unplugs the one plugged in."),
                                    QStringLiteral("N"));
    const QCommandLineOption swapAfter(QStringLiteral("swap-after"),
                                       QStringLiteral("In a series, unplug each logger this long after it was "
                                                      "plugged in."),
                                       QStringLiteral("seconds"));
    const QCommandLineOption swapWhenWritten(
        QStringLiteral("swap-when-written"),
        QStringLiteral("In a series, unplug each logger a second after it was written and read back."));
    const QCommandLineOption gap(QStringLiteral("plug-gap"),
                                 QStringLiteral("In a series, the time between one logger and the next, in "
                                                "milliseconds (default 1000)."),
                                 QStringLiteral("ms"), QStringLiteral("1000"));
    const QCommandLineOption onePortEach(QStringLiteral("one-port-each"),
                                         QStringLiteral("In a series, each logger on a port name of its own, the "
                                                        "name's number counted up."));
    const QCommandLineOption sameCable(QStringLiteral("same-cable"),
                                       QStringLiteral("In a series, the line stays plugged in and registered; each "
                                                      "next logger takes the place of the one before on it."));
    const QCommandLineOption newcomer(QStringLiteral("newcomer-after-reads"),
                                      QStringLiteral("After N probes answered, another logger takes the cable's "
                                                     "place: the next serial number, another device ID and "
                                                     "calibration."),
                                      QStringLiteral("N"));
    const QCommandLineOption recordByte(QStringLiteral("record-byte"),
                                        QStringLiteral("Set a byte of the parameter record, offset 4 to 201, "
                                                       "value 0 to 255, each decimal or 0x hex; repeatable."),
                                        QStringLiteral("offset=value"));
    parser.addOptions({name, serial, delay, fault, log, series, swapAfter, swapWhenWritten, gap, onePortEach,
                       sameCable, newcomer, recordByte});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return Fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    bool isNumber = false;
    const int ms = parser.value(delay).toInt(&isNumber);
    if (!isNumber || ms < 0)
        return Fail(QStringLiteral("--answer-delay takes a number of milliseconds"));
    const auto mode = FaultModeFromName(parser.value(fault).toStdString());
    if (!mode)
        return Fail(QStringLiteral("unknown fault mode %1").arg(parser.value(fault)));
    std::vector<TRecordByte> bytes;
    for (const QString &text : parser.values(recordByte)) {
        std::string error;
        const auto byte = ParseRecordByte(text.toStdString(), &error);
        if (!byte)
            return Fail(QStringLiteral("--record-byte %1: %2").arg(text, QString::fromStdString(error)));
        bytes.push_back(*byte);
    }
    // After the serial number, so that a byte set by hand wins; the record is
    // sealed again as it is set.
    const auto configure = [&](TLoggerEmulator &logger) {
        logger.SetAnswerDelay(std::chrono::milliseconds(ms));
        logger.SetFaultMode(*mode);
        logger.SetLogging(parser.isSet(log));
        if (!bytes.empty()) {
            TFrameBuffer record = logger.ParameterRecord();
            for (const TRecordByte &byte : bytes)
                record[byte.Offset] = byte.Value;
            logger.SetParameterRecord(record);
        }
    };
    const QString serialNumber = parser.isSet(serial) ? parser.value(serial) : QString::fromLatin1(DefaultSerialNumber);
    if (TFrameBuffer record = DefaultParameterRecord(); !SetSerialNumber(record, serialNumber.toStdString()))
        return Fail(QStringLiteral("the serial number must be 9 characters, the 2nd and 3rd digits"));

    std::size_t newcomerAfter = 0;
    if (parser.isSet(newcomer)) {
        newcomerAfter = parser.value(newcomer).toUInt(&isNumber);
        if (!isNumber || newcomerAfter == 0)
            return Fail(QStringLiteral("--newcomer-after-reads takes a number of probes, 1 or more"));
        if (parser.isSet(series))
            return Fail(QStringLiteral("--newcomer-after-reads and --series exclude each other"));
    }

    if (parser.isSet(series)) {
        TSeriesOptions options;
        options.Count = parser.value(series).toUInt(&isNumber);
        if (!isNumber || options.Count == 0)
            return Fail(QStringLiteral("--series takes a number of loggers"));
        if (parser.isSet(swapAfter)) {
            const double seconds = parser.value(swapAfter).toDouble(&isNumber);
            if (!isNumber || seconds <= 0)
                return Fail(QStringLiteral("--swap-after takes a number of seconds"));
            options.SwapAfter = std::chrono::milliseconds(qRound64(seconds * 1000));
        }
        options.SwapWhenWritten = parser.isSet(swapWhenWritten);
        const int gapMs = parser.value(gap).toInt(&isNumber);
        if (!isNumber || gapMs < 0)
            return Fail(QStringLiteral("--plug-gap takes a number of milliseconds"));
        options.Gap = std::chrono::milliseconds(gapMs);
        options.OnePortEach = parser.isSet(onePortEach);
        options.SameCable = parser.isSet(sameCable);
        if (options.SameCable && options.OnePortEach)
            return Fail(QStringLiteral("--same-cable and --one-port-each exclude each other"));
        return RunSeries(options, parser.value(name).toStdString(), serialNumber.toStdString(), configure);
    }
    for (const QCommandLineOption *option : {&swapAfter, &swapWhenWritten, &onePortEach, &sameCable})
        if (parser.isSet(*option))
            return Fail(QStringLiteral("--%1 needs --series").arg(option->names().first()));

    TLoggerEmulator emulator(parser.value(name).toStdString());
    TFrameBuffer record = emulator.ParameterRecord();
    SetSerialNumber(record, serialNumber.toStdString());
    emulator.SetParameterRecord(record);
    configure(emulator);
    if (newcomerAfter > 0) {
        const auto other = NewcomerOf(emulator.ParameterRecord());
        if (!other)
            return Fail(QStringLiteral("no serial number after %1 for the newcomer")
                            .arg(QString::fromStdString(SerialNumberOf(emulator.ParameterRecord()))));
        emulator.ChangeLoggerAfterAnswers(newcomerAfter, *other);
    }

    std::string error;
    if (!emulator.Open(&error))
        return Fail(QString::fromStdString(error));

    RunningEmulator = &emulator;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);

    std::printf("logger-emulator: port %s is %s\n", emulator.PortName().c_str(), emulator.SlavePath().c_str());
    std::fflush(stdout);
    emulator.Serve();
    emulator.Close();
    RunningEmulator = nullptr;
    if (emulator.HungUp())
        std::fprintf(stderr, "logger-emulator: line hung up (fault vanish)\n");
    return 0;
}
