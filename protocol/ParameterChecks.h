#pragma once

#include "Controls.h"

#include <optional>
#include <string>

// The checks before saving: the entries the write frame cannot do without must
// be there and have the lengths it needs. They look at texts and at which alarm
// mode and rows are on; ranges and number syntax are left to the encoding.
struct TCheckFailure {
    Ctl Control;  // the control the user is sent to
    std::string Message;
};

// The first check that fails, in the window's order, or none.
std::optional<TCheckFailure> FirstFailedCheck(const TControlValues &C);
