#pragma once

#include "SerialPlatform.h"

#include <windows.h>

namespace SerialPlatform {

// Writes the settings into dcb, keeping the members they do not name (the
// end-of-file and event characters, the structure length).
void ComposeDcb(const TLineSettings &settings, DCB &dcb);

// The time-outs handed to the driver. An interval of MAXDWORD with no total limit
// would make every read return at once, empty or not, and the reader, which
// always keeps a read outstanding, would spin; such a read waits for its first
// byte instead, as it does on other platforms.
COMMTIMEOUTS ComposeTimeouts(const TTimeouts &timeouts, COMMTIMEOUTS current);

} // namespace SerialPlatform
