#pragma once

#include "Frame.h"
#include "ParameterSet.h"
#include "Settings.h"
#include "ZoneClock.h"

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// What a write sends and what a read must show afterwards, worked out from
// the record read before it and the settings asked for, without any port.
// Verify compares what the logger holds with what was asked, never with a
// decoding of the frame: whatever is lost between the two would otherwise
// agree with itself.

// A write that must not go out: the message says why, in the words the
// window uses for the same failure, and names the setting where one is to blame.
class EWriteRefused : public std::runtime_error
{
public:
    explicit EWriteRefused(const std::string &Message, std::optional<std::size_t> Setting = std::nullopt)
        : std::runtime_error(Message), FSetting(Setting)
    {
    }
    // Its index in Settings(), or none.
    const std::optional<std::size_t> &Setting() const { return FSetting; }

private:
    std::optional<std::size_t> FSetting;
};

// The controls as the window shows them after reading Record.
TParameterSet LoggerSettings(const TFrameBuffer &Record);

struct TWritePlan {
    // Starts as Record, so that bytes the settings do not select keep what
    // the logger holds; identity and calibration outside the scopes written
    // are the logger's own bytes, never decoded and encoded again.
    TFrameBuffer Frame {};
    // What a read must show once the logger holds what was asked: the
    // settings asked for in the scopes written, the logger's own elsewhere,
    // each as a read writes it.
    TSettingValues Intent;
    // A restore: the record whose bytes the logger must hold afterwards, as
    // far as a write carries them.
    std::optional<TFrameBuffer> RecordBytes;
    // Identity and calibration kept: their bytes must read back as the
    // logger held them, which their texts cannot always tell.
    struct TKept {
        std::size_t First, End;  // record offsets
        std::size_t Setting;
    };
    std::vector<TKept> Kept;
    TFrameBuffer Before {};  // the record read before the write
    // What the user should know of it although nothing stops it.
    std::vector<std::string> Notes;
};

// Why a write of File in Scopes must not go out whatever logger it meets, or
// none: the window's checks on the file's own values (identity and
// calibration only where they are written), and a list left empty that the
// write would have to fill with some item.
std::optional<EWriteRefused> FileWriteRefusal(const TSettingValues &File, TScopes Scopes);

// What looks like a mistake in File although the logger would take it; a
// write goes on only when the user says so.
struct TWriteWarning {
    std::size_t Setting;
    std::string Message;
};
std::vector<TWriteWarning> FileWriteWarnings(const TSettingValues &File);

// File over Record in Scopes, the checks, the computer's clock in the chosen
// zone, the frame. Throws EWriteRefused.
TWritePlan PlanWrite(const TFrameBuffer &Record, const TSettingValues &File, TScopes Scopes,
                     std::chrono::system_clock::time_point Utc);

// A backup's record written back whole: every byte the frame carries as the
// backup holds it, the clock the computer's in the backup's zone. The notes
// say what a write cannot put back, and what no setting shows.
TWritePlan PlanRestore(const TFrameBuffer &Record, const TFrameBuffer &Backup,
                       std::chrono::system_clock::time_point Utc);

// The clock a frame sets, as the logger shows it.
TClockReading FrameClock(const TFrameBuffer &Frame);

// What the logger holds other than was asked, in file order: every setting in
// use, and for a restore every byte the frame carried. Asked as Old, held as New.
std::vector<TSettingDifference> VerifyWrite(const TWritePlan &Plan, const TFrameBuffer &ReadBack);

// The settings in use of Intent (as CanonicalValues gives them) that ReadBack
// shows otherwise, in file order: the comparison of every verify, the
// window's Save among them. Asked as Old, held as New.
std::vector<TSettingDifference> IntentDifferences(const TSettingValues &Intent, const TFrameBuffer &ReadBack);

struct TDiffResult {
    std::vector<TSettingDifference> Differences;  // the logger's value as Old, the file's as New
    std::optional<std::string> WriteRefusal;      // why a write of the file would stop, if it would
};

// What a write of File would change, compared as verify compares: on the
// settings in use as a read shows them, so that "25.3" and "25.30" agree.
TDiffResult DiffWithLogger(const TFrameBuffer &Record, const TSettingValues &File, TScopes Scopes,
                           std::chrono::system_clock::time_point Utc);
