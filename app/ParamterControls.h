#pragma once

#include "Controls.h"

#include <array>
#include <string>

class QWidget;
class TParamter;

// The parameter window's controls as the protocol code sees them: values by
// control name, texts in UTF-8, the memo's line breaks as CR LF.
class TParamterControls final : public TControlValues
{
public:
    explicit TParamterControls(TParamter &Window);

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

    QWidget *Widget(Ctl c) const;

private:
    template<typename T>
    T *As(Ctl c) const;

    TParamter &FWindow;
    std::array<QWidget *, ControlCount> FWidgets {};
};
