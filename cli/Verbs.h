#pragma once

#include "CommandLine.h"
#include "LoggerSearch.h"
#include "LoggerWrite.h"
#include "PortListStamp.h"
#include "Progress.h"
#include "SettingsFile.h"
#include "StationConfig.h"

#include <QString>

#include <functional>

// What every command needs beside its own options.
struct TContext {
    QString Program;  // "loggerctl 1.0.0", as files name their writer
    TPortLister Candidates = CandidatePorts;
    // Changes when the candidates may have; replaced with Candidates.
    std::function<QByteArray()> CandidatesStamp = PortListStamp;
    TProgress *Progress = nullptr;
    // The station's audit log, operator and backup folder, which options override.
    TStationConfig Station;
    // Where the port map lies, when the user should be told (SettleRuntimeDirectory).
    QString PortMapProblem;
};

// Each returns the exit status, or throws EStationError.
TExitStatus RunPorts(const TCommand &Command, TContext &Context);
TExitStatus RunRead(const TCommand &Command, TContext &Context);
TExitStatus RunWrite(const TCommand &Command, TContext &Context);
TExitStatus RunDiff(const TCommand &Command, TContext &Context);
TExitStatus RunRestore(const TCommand &Command, TContext &Context);
TExitStatus RunReport(const TCommand &Command, TContext &Context);
TExitStatus RunBatch(const TCommand &Command, TContext &Context);
TExitStatus RunAuditVerify(const TCommand &Command, TContext &Context);
TExitStatus RunAuditShow(const TCommand &Command, TContext &Context);
TExitStatus RunAuditInit(const TCommand &Command, TContext &Context);

struct TAuditRequest;

// What write and restore do once the logger is found: the station's write
// with its audit records when a log is named (which CheckAuditLog has let
// through), its messages, and the exit status. Throws EStationError when
// nothing was sent. File is what Request came from, for messages that name
// the line of a setting.
TExitStatus WriteAndVerify(const TFoundLogger &Logger, const TWriteRequest &Request, const TAuditRequest &Audit,
                           TContext &Context, const TSettingsFile &File);

// The per-setting lines of a failed verify, on stderr.
void PrintDifferences(const std::vector<TSettingDifference> &Differences);

// What stops File from being written in Scopes whatever logger it meets,
// before any port is opened: an EStationError (bad input) naming the file,
// the line and the key. A file that looks mistaken is said as warnings and
// refused too, unless Yes.
void CheckFileBeforeWrite(const QString &Path, const TSettingsFile &File, TScopes Scopes, bool Yes);

// Said once, when a write makes its audit log: a plain chain, and how to
// make a sealed one instead.
QString PlainLogNotice(const QString &Log);

// Parses, runs and reports; what main() does.
int RunLoggerctl(const QStringList &Arguments, TContext &Context);
