#include "ParameterSet.h"

#include "ControlTable.h"

#include <algorithm>
#include <stdexcept>

namespace {

// The memo keeps its line breaks as CR LF, whichever break it was given, as
// the window's memo does.
std::string MemoBreaks(const std::string &text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\r' || ch == '\n') {
            out += "\r\n";
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace

TParameterSet::TParameterSet()
{
    for (std::size_t i = 0; i < ControlCount; ++i) {
        const auto c = static_cast<Ctl>(i);
        TState &s = FStates[i];
        s.Text = DefaultText(c);
        s.Index = DefaultItemIndex(c);
        s.Checked = DefaultChecked(c);
        s.Enabled = DefaultEnabled(c);
        s.Visible = DefaultVisible(c);
    }
}

// A control of the wrong kind is a fault in the caller's table, as it is for the window.
void TParameterSet::Expect(Ctl c, std::initializer_list<int> kinds) const
{
    const int kind = static_cast<int>(ControlKind(c));
    if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end())
        throw std::logic_error(std::string(ControlName(c)) + " is not a control of that kind");
}

std::string TParameterSet::Text(Ctl c) const
{
    if (ControlKind(c) == TControlKind::Combo)
        return ItemText(c, ItemIndex(c));
    Expect(c, {int(TControlKind::Edit), int(TControlKind::Memo)});
    return State(c).Text;
}

void TParameterSet::SetText(Ctl c, const std::string &text)
{
    Expect(c, {int(TControlKind::Edit), int(TControlKind::Memo)});
    State(c).Text = ControlKind(c) == TControlKind::Memo ? MemoBreaks(text) : text;
}

int TParameterSet::ItemIndex(Ctl c) const
{
    Expect(c, {int(TControlKind::Combo)});
    return State(c).Index;
}

void TParameterSet::SetItemIndex(Ctl c, int index)
{
    Expect(c, {int(TControlKind::Combo)});
    State(c).Index = index >= 0 && index < ItemCount(c) ? index : -1;
}

int TParameterSet::ItemCount(Ctl c) const
{
    Expect(c, {int(TControlKind::Combo)});
    return static_cast<int>(ControlItems(c).size());
}

std::string TParameterSet::ItemText(Ctl c, int index) const
{
    const auto &items = ControlItems(c);
    return index >= 0 && index < static_cast<int>(items.size()) ? items[static_cast<std::size_t>(index)]
                                                                  : std::string();
}

bool TParameterSet::Checked(Ctl c) const
{
    Expect(c, {int(TControlKind::Check), int(TControlKind::Radio)});
    return State(c).Checked;
}

void TParameterSet::SetChecked(Ctl c, bool on)
{
    Expect(c, {int(TControlKind::Check), int(TControlKind::Radio)});
    TState &s = State(c);
    if (s.Checked == on)
        return;
    s.Checked = on;
    if (ControlKind(c) == TControlKind::Check) {
        if (const auto rowSwitch = CheckBoxSwitch(c))
            Enable(*rowSwitch, on);
        return;
    }
    // Switching a radio button off runs nothing; on switches its group's others off.
    if (!on)
        return;
    for (Ctl other : RadioGroup(c))
        if (other != c)
            State(other).Checked = false;
    State(Ctl::pnlSingleAlarm).Visible = Checked(Ctl::rbSingleAlarm);
    State(Ctl::pnlMultipleAlarm).Visible = Checked(Ctl::rbMultipleAlarm);
}

void TParameterSet::SetVisible(Ctl c, bool visible)
{
    State(c).Visible = visible;
}

void TParameterSet::Enable(TEnableSwitch s, bool value)
{
    for (Ctl c : SwitchedControls(s))
        State(c).Enabled = value;
}
