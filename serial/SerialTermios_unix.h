#pragma once

#include "SerialPlatform.h"

#include <termios.h>

namespace SerialPlatform {

// Writes the settings into t, keeping members they do not name. False when part
// of them has no equivalent here (a baud rate the system lacks, 1.5 stop bits with
// more than five data bits); that part keeps its old value.
bool ComposeTermios(const TLineSettings &settings, termios &t);

} // namespace SerialPlatform
