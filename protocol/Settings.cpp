#include "Settings.h"

#include "ControlTable.h"
#include "Convert.h"
#include "ParameterLayout.h"
#include "ValueRules.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

TSetting Text(std::vector<std::string> table, std::string key, std::string name, Ctl control,
              TSettingScope scope = TSettingScope::Template, std::string comment = {})
{
    return {std::move(table), std::move(key), std::move(name), TSettingKind::Text, scope, {{"", control}}, {},
            std::move(comment)};
}

TSetting Choice(std::vector<std::string> table, std::string key, std::string name, std::vector<TSettingPart> parts,
                std::string comment = {})
{
    if (comment.empty() && parts.size() == 1 && parts.front().Key.empty()) {
        // A short list is named in full, so that the file says what it may hold.
        const auto &items = ControlItems(parts.front().Control);
        if (items.size() <= 4) {
            for (const std::string &item : items)
                comment += (comment.empty() ? "" : ", ") + item;
        }
    }
    return {std::move(table), std::move(key), std::move(name), TSettingKind::Choice, TSettingScope::Template,
            std::move(parts), {}, std::move(comment)};
}

std::vector<TSettingPart> One(Ctl c) { return {{"", c}}; }

struct TRowNames {
    Ctl Edit;
    std::string Zone;
};

void AlarmRows(std::vector<TSetting> &list, const std::string &panel, const std::vector<TRowNames> &rows)
{
    for (const TRowNames &row : rows) {
        const TThresholdBlock *block = nullptr;
        for (const TThresholdBlock &b : ThresholdBlocks())
            if (b.Multiple.Edit == row.Edit || (b.Single && b.Single->Edit == row.Edit))
                block = &b;
        const bool single = block->Single && block->Single->Edit == row.Edit;
        const TAlarmRowControls &controls = single ? *block->Single : block->Multiple;
        const std::vector<std::string> table = {"Alarm Setting", panel, row.Zone};
        const std::string prefix = panel + " / " + row.Zone + " / ";
        if (!single && block->Check) {
            list.push_back({table, "on", prefix + "on", TSettingKind::Switch, TSettingScope::Template,
                            {{"", *block->Check}}, {}, "the row's check box"});
        }
        list.push_back(Text(table, "Temperature/Humidity", prefix + "Temperature/Humidity", controls.Edit,
                            TSettingScope::Template, single ? "" : "at most 99.99 in multiple alarm"));
        list.push_back(Choice(table, "Alarm Mode", prefix + "Alarm Mode", One(controls.Type)));
        list.push_back(Choice(table, "Alarm Delay", prefix + "Alarm Delay",
                              {{"H", controls.DelayH}, {"M", controls.DelayM}, {"S", controls.DelayS}}));
    }
}

