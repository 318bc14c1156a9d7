#include "Verbs.h"

#include "Console.h"
#include "Discovery.h"
#include "LoggerSearch.h"
#include "PrintableText.h"
#include "JsonOutput.h"
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

// What --json names each answer: a word a script can compare.
const char *AnswerName(TPortAnswer Answer)
{
    switch (Answer) {
    case TPortAnswer::Record: return "record";
    case TPortAnswer::NoAnswer: return "no_answer";
    case TPortAnswer::Damaged: return "damaged";
    case TPortAnswer::OtherFrame: return "other_frame";
    case TPortAnswer::Denied: return "denied";
    case TPortAnswer::InUse: return "in_use";
    case TPortAnswer::Missing: return "missing";
    case TPortAnswer::NotSerial: return "not_serial";
    case TPortAnswer::CannotOpen: return "cannot_open";
    }
    return "";
}

void PrintJson(const QStringList &Ports, const TDiscovery *Discovery)
{
    QByteArray json = "{\"probed\":" + Json::Bool(Discovery != nullptr) + ",\"ports\":[";
    for (qsizetype i = 0; i < Ports.size(); ++i) {
        json += (i ? "," : "") + QByteArray("{\"port\":") + Json::Text(Ports[i]);
        const TPortResult *result = nullptr;
        if (Discovery)
            for (const TPortResult &r : Discovery->Ports)
                if (r.Port == Ports[i])
                    result = &r;
        if (result) {
            json += ",\"answer\":" + Json::Text(QByteArray(AnswerName(result->Answer)));
            if (result->Answer == TPortAnswer::Record)
                json += ",\"serial\":" + Json::Text(QString::fromStdString(SerialNumberText(result->Record)));
        }
        json += '}';
    }
    json += "]}\n";
    Console::Data(std::string_view(json.constData(), std::size_t(json.size())));
}

} // namespace

TExitStatus RunPorts(const TCommand &Command, TContext &Context)
{
    const QStringList ports = Context.Candidates();
    if (!Command.Probe) {
        if (Command.Json)
            PrintJson(ports, nullptr);
        else
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
    if (Command.Json)
        PrintJson(ports, &discovery);
    else
        for (const TPortResult &port : discovery.Ports)
            Console::Data(QStringLiteral("%1  %2\n").arg(port.Port, -int(width)).arg(Describe(port)).toStdString());
    if (discovery.Found())
        return TExitStatus::Success;
    Console::Message(ports.isEmpty() ? QStringLiteral("no serial port found (No device detected!)")
                                     : NoLoggerMessage(discovery));
    return TExitStatus::NoLogger;
}
