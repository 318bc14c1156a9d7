#pragma once

#include "Controls.h"

#include <array>
#include <string>

// The window's parameter controls without the window: what a command-line
// program reads, compares and writes, and what a settings file is parsed into.
// It behaves as the window's controls do, so the record decoder and the frame
// encoder run over it unchanged, and it starts as the window does when shown.
class TParameterSet : public TControlValues
{
public:
    TParameterSet();

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

    bool Enabled(Ctl c) const { return State(c).Enabled; }
    bool Visible(Ctl c) const { return State(c).Visible; }

private:
    struct TState {
        std::string Text;
        int Index = -1;
        bool Checked = false;
        bool Enabled = true;
        bool Visible = true;
    };

    const TState &State(Ctl c) const { return FStates[static_cast<std::size_t>(c)]; }
    TState &State(Ctl c) { return FStates[static_cast<std::size_t>(c)]; }
    void Expect(Ctl c, std::initializer_list<int> kinds) const;

    std::array<TState, ControlCount> FStates;
};
