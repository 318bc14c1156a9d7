#pragma once

#include "Controls.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

// The checks before saving. First the entries the write frame cannot do
// without: they must be there and have the lengths it needs. Then what the
// logger cannot hold as it stands: a number outside what its bytes hold or
// with more decimals than it keeps, a character it cannot store, a trip text
// longer than the frame carries, a multiple-alarm setup that it would read
// back as single alarm, a start time that does not exist. Number syntax is
// left to the encoding, whose conversion errors say it.
struct TCheckFailure {
    Ctl Control;  // the control the user is sent to
    std::string Message;
};

// The first check that fails, in the window's order, or none. Decimal texts
// may use DecimalSeparator or a point. Kept: controls whose bytes are not
// written from their text (a template keeps the logger's own identity and
// calibration), so nothing of them is checked.
std::optional<TCheckFailure> FirstFailedCheck(const TControlValues &C, const std::string &DecimalSeparator = ".",
                                              std::span<const Ctl> Kept = {});

// What the logger would take but is likely a mistake: a log interval of
// nothing, a low limit above its high limit, humidity outside 0 to 100 %. Only
// the alarm mode in use is looked at; a number that does not convert is left
// to the checks.
std::vector<TCheckFailure> PlausibilityWarnings(const TControlValues &C, const std::string &DecimalSeparator = ".");
