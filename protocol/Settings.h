#pragma once

#include "Controls.h"

#include <optional>
#include <string>
#include <vector>

// The named settings of a logger, as the window names and shows them: every
// value a save sends, the ones the window never shows included, so that a
// settings file restores a logger completely. Only the clock is left out: each
// write sets it from the computer's.

enum class TSettingKind {
    Text,    // an edit or the memo: its text
    Choice,  // one list or several: each the text of its selected item, "" for none
    Switch,  // a row's check box: true or false
    OneOf,   // a group of radio buttons: the caption of the one that is on
};

// Identity and calibration belong to one logger: a file applied as a template
// leaves them as the logger has them unless asked.
enum class TSettingScope { Template, Identity, Calibration };

struct TSettingPart {
    std::string Key;  // empty where the setting is one control; else its key in an inline table
    Ctl Control;
};

struct TSetting {
    std::vector<std::string> Table;  // the table that holds it, outermost first
    std::string Key;
    std::string Name;  // in messages and differences: "Start Mode", "Single Alarm / Temperature H1:Over / Alarm Mode"
    TSettingKind Kind;
    TSettingScope Scope;
    std::vector<TSettingPart> Parts;
    std::vector<std::pair<std::string, Ctl>> Options;  // OneOf: caption and radio button
    std::string Comment;
};

// Every setting, in the order a file lists them; a table's settings are contiguous.
const std::vector<TSetting> &Settings();

// One text per part ("true" or "false" for a switch); a OneOf holds one text.
using TSettingValue = std::vector<std::string>;
// One value per setting, in the order of Settings().
using TSettingValues = std::vector<TSettingValue>;

struct TScopes {
    bool Identity = false;
    bool Calibration = false;
    static TScopes All() { return {true, true}; }
    bool Has(TSettingScope s) const
    {
        return s == TSettingScope::Template || (s == TSettingScope::Identity ? Identity : Calibration);
    }
};

// Decimal texts in settings always use a point; the controls use the
// locale's separator, as a read writes them.
TSettingValues CaptureSettings(const TControlValues &C, const std::string &DecimalSeparator);
// Sets the controls of the settings in Scopes, then the states their rules
// give, as if the user had chosen each value. Values must have passed
// SettingValueProblem.
void ApplySettings(TControlValues &C, const TSettingValues &Values, TScopes Scopes,
                   const std::string &DecimalSeparator);

// Where a value comes from, which decides what it may hold.
enum class TValueOrigin {
    Typed,   // a settings file or an export: what the window lets a user type
    Logger,  // a backup: what a logger may hold, as it was read
};

// Why a value cannot stand in a settings file, or none: a list item that is not
// in the list, a number outside what the frame can carry, a character the
// logger cannot store; for a typed value also anything the window's typing
// rules refuse, and a trip text longer than a write carries.
std::optional<std::string> SettingValueProblem(const TSetting &Setting, const TSettingValue &Value,
                                               TValueOrigin Origin = TValueOrigin::Typed);

// The value as a read writes it, so that two spellings of one value compare
// equal: "25.3" as "25.30", "1a2b3c4d" as "1A2B3C4D", "0365" days as "365",
// a CR LF line break as LF. Values that do not convert stay as they are.
TSettingValue CanonicalValue(const TSetting &Setting, const TSettingValue &Value);
TSettingValues CanonicalValues(const TSettingValues &Values);

// Which settings the logger's record carries given the other values: a start
// time only with Timing, a start delay only with Delayed, the password only
// when it is enabled, the rows of the alarm mode that is on, and of multiple
// alarm only the rows switched on. The others are neither sent nor shown by
// a read, so nothing can be asked or verified of them.
std::vector<bool> SettingsInUse(const TSettingValues &Values);

// The value as it is written in a file: a quoted text, true or false, or an
// inline table.
std::string DisplayValue(const TSetting &Setting, const TSettingValue &Value);

struct TSettingDifference {
    std::string Name;
    std::string Old;  // as DisplayValue gives it
    std::string New;
};

// The settings in Scopes whose values differ, in file order.
std::vector<TSettingDifference> DiffSettings(const TSettingValues &Old, const TSettingValues &New, TScopes Scopes);

// Where a setting is in the list; throws for a name that is none.
std::size_t SettingIndex(const std::string &Name);

// TOML's own spelling of a text and of a key (bare where it may be).
std::string TomlQuoted(std::string_view Utf8);
std::string TomlKey(std::string_view Key);
