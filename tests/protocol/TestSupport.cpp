#include "TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <sstream>
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

std::string_view Trim(std::string_view s)
{
    const auto first = s.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The "name=value" or "offset: bytes" parts of a notation, blank ones left out.
std::vector<std::string> Parts(std::string_view Notation)
{
    std::vector<std::string> parts;
    std::istringstream in {std::string(Notation)};
    for (std::string part; std::getline(in, part, ';');)
        if (!Trim(part).empty())
            parts.push_back(part);
    return parts;
}

// offset -> byte for every byte the notation names
std::vector<std::pair<std::size_t, std::uint8_t>> ParseBytes(std::string_view Notation)
{
    std::vector<std::pair<std::size_t, std::uint8_t>> bytes;
    for (const std::string &part : Parts(Notation)) {
        std::istringstream in(part);
        std::size_t offset = 0;
        int repeat = 1;
        in >> offset;
        if (in.peek() == '*')
            in.ignore() >> repeat;
        if (!in || in.get() != ':')
            throw std::logic_error("bad byte notation: " + part);
        for (unsigned hex = 0; in >> std::hex >> hex;)
            for (int r = 0; r < repeat; ++r)
                bytes.emplace_back(offset++, static_cast<std::uint8_t>(hex));
        if (!in.eof())
            throw std::logic_error("bad byte notation: " + part);
    }
    return bytes;
}

TEnableSwitch SwitchByName(std::string_view Name)
{
    const auto it = std::find(SwitchNames.begin(), SwitchNames.end(), Trim(Name));
    if (it == SwitchNames.end())
        throw std::logic_error("no switch " + std::string(Name));
    return static_cast<TEnableSwitch>(it - SwitchNames.begin());
}

} // namespace

Ctl ControlByName(std::string_view Name)
{
    const auto it = std::find(ControlNames.begin(), ControlNames.end(), Trim(Name));
    if (it == ControlNames.end())
        throw std::logic_error("no control " + std::string(Name));
    return static_cast<Ctl>(it - ControlNames.begin());
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
    auto &zones = FItems[Index(Ctl::cbbTimeZone)];
    for (int minutes = -12 * 60; minutes <= 14 * 60; minutes += 30) {
        char text[16];
        const int a = std::abs(minutes);
        std::snprintf(text, sizeof text, "UTC%c%02d:%02d", minutes < 0 ? '-' : '+', a / 60, a % 60);
        zones.push_back(text);
    }
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
void TFakeControls::SetItemIndex(Ctl c, int index) { FIndex[Index(c)] = index >= 0 && index < ItemCount(c) ? index : -1; }
std::string TFakeControls::ItemText(Ctl c, int index) const { return FItems[Index(c)].at(std::size_t(index)); }
bool TFakeControls::Checked(Ctl c) const { return FChecked[Index(c)]; }
void TFakeControls::SetVisible(Ctl c, bool visible) { FVisible[Index(c)] = visible; }
void TFakeControls::Enable(TEnableSwitch s, bool value) { FEnabled[static_cast<std::size_t>(s)] = value; }

void TFakeControls::SetChecked(Ctl c, bool on)
{
    if (FChecked[Index(c)] == on)
        return;
    FChecked[Index(c)] = on;
    if (ControlName(c).starts_with("rb")) {
        if (!on)
            return;
        const bool alarm = c == Ctl::rbNoAlarm || c == Ctl::rbSingleAlarm || c == Ctl::rbMultipleAlarm;
        for (Ctl other : alarm ? std::vector{Ctl::rbNoAlarm, Ctl::rbSingleAlarm, Ctl::rbMultipleAlarm}
                               : std::vector{Ctl::rbC, Ctl::rbF})
            FChecked[Index(other)] = other == c;
        // the window's rbClick
        FVisible[Index(Ctl::pnlSingleAlarm)] = Checked(Ctl::rbSingleAlarm);
        FVisible[Index(Ctl::pnlMultipleAlarm)] = Checked(Ctl::rbMultipleAlarm);
        return;
    }
    for (const TThresholdBlock &b : ThresholdBlocks())
        if (b.Check == c)
            Enable(*b.RowSwitch, on);
}

void TFakeControls::Apply(std::string_view Notation)
{
    for (const std::string &part : Parts(Notation)) {
        const auto eq = part.find('=');
        const std::string_view name = Trim(std::string_view(part).substr(0, eq));
        const std::string value = part.substr(eq + 1);
        if (name.starts_with("@")) {
            FEnabled[static_cast<std::size_t>(SwitchByName(name.substr(1)))] = value == "on";
            continue;
        }
        const Ctl c = ControlByName(name);
        if (name.starts_with("cbb")) {
            const auto &items = FItems[Index(c)];
            const auto it = std::find(items.begin(), items.end(), value);
            if (value != "<none>" && it == items.end())
                throw std::logic_error("no item " + value + " in " + std::string(name));
            SetItemIndex(c, value == "<none>" ? -1 : static_cast<int>(it - items.begin()));
        } else if (name.starts_with("rb") || name.starts_with("chk")) {
            SetChecked(c, value == "on");
        } else if (name.starts_with("pnl")) {
            FVisible[Index(c)] = value == "shown";
        } else {
            SetText(c, value);
        }
    }
}

std::string TFakeControls::Describe(std::string_view Name) const
{
    Name = Trim(Name);
    if (Name.starts_with("@"))
        return Enabled(SwitchByName(Name.substr(1))) ? "on" : "off";
    const Ctl c = ControlByName(Name);
    if (Name.starts_with("cbb"))
        return ItemIndex(c) < 0 ? "<none>" : ItemText(c, ItemIndex(c));
    if (Name.starts_with("rb") || Name.starts_with("chk"))
        return Checked(c) ? "on" : "off";
    if (Name.starts_with("pnl"))
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
    TFrameBuffer rec {FrameStart1, FrameStart2, CmdParameterRecord, WriteFrameDataCount};
    SealFrame(rec);
    return rec;
}

void SealFrame(TFrameBuffer &Buf)
{
    Buf[FrameCheckOffset] = FrameCheckByte(Buf.data(), static_cast<int>(FrameCheckOffset) - 1);
    Buf[FrameEndOffset] = FrameEnd;
}
