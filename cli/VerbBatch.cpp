#include "Verbs.h"

#include "AuditLog.h"
#include "AuditVerify.h"
#include "Batch.h"
#include "Console.h"
#include "SettingsIo.h"

#include <QDir>
#include <QFileInfo>

namespace {

[[noreturn]] void Refuse(const QString &Message)
{
    throw EStationError(TExitStatus::BadInput, (Message + QStringLiteral("; nothing was written")).toStdString());
}

QString LogState(const QString &Log)
{
    if (!QFileInfo::exists(Log))
        return QStringLiteral("a new log");
    const TAuditCheck check = VerifyAuditLog(Log);
    if (!check.Readable)
        Refuse(check.Error);
    if (check.Lines == 0)
        return QStringLiteral("an empty log");
    if (!check.Intact())
        Console::Warning(QStringLiteral("the audit log %1 is not intact: %2; new records are appended after the last "
                                        "complete one, and audit verify goes on naming the fault")
                             .arg(Log, check.Summary()));
    return check.Summary();
}

} // namespace

TExitStatus RunBatch(const TCommand &Command, TContext &Context)
{
    TBatchSetup setup;
    const QString log = OrFromStation(Command.AuditLog, Context.Station.AuditLog);
    // A batch without its record would leave nothing to show what it did.
    if (log.isEmpty())
        throw EStationError(TExitStatus::BadInput,
                            "loggerctl batch needs an audit log: --audit LOG, or audit_log in "
                                + QDir::toNativeSeparators(Context.Station.Path).toStdString()
                                + " (loggerctl batch --help)");
    setup.Audit = {log, OrFromStation(Command.Operator, Context.Station.Operator), TAuditAction::Batch, Context.Program,
                   Command.File, {}};
    const TSettingsFile file = LoadSettingsFile(Command.File, &setup.Audit.TemplateSha256);
    // A template that fails a check would fail on every logger: it is refused
    // before the first. Each logger keeps its own identity.
    const TScopes scopes{false, Command.WithCalibration};
    CheckFileBeforeWrite(Command.File, file, scopes, Command.Yes);
    setup.Write = {Command.File, file.Values, scopes, OrFromStation(Command.BackupDir, Context.Station.BackupDir),
                   Context.Program, {}, {}};
    CheckAuditLog(log);
    const QString state = LogState(log);
    setup.ReportDir = Command.ReportDir;
    setup.Paper = Command.Paper.isEmpty() ? LocalePaper() : *PaperNamed(Command.Paper);
    if (!setup.ReportDir.isEmpty() && !QDir().mkpath(setup.ReportDir))
        Refuse(QStringLiteral("cannot make the folder %1 for the configuration records")
                   .arg(QDir::toNativeSeparators(setup.ReportDir)));
    setup.Count = Command.Count;
    if (!Command.Port.isEmpty()) {
        // Only the station's cable: a logger left on another port (one being
        // read in the window, say) would otherwise be taken first and, never
        // going away, hold the batch for good. The port still comes and goes
        // with the list, as an adapter plugged in and out does.
        // Named as the list names it, or by its device's path.
        Context.Candidates = [all = Context.Candidates, port = Command.Port] {
            QStringList kept = all();
            kept.removeIf([&](const QString &name) { return name != port && name != QFileInfo(port).fileName(); });
            return kept;
        };
    }

    Console::Message(QStringLiteral("batch: writing %1 to every logger plugged in; audit log %2 (%3). Ctrl+C ends the "
                                    "batch.")
                         .arg(Command.File, QDir::toNativeSeparators(log), state));
    TBatch batch(setup, Context);
    return batch.Run();
}
