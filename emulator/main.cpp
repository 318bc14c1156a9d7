#include "LoggerEmulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>

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
                       "wrong-byte or not-stored."),
        QStringLiteral("mode"), QStringLiteral("none"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("Print every frame in hex on stderr."));
    parser.addOptions({name, serial, delay, fault, log});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return Fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    TLoggerEmulator emulator(parser.value(name).toStdString());
    if (parser.isSet(serial)) {
        TFrameBuffer record = emulator.ParameterRecord();
        if (!SetSerialNumber(record, parser.value(serial).toStdString()))
            return Fail(QStringLiteral("the serial number must be 9 characters, the 2nd and 3rd digits"));
        emulator.SetParameterRecord(record);
    }
    bool isNumber = false;
    const int ms = parser.value(delay).toInt(&isNumber);
    if (!isNumber || ms < 0)
        return Fail(QStringLiteral("--answer-delay takes a number of milliseconds"));
    emulator.SetAnswerDelay(std::chrono::milliseconds(ms));
    const auto mode = FaultModeFromName(parser.value(fault).toStdString());
    if (!mode)
        return Fail(QStringLiteral("unknown fault mode %1").arg(parser.value(fault)));
    emulator.SetFaultMode(*mode);
    emulator.SetLogging(parser.isSet(log));

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