std::vector<TSetting> MakeSettings()
{
    std::vector<TSetting> list;
    const std::vector<std::string> identity = {"identity"};
    list.push_back(Text(identity, "Serial Number", "Serial Number", Ctl::edtSerialNumber, TSettingScope::Identity));
    list.push_back(Text(identity, "Device ID", "Device ID", Ctl::edtDeviceID, TSettingScope::Identity));

    const std::vector<std::string> calibration = {"calibration"};
    list.push_back(Text(calibration, "Calibration Temperature", "Calibration Temperature", Ctl::edtCalibrationTemp,
                        TSettingScope::Calibration));
    list.push_back(Text(calibration, "Calibration Humidity", "Calibration Humidity", Ctl::edtCalibrationHumidity,
                        TSettingScope::Calibration));

    const std::vector<std::string> device = {"Device Info"};
    list.push_back(Text(device, "Service Life", "Service Life", Ctl::edtServiceLife, TSettingScope::Template, "days"));
    list.push_back(Choice(device, "Start Mode", "Start Mode", One(Ctl::cbbStartMode)));
    list.push_back(Choice(device, "Report Language", "Report Language", One(Ctl::cbbReportLanguage)));
    list.push_back(Choice(device, "Multiple Start/Stop", "Multiple Start/Stop", One(Ctl::cbbMultipleStart)));
    list.push_back({device, "Temp. Unit", "Temp. Unit", TSettingKind::OneOf, TSettingScope::Template, {},
                    {{"°C", Ctl::rbC}, {"°F", Ctl::rbF}}, "°C, °F; converts no value"});
    list.push_back(Choice(device, "Time Zone", "Time Zone", One(Ctl::cbbTimeZone), "also the zone of the clock a write sets"));
    list.push_back(Choice(device, "Start Time", "Start Time",
                          {{"Y", Ctl::cbbStartTimeY}, {"M", Ctl::cbbStartTimeM}, {"D", Ctl::cbbStartTimeD},
                           {"H", Ctl::cbbStartTimeH}, {"N", Ctl::cbbStartTimeN}, {"S", Ctl::cbbStartTimeS}},
                          "sent with Timing; N is the minute"));
    list.push_back(Choice(device, "Probe Mode", "Probe Mode", One(Ctl::cbbProbeMode)));
    list.push_back(Choice(device, "Cycle Switch", "Cycle Switch", One(Ctl::cbbCycleSwitch)));
    list.push_back(Choice(device, "Stop Mode", "Stop Mode", One(Ctl::cbbStopMode)));
    list.push_back(Choice(device, "Temporary PDF Startup", "Temporary PDF Startup", One(Ctl::cbbTemporaryPDFStartup)));
    list.push_back(Choice(device, "Password Startup", "Password Startup", One(Ctl::cbbPasswordStartup)));
    list.push_back(Text(device, "Password", "Password", Ctl::edtPassword, TSettingScope::Template,
                        "six characters, sent with Password Startup Enable"));

    const std::vector<std::string> log = {"Log Setting"};
    list.push_back(Choice(log, "Log Interval", "Log Interval",
                          {{"H", Ctl::cbbLogIntervalH}, {"M", Ctl::cbbLogIntervalM}, {"S", Ctl::cbbLogIntervalS}},
                          "S: 0, 10, ... 50"));
    list.push_back(Choice(log, "Start Delay", "Start Delay", {{"H", Ctl::cbbStartDelayH}, {"M", Ctl::cbbStartDelayM}},
                          "sent with Delayed"));

    list.push_back({{"Alarm Setting"}, "Alarm", "Alarm", TSettingKind::OneOf, TSettingScope::Template, {},
                    {{"No Alarm", Ctl::rbNoAlarm}, {"Single Alarm", Ctl::rbSingleAlarm},
                     {"Multiple Alarm", Ctl::rbMultipleAlarm}},
                    "No Alarm, Single Alarm, Multiple Alarm"});
    AlarmRows(list, "Single Alarm",
              {{Ctl::edtSingleH1, "Temperature H1:Over"},
               {Ctl::edtSingleL1, "Temperature L1:Below"},
               {Ctl::edtSingleHumidityH1, "Humidity H1:Over"},
               {Ctl::edtSingleHumidityL1, "Humidity L1:Below"}});
    AlarmRows(list, "Multiple Alarm",
              {{Ctl::edtTemperatureH3, "Temperature H3:Over"},
               {Ctl::edtTemperatureH2, "Temperature H2:Over"},
               {Ctl::edtTemperatureH1, "Temperature H1:Over"},
               {Ctl::edtTemperatureL1, "Temperature L1:Below"},
               {Ctl::edtTemperatureL2, "Temperature L2:Below"},
               {Ctl::edtHumidityH1, "Humidity H1:Over"},
               {Ctl::edtHumidityL1, "Humidity L1:Below"}});

    list.push_back(Text({"Trip Information"}, "text", "Trip Information", Ctl::mmoTripInfo, TSettingScope::Template,
                        "94 bytes are sent; a line break counts two"));
    return list;
}

// Replaces every From with To.
std::string Replaced(std::string text, const std::string &from, const std::string &to)
{
    if (from.empty() || from == to)
        return text;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::optional<std::string> LoggerTextProblem(const std::string &text, std::size_t maxChars)
{
    const std::u32string chars = Utf8ToChars(text);
    for (char32_t ch : chars) {
        if (ch == 0 || ch > 0xFF)
            return "the logger stores only characters U+0001 to U+00FF";
    }
    if (chars.size() > maxChars)
        return "longer than " + std::to_string(maxChars) + " characters";
    return std::nullopt;
}

bool AllOf(const std::string &text, bool (*accept)(char))
{
    return std::all_of(text.begin(), text.end(), [accept](char ch) { return accept(ch); });
}

// Without the leading and trailing characters up to the blank.
std::string Blanked(const std::string &text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32)
        --last;
    return text.substr(first, last - first);
}

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }
bool IsHexDigit(char ch) { return IsDigit(ch) || (ch >= 'A' && ch <= 'F') || (ch >= 'a' && ch <= 'f'); }

