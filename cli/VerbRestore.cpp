#include "Verbs.h"

#include "WriteAuditing.h"
#include "RecordDecoder.h"
#include "SettingsIo.h"

TExitStatus RunRestore(const TCommand &Command, TContext &Context)
{
    TAuditRequest audit{Command.AuditLog, Command.Operator, TAuditAction::Restore, Context.Program, Command.File, {}};
    const TSettingsFile backup = LoadSettingsFile(Command.File, &audit.TemplateSha256);
    if (!audit.Log.isEmpty())
        CheckAuditLog(audit.Log);
    const TFoundLogger logger = FindLogger(Command.Port, Context.Candidates, *Context.Progress);
    const std::string &backupSerial = backup.Values.at(SettingIndex("Serial Number")).front();
    const std::string loggerSerial = SerialNumberText(logger.Record);
    if (backupSerial != loggerSerial && !Command.Force)
        throw EStationError(TExitStatus::BadInput,
                        Command.File.toStdString() + " holds the settings of the logger " + backupSerial
                            + ", but the logger on " + logger.Port.toStdString() + " is " + loggerSerial
                            + "; nothing was written (--force restores it anyway)");
    return WriteAndVerify(logger, {Command.File, backup.Values, TScopes::All(), Command.BackupDir, {}, {}}, audit,
                          Context);
}
