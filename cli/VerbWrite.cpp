#include "Verbs.h"

#include "AuditLog.h"
#include "Console.h"
#include "PrintableText.h"
#include "Progress.h"
#include "RecordDecoder.h"
#include "SettingsIo.h"
#include "WriteAuditing.h"

namespace {

QString Named(const QString &Path, const TSettingsFile &File, const std::optional<std::size_t> &Setting,
              const QString &Problem)
{
    if (!Setting)
        return Path + QStringLiteral(": ") + Problem;
    return QString::fromStdString(SettingMessage(Path.toStdString(), File, *Setting, Problem.toStdString()));
}

} // namespace

void PrintDifferences(const std::vector<TSettingDifference> &Differences)
{
    for (const TSettingDifference &d : Differences)
        Console::Message(PrintableText(QStringLiteral("%1: asked %2, the logger holds %3")
                                           .arg(QString::fromStdString(d.Name), QString::fromStdString(d.Old),
                                                QString::fromStdString(d.New))));
}

void CheckFileBeforeWrite(const QString &Path, const TSettingsFile &File, TScopes Scopes, bool Yes)
{
    if (const auto refusal = FileWriteRefusal(File.Values, Scopes))
        throw EStationError(TExitStatus::BadInput,
                            Named(Path, File, refusal->Setting(), QString::fromUtf8(refusal->what())).toStdString());
    const std::vector<TWriteWarning> warnings = FileWriteWarnings(File.Values);
    for (const TWriteWarning &w : warnings)
        Console::Warning(Named(Path, File, w.Setting, QString::fromStdString(w.Message)));
    if (!warnings.empty() && !Yes)
        throw EStationError(TExitStatus::BadInput,
                            QStringLiteral("%1 looks mistaken (see above); nothing was written: check it, or write it "
                                           "as it stands with --yes")
                                .arg(Path)
                                .toStdString());
}

TExitStatus WriteAndVerify(const TFoundLogger &Logger, const TWriteRequest &Request, const TAuditRequest &Audit,
                           TContext &Context, const TSettingsFile &File)
{
    TWriteRequest request = Request;
    request.Program = Context.Program;
    const TAuditedWrite done = WriteAndRecord(Logger, request, Audit, *Context.Progress);
    const TWriteOutcome &outcome = done.Outcome;
    for (const QString &warning : done.Warnings)
        Console::Warning(warning);
    if (done.CreatedPlainLog)
        Console::Message(PlainLogNotice(Audit.Log));
    if (!outcome.Sent()) {
        const QString failure = outcome.RefusedSetting
                                    ? Named(Request.FileName, File, outcome.RefusedSetting, outcome.Failure)
                                    : outcome.Failure;
        throw EStationError(outcome.Status, failure.toStdString());
    }
    for (const QString &note : outcome.Notes)
        Console::Message(QStringLiteral("note: ") + note);

    const QString logger = LoggerName(Logger.Record);
    if (outcome.Reached == TWriteStep::Frame)
        Console::Message(outcome.Failure + QStringLiteral("; what it held before is in %1").arg(outcome.Backup));
    else if (outcome.Reached == TWriteStep::ReadBack)
        Console::Message(outcome.Failure);
    else if (outcome.Reached == TWriteStep::Verify) {
        PrintDifferences(outcome.Differences);
        Console::Message(QStringLiteral("verify failed: the logger %1 on %2 holds %3 setting(s) other than asked; "
                                        "what it held before is in %4")
                             .arg(logger, Logger.Port)
                             .arg(outcome.Differences.size())
                             .arg(outcome.Backup));
    } else {
        Console::Message(QStringLiteral("wrote %1 to the logger %2 on %3 and verified every setting; the clock was "
                                        "sent, but a logger cannot report its clock, so that is not verified; backup %4")
                             .arg(Request.FileName, logger, Logger.Port, outcome.Backup));
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
    TAuditRequest audit{OrFromStation(Command.AuditLog, Context.Station.AuditLog),
                        OrFromStation(Command.Operator, Context.Station.Operator), TAuditAction::Write,
                        Context.Program, Command.File, {}};
    const TSettingsFile file = LoadSettingsFile(Command.File, &audit.TemplateSha256);
    const TScopes scopes{Command.WithIdentity, Command.WithCalibration};
    CheckFileBeforeWrite(Command.File, file, scopes, Command.Yes);
    if (!audit.Log.isEmpty())
        CheckAuditLog(audit.Log);
    const TFoundLogger logger = FindLogger(Command.Port, Context.Candidates, *Context.Progress);
    return WriteAndVerify(logger,
                          {Command.File, file.Values, scopes, OrFromStation(Command.BackupDir, Context.Station.BackupDir),
                           {}, {}, {}},
                          audit, Context, file);
}
