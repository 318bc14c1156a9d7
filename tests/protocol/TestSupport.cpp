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

void TFakeControls::Apply(std::string_view Notation)
{
    for (const std::string &part : Parts(Notation)) {
        const auto eq = part.find('=');
        const std::string_view name = Trim(std::string_view(part).substr(0, eq));
        const std::string value = part.substr(eq + 1);
        if (name.starts_with("@")) {
            Enable(SwitchByName(name.substr(1)), value == "on");
            continue;
        }
        const Ctl c = ControlByName(name);
        if (name.starts_with("cbb")) {
            const auto &items = ControlItems(c);
            const auto it = std::find(items.begin(), items.end(), value);
            if (value != "<none>" && it == items.end())
                throw std::logic_error("no item " + value + " in " + std::string(name));
            SetItemIndex(c, value == "<none>" ? -1 : static_cast<int>(it - items.begin()));
        } else if (name.starts_with("rb") || name.starts_with("chk")) {
            SetChecked(c, value == "on");
        } else if (name.starts_with("pnl")) {
            SetVisible(c, value == "shown");
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
