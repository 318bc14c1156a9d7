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
    const TWriteOutcome outcome = WriteLogger(Logger, request, *Context.Progress);
    for (const QString &warning : outcome.Warnings)
        Console::Warning(warning);
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

    if (!Audit.Log.isEmpty()) {
        TAuditRecord record = AuditRecordOf(Logger, outcome, Audit);
        QString error;
        if (!AppendAuditRecord(Audit.Log, &record, &error)) {
            Console::Message(AuditLostText(Audit.Log, error));
            return TExitStatus::LoggerFault;
        }
        Console::Message(QStringLiteral("audit record %1 appended to %2").arg(record.Sequence).arg(Audit.Log));
    }
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
                          {Command.File, file.Values, {Command.WithIdentity, Command.WithCalibration}, Command.BackupDir, {}},
                          audit, Context);
}
