#pragma once

#include "Controls.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// What a user may type into each edit, in one table: the window's key filters
// and the settings-file reader both ask it, so a file can never hold a value
// that the window would not let a user type, nor the window take one that a
// file would be refused for.

enum class TTyping {
    SerialNumber,     // a letter or a digit first, digits after it
    Hex,              // hexadecimal digits, either case
    Digits,           // decimal digits
    LettersDigits,    // ASCII letters and digits
    Number,           // digits, a minus, one decimal point
};

struct TValueRule {
    Ctl Edit;
    TTyping Typing;
    std::size_t Limit;  // characters; 0: none but the number's own form
};

std::span<const TValueRule> ValueRules();
const TValueRule *ValueRuleOf(Ctl Edit);

// Whether Key may be typed into an edit that holds Before.
bool MayType(TTyping Typing, std::u32string_view Before, char32_t Key);

// Why Text could not have been typed, character by character, into Edit, or
// none; an edit with no rule takes anything.
std::optional<std::string> TypingProblem(Ctl Edit, std::string_view Text);

// The trip information as the write frame counts it: one byte a character, a
// line break two (it is sent as CR LF). The memo takes no more than the frame
// carries.
constexpr std::size_t TripInfoLimit = 94;
std::size_t TripInfoBytes(std::string_view Utf8);

// The largest whole part a decimal edit's bytes hold: a byte for calibration
// and single alarm, two BCD digits for multiple alarm.
int DecimalWholeLimit(Ctl Edit);

// How the window's messages name an edit: "Temperature H1", "Calibration Humidity".
std::string EditCaption(Ctl Edit);
