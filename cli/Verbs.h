#pragma once

#include "CommandLine.h"
#include "LoggerSearch.h"
#include "PortListStamp.h"

#include <QString>

#include <functional>

class TProgress;

// What every command needs beside its own options.
struct TContext {
    QString Program;  // "loggerctl 1.0.0", as files name their writer
    TPortLister Candidates = CandidatePorts;
    // Changes when the candidates may have; replaced with Candidates.
    std::function<QByteArray()> CandidatesStamp = PortListStamp;
    TProgress *Progress = nullptr;
};

// Each returns the exit status, or throws ECtlError.
TExitStatus RunPorts(const TCommand &Command, TContext &Context);
TExitStatus RunRead(const TCommand &Command, TContext &Context);
TExitStatus RunWrite(const TCommand &Command, TContext &Context);
TExitStatus RunDiff(const TCommand &Command, TContext &Context);
TExitStatus RunRestore(const TCommand &Command, TContext &Context);
TExitStatus RunReport(const TCommand &Command, TContext &Context);
TExitStatus RunBatch(const TCommand &Command, TContext &Context);
TExitStatus RunAuditVerify(const TCommand &Command, TContext &Context);
TExitStatus RunAuditShow(const TCommand &Command, TContext &Context);

// Parses, runs and reports; what main() does.
int RunLoggerctl(const QStringList &Arguments, TContext &Context);
