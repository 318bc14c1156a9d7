#pragma once

#include "Controls.h"

#include <chrono>

// The logger's new clock: the computer's UTC time plus the offset of the time
// zone chosen in the window, as the system-time lists show it.
struct TClockReading {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

// With no zone selected (index -1) the clock runs on UTC rather than stopping.
TClockReading ZoneClock(std::chrono::system_clock::time_point Utc, int ZoneIndex);

// Selects the reading in the six system-time lists; a year outside the list
// leaves that list with no selection.
void SetSystemTime(TControlValues &C, const TClockReading &Reading);