// A sign, digits and at most two decimals: the frame carries hundredths, so
// a third decimal would be dropped without a word. A value as a logger held
// it may have three, as a read writes a fraction byte above 99.
std::optional<std::string> DecimalProblem(const std::string &raw, int maxWhole, TValueOrigin origin = TValueOrigin::Typed)
{
    // Blanks around the number are ignored, as saving ignores them; a blank
    // value and a lone minus are left to the checks before saving, which name
    // the entry as the window does.
    const std::string text = Blanked(raw);
    if (text.empty() || text == "-")
        return std::nullopt;
    const std::string body = text.front() == '-' ? text.substr(1) : text;
    const std::size_t point = body.find('.');
    const std::string whole = body.substr(0, point);
    const std::string fraction = point == std::string::npos ? std::string() : body.substr(point + 1);
    const std::string form = "\"" + text + "\" is not a number such as 25.30 or -2.5";
    if (whole.empty() || !AllOf(whole, IsDigit) || !AllOf(fraction, IsDigit)
        || (point != std::string::npos && fraction.empty()))
        return form;
    if (origin == TValueOrigin::Logger && (fraction.size() > 3 || (fraction.size() == 3 && std::stoi(fraction) > 255)))
        return "\"" + text + "\" has more decimals than a logger's byte holds";
    if (origin == TValueOrigin::Typed && fraction.size() > 2)
        return "\"" + text + "\" has more than two decimals; the logger keeps hundredths";
    if (whole.size() > 4 || std::stoi(whole) > maxWhole)
        return "\"" + text + "\" is outside -" + std::to_string(maxWhole) + ".99 to " + std::to_string(maxWhole)
               + ".99";
    return std::nullopt;
}

std::optional<std::string> TypedTextProblem(Ctl c, const std::string &text)
{
    if (c == Ctl::mmoTripInfo) {
        if (auto problem = LoggerTextProblem(text, Offset::RecordTripInfoLength))
            return problem;
        if (const std::size_t bytes = TripInfoBytes(text); bytes > TripInfoLimit)
            return "is " + std::to_string(bytes) + " bytes long (a line break counts two); a write carries "
                   + std::to_string(TripInfoLimit);
        return std::nullopt;
    }
    if (auto problem = TypingProblem(c, text))
        return problem;
    if (IsDecimalEdit(c))
        return DecimalProblem(text, DecimalWholeLimit(c));
    return std::nullopt;
}

std::optional<std::string> TextProblem(Ctl c, const std::string &text, TValueOrigin origin)
{
    if (origin == TValueOrigin::Typed)
        return TypedTextProblem(c, text);
    switch (c) {
    case Ctl::edtSerialNumber: return LoggerTextProblem(text, 10);
    case Ctl::edtPassword: return LoggerTextProblem(text, 6);
    case Ctl::edtDeviceID:
        if (!AllOf(text, IsHexDigit) || text.size() > 8)
            return "\"" + text + "\" is not up to eight hexadecimal digits";
        return std::nullopt;
    case Ctl::edtServiceLife:
        if (Blanked(text).empty())
            return std::nullopt;  // the checks before saving report it
        if (!AllOf(text, IsDigit) || text.size() > 5 || (!text.empty() && std::stoi(text) > 65535))
            return "\"" + text + "\" is not a number of days from 0 to 65535";
        return std::nullopt;
    case Ctl::mmoTripInfo: {
        if (auto problem = LoggerTextProblem(text, Offset::RecordTripInfoLength))
            return problem;
        if (TripInfoBytes(text) > Offset::RecordTripInfoLength)
            return "longer than the logger's 100 bytes (a line break counts two)";
        return std::nullopt;
    }
    default: break;
    }
    if (IsDecimalEdit(c))
        return DecimalProblem(text, 255, TValueOrigin::Logger);
    return std::nullopt;
}

// Any spelling of a line break as LF, as a read shows the memo.
std::string LineFeeds(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string CanonicalDecimal(const std::string &text)
{
    try {
        const std::int64_t v = StrToTenThousandths(text, ".");
        const std::int64_t a = v < 0 ? -v : v;
        const std::int64_t hundredths = a % 10000 / 100;
        return (v < 0 ? "-" : "") + std::to_string(a / 10000) + "." + (hundredths < 10 ? "0" : "")
               + std::to_string(hundredths);
    } catch (const EConvertError &) {
        return text;
    }
}

std::string CanonicalText(Ctl c, const std::string &text)
{
    if (IsDecimalEdit(c))
        return CanonicalDecimal(text);
    switch (c) {
    case Ctl::edtDeviceID: {
        std::string upper = text;
        for (char &ch : upper)
            if (ch >= 'a' && ch <= 'f')
                ch = static_cast<char>(ch - 'a' + 'A');
        return upper;
    }
    case Ctl::edtServiceLife:
        if (!text.empty() && text.size() <= 5 && AllOf(text, IsDigit))
            return std::to_string(std::stoi(text));
        return text;
    case Ctl::mmoTripInfo: return LineFeeds(text);
    default: return text;
    }
}

std::string ItemList(const std::vector<std::string> &items)
{
    if (items.size() > 6)
        return TomlQuoted(items.front()) + " to " + TomlQuoted(items.back());
    std::string list;
    for (const std::string &item : items)
        list += (list.empty() ? "" : ", ") + TomlQuoted(item);
    return list;
}

} // namespace

