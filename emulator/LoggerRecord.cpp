#include "LoggerRecord.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

namespace {

constexpr std::uint8_t Unset = 0xFF;

void PutThreshold(TFrameBuffer &record, std::size_t offset, int whole, int hundredths, int delayH, int delayM,
                  int delayS)
{
    const std::uint8_t block[7] = {0,
                                   static_cast<std::uint8_t>(whole),
                                   static_cast<std::uint8_t>(hundredths),
                                   0,  // "Single" alarm type
                                   static_cast<std::uint8_t>(delayH),
                                   static_cast<std::uint8_t>(delayM),
                                   static_cast<std::uint8_t>(delayS)};
    std::copy(std::begin(block), std::end(block), record.begin() + offset);
}

void PutUnset(TFrameBuffer &record, std::size_t offset)
{
    std::fill_n(record.begin() + offset, 7, Unset);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A whole number up to `most`, in decimal or in hexadecimal after 0x; no
// sign, no spaces.
std::optional<std::size_t> ParseNumber(std::string_view text, std::size_t most)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::size_t value = 0;
    const char *end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || failure != std::errc() || stop != end || value > most)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::chrono::sys_seconds> ToSeconds(const TLoggerTime &time)
{
    using namespace std::chrono;
    const year_month_day date{year{time.Year}, month{static_cast<unsigned>(time.Month)},
                              day{static_cast<unsigned>(time.Day)}};
    if (time.Month < 1 || time.Day < 1 || !date.ok() || time.Hour < 0 || time.Hour > 23 || time.Minute < 0
        || time.Minute > 59 || time.Second < 0 || time.Second > 59)
        return std::nullopt;
    return sys_days(date) + hours(time.Hour) + minutes(time.Minute) + seconds(time.Second);
}

TLoggerTime FromSeconds(std::chrono::sys_seconds seconds)
{
    using namespace std::chrono;
    const auto dayStart = floor<days>(seconds);
    const year_month_day date{dayStart};
    const hh_mm_ss clock{seconds - dayStart};
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(clock.hours().count()),
            static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count())};
}

void SealRecord(TFrameBuffer &record)
{
    record[0] = FrameStart1;
    record[1] = FrameStart2;
    record[2] = CmdParameterRecord;
    record[3] = static_cast<std::uint8_t>(FrameBufferSize - 6);
    record[FrameCheckOffset] = FrameCheckByte(record.data(), FrameCheckOffset - 1);
    record[FrameEndOffset] = FrameEnd;
}

bool SetSerialNumber(TFrameBuffer &record, std::string_view serial)
{
    if (serial.size() != 9 || !IsDigit(serial[1]) || !IsDigit(serial[2]))
        return false;
    if (std::any_of(serial.begin(), serial.end(), [](char c) { return c <= ' ' || c > '~'; }))
        return false;
    record[SerialNumberOffset] = static_cast<std::uint8_t>(serial[0]);
    record[SerialNumberOffset + 1] = static_cast<std::uint8_t>((serial[1] - '0') * 10 + (serial[2] - '0'));
    std::copy(serial.begin() + 3, serial.end(), record.begin() + SerialNumberOffset + 2);
    record[SerialNumberOffset + 8] = 0;
    SealRecord(record);
    return true;
}

std::string SerialNumberOf(const TFrameBuffer &record)
{
    const std::uint8_t middle = record[SerialNumberOffset + 1];
    return std::string(1, char(record[SerialNumberOffset])) + (middle < 10 ? "0" : "") + std::to_string(middle)
           + std::string(record.begin() + SerialNumberOffset + 2, record.begin() + SerialNumberOffset + 8);
}

