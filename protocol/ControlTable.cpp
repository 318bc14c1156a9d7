#include "ControlTable.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

std::vector<std::string> Numbers(int first, int last, int step = 1)
{
    std::vector<std::string> texts;
    for (int n = first; n <= last; n += step)
        texts.push_back(std::to_string(n));
    return texts;
}

std::vector<std::string> TimeZones()
{
    std::vector<std::string> zones;
    for (int i = 0; i <= 52; ++i) {
        const int minutes = (i - UtcZoneIndex) * 30;
        const int a = minutes < 0 ? -minutes : minutes;
        const auto two = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
        zones.push_back(std::string(minutes < 0 ? "UTC-" : "UTC+") + two(a / 60) + ":" + two(a % 60));
    }
    return zones;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

struct TAlarmRole {
    bool Type = false;
    char Delay = 0;  // 'H', 'M', 'S'
    bool Single = false;
};

std::optional<TAlarmRole> AlarmRole(Ctl c)
{
    for (const TThresholdBlock &block : ThresholdBlocks()) {
        for (const auto &[row, single] : {std::pair{std::optional(block.Multiple), false}, std::pair{block.Single, true}}) {
            if (!row)
                continue;
            if (c == row->Type)
                return TAlarmRole{true, 0, single};
            if (c == row->DelayH)
                return TAlarmRole{false, 'H', single};
            if (c == row->DelayM)
                return TAlarmRole{false, 'M', single};
            if (c == row->DelayS)
                return TAlarmRole{false, 'S', single};
        }
    }
    return std::nullopt;
}

const std::vector<std::string> &Items(Ctl c)
{
    static const std::vector<std::string> none;
    static const std::vector<std::string> hours = Numbers(0, 23);
    static const std::vector<std::string> sixty = Numbers(0, 59);
    static const std::vector<std::string> intervalMinutes = Numbers(0, 60);  // "60" included
    static const std::vector<std::string> tens = Numbers(0, 50, 10);
    static const std::vector<std::string> years = Numbers(FirstListedYear, LastListedYear);
    static const std::vector<std::string> months = Numbers(1, 12);
    static const std::vector<std::string> days = Numbers(1, 31);
    static const std::vector<std::string> zones = TimeZones();
    static const std::vector<std::string> offOn = {"Disable", "Enable"};
    static const std::vector<std::string> startModes = {"Right Now", "Delayed", "Timing"};
    static const std::vector<std::string> stopModes = {"Stop by Button", "Stop by Software",
                                                       "Stop by Button or Software"};
    static const std::vector<std::string> probeModes = {"Internal", "External"};
    static const std::vector<std::string> languages = {"English", "Chinese"};
    static const std::vector<std::string> cycle = {"Opened", "Closed"};
    static const std::vector<std::string> alarmTypes = {"Single", "Cumulative"};

    switch (c) {
    case Ctl::cbbLogIntervalH: return hours;
    case Ctl::cbbLogIntervalM: return intervalMinutes;
    case Ctl::cbbLogIntervalS: return tens;
    case Ctl::cbbStartMode: return startModes;
    case Ctl::cbbStartDelayH: return hours;
    case Ctl::cbbStartDelayM: return sixty;
    case Ctl::cbbStartTimeY: case Ctl::cbbSystemTimeY: return years;
    case Ctl::cbbStartTimeM: case Ctl::cbbSystemTimeM: return months;
    case Ctl::cbbStartTimeD: case Ctl::cbbSystemTimeD: return days;
    case Ctl::cbbStartTimeH: case Ctl::cbbSystemTimeH: return hours;
    case Ctl::cbbStartTimeN: case Ctl::cbbSystemTimeN: return sixty;
    case Ctl::cbbStartTimeS: case Ctl::cbbSystemTimeS: return sixty;
    case Ctl::cbbStopMode: return stopModes;
    case Ctl::cbbProbeMode: return probeModes;
    case Ctl::cbbReportLanguage: return languages;
    case Ctl::cbbMultipleStart: return offOn;
    case Ctl::cbbCycleSwitch: return cycle;
    case Ctl::cbbPasswordStartup: return offOn;
    case Ctl::cbbTemporaryPDFStartup: return offOn;
    case Ctl::cbbTimeZone: return zones;
    default: break;
    }
    if (const auto role = AlarmRole(c)) {
        if (role->Type)
            return alarmTypes;
        return role->Delay == 'H' ? hours : sixty;
    }
    return none;
}

constexpr std::array StartDelayControls = {Ctl::cbbStartDelayH, Ctl::cbbStartDelayM};
constexpr std::array StartTimeControls = {Ctl::cbbStartTimeY, Ctl::cbbStartTimeM, Ctl::cbbStartTimeD,
                                          Ctl::cbbStartTimeH, Ctl::cbbStartTimeN, Ctl::cbbStartTimeS};
constexpr std::array PasswordControls = {Ctl::edtPassword};
constexpr std::array UnitButtons = {Ctl::rbC, Ctl::rbF};
constexpr std::array AlarmButtons = {Ctl::rbNoAlarm, Ctl::rbSingleAlarm, Ctl::rbMultipleAlarm};

// Never enabled by any rule: they lie outside the window's visible area.
constexpr std::array AlwaysDisabled = {Ctl::cbbProbeMode,        Ctl::cbbCycleSwitch,
                                       Ctl::cbbStopMode,         Ctl::edtCalibrationTemp,
                                       Ctl::edtCalibrationHumidity, Ctl::cbbTemporaryPDFStartup,
                                       Ctl::cbbPasswordStartup};

template<typename Array>
bool Holds(const Array &controls, Ctl c)
{
    return std::find(controls.begin(), controls.end(), c) != controls.end();
}

} // namespace

