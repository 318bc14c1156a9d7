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
    case TPortAnswer::CannotOpen:
        Fail(TExitStatus::NoLogger, QStringLiteral("cannot open %1: it is missing or another program uses it").arg(port));
    case TPortAnswer::NoAnswer: Fail(TExitStatus::NoLogger, QStringLiteral("no logger answered on %1").arg(port));
    case TPortAnswer::Damaged:
        Fail(TExitStatus::LoggerFault, QStringLiteral("the answer on %1 failed the frame check (Data Check Error)").arg(port));
    case TPortAnswer::OtherFrame:
    case TPortAnswer::Record: break;
    }
    Fail(TExitStatus::LoggerFault, QStringLiteral("%1 answered with a frame that is no parameter record").arg(port));
}

} // namespace

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

    const QStringList denied = discovery.With(TPortAnswer::Denied);
    if (!denied.isEmpty())
        Fail(TExitStatus::NoLogger, DeniedPortsAdvice(denied));
    QString message = QStringLiteral("no logger answered on %1").arg(ports.join(QStringLiteral(", ")));
    const QStringList damaged = discovery.With(TPortAnswer::Damaged) + discovery.With(TPortAnswer::OtherFrame);
    if (!damaged.isEmpty())
        message += QStringLiteral("; %1 answered with frames that are no sound record").arg(damaged.join(QStringLiteral(", ")));
    Fail(TExitStatus::NoLogger, message);
}

TFrameBuffer ReadBack(const QString &Port)
{
    TBlock answer;
    try {
        answer = Exchange(Port, ProbeRequest.data(), ProbeRequest.size(), AnswerLimit);
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
