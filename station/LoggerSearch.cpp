#include "LoggerSearch.h"

#include "DeniedPortsAdvice.h"
#include "Discovery.h"
#include "StationError.h"
#include "LoggerLine.h"
#include "ProgressSink.h"
#include "SerialPortList.h"

namespace {

[[noreturn]] void Fail(TExitStatus Status, const QString &Message)
{
    throw EStationError(Status, Message.toStdString());
}

// A named port that did not give a record: the logger itself answered wrongly
// only when something came back.
[[noreturn]] void FailOnNamedPort(const TPortResult &Result)
{
    const QString &port = Result.Port;
    switch (Result.Answer) {
    case TPortAnswer::Denied: Fail(TExitStatus::NoLogger, DeniedPortsAdvice({port}));
    case TPortAnswer::InUse:
    case TPortAnswer::Missing:
    case TPortAnswer::NotSerial:
    case TPortAnswer::CannotOpen: Fail(TExitStatus::NoLogger, CannotOpenText(Result));
    case TPortAnswer::NoAnswer: Fail(TExitStatus::NoLogger, QStringLiteral("no logger answered on %1").arg(port));
    case TPortAnswer::Damaged:
        Fail(TExitStatus::LoggerFault, QStringLiteral("the answer on %1 failed the frame check (Data Check Error)").arg(port));
    case TPortAnswer::OtherFrame:
    case TPortAnswer::Record: break;
    }
    Fail(TExitStatus::LoggerFault, QStringLiteral("%1 answered with a frame that is no parameter record").arg(port));
}

// The ports of one kind that did not open, in one clause: "ttyS0 is in use
// by another program", "ttyS0, ttyS1 are in use by other programs".
QString NotOpenedClause(const TDiscovery &Discovery, TPortAnswer Answer)
{
    const QStringList ports = Discovery.With(Answer);
    if (ports.isEmpty())
        return {};
    const QString listed = ports.join(QStringLiteral(", "));
    const bool one = ports.size() == 1;
    switch (Answer) {
    case TPortAnswer::InUse:
        return one ? QStringLiteral("%1 is in use by another program").arg(listed)
                   : QStringLiteral("%1 are in use by other programs").arg(listed);
    case TPortAnswer::Missing:
        return one ? QStringLiteral("there is no port %1").arg(listed)
                   : QStringLiteral("there are no ports %1").arg(listed);
    case TPortAnswer::NotSerial:
        return one ? QStringLiteral("%1 is not a serial port").arg(listed)
                   : QStringLiteral("%1 are not serial ports").arg(listed);
    default: return QStringLiteral("cannot open %1").arg(listed);
    }
}

} // namespace

QString NoLoggerMessage(const TDiscovery &Discovery)
{
    const QStringList denied = Discovery.With(TPortAnswer::Denied);
    if (!denied.isEmpty())
        return DeniedPortsAdvice(denied);
    // Only the ports that heard the probe count as silent; one that could not
    // be opened is named with its reason, which may be why the logger was not found.
    QStringList asked;
    for (const TPortResult &p : Discovery.Ports)
        if (p.Answer == TPortAnswer::NoAnswer || p.Answer == TPortAnswer::Damaged || p.Answer == TPortAnswer::OtherFrame)
            asked << p.Port;
    QStringList clauses{asked.isEmpty()
                            ? QStringLiteral("no logger found")
                            : QStringLiteral("no logger answered on %1").arg(asked.join(QStringLiteral(", ")))};
    const QStringList damaged = Discovery.With(TPortAnswer::Damaged) + Discovery.With(TPortAnswer::OtherFrame);
    if (!damaged.isEmpty())
        clauses << QStringLiteral("%1 answered with frames that are no sound record").arg(damaged.join(QStringLiteral(", ")));
    for (const TPortAnswer kind : {TPortAnswer::InUse, TPortAnswer::Missing, TPortAnswer::NotSerial, TPortAnswer::CannotOpen})
        if (const QString clause = NotOpenedClause(Discovery, kind); !clause.isEmpty())
            clauses << clause;
    return clauses.join(QStringLiteral("; "));
}

QStringList CandidatePorts()
{
    QStringList ports;
    ReadSerialPortList(ports);
    return ports;
}

TFoundLogger FindLogger(const QString &Port, const TPortLister &Candidates, TProgressSink &Progress)
{
    const QStringList ports = Port.isEmpty() ? Candidates() : QStringList{Port};
    if (ports.isEmpty())
        Fail(TExitStatus::NoLogger, QStringLiteral("no serial port found (No device detected!)"));
    Progress.Phase(ports.size() == 1 ? QStringLiteral("probing %1...").arg(ports.first())
                                     : QStringLiteral("probing %1 ports...").arg(ports.size()));
    const TDiscovery discovery = ProbePorts(ports, TProbeEnd::FirstRecord);
    if (const TPortResult *found = discovery.Found())
        return {found->Port, found->Record};
    if (!Port.isEmpty())
        FailOnNamedPort(discovery.Ports.front());
    Fail(TExitStatus::NoLogger, NoLoggerMessage(discovery));
}

TFrameBuffer ReadBack(const QString &Port)
{
    TBlock answer;
    try {
        answer = Exchange(Port, ProbeRequest.data(), ProbeRequest.size(), AnswerLimit, TLineUse::FoundLogger);
    } catch (const EStationError &e) {
        Fail(TExitStatus::LoggerFault, QString::fromUtf8(e.what()) + QStringLiteral("; the write is not verified"));
    }
    if (answer.empty())
        Fail(TExitStatus::LoggerFault,
             QStringLiteral("the logger on %1 did not answer when read back: the write is not verified").arg(Port));
    if (JudgeAnswer(answer) != TPortAnswer::Record)
        Fail(TExitStatus::LoggerFault,
             QStringLiteral("the logger on %1 answered the read-back with a damaged frame: the write is not verified")
                 .arg(Port));
    TFrameBuffer record {};
    std::copy(answer.begin(), answer.end(), record.begin());
    return record;
}
