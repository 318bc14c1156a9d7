#include "Batch.h"

#include "AuditLog.h"
#include "Console.h"
#include "DeniedPortsAdvice.h"
#include "Discovery.h"
#include "Interrupt.h"
#include "PrintableText.h"
#include "Progress.h"
#include "RecordDecoder.h"

#include <QDir>

namespace {

QString Seconds(qint64 Milliseconds)
{
    return QString::number(double(Milliseconds) / 1000.0, 'f', 1) + QStringLiteral(" s");
}

QString Serial(const std::string &SerialNumber)
{
    return PrintableText(QString::fromStdString(SerialNumber));
}

} // namespace

TBatch::TBatch(const TBatchSetup &Setup, TContext &Context)
    : FSetup(Setup), FContext(Context)
{
}

TExitStatus TBatch::Run()
{
    const TInterrupt interrupt([this] { Interrupted(); });
    ShowState();
    while (!FStop) {
        const auto now = TClock::now();
        ReadPorts(now);
        const QStringList due = FWatch.Due(now);
        if (due.isEmpty()) {
            const auto next = std::min(FWatch.NextDue(), now + ListLook);
            FWait.Until([this] { return FStop; },
                        std::chrono::ceil<std::chrono::milliseconds>(std::max(next - now, TClock::duration::zero())));
            continue;
        }
        // A silent port holds a round for the whole answer time; a logger
        // plugged in meanwhile is not kept waiting for it.
        const TDiscovery round = ProbePorts(due, TProbeEnd::FirstRecord, AnswerLimit,
                                            [this] { return FContext.CandidatesStamp() != FStamp; });
        Handle(FWatch.Answered(round, TClock::now()));
    }
    Summary();
    if (FAuditLost || FFailed > 0 || FUnprinted > 0)
        return TExitStatus::LoggerFault;
    return TExitStatus::Success;
}

void TBatch::ReadPorts(TClock::time_point now)
{
    const QByteArray stamp = FContext.CandidatesStamp();
    if (FListRead && stamp == FStamp && now - *FListRead < ListRead)
        return;
    FStamp = stamp;
    FListRead = now;
    Handle(FWatch.SetPorts(FContext.Candidates(), now));
}

void TBatch::Handle(const std::vector<TLoggerWatch::TEvent> &Events)
{
    using TKind = TLoggerWatch::TEvent::TKind;
    for (const TLoggerWatch::TEvent &e : Events) {
        // Whatever is printed now takes the progress line away.
        FState.clear();
        switch (e.Kind) {
        case TKind::Take:
            Configure(e.Port, e.Record);
            break;
        case TKind::AlreadyConfigured:
            Console::Data(QStringLiteral("%1 already configured in this batch: not written again\n")
                              .arg(Serial(e.SerialNumber))
                              .toStdString());
            break;
        case TKind::Gone:
            break;
        case TKind::Denied:
            Console::Message(DeniedPortsAdvice({e.Port}));
            break;
        }
        if (FStop)
            return;
    }
    ShowState();
}

