#include "Verbs.h"

#include "Console.h"
#include "Discovery.h"
#include "LoggerSearch.h"
#include "PrintableText.h"
#include "Progress.h"
#include "RecordDecoder.h"

namespace {

QString Describe(const TPortResult &Port)
{
    switch (Port.Answer) {
    case TPortAnswer::Record:
        return QStringLiteral("logger %1").arg(PrintableText(QString::fromStdString(SerialNumberText(Port.Record))));
    case TPortAnswer::NoAnswer: return QStringLiteral("no answer");
    case TPortAnswer::Damaged: return QStringLiteral("damaged answer (Data Check Error)");
    case TPortAnswer::OtherFrame: return QStringLiteral("a frame that is no parameter record");
    case TPortAnswer::Denied: return QStringLiteral("permission denied");
    case TPortAnswer::InUse: return QStringLiteral("in use by another program");
    case TPortAnswer::Missing: return QStringLiteral("no such port");
    case TPortAnswer::NotSerial: return QStringLiteral("not a serial port");
    case TPortAnswer::CannotOpen: return QStringLiteral("cannot open");
    }
    return {};
}

} // namespace

TExitStatus RunPorts(const TCommand &Command, TContext &Context)
{
    const QStringList ports = Context.Candidates();
    if (!Command.Probe) {
        for (const QString &port : ports)
            Console::Data((port + QLatin1Char('\n')).toStdString());
        return TExitStatus::Success;
    }
    Context.Progress->Phase(QStringLiteral("probing %1 ports...").arg(ports.size()));
    // A survey, not a search that must find the logger: silent ports are
    // not given the full answer time.
    const TDiscovery discovery = ProbePorts(ports, TProbeEnd::EveryPort, AnswerLimit, {}, AnswerStartLimit);
    qsizetype width = 0;
    for (const QString &port : ports)
        width = std::max(width, port.size());
    for (const TPortResult &port : discovery.Ports)
        Console::Data(QStringLiteral("%1  %2\n").arg(port.Port, -int(width)).arg(Describe(port)).toStdString());
    if (discovery.Found())
        return TExitStatus::Success;
    Console::Message(ports.isEmpty() ? QStringLiteral("no serial port found (No device detected!)")
                                     : NoLoggerMessage(discovery));
    return TExitStatus::NoLogger;
}
