#pragma once

#include "Controls.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

// What the window shows before anything is read: the kind, the items and the
// starting state of every parameter control. The window and the widget-free
// parameter set both take them from here, so the two cannot drift apart.

enum class TControlKind { Edit, Memo, Combo, Check, Radio, Panel };

constexpr int FirstListedYear = 2018;
constexpr int LastListedYear = 2099;
constexpr int UtcZoneIndex = 24;  // "UTC+00:00"; item i stands for (i - 24) x 30 minutes

TControlKind ControlKind(Ctl c);

// The items of a combo box in the window's order; empty for other kinds.
const std::vector<std::string> &ControlItems(Ctl c);
// The index of the item selected when the window is shown.
int DefaultItemIndex(Ctl c);
// The text of an edit when the window is shown.
std::string DefaultText(Ctl c);
// Checked when the window is shown (check boxes and radio buttons).
bool DefaultChecked(Ctl c);
bool DefaultEnabled(Ctl c);
bool DefaultVisible(Ctl c);

// The exclusive group of a radio button, itself included.
std::span<const Ctl> RadioGroup(Ctl c);
// The controls whose Enabled state a switch sets.
std::span<const Ctl> SwitchedControls(TEnableSwitch s);
// The row switch that a row check box's click runs.
std::optional<TEnableSwitch> CheckBoxSwitch(Ctl c);

// The thirteen edits that hold a decimal value: both calibration values and
// every alarm threshold.
bool IsDecimalEdit(Ctl c);

// Re-applies what the change and click handlers of the start mode, the password
// start-up and the alarm mode would, after values were set from code.
void ApplyControlRules(TControlValues &C);