void TBatch::Configure(const QString &Port, const TFrameBuffer &Record)
{
    QElapsedTimer clock;
    clock.start();
    FBusy = true;
    const TFoundLogger logger{Port, Record};
    const std::string serialNumber = SerialNumberText(Record);
    const QString serial = Serial(serialNumber);
    FContext.Progress->SetPrefix(QStringLiteral("%1 on %2: ").arg(serial, Port));
    const TAuditedWrite done = WriteAndRecord(logger, FSetup.Write, FSetup.Audit, *FContext.Progress);
    const TWriteOutcome &outcome = done.Outcome;
    for (const QString &warning : done.Warnings)
        Console::Warning(warning);
    for (const QString &note : outcome.Notes)
        Console::Message(QStringLiteral("note: ") + note);
    if (done.CreatedPlainLog)
        Console::Message(PlainLogNotice(FSetup.Audit.Log));
    FContext.Progress->SetPrefix({});
    if (!outcome.Differences.empty())
        PrintDifferences(outcome.Differences);

    // Another logger took the cable's place between the probe and the write:
    // nothing was sent to either, and nothing is recorded of it. The newcomer
    // is a logger of its own, which the watch takes next once it sees the
    // first one gone.
    if (outcome.Newcomer) {
        Console::Data(QStringLiteral("%1 was replaced on %2 by %3 before it was written: not written\n")
                          .arg(serial, Port, LoggerName(*outcome.Newcomer))
                          .toStdString());
        FWatch.Handled(Port, serialNumber, false, TClock::now());
        FBusy = false;
        return;
    }

    // Refused before its intent (a check, the backup): recorded all the
    // same, as a failure that sent nothing.
    std::optional<TAuditRecord> record = done.Result;
    QString error = done.AuditError;
    if (!done.Intent && error.isEmpty()) {
        TAuditRecord refused;
        if (RecordRefused(logger, outcome, &refused, &error))
            record = refused;
    }
    if (!record) {
        // Going on would configure loggers that nothing records.
        const QString what = !done.Intent ? QStringLiteral("not written")
                             : outcome.Verified() ? QStringLiteral("configured and verified")
                                                  : QStringLiteral("failed: ") + outcome.Failure;
        Console::Data(QStringLiteral("%1 %2, but not recorded\n").arg(serial, what).toStdString());
        Console::Message(AuditLostText(FSetup.Audit.Log, error)
                         + (done.Intent ? QStringLiteral("; its intent, record %1, stays without a result")
                                              .arg(done.Intent->Sequence)
                                        : QStringLiteral("; nothing was written to it"))
                         + QStringLiteral("; the batch stops"));
        (outcome.Verified() ? FConfigured : FFailed) += 1;
        FAuditLost = true;
        FStop = true;
        FBusy = false;
        return;
    }
    FLastRecord = record;

    QString unprinted;
    if (!FSetup.ReportDir.isEmpty() && outcome.ReadBack && !Print(done, logger, &unprinted))
        ++FUnprinted;
    const QString took = Seconds(clock.elapsed());
    if (outcome.Verified()) {
        ++FConfigured;
        Console::Data((unprinted.isEmpty()
                           ? QStringLiteral("%1 configured and verified (clock sent), %2\n").arg(serial, took)
                           : QStringLiteral("%1 configured and verified (clock sent), %2; no configuration record: %3\n")
                                 .arg(serial, took, unprinted))
                          .toStdString());
    } else {
        ++FFailed;
        Console::Data(QStringLiteral("%1 FAILED: %2, %3\n").arg(serial, outcome.Failure, took).toStdString());
    }
    // A backup that cannot be kept fails every logger after this one alike.
    if (outcome.Reached == TWriteStep::Backup) {
        Console::Message(QStringLiteral("the batch stops: no backup can be kept"));
        FStop = true;
    }
    if (FSetup.Count > 0 && FConfigured >= FSetup.Count)
        FStop = true;
    FWatch.Handled(Port, serialNumber, outcome.Verified(), TClock::now());
    FBusy = false;
}

bool TBatch::RecordRefused(const TFoundLogger &Logger, const TWriteOutcome &Outcome, TAuditRecord *Record,
                           QString *Error)
{
    *Record = AuditRecordOf(Logger, Outcome, FSetup.Audit);
    TAuditAppend how;
    if (!AppendAuditRecord(FSetup.Audit.Log, Record, Error, &how))
        return false;
    if (how.Created)
        Console::Message(PlainLogNotice(FSetup.Audit.Log));
    if (!how.Warning.isEmpty())
        Console::Warning(how.Warning);
    return true;
}

bool TBatch::Print(const TAuditedWrite &Write, const TFoundLogger &Logger, QString *Problem)
{
    FContext.Progress->Phase(QStringLiteral("printing the configuration record..."));
    const std::optional<TConfigurationRecordData> data = ConfigurationRecordOf(Logger, Write, FSetup.Audit, FSetup.Paper);
    if (!data)
        return true;
    const QString path =
        QDir(FSetup.ReportDir).filePath(ConfigurationRecordFileName(data->Write->SerialNumber, data->Write->Time));
    return WriteConfigurationRecord(*data, path, Problem);
}

void TBatch::Interrupted()
{
    FStop = true;
    if (FBusy)
        Console::Message(QStringLiteral("stopping once this logger is done (Ctrl+C again stops at once)"));
    FWait.Wake();
}

void TBatch::ShowState()
{
    const QString counts = QStringLiteral("%1 configured, %2 failed").arg(FConfigured).arg(FFailed);
    const QString state = FWatch.Waiting() ? QStringLiteral("unplug the logger (%1)").arg(counts)
                                           : QStringLiteral("waiting for a logger (%1)").arg(counts);
    if (state != FState)
        FContext.Progress->Phase(state);
    FState = state;
}

void TBatch::Summary() const
{
    QString summary = QStringLiteral("batch ended: %1 configured, %2 failed").arg(FConfigured).arg(FFailed);
    if (FUnprinted > 0)
        summary += QStringLiteral(", %1 configuration record(s) not printed").arg(FUnprinted);
    summary += QStringLiteral("; audit log %1").arg(QDir::toNativeSeparators(FSetup.Audit.Log));
    if (FLastRecord)
        summary += QStringLiteral(", last record %1, SHA-256 %2")
                       .arg(FLastRecord->Sequence)
                       .arg(QString::fromLatin1(FLastRecord->Sha256));
    Console::Data((summary + QLatin1Char('\n')).toStdString());
}
