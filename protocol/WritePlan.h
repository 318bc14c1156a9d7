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
// the record read before it and a settings file, without any port.

// A write that must not go out: the message says why, in the words the
// window uses for the same failure.
class EWriteRefused : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The controls as the window shows them after reading Record.
TParameterSet LoggerSettings(const TFrameBuffer &Record);

struct TWritePlan {
    // Starts as Record, so that bytes the settings do not select keep what
    // the logger holds.
    TFrameBuffer Frame {};
    // The settings a read shows once the logger has stored Frame.
    TSettingValues Expected;
    // The trip information as the frame counts it, a line break as two.
    std::size_t TripBytes = 0;
};

// File over Record in Scopes, the window's checks, the computer's clock in
// the chosen zone, the frame. Throws EWriteRefused with the first failed
// check's message, or with a text that does not convert.
TWritePlan PlanWrite(const TFrameBuffer &Record, const TSettingValues &File, TScopes Scopes,
                     std::chrono::system_clock::time_point Utc);

// The clock a frame sets, as the logger shows it.
TClockReading FrameClock(const TFrameBuffer &Frame);

// The settings the frame carries that the record read back does not show as
// planned, every scope compared: expected as Old, read back as New.
std::vector<TSettingDifference> VerifyWrite(const TWritePlan &Plan, const TFrameBuffer &ReadBack);

struct TDiffResult {
    std::vector<TSettingDifference> Differences;  // the logger's value as Old, the file's as New
    std::optional<std::string> WriteRefusal;      // why a write of the file would stop, if it would
};

// What a write of File would change, compared as a write's verify compares:
// on what a read would show, so that "25.3" and "25.30" agree. Where the
// frame cannot be made, on the values themselves.
TDiffResult DiffWithLogger(const TFrameBuffer &Record, const TSettingValues &File, TScopes Scopes,
                           std::chrono::system_clock::time_point Utc);
