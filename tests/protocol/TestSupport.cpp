#include "TestSupport.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <stdexcept>

namespace {

const std::array<std::string_view, 8> SwitchNames = {
    "StartDelay", "StartTime", "TemperatureH3Row", "TemperatureH2Row",
    "TemperatureL2Row", "HumidityH1Row", "HumidityL1Row", "Password",
};

std::vector<std::string> Numbers(int First, int Last, int Step = 1)
{
    std::vector<std::string> items;
    for (int n = First; n <= Last; n += Step)
        items.push_back(std::to_string(n));
    return items;
}

std::vector<std::string> TimeZones()
{
    std::vector<std::string> items;
    for (int i = 0; i < 53; ++i) {
        const int minutes = (i - 24) * 30;
        const int a = std::abs(minutes);
        char text[16];
        std::snprintf(text, sizeof text, "UTC%c%02d:%02d", minutes < 0 ? '-' : '+', a / 60, a % 60);
        items.push_back(text);
    }
    return items;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Split(std::string_view s, char sep)
{
    std::vector<std::string_view> parts;
    while (true) {
        const auto at = s.find(sep);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        s.remove_prefix(at + 1);
    }
}

int ParseInt(std::string_view s, int base)
{
    s = Trim(s);
    int value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (ec != std::errc() || end != s.data() + s.size())
        throw std::logic_error("bad number in test notation: " + std::string(s));
    return value;
}

// offset -> byte for every byte the notation names
std::vector<std::pair<std::size_t, std::uint8_t>> ParseBytes(std::string_view Notation)
{
    std::vector<std::pair<std::size_t, std::uint8_t>> bytes;
    for (std::string_view part : Split(Notation, ';')) {
        if (Trim(part).empty())
            continue;
        const auto colon = part.find(':');
        const std::string_view where = part.substr(0, colon);
        const auto star = where.find('*');
        std::size_t offset = static_cast<std::size_t>(ParseInt(where.substr(0, star), 10));
        const int repeat = star == std::string_view::npos ? 1 : ParseInt(where.substr(star + 1), 10);
        for (std::string_view hex : Split(Trim(part.substr(colon + 1)), ' ')) {
            if (hex.empty())
                continue;
            for (int r = 0; r < repeat; ++r)
                bytes.emplace_back(offset++, static_cast<std::uint8_t>(ParseInt(hex, 16)));
        }
    }
    return bytes;
}

} // namespace

Ctl ControlByName(std::string_view Name)
{
    const auto it = std::find(ControlNames.begin(), ControlNames.end(), Trim(Name));
    if (it == ControlNames.end())
        throw std::logic_error("no control " + std::string(Name));
    return static_cast<Ctl>(it - ControlNames.begin());
}

TEnableSwitch SwitchByName(std::string_view Name)
{
    const auto it = std::find(SwitchNames.begin(), SwitchNames.end(), Trim(Name));
    if (it == SwitchNames.end())
        throw std::logic_error("no switch " + std::string(Name));
    return static_cast<TEnableSwitch>(it - SwitchNames.begin());
}

TFakeControls::TFakeControls()
{
    const auto set = [this](std::initializer_list<Ctl> controls, const std::vector<std::string> &items) {
        for (Ctl c : controls)
            FItems[Index(c)] = items;
    };
    set({Ctl::cbbStartMode}, {"Right Now", "Delayed", "Timing"});
    set({Ctl::cbbReportLanguage}, {"English", "Chinese"});
    set({Ctl::cbbMultipleStart, Ctl::cbbTemporaryPDFStartup, Ctl::cbbPasswordStartup}, {"Disable", "Enable"});
    set({Ctl::cbbProbeMode}, {"Internal", "External"});
    set({Ctl::cbbCycleSwitch}, {"Opened", "Closed"});
    set({Ctl::cbbStopMode}, {"Stop by Button", "Stop by Software", "Stop by Button or Software"});
    set({Ctl::cbbTimeZone}, TimeZones());
    set({Ctl::cbbStartTimeY, Ctl::cbbSystemTimeY}, Numbers(2018, 2099));
    set({Ctl::cbbStartTimeM, Ctl::cbbSystemTimeM}, Numbers(1, 12));
    set({Ctl::cbbStartTimeD, Ctl::cbbSystemTimeD}, Numbers(1, 31));
    set({Ctl::cbbStartTimeH, Ctl::cbbSystemTimeH, Ctl::cbbLogIntervalH, Ctl::cbbStartDelayH}, Numbers(0, 23));
    set({Ctl::cbbStartTimeN, Ctl::cbbStartTimeS, Ctl::cbbSystemTimeN, Ctl::cbbSystemTimeS, Ctl::cbbStartDelayM},
        Numbers(0, 59));
    set({Ctl::cbbLogIntervalM}, Numbers(0, 60));
    set({Ctl::cbbLogIntervalS}, Numbers(0, 50, 10));
    for (const TThresholdBlock &b : ThresholdBlocks()) {
        for (const auto &row : {b.Single, std::optional(b.Multiple)}) {
            if (!row)
                continue;
            set({row->Type}, {"Single", "Cumulative"});
            set({row->DelayH}, Numbers(0, 23));
            set({row->DelayM, row->DelayS}, Numbers(0, 59));
        }
        if (b.Check) {
            FChecked[Index(*b.Check)] = true;
            FEnabled[static_cast<std::size_t>(*b.RowSwitch)] = true;
        }
    }
    FIndex[Index(Ctl::cbbTimeZone)] = 24;  // "UTC+00:00"
    FText[Index(Ctl::edtCalibrationTemp)] = "0";
    FText[Index(Ctl::edtCalibrationHumidity)] = "0";
    FChecked[Index(Ctl::rbNoAlarm)] = true;
    FChecked[Index(Ctl::rbC)] = true;
}

std::string TFakeControls::Text(Ctl c) const { return FText[Index(c)]; }
void TFakeControls::SetText(Ctl c, const std::string &text) { FText[Index(c)] = text; }
int TFakeControls::ItemIndex(Ctl c) const { return FIndex[Index(c)]; }
int TFakeControls::ItemCount(Ctl c) const { return static_cast<int>(FItems[Index(c)].size()); }

void TFakeControls::SetItemIndex(Ctl c, int index)
{
    FIndex[Index(c)] = index >= 0 && index < ItemCount(c) ? index : -1;
}

std::string TFakeControls::ItemText(Ctl c, int index) const
{
    return FItems[Index(c)].at(static_cast<std::size_t>(index));
}

bool TFakeControls::Checked(Ctl c) const { return FChecked[Index(c)]; }

void TFakeControls::SetChecked(Ctl c, bool on)
{
    if (FChecked[Index(c)] == on)
        return;
    FChecked[Index(c)] = on;
    const std::string_view name = ControlName(c);
    if (StartsWith(name, "rb")) {
        if (!on)
            return;
        const bool alarm = c == Ctl::rbNoAlarm || c == Ctl::rbSingleAlarm || c == Ctl::rbMultipleAlarm;
        const auto group = alarm ? std::vector{Ctl::rbNoAlarm, Ctl::rbSingleAlarm, Ctl::rbMultipleAlarm}
                                 : std::vector{Ctl::rbC, Ctl::rbF};
        for (Ctl other : group)
            if (other != c)
                FChecked[Index(other)] = false;
        // the window's rbClick
        FVisible[Index(Ctl::pnlSingleAlarm)] = Checked(Ctl::rbSingleAlarm);
        FVisible[Index(Ctl::pnlMultipleAlarm)] = Checked(Ctl::rbMultipleAlarm);
        return;
    }
    for (const TThresholdBlock &b : ThresholdBlocks())
        if (b.Check == c)
            Enable(*b.RowSwitch, on);
}

void TFakeControls::SetVisible(Ctl c, bool visible)
{
    FVisible[Index(c)] = visible;
    Log.push_back("SetVisible " + std::string(ControlName(c)) + (visible ? " on" : " off"));
}

void TFakeControls::Enable(TEnableSwitch s, bool value)
{
    FEnabled[static_cast<std::size_t>(s)] = value;
    Log.push_back("Enable " + std::string(SwitchNames[static_cast<std::size_t>(s)]) + (value ? " on" : " off"));
}

void TFakeControls::Apply(std::string_view Notation)
{
    for (std::string_view part : Split(Notation, ';')) {
        if (Trim(part).empty())
            continue;
        const auto eq = part.find('=');
        const std::string_view name = Trim(part.substr(0, eq));
        const std::string value(part.substr(eq + 1));
        if (StartsWith(name, "@")) {
            FEnabled[static_cast<std::size_t>(SwitchByName(name.substr(1)))] = value == "on";
            continue;
        }
        const Ctl c = ControlByName(name);
        if (StartsWith(name, "cbb")) {
            const auto &items = FItems[Index(c)];
            const auto it = std::find(items.begin(), items.end(), value);
            if (value != "<none>" && it == items.end())
                throw std::logic_error("no item " + value + " in " + std::string(name));
            SetItemIndex(c, value == "<none>" ? -1 : static_cast<int>(it - items.begin()));
        } else if (StartsWith(name, "rb") || StartsWith(name, "chk")) {
            SetChecked(c, value == "on");
        } else if (StartsWith(name, "pnl")) {
            FVisible[Index(c)] = value == "shown";
        } else {
            SetText(c, value);
        }
    }
}

std::string TFakeControls::Describe(std::string_view Name) const
{
    Name = Trim(Name);
    if (StartsWith(Name, "@"))
        return Enabled(SwitchByName(Name.substr(1))) ? "on" : "off";
    const Ctl c = ControlByName(Name);
    if (StartsWith(Name, "cbb"))
        return ItemIndex(c) < 0 ? "<none>" : ItemText(c, ItemIndex(c));
    if (StartsWith(Name, "rb") || StartsWith(Name, "chk"))
        return Checked(c) ? "on" : "off";
    if (StartsWith(Name, "pnl"))
        return Visible(c) ? "shown" : "hidden";
    return Text(c);
}

void PatchBytes(TFrameBuffer &Buf, std::string_view Notation)
{
    for (const auto &[offset, byte] : ParseBytes(Notation))
        Buf.at(offset) = byte;
}

std::string CompareBytes(const TFrameBuffer &Buf, std::string_view Notation)
{
    std::string differences;
    char line[64];
    for (const auto &[offset, byte] : ParseBytes(Notation)) {
        if (Buf.at(offset) != byte) {
            std::snprintf(line, sizeof line, "[%zu] is %02X, expected %02X; ", offset, Buf[offset], byte);
            differences += line;
        }
    }
    return differences;
}

TFrameBuffer BlankRecord()
{
    TFrameBuffer rec {};
    rec[0] = FrameStart1;
    rec[1] = FrameStart2;
    rec[2] = CmdParameterRecord;
    rec[3] = WriteFrameDataCount;
    SealFrame(rec);
    return rec;
}

void SealFrame(TFrameBuffer &Buf)
{
    Buf[FrameCheckOffset] = FrameCheckByte(Buf.data(), static_cast<int>(FrameCheckOffset) - 1);
    Buf[FrameEndOffset] = FrameEnd;
}
