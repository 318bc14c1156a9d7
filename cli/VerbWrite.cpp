#include "Verbs.h"

#include "WriteAuditing.h"
#include "SettingsIo.h"
#include "WriteAndVerify.h"

TExitStatus RunWrite(const TCommand &Command, TContext &Context)
{
    TAuditRequest audit{Command.AuditLog, Command.Operator, TAuditAction::Write, Context.Program, Command.File, {}};
    const TSettingsFile file = LoadSettingsFile(Command.File, &audit.TemplateSha256);
    if (!audit.Log.isEmpty())
        CheckAuditLog(audit.Log);
    const TFoundLogger logger = FindLogger(Command.Port, Context.Candidates, *Context.Progress);
    return WriteAndVerify(logger,
                          {Command.File, file.Values, {Command.WithIdentity, Command.WithCalibration}, Command.BackupDir},
                          audit, Context);
}
