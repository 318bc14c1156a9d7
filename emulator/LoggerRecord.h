#pragma once

#include "Frame.h"

#include <chrono>
#include <compare>
#include <optional>
#include <string>
#include <string_view>

// The logger's parameter set is kept as the image of the record it answers a
// probe with; the write frame shares most offsets with it but carries the
// system time where the record has the start of its trip text.

constexpr std::string_view DefaultSerialNumber = "A05123456";

constexpr std::size_t TripInfoOffset = 52;          // record
constexpr std::size_t TripInfoSize = 100;           // record
constexpr std::size_t WriteSystemTimeOffset = 52;   // write frame
constexpr std::size_t WriteTripInfoOffset = 58;     // write frame
constexpr std::size_t WriteTripInfoSize = 94;       // write frame
constexpr std::size_t AlarmSectionOffset = 152;     // both
constexpr std::size_t SerialNumberOffset = 4;
constexpr std::size_t TimeZoneOffset = 34;
constexpr std::size_t LogIntervalMinutesOffset = 18;  // both

// Wall-clock time of the logger, in whatever zone it was last set to.
struct TLoggerTime {
    int Year = 2000, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
    auto operator<=>(const TLoggerTime &) const = default;
};

std::optional<std::chrono::sys_seconds> ToSeconds(const TLoggerTime &time);
TLoggerTime FromSeconds(std::chrono::sys_seconds seconds);

// A logger fresh from the box: serial A05123456, 5-minute interval, start
// "Right Now", single alarm at 2..8 °C and 20..80 %RH, UTC+08:00.
TFrameBuffer DefaultParameterRecord();

// Header, data count, check byte and end byte of a parameter record.
void SealRecord(TFrameBuffer &record);

// "A05123456": a character, two digits stored as one binary byte, six characters.
// Returns false, leaving the record alone, for anything else.
bool SetSerialNumber(TFrameBuffer &record, std::string_view serial);

// The serial number as the tool shows it, such as "A05123456".
std::string SerialNumberOf(const TFrameBuffer &record);

// UTC offset of the zone stored in the record.
std::chrono::seconds ZoneOffset(const TFrameBuffer &record);

// One byte of a record set by hand, so that a logger can hold what no tool
// would write, such as a calibration fraction of 150.
struct TRecordByte {
    std::size_t Offset = 0;
    std::uint8_t Value = 0;
};

// "OFFSET=VALUE", each decimal or hexadecimal after 0x; the offset one of the
// bytes between the record's data count and its check byte (4 to 201), the
// value 0 to 255. Nothing for anything else, with the reason in *error.
std::optional<TRecordByte> ParseRecordByte(std::string_view text, std::string *error = nullptr);

// Takes a parameter write frame into the record and returns the system time it
// carries, or nothing when that is no valid date and time.
std::optional<TLoggerTime> StoreWriteFrame(TFrameBuffer &record, const TFrameBuffer &writeFrame);
