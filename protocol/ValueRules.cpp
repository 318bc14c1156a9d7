#include "ValueRules.h"

#include "Convert.h"

#include <algorithm>
#include <array>

namespace {

// Limits are the window's: a serial number and a device ID are as long as
// their bytes, a password as long as its six, and a service life of four
// digits, as the box shows.
constexpr std::array<TValueRule, 17> Rules = {{
    {Ctl::edtSerialNumber, TTyping::SerialNumber, 9},
    {Ctl::edtDeviceID, TTyping::Hex, 8},
    {Ctl::edtServiceLife, TTyping::Digits, 4},
    {Ctl::edtPassword, TTyping::LettersDigits, 6},
    {Ctl::edtCalibrationTemp, TTyping::Number, 0},
    {Ctl::edtCalibrationHumidity, TTyping::Number, 0},
    {Ctl::edtSingleH1, TTyping::Number, 0},
    {Ctl::edtSingleL1, TTyping::Number, 0},
    {Ctl::edtSingleHumidityH1, TTyping::Number, 0},
    {Ctl::edtSingleHumidityL1, TTyping::Number, 0},
    {Ctl::edtTemperatureH3, TTyping::Number, 0},
    {Ctl::edtTemperatureH2, TTyping::Number, 0},
    {Ctl::edtTemperatureH1, TTyping::Number, 0},
    {Ctl::edtTemperatureL1, TTyping::Number, 0},
    {Ctl::edtTemperatureL2, TTyping::Number, 0},
    {Ctl::edtHumidityH1, TTyping::Number, 0},
    {Ctl::edtHumidityL1, TTyping::Number, 0},
}};

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool IsAsciiLetter(char32_t c) { return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z'); }
bool IsHexLetter(char32_t c) { return (c >= U'A' && c <= U'F') || (c >= U'a' && c <= U'f'); }

// Control characters spelt out: the message may reach a terminal.
std::string Quoted(std::string_view Text)
{
    std::string out = "\"";
    for (const char32_t ch : Utf8ToChars(Text)) {
        if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0)) {
            static constexpr char Hex[] = "0123456789ABCDEF";
            out += "\\u00";
            out += Hex[ch >> 4];
            out += Hex[ch & 0xF];
        } else {
            out += CharsToUtf8(std::u32string(1, ch));
        }
    }
    return out + "\"";
}

// What the edit takes, as a message says it.
std::string Form(TTyping Typing, std::size_t Limit)
{
    const std::string limit = std::to_string(Limit);
    switch (Typing) {
    case TTyping::SerialNumber: return "a letter or a digit followed by digits, " + limit + " characters at most";
    case TTyping::Hex: return "up to " + limit + " hexadecimal digits";
    case TTyping::Digits: return "a number of up to " + limit + " digits";
    case TTyping::LettersDigits: return "up to " + limit + " letters and digits";
    case TTyping::Number: return "a number such as 25.30 or -2.5";
    }
    return {};
}

} // namespace

std::span<const TValueRule> ValueRules()
{
    return Rules;
}

const TValueRule *ValueRuleOf(Ctl Edit)
{
    const auto it = std::find_if(Rules.begin(), Rules.end(), [Edit](const TValueRule &r) { return r.Edit == Edit; });
    return it == Rules.end() ? nullptr : &*it;
}

bool MayType(TTyping Typing, std::u32string_view Before, char32_t Key)
{
    switch (Typing) {
    case TTyping::SerialNumber: return IsDigit(Key) || (Before.empty() && IsAsciiLetter(Key));
    case TTyping::Hex: return IsDigit(Key) || IsHexLetter(Key);
    case TTyping::Digits: return IsDigit(Key);
    case TTyping::LettersDigits: return IsDigit(Key) || IsAsciiLetter(Key);
    case TTyping::Number: return IsDigit(Key) || Key == U'-' || (Key == U'.' && Before.find(U'.') == Before.npos);
    }
    return false;
}

std::optional<std::string> TypingProblem(Ctl Edit, std::string_view Text)
{
    const TValueRule *rule = ValueRuleOf(Edit);
    if (rule == nullptr)
        return std::nullopt;
    const std::u32string chars = Utf8ToChars(Text);
    bool typeable = rule->Limit == 0 || chars.size() <= rule->Limit;
    for (std::size_t i = 0; i < chars.size() && typeable; ++i)
        typeable = MayType(rule->Typing, std::u32string_view(chars).substr(0, i), chars[i]);
    if (typeable)
        return std::nullopt;
    return Quoted(Text) + " is not " + Form(rule->Typing, rule->Limit) + ", as the window takes it";
}

std::size_t TripInfoBytes(std::string_view Utf8)
{
    std::size_t bytes = 0;
    const std::u32string chars = Utf8ToChars(Utf8);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (chars[i] == U'\r' && i + 1 < chars.size() && chars[i + 1] == U'\n')
            continue;  // counted with its line feed
        bytes += chars[i] == U'\n' || chars[i] == U'\r' ? 2 : 1;
    }
    return bytes;
}

int DecimalWholeLimit(Ctl Edit)
{
    for (const TThresholdBlock &b : ThresholdBlocks())
        if (b.Multiple.Edit == Edit)
            return 99;
    return 255;
}

std::string EditCaption(Ctl Edit)
{
    switch (Edit) {
    case Ctl::edtSerialNumber: return "Serial Number";
    case Ctl::edtDeviceID: return "Device ID";
    case Ctl::edtServiceLife: return "Service Life";
    case Ctl::edtPassword: return "Password";
    case Ctl::edtCalibrationTemp: return "Calibration Temperature";
    case Ctl::edtCalibrationHumidity: return "Calibration Humidity";
    case Ctl::edtSingleH1: return "Temperature H1";
    case Ctl::edtSingleL1: return "Temperature L1";
    case Ctl::edtSingleHumidityH1: return "Humidity H1";
    case Ctl::edtSingleHumidityL1: return "Humidity L1";
    case Ctl::edtTemperatureH3: return "Temperature H3";
    case Ctl::edtTemperatureH2: return "Temperature H2";
    case Ctl::edtTemperatureH1: return "Temperature H1";
    case Ctl::edtTemperatureL1: return "Temperature L1";
    case Ctl::edtTemperatureL2: return "Temperature L2";
    case Ctl::edtHumidityH1: return "Humidity H1";
    case Ctl::edtHumidityL1: return "Humidity L1";
    case Ctl::mmoTripInfo: return "Trip Information";
    default: return std::string(ControlName(Edit));
    }
}
