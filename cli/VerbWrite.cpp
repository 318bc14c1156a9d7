#include "Verbs.h"

#include "SettingsIo.h"
#include "WriteAndVerify.h"

TExitStatus RunWrite(const TCommand &Command, TContext &Context)
{
    const TSettingsFile file = LoadSettingsFile(Command.File);
    const TFoundLogger logger = FindLogger(Command.Port, Context.Candidates, *Context.Progress);
    return WriteAndVerify(logger, {Command.File, file.Values, {Command.WithIdentity, Command.WithCalibration}, Command.BackupDir},
                          Context);
}
