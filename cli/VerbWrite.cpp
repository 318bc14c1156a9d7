#include "Verbs.h"

#include "AuditLog.h"
#include "Console.h"
#include "Progress.h"
#include "RecordDecoder.h"
#include "SettingsIo.h"
#include "WriteAuditing.h"

void PrintDifferences(const std::vector<TSettingDifference> &Differences)
{
    for (const TSettingDifference &d : Differences)
        Console::Message(QStringLiteral("%1: expected %2, read back %3")
                             .arg(QString::fromStdString(d.Name), QString::fromStdString(d.Old),
                                  QString::fromStdString(d.New)));
}

TExitStatus WriteAndVerify(const TFoundLogger &Logger, const TWriteRequest &Request, const TAuditRequest &Audit,
                           TContext &Context)
{
    TWriteRequest request = Request;
    request.Program = Context.Program;
    const TAuditedWrite done = WriteAndRecord(Logger, request, Audit, *Context.Progress);
    const TWriteOutcome &outcome = done.Outcome;
    for (const QString &warning : outcome.Warnings + done.Warnings)
        Console::Warning(warning);
    if (done.CreatedPlainLog)
        Console::Message(PlainLogNotice(Audit.Log));
    if (!outcome.Sent())
        throw EStationError(outcome.Status, outcome.Failure.toStdString());

    const QString serial = QString::fromStdString(SerialNumberText(Logger.Record));
    if (outcome.Reached == TWriteStep::Frame)
        Console::Message(outcome.Failure + QStringLiteral("; what it held before is in %1").arg(outcome.Backup));
    else if (outcome.Reached == TWriteStep::ReadBack)
        Console::Message(outcome.Failure);
    else if (outcome.Reached == TWriteStep::Verify) {
        PrintDifferences(outcome.Differences);
        Console::Message(QStringLiteral("verify failed: the logger %1 on %2 holds %3 setting(s) other than written; "
                                        "what it held before is in %4")
                             .arg(serial, Logger.Port)
                             .arg(outcome.Differences.size())
                             .arg(outcome.Backup));
    } else {
        Console::Message(QStringLiteral("wrote %1 to the logger %2 on %3 and verified every setting; backup %4")
                             .arg(Request.FileName, serial, Logger.Port, outcome.Backup));
    }

    if (done.ResultLost()) {
        Console::Message(AuditLostText(Audit.Log, done.AuditError)
                         + QStringLiteral("; its intent, record %1, stays without a result").arg(done.Intent->Sequence));
        return TExitStatus::LoggerFault;
    }
    if (done.Result)
        Console::Message(QStringLiteral("audit record %1 appended to %2 after its intent, record %3%4")
                             .arg(done.Result->Sequence)
                             .arg(Audit.Log)
                             .arg(done.Intent->Sequence)
                             .arg(done.Result->Seal.isEmpty() ? QString() : QStringLiteral("; both sealed")));
    return outcome.Status;
}

TExitStatus RunWrite(const TCommand &Command, TContext &Context)
{
    TAuditRequest audit{Command.AuditLog, Command.Operator, TAuditAction::Write, Context.Program, Command.File, {}};
    const TSettingsFile file = LoadSettingsFile(Command.File, &audit.TemplateSha256);
    if (!audit.Log.isEmpty())
        CheckAuditLog(audit.Log);
    const TFoundLogger logger = FindLogger(Command.Port, Context.Candidates, *Context.Progress);
    return WriteAndVerify(logger,
                          {Command.File, file.Values, {Command.WithIdentity, Command.WithCalibration}, Command.BackupDir, {}, {}},
                          audit, Context);
}
