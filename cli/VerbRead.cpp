#include "Verbs.h"

#include "Console.h"
#include "PrintableText.h"
#include "RecordDecoder.h"
#include "SettingsIo.h"
#include "Verify.h"

TExitStatus RunRead(const TCommand &Command, TContext &Context)
{
    const TFoundLogger logger = FindLogger(Command.Port, Context.Candidates, *Context.Progress);
    TSettingsFile file;
    file.Port = logger.Port.toStdString();
    file.ReadAt = SettingsTime(QDateTime::currentDateTimeUtc());
    file.Program = Context.Program.toStdString();
    file.Values = RecordSettings(logger.Record);
    const std::string text = WriteSettingsFile(file);
    if (Command.Output.isEmpty()) {
        Console::Data(text);
        return TExitStatus::Success;
    }
    SaveTextFile(Command.Output, text);
    Console::Message(QStringLiteral("read the logger %1 on %2 into %3")
                         .arg(PrintableText(QString::fromStdString(SerialNumberText(logger.Record))), logger.Port,
                              Command.Output));
    return TExitStatus::Success;
}