TControlKind ControlKind(Ctl c)
{
    const std::string_view name = ControlName(c);
    if (StartsWith(name, "edt"))
        return TControlKind::Edit;
    if (StartsWith(name, "mmo"))
        return TControlKind::Memo;
    if (StartsWith(name, "cbb"))
        return TControlKind::Combo;
    if (StartsWith(name, "chk"))
        return TControlKind::Check;
    if (StartsWith(name, "rb"))
        return TControlKind::Radio;
    return TControlKind::Panel;
}

const std::vector<std::string> &ControlItems(Ctl c) { return Items(c); }

int DefaultItemIndex(Ctl c)
{
    if (ControlKind(c) != TControlKind::Combo)
        return -1;
    return c == Ctl::cbbTimeZone ? UtcZoneIndex : 0;
}

std::string DefaultText(Ctl c)
{
    return c == Ctl::edtCalibrationTemp || c == Ctl::edtCalibrationHumidity ? "0" : "";
}

bool DefaultChecked(Ctl c)
{
    // The five row check boxes are ticked when the window is shown.
    return c == Ctl::rbC || c == Ctl::rbNoAlarm || ControlKind(c) == TControlKind::Check;
}

bool DefaultEnabled(Ctl c)
{
    if (Holds(StartDelayControls, c) || Holds(StartTimeControls, c) || Holds(AlwaysDisabled, c)
        || c == Ctl::edtPassword)
        return false;
    // The single-alarm delays show what a read brings; the user cannot set them.
    const auto role = AlarmRole(c);
    return !(role && role->Single && role->Delay != 0);
}

bool DefaultVisible(Ctl c)
{
    return c != Ctl::pnlSingleAlarm && c != Ctl::pnlMultipleAlarm && c != Ctl::rbMultipleAlarm
           && c != Ctl::cbbLogIntervalS;
}

std::span<const Ctl> RadioGroup(Ctl c)
{
    if (Holds(UnitButtons, c))
        return UnitButtons;
    if (Holds(AlarmButtons, c))
        return AlarmButtons;
    return {};
}

std::span<const Ctl> SwitchedControls(TEnableSwitch s)
{
    static const auto row = [](Ctl edit) {
        for (const TThresholdBlock &block : ThresholdBlocks())
            if (block.Multiple.Edit == edit)
                return std::array{block.Multiple.Edit, block.Multiple.Type, block.Multiple.DelayH,
                                  block.Multiple.DelayM, block.Multiple.DelayS};
        throw std::logic_error("no alarm row");
    };
    static const auto h3 = row(Ctl::edtTemperatureH3);
    static const auto h2 = row(Ctl::edtTemperatureH2);
    static const auto l2 = row(Ctl::edtTemperatureL2);
    static const auto humidityH1 = row(Ctl::edtHumidityH1);
    static const auto humidityL1 = row(Ctl::edtHumidityL1);
    switch (s) {
    case TEnableSwitch::StartDelay: return StartDelayControls;
    case TEnableSwitch::StartTime: return StartTimeControls;
    case TEnableSwitch::TemperatureH3Row: return h3;
    case TEnableSwitch::TemperatureH2Row: return h2;
    case TEnableSwitch::TemperatureL2Row: return l2;
    case TEnableSwitch::HumidityH1Row: return humidityH1;
    case TEnableSwitch::HumidityL1Row: return humidityL1;
    case TEnableSwitch::Password: return PasswordControls;
    }
    return {};
}

std::optional<TEnableSwitch> CheckBoxSwitch(Ctl c)
{
    for (const TThresholdBlock &block : ThresholdBlocks())
        if (block.Check == c)
            return block.RowSwitch;
    return std::nullopt;
}

bool IsDecimalEdit(Ctl c)
{
    if (c == Ctl::edtCalibrationTemp || c == Ctl::edtCalibrationHumidity)
        return true;
    for (const TThresholdBlock &block : ThresholdBlocks())
        if (block.Multiple.Edit == c || (block.Single && block.Single->Edit == c))
            return true;
    return false;
}

void ApplyControlRules(TControlValues &C)
{
    switch (C.ItemIndex(Ctl::cbbStartMode)) {
    case 0: C.Enable(TEnableSwitch::StartDelay, false); C.Enable(TEnableSwitch::StartTime, false); break;
    case 1: C.Enable(TEnableSwitch::StartDelay, true); C.Enable(TEnableSwitch::StartTime, false); break;
    case 2: C.Enable(TEnableSwitch::StartDelay, false); C.Enable(TEnableSwitch::StartTime, true); break;
    default: break;
    }
    C.Enable(TEnableSwitch::Password, C.ItemIndex(Ctl::cbbPasswordStartup) != 0);
    C.SetVisible(Ctl::pnlSingleAlarm, C.Checked(Ctl::rbSingleAlarm));
    C.SetVisible(Ctl::pnlMultipleAlarm, C.Checked(Ctl::rbMultipleAlarm));
    for (const TThresholdBlock &block : ThresholdBlocks())
        if (block.Check)
            C.Enable(*block.RowSwitch, C.Checked(*block.Check));
}
