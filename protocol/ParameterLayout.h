#pragma once

#include <cstddef>
#include <cstdint>

// Offsets of the two long frames. The record and the write frame agree on
// 4 to 51 and 152 to 201; between them the record holds 100 bytes of trip
// information where the write frame holds the logger's new clock and 94 bytes.
namespace Offset {

constexpr std::size_t SerialLetter = 4;
constexpr std::size_t SerialMiddle = 5;
constexpr std::size_t SerialDigits = 6;  // six characters
constexpr std::size_t Reserved = 12;
constexpr std::size_t DeviceID = 13;  // four bytes
constexpr std::size_t LogIntervalH = 17;
constexpr std::size_t LogIntervalM = 18;
constexpr std::size_t LogIntervalS = 19;
constexpr std::size_t ServiceLife = 20;  // big-endian, two bytes
constexpr std::size_t StopMode = 22;
constexpr std::size_t StartMode = 23;
constexpr std::size_t StartYear = 24;
constexpr std::size_t StartMonth = 25;
constexpr std::size_t StartDay = 26;
constexpr std::size_t StartHour = 27;
constexpr std::size_t StartMinute = 28;
constexpr std::size_t StartSecond = 29;
constexpr std::size_t ReportLanguage = 30;
constexpr std::size_t ProbeMode = 31;
constexpr std::size_t MultipleStart = 32;
constexpr std::size_t TemperatureUnit = 33;
constexpr std::size_t TimeZone = 34;  // sign, hours, minutes
constexpr std::size_t CycleSwitch = 37;
constexpr std::size_t CalibrationTemp = 38;      // sign, whole, fraction
constexpr std::size_t CalibrationHumidity = 41;  // sign, whole, fraction
constexpr std::size_t TemporaryPDFStartup = 44;
constexpr std::size_t PasswordStartup = 45;
constexpr std::size_t Password = 46;
constexpr std::size_t PasswordLength = 6;

constexpr std::size_t RecordTripInfo = 52;
constexpr std::size_t RecordTripInfoLength = 100;
constexpr std::size_t SystemTime = 52;  // write frame: Y, M, D, H, N, S
constexpr std::size_t WriteTripInfo = 58;
constexpr std::size_t WriteTripInfoLength = 94;

constexpr std::size_t AlarmSwitch = 152;

} // namespace Offset

// Sign, whole, fraction, alarm type, delay hours, minutes, seconds; a first
// byte of 0xFF marks a threshold that is switched off.
constexpr std::size_t ThresholdBlockSize = 7;
constexpr std::uint8_t ThresholdOff = 0xFF;
