#include "Verbs.h"

#include "Console.h"
#include "PrintableText.h"
#include "SettingsIo.h"
#include "WritePlan.h"

TExitStatus RunDiff(const TCommand &Command, TContext &Context)
{
    const TSettingsFile file = LoadSettingsFile(Command.File);
    const TFoundLogger logger = FindLogger(Command.Port, Context.Candidates, *Context.Progress);
    const TDiffResult diff = DiffWithLogger(logger.Record, file.Values, {Command.WithIdentity, Command.WithCalibration},
                                            std::chrono::system_clock::now());
    // Values come from the logger and from a file anybody may have edited: a
    // line break or a terminal's control character in one stays on its line.
    const auto printable = [](const std::string &text) { return PrintableText(QString::fromStdString(text)); };
    for (const TSettingDifference &d : diff.Differences)
        Console::Data(QStringLiteral("%1: logger %2, file %3\n")
                          .arg(QString::fromStdString(d.Name), printable(d.Old), printable(d.New))
                          .toStdString());
    if (diff.WriteRefusal)
        Console::Message(QStringLiteral("note: a write of %1 would stop here: %2")
                             .arg(Command.File, printable(*diff.WriteRefusal)));
    return diff.Differences.empty() ? TExitStatus::Success : TExitStatus::LoggerFault;
}