const std::vector<TSetting> &Settings()
{
    static const std::vector<TSetting> settings = MakeSettings();
    return settings;
}

std::size_t SettingIndex(const std::string &Name)
{
    const auto &all = Settings();
    const auto it = std::find_if(all.begin(), all.end(), [&](const TSetting &s) { return s.Name == Name; });
    if (it == all.end())
        throw std::logic_error("no setting " + Name);
    return static_cast<std::size_t>(it - all.begin());
}

TSettingValues CaptureSettings(const TControlValues &C, const std::string &DecimalSeparator)
{
    TSettingValues values;
    for (const TSetting &setting : Settings()) {
        TSettingValue value;
        switch (setting.Kind) {
        case TSettingKind::Text: {
            const Ctl c = setting.Parts.front().Control;
            std::string text = C.Text(c);
            if (IsDecimalEdit(c))
                text = Replaced(text, DecimalSeparator, ".");
            if (c == Ctl::mmoTripInfo)
                text = Replaced(text, "\r\n", "\n");
            value.push_back(text);
            break;
        }
        case TSettingKind::Choice:
            for (const TSettingPart &part : setting.Parts) {
                const int index = C.ItemIndex(part.Control);
                value.push_back(index >= 0 && index < C.ItemCount(part.Control) ? C.ItemText(part.Control, index)
                                                                                : std::string());
            }
            break;
        case TSettingKind::Switch:
            value.push_back(C.Checked(setting.Parts.front().Control) ? "true" : "false");
            break;
        case TSettingKind::OneOf: {
            std::string on;
            for (const auto &[caption, button] : setting.Options)
                if (C.Checked(button))
                    on = caption;
            value.push_back(on);
            break;
        }
        }
        values.push_back(std::move(value));
    }
    return values;
}

void ApplySettings(TControlValues &C, const TSettingValues &Values, TScopes Scopes, const std::string &DecimalSeparator)
{
    const auto &settings = Settings();
    if (Values.size() != settings.size())
        throw std::logic_error("settings of another kind");
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const TSetting &setting = settings[i];
        const TSettingValue &value = Values[i];
        if (!Scopes.Has(setting.Scope))
            continue;
        switch (setting.Kind) {
        case TSettingKind::Text: {
            const Ctl c = setting.Parts.front().Control;
            C.SetText(c, IsDecimalEdit(c) ? Replaced(value.front(), ".", DecimalSeparator) : value.front());
            break;
        }
        case TSettingKind::Choice:
            for (std::size_t p = 0; p < setting.Parts.size(); ++p) {
                const Ctl c = setting.Parts[p].Control;
                const auto &items = ControlItems(c);
                const auto it = std::find(items.begin(), items.end(), value[p]);
                C.SetItemIndex(c, it == items.end() ? -1 : static_cast<int>(it - items.begin()));
            }
            break;
        case TSettingKind::Switch:
            C.SetChecked(setting.Parts.front().Control, value.front() == "true");
            break;
        case TSettingKind::OneOf:
            for (const auto &[caption, button] : setting.Options)
                if (caption == value.front())
                    C.SetChecked(button, true);
            break;
        }
    }
    ApplyControlRules(C);
}

std::optional<std::string> SettingValueProblem(const TSetting &Setting, const TSettingValue &Value, TValueOrigin Origin)
{
    const std::size_t parts = Setting.Kind == TSettingKind::OneOf ? 1 : Setting.Parts.size();
    if (Value.size() != parts)
        return "has " + std::to_string(Value.size()) + " parts, not " + std::to_string(parts);
    switch (Setting.Kind) {
    case TSettingKind::Text:
        return TextProblem(Setting.Parts.front().Control, Value.front(), Origin);
    case TSettingKind::Choice:
        for (std::size_t p = 0; p < parts; ++p) {
            const auto &items = ControlItems(Setting.Parts[p].Control);
            // "" is a list with no selection, as a read leaves one for a byte outside it.
            if (!Value[p].empty() && std::find(items.begin(), items.end(), Value[p]) == items.end()) {
                const std::string where = Setting.Parts[p].Key.empty() ? "" : Setting.Parts[p].Key + ": ";
                return where + TomlQuoted(Value[p]) + " is not one of " + ItemList(items);
            }
        }
        return std::nullopt;
    case TSettingKind::Switch:
        if (Value.front() != "true" && Value.front() != "false")
            return "is neither true nor false";
        return std::nullopt;
    case TSettingKind::OneOf: {
        std::vector<std::string> captions;
        for (const auto &option : Setting.Options)
            captions.push_back(option.first);
        if (std::find(captions.begin(), captions.end(), Value.front()) == captions.end())
            return TomlQuoted(Value.front()) + " is not one of " + ItemList(captions);
        return std::nullopt;
    }
    }
    return std::nullopt;
}

