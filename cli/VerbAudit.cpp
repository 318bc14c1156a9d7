#include "Verbs.h"

#include "AuditLog.h"
#include "AuditTable.h"
#include "Console.h"
#include "PrintableText.h"

TExitStatus RunAuditVerify(const TCommand &Command, TContext &)
{
    const TAuditCheck check = VerifyAuditLog(Command.File);
    if (!check.Readable)
        throw EStationError(TExitStatus::BadInput, check.Error.toStdString());
    Console::Data((Command.File + QStringLiteral(": ") + check.Summary() + QLatin1Char('\n')).toStdString());
    // The hash to keep elsewhere: records cut from the end leave a chain that
    // holds, and only this shows them missing.
    if (check.Intact() && check.LastSequence > 0)
        Console::Data(QStringLiteral("last record %1, SHA-256 %2\n")
                          .arg(check.LastSequence)
                          .arg(QString::fromLatin1(check.LastSha256))
                          .toStdString());
    return check.Intact() && check.Torn.empty() ? TExitStatus::Success : TExitStatus::LoggerFault;
}

TExitStatus RunAuditShow(const TCommand &Command, TContext &)
{
    TAuditContents contents;
    QString error;
    if (!ReadAuditLog(Command.File, &contents, &error))
        throw EStationError(TExitStatus::BadInput, error.toStdString());
    const QString table = FormatAuditTable(contents.Records, Command.Serial);
    if (table.isEmpty())
        Console::Message(Command.Serial.isEmpty()
                             ? QStringLiteral("%1 holds no records").arg(Command.File)
                             : QStringLiteral("%1 holds no records of %2").arg(Command.File, PrintableText(Command.Serial)));
    Console::Data(table.toStdString());
    for (const TAuditLine &line : contents.NotRecords)
        Console::Warning(QStringLiteral("%1:%2: not a record: %3").arg(Command.File).arg(line.Line).arg(line.Problem));
    return TExitStatus::Success;
}
