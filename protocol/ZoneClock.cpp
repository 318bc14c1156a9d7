#include "ZoneClock.h"

#include "ControlTable.h"

TClockReading ZoneClock(std::chrono::system_clock::time_point Utc, int ZoneIndex)
{
    using namespace std::chrono;
    const minutes offset{ZoneIndex < 0 ? 0 : (ZoneIndex - UtcZoneIndex) * 30};
    const auto local = floor<seconds>(Utc) + offset;
    const auto day = floor<days>(local);
    const year_month_day date{day};
    const hh_mm_ss time{local - day};
    return {int(date.year()),          int(unsigned(date.month())), int(unsigned(date.day())),
            int(time.hours().count()), int(time.minutes().count()), int(time.seconds().count())};
}

void SetSystemTime(TControlValues &C, const TClockReading &Reading)
{
    C.SetItemIndex(Ctl::cbbSystemTimeY, Reading.Year - FirstListedYear);
    C.SetItemIndex(Ctl::cbbSystemTimeM, Reading.Month - 1);
    C.SetItemIndex(Ctl::cbbSystemTimeD, Reading.Day - 1);
    C.SetItemIndex(Ctl::cbbSystemTimeH, Reading.Hour);
    C.SetItemIndex(Ctl::cbbSystemTimeN, Reading.Minute);
    C.SetItemIndex(Ctl::cbbSystemTimeS, Reading.Second);
}
