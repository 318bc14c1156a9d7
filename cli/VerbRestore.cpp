#include "Verbs.h"

#include "PrintableText.h"
#include "RecordDecoder.h"
#include "SettingsIo.h"
#include "WriteAuditing.h"

TExitStatus RunRestore(const TCommand &Command, TContext &Context)
{
    TAuditRequest audit{OrFromStation(Command.AuditLog, Context.Station.AuditLog),
                        OrFromStation(Command.Operator, Context.Station.Operator), TAuditAction::Restore,
                        Context.Program, Command.File, {}};
    const TSettingsFile backup = LoadSettingsFile(Command.File, &audit.TemplateSha256);
    // A settings file is a template for any logger; writing it whole, identity
    // and all, would make this logger another one.
    if (backup.Kind != TSettingsFileKind::Backup)
        throw EStationError(TExitStatus::BadInput,
                            QStringLiteral("%1 is a settings file, not a backup: restore takes only backups; write it "
                                           "with loggerctl write %1")
                                .arg(Command.File)
                                .toStdString());
    if (!audit.Log.isEmpty())
        CheckAuditLog(audit.Log);
    const TFoundLogger logger = FindLogger(Command.Port, Context.Candidates, *Context.Progress);
    const std::string backupSerial =
        backup.Record ? SerialNumberText(*backup.Record) : backup.Values.at(SettingIndex("Serial Number")).front();
    const std::string loggerSerial = SerialNumberText(logger.Record);
    if (backupSerial != loggerSerial && !Command.Force)
        throw EStationError(TExitStatus::BadInput,
                            PrintableText(QStringLiteral("%1 holds the settings of the logger %2, but the logger on %3 "
                                                         "is %4; nothing was written (--force restores it anyway)")
                                              .arg(Command.File, QString::fromStdString(backupSerial), logger.Port,
                                                   QString::fromStdString(loggerSerial)))
                                .toStdString());
    return WriteAndVerify(logger,
                          {Command.File, backup.Values, TScopes::All(),
                           OrFromStation(Command.BackupDir, Context.Station.BackupDir), {}, backup.Record, {}},
                          audit,
                          Context, backup);
}