std::string DisplayValue(const TSetting &Setting, const TSettingValue &Value)
{
    if (Setting.Kind == TSettingKind::Switch)
        return Value.front();
    if (Setting.Parts.size() <= 1 || Setting.Kind != TSettingKind::Choice)
        return TomlQuoted(Value.front());
    std::string text = "{ ";
    for (std::size_t p = 0; p < Setting.Parts.size(); ++p)
        text += (p ? ", " : "") + Setting.Parts[p].Key + " = " + TomlQuoted(Value[p]);
    return text + " }";
}

std::vector<TSettingDifference> DiffSettings(const TSettingValues &Old, const TSettingValues &New, TScopes Scopes)
{
    std::vector<TSettingDifference> differences;
    const auto &settings = Settings();
    for (std::size_t i = 0; i < settings.size() && i < Old.size() && i < New.size(); ++i) {
        if (Scopes.Has(settings[i].Scope) && Old[i] != New[i])
            differences.push_back({settings[i].Name, DisplayValue(settings[i], Old[i]), DisplayValue(settings[i], New[i])});
    }
    return differences;
}

std::string TomlQuoted(std::string_view Utf8)
{
    std::string out = "\"";
    for (char32_t ch : Utf8ToChars(Utf8)) {
        switch (ch) {
        case U'"': out += "\\\""; continue;
        case U'\\': out += "\\\\"; continue;
        case U'\n': out += "\\n"; continue;
        case U'\r': out += "\\r"; continue;
        case U'\t': out += "\\t"; continue;
        default: break;
        }
        // Control characters, C1 included, are spelt out so the file stays plain text.
        if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(ch));
            out += escaped;
        } else {
            out += CharsToUtf8(std::u32string(1, ch));
        }
    }
    return out + "\"";
}

std::string TomlKey(std::string_view Key)
{
    const bool bare = !Key.empty() && std::all_of(Key.begin(), Key.end(), [](char ch) {
        return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || IsDigit(ch) || ch == '_' || ch == '-';
    });
    return bare ? std::string(Key) : TomlQuoted(Key);
}

TSettingValue CanonicalValue(const TSetting &Setting, const TSettingValue &Value)
{
    if (Setting.Kind != TSettingKind::Text || Value.size() != 1)
        return Value;
    return {CanonicalText(Setting.Parts.front().Control, Value.front())};
}

TSettingValues CanonicalValues(const TSettingValues &Values)
{
    TSettingValues canonical;
    const auto &settings = Settings();
    for (std::size_t i = 0; i < Values.size() && i < settings.size(); ++i)
        canonical.push_back(CanonicalValue(settings[i], Values[i]));
    return canonical;
}

std::vector<bool> SettingsInUse(const TSettingValues &Values)
{
    const auto &settings = Settings();
    std::vector<bool> inUse(settings.size(), true);
    const auto value = [&](const char *name) { return Values.at(SettingIndex(name)).front(); };
    const std::string start = value("Start Mode");
    const std::string alarm = value("Alarm");
    const bool password = value("Password Startup") == "Enable";
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const TSetting &s = settings[i];
        if (s.Name == "Start Delay") {
            inUse[i] = start == "Delayed";
        } else if (s.Name == "Start Time") {
            inUse[i] = start == "Timing";
        } else if (s.Name == "Password") {
            inUse[i] = password;
        } else if (s.Table.size() == 3 && s.Table.front() == "Alarm Setting") {
            // The row's table is named after its panel, as the alarm's captions are.
            inUse[i] = s.Table[1] == alarm;
            if (!inUse[i] || s.Key == "on")
                continue;
            for (std::size_t j = 0; j < settings.size(); ++j)
                if (settings[j].Table == s.Table && settings[j].Key == "on")
                    inUse[i] = Values.at(j).front() == "true";
        }
    }
    return inUse;
}
