#pragma once

#include "Settings.h"
#include "Verbs.h"
#include "WritePlan.h"

#include <QDateTime>

#include <optional>

struct TWriteRequest {
    QString FileName;  // names the file in messages
    TSettingValues Values;
    TScopes Scopes;
    QString BackupDir;  // empty: the per-user data folder
};

// How far a write came; a failure names the step that failed.
enum class TWriteStep { Checks, Backup, Frame, ReadBack, Verify, Done };

struct TWriteOutcome {
    QDateTime Time;  // when it was planned: the clock it set, the time it is recorded under
    std::optional<TWritePlan> Plan;  // none when a check failed
    QString Backup;                  // where what the logger held was kept
    TWriteStep Reached = TWriteStep::Checks;
    std::optional<TFrameBuffer> ReadBack;
    std::vector<TSettingDifference> Differences;  // verify's: expected as Old, read back as New
    TExitStatus Status = TExitStatus::Success;
    QString Failure;  // why, in a few words; empty when verified

    bool Verified() const { return Reached == TWriteStep::Done; }
    // Whether the frame went out, so that the logger may hold it.
    bool Sent() const { return Reached >= TWriteStep::Frame; }
};

// The part write, restore and batch share once the logger has been read: the
// checks, a backup of what it held, the frame, its acknowledgement, and a
// read-back compared with what the frame carries. Failures are in the
// outcome; nothing is printed.
TWriteOutcome WriteLogger(const TFoundLogger &Logger, const TWriteRequest &Request, TContext &Context);

// What write and restore do with it: the messages, a record appended to the
// audit log when one is named (which CheckAuditLog has let through), and the
// exit status. Throws ECtlError when nothing was sent.
struct TAuditRequest;
TExitStatus WriteAndVerify(const TFoundLogger &Logger, const TWriteRequest &Request, const TAuditRequest &Audit,
                           TContext &Context);

// The per-setting lines of a failed verify, on stderr.
void PrintDifferences(const std::vector<TSettingDifference> &Differences);
