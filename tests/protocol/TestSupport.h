#pragma once

#include "Controls.h"
#include "Frame.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// An in-memory parameter window: the items of every combo box, the texts, the
// ticked states, and the click handlers that setting a state from code runs.
// It starts as the window stands after it is first shown.
class TFakeControls : public TControlValues
{
public:
    TFakeControls();

    std::string Text(Ctl c) const override;
    void SetText(Ctl c, const std::string &text) override;
    int ItemIndex(Ctl c) const override;
    void SetItemIndex(Ctl c, int index) override;
    int ItemCount(Ctl c) const override;
    std::string ItemText(Ctl c, int index) const override;
    bool Checked(Ctl c) const override;
    void SetChecked(Ctl c, bool on) override;
    void SetVisible(Ctl c, bool visible) override;
    void Enable(TEnableSwitch s, bool value) override;

    bool Enabled(TEnableSwitch s) const { return FEnabled[static_cast<std::size_t>(s)]; }
    bool Visible(Ctl c) const { return FVisible[Index(c)]; }

    // "name=value; name=value": a combo by item text or "<none>", an edit by
    // text, a check box or radio button "on"/"off", a panel "shown"/"hidden",
    // "@Switch" the Enabled state of an enabling switch ("on"/"off"). Describe
    // gives one name's value in the same notation.
    void Apply(std::string_view Notation);
    std::string Describe(std::string_view Name) const;

private:
    static std::size_t Index(Ctl c) { return static_cast<std::size_t>(c); }
    std::array<std::vector<std::string>, ControlCount> FItems;
    std::array<int, ControlCount> FIndex {};
    std::array<std::string, ControlCount> FText;
    std::array<bool, ControlCount> FChecked {};
    std::array<bool, ControlCount> FVisible {};
    static constexpr std::size_t SwitchCount = static_cast<std::size_t>(TEnableSwitch::Password) + 1;
    std::array<bool, SwitchCount> FEnabled {};
};

Ctl ControlByName(std::string_view Name);

// "offset: hh hh ...; offset*count: hh" — decimal offsets, hexadecimal bytes;
// "*count" repeats one byte.
void PatchBytes(TFrameBuffer &Buf, std::string_view Notation);
// The bytes of Buf that Notation names, differing ones listed; empty when all agree.
std::string CompareBytes(const TFrameBuffer &Buf, std::string_view Notation);

// A parameter record with every byte zero except the frame bytes.
TFrameBuffer BlankRecord();
// Puts a sound check byte and end byte on a frame.
void SealFrame(TFrameBuffer &Buf);
