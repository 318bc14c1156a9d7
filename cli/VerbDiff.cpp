#include "Verbs.h"

#include "Console.h"
#include "SettingsIo.h"
#include "WritePlan.h"

TExitStatus RunDiff(const TCommand &Command, TContext &Context)
{
    const TSettingsFile file = LoadSettingsFile(Command.File);
    const TFoundLogger logger = FindLogger(Command.Port, Context.Candidates, *Context.Progress);
    const TDiffResult diff = DiffWithLogger(logger.Record, file.Values, {Command.WithIdentity, Command.WithCalibration},
                                            std::chrono::system_clock::now());
    for (const TSettingDifference &d : diff.Differences)
        Console::Data(d.Name + ": logger " + d.Old + ", file " + d.New + "\n");
    if (diff.WriteRefusal)
        Console::Message(QStringLiteral("note: a write of %1 would stop here: %2")
                             .arg(Command.File, QString::fromStdString(*diff.WriteRefusal)));
    return diff.Differences.empty() ? TExitStatus::Success : TExitStatus::LoggerFault;
}