TFrameBuffer DefaultParameterRecord()
{
    TFrameBuffer record{};
    SetSerialNumber(record, DefaultSerialNumber);
    const std::uint8_t deviceId[4] = {0x1A, 0x2B, 0x3C, 0x4D};
    std::copy(std::begin(deviceId), std::end(deviceId), record.begin() + 13);
    record[17] = 0;     // log interval 0 h
    record[18] = 5;     //              5 min
    record[19] = 0;     //              0 s
    record[20] = 0x01;  // service life 365 days, high byte first
    record[21] = 0x6D;
    record[22] = 0x01;  // stop by button
    record[23] = 0;     // start right now; 24..29 unused then
    record[30] = 0;     // English
    record[31] = 0;     // internal probe
    record[32] = 0;     // multiple start/stop disabled
    record[33] = 0;     // °C
    record[34] = 0;     // UTC+08:00
    record[35] = 8;
    record[36] = 0;
    record[37] = 0;     // cycle switch opened
    // 38..43: calibration 0.00 for temperature and humidity
    record[44] = 0;     // temporary PDF start-up disabled
    record[45] = 0;     // password start-up disabled
    std::memcpy(record.data() + 46, "000000", 6);
    constexpr std::string_view trip = "Cold chain shipment";
    std::copy(trip.begin(), trip.end(), record.begin() + TripInfoOffset);
    record[AlarmSectionOffset] = 1;
    PutThreshold(record, 153, 2, 0, 0, 10, 0);   // temperature L1 2.00 °C, 10 min
    PutUnset(record, 160);
    PutThreshold(record, 167, 8, 0, 0, 10, 0);   // temperature H1 8.00 °C, 10 min
    PutUnset(record, 174);
    PutUnset(record, 181);
    PutThreshold(record, 188, 20, 0, 0, 30, 0);  // humidity L1 20.00 %, 30 min
    PutThreshold(record, 195, 80, 0, 0, 30, 0);  // humidity H1 80.00 %, 30 min
    SealRecord(record);
    return record;
}

std::chrono::seconds ZoneOffset(const TFrameBuffer &record)
{
    const auto offset = std::chrono::hours(record[TimeZoneOffset + 1]) + std::chrono::minutes(record[TimeZoneOffset + 2]);
    return record[TimeZoneOffset] == 0 ? offset : -offset;
}

std::optional<TRecordByte> ParseRecordByte(std::string_view text, std::string *error)
{
    auto fail = [error](std::string reason) -> std::optional<TRecordByte> {
        if (error)
            *error = std::move(reason);
        return std::nullopt;
    };
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return fail("expected OFFSET=VALUE");
    const std::string_view offsetText = text.substr(0, equals);
    const std::string_view valueText = text.substr(equals + 1);
    const auto offset = ParseNumber(offsetText, FrameCheckOffset - 1);
    if (!offset || *offset < SerialNumberOffset)
        return fail("the offset must be " + std::to_string(SerialNumberOffset) + " to "
                    + std::to_string(FrameCheckOffset - 1) + ", not \"" + std::string(offsetText) + "\"");
    const auto value = ParseNumber(valueText, 255);
    if (!value)
        return fail("the value must be 0 to 255, not \"" + std::string(valueText) + "\"");
    return TRecordByte{*offset, static_cast<std::uint8_t>(*value)};
}

std::optional<TLoggerTime> StoreWriteFrame(TFrameBuffer &record, const TFrameBuffer &writeFrame)
{
    std::copy(writeFrame.begin() + SerialNumberOffset, writeFrame.begin() + WriteSystemTimeOffset,
              record.begin() + SerialNumberOffset);
    const auto trip = writeFrame.begin() + WriteTripInfoOffset;
    std::copy(trip, trip + WriteTripInfoSize, record.begin() + TripInfoOffset);
    std::fill(record.begin() + TripInfoOffset + WriteTripInfoSize, record.begin() + AlarmSectionOffset, 0);
    std::copy(writeFrame.begin() + AlarmSectionOffset, writeFrame.begin() + FrameCheckOffset,
              record.begin() + AlarmSectionOffset);
    SealRecord(record);

    const std::uint8_t *t = writeFrame.data() + WriteSystemTimeOffset;
    const TLoggerTime time{2000 + t[0], t[1], t[2], t[3], t[4], t[5]};
    if (!ToSeconds(time))
        return std::nullopt;
    return time;
}
