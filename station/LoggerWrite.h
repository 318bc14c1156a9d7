#pragma once

#include "LoggerSearch.h"
#include "Settings.h"
#include "StationError.h"
#include "WritePlan.h"

#include <QDateTime>
#include <QStringList>

#include <functional>
#include <optional>

class TProgressSink;
struct TWriteOutcome;

struct TWriteRequest {
    QString FileName;  // names the file in messages
    TSettingValues Values;
    TScopes Scopes;
    QString BackupDir;  // empty: the per-user data folder
    QString Program;    // "loggerctl 1.0.0", as the backup names its writer
    // A restore of a backup that holds the logger's record: these bytes are
    // written back, and Values and Scopes are not looked at.
    std::optional<TFrameBuffer> RestoreRecord;
    // Called after the backup, right before the frame is sent: the audit
    // log's intent. When it throws EStationError nothing is sent.
    std::function<void(const TWriteOutcome &)> BeforeFrame;
};

// How far a write came; a failure names the step that failed.
enum class TWriteStep { Checks, Backup, Confirm, Frame, ReadBack, Verify, Done };

struct TWriteOutcome {
    QDateTime Time;  // when it was planned: the clock it set, the time it is recorded under
    std::optional<TWritePlan> Plan;  // none when a check failed
    std::optional<std::size_t> RefusedSetting;  // the setting a failed check names, if any
    QStringList Notes;               // what the user should know although the write went on
    QString Backup;                  // where what the logger held was kept
    TWriteStep Reached = TWriteStep::Checks;
    // Another logger answered on the port before the frame went out: its record.
    std::optional<TFrameBuffer> Newcomer;
    std::optional<TFrameBuffer> ReadBack;
    std::vector<TSettingDifference> Differences;  // verify's: asked as Old, held as New
    TExitStatus Status = TExitStatus::Success;
    QString Failure;  // why, in a few words; empty when verified

    bool Verified() const { return Reached == TWriteStep::Done; }
    // Whether the frame went out, so that the logger may hold it.
    bool Sent() const { return Reached >= TWriteStep::Frame; }
};

// What every write of the station does once the logger has been read: the
// checks, a backup of what it held, a read again to be sure that the same
// logger is still on the line and holds what was read, the frame, its
// acknowledgement, and a read-back compared with what was asked. Failures are
// in the outcome; nothing is printed.
TWriteOutcome WriteLogger(const TFoundLogger &Logger, const TWriteRequest &Request, TProgressSink &Progress);

// "A05123456 (device ID 1A2B3C4D)", from a record.
QString LoggerName(const TFrameBuffer &Record);
