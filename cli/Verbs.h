#pragma once

#include "CommandLine.h"
#include "LoggerSearch.h"

#include <QString>

class TProgress;

// What every command needs beside its own options.
struct TContext {
    QString Program;  // "loggerctl 1.0.0", as files name their writer
    TPortLister Candidates = CandidatePorts;
    TProgress *Progress = nullptr;
};

// Each returns the exit status, or throws ECtlError.
TExitStatus RunPorts(const TCommand &Command, TContext &Context);
TExitStatus RunRead(const TCommand &Command, TContext &Context);
TExitStatus RunWrite(const TCommand &Command, TContext &Context);
TExitStatus RunDiff(const TCommand &Command, TContext &Context);
TExitStatus RunRestore(const TCommand &Command, TContext &Context);

// Parses, runs and reports; what main() does.
int RunLoggerctl(const QStringList &Arguments, TContext &Context);
