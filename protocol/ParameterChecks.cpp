#include "ParameterChecks.h"

#include "ControlTable.h"
#include "Convert.h"
#include "ValueRules.h"

#include <algorithm>
#include <chrono>

namespace {

// Lengths count characters, not bytes, and nothing is trimmed.
std::size_t Length(const TControlValues &C, Ctl c) { return Utf8ToChars(C.Text(c)).size(); }

// Leading and trailing characters up to the blank (codes 32 and below) are cut.
std::u32string Trimmed(const TControlValues &C, Ctl c)
{
    const std::u32string text = Utf8ToChars(C.Text(c));
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && text[first] <= 32)
        ++first;
    while (last > first && text[last - 1] <= 32)
        --last;
    return text.substr(first, last - first);
}

bool IsBlank(const TControlValues &C, Ctl c) { return Trimmed(C, c).empty(); }
bool IsLoneMinus(const TControlValues &C, Ctl c) { return Trimmed(C, c) == U"-"; }

struct TRow {
    std::optional<Ctl> Check;  // none: the row is always on
    Ctl Edit;
    const char *Message;
};

bool RowOn(const TControlValues &C, const TThresholdBlock &b) { return !b.Check || C.Checked(*b.Check); }

// The decimal edits whose text the frame carries as it stands, in the order
// the window shows them.
std::vector<Ctl> DecimalsInUse(const TControlValues &C)
{
    std::vector<Ctl> edits = {Ctl::edtCalibrationTemp, Ctl::edtCalibrationHumidity};
    if (C.Checked(Ctl::rbSingleAlarm)) {
        edits.insert(edits.end(), {Ctl::edtSingleH1, Ctl::edtSingleL1, Ctl::edtSingleHumidityH1, Ctl::edtSingleHumidityL1});
    } else if (C.Checked(Ctl::rbMultipleAlarm)) {
        for (const Ctl edit : {Ctl::edtTemperatureH3, Ctl::edtTemperatureH2, Ctl::edtTemperatureH1, Ctl::edtTemperatureL1,
                               Ctl::edtTemperatureL2, Ctl::edtHumidityH1, Ctl::edtHumidityL1}) {
            for (const TThresholdBlock &b : ThresholdBlocks())
                if (b.Multiple.Edit == edit && RowOn(C, b))
                    edits.push_back(edit);
        }
    }
    return edits;
}

// Ten-thousandths, or none for a text that does not convert.
std::optional<std::int64_t> Decimal(const TControlValues &C, Ctl c, const std::string &Separator)
{
    try {
        return StrToTenThousandths(C.Text(c), Separator);
    } catch (const EConvertError &) {
        return std::nullopt;
    }
}

// Significant decimals: "25.500" has one.
std::size_t Decimals(const std::string &Text, const std::string &Separator)
{
    std::size_t at = Text.find('.');
    std::size_t skip = 1;
    if (at == std::string::npos && !Separator.empty()) {
        at = Text.find(Separator);
        skip = Separator.size();
    }
    if (at == std::string::npos)
        return 0;
    std::size_t end = at + skip;
    while (end < Text.size() && Text[end] >= '0' && Text[end] <= '9')
        ++end;
    while (end > at + skip && Text[end - 1] == '0')
        --end;
    return end - at - skip;
}

std::optional<TCheckFailure> DecimalProblem(const TControlValues &C, Ctl c, const std::string &Separator)
{
    const auto value = Decimal(C, c, Separator);
    if (!value)
        return std::nullopt;
    const std::string caption = "The " + EditCaption(c);
    const std::int64_t whole = (*value < 0 ? -*value : *value) / 10000;
    const int limit = DecimalWholeLimit(c);
    if (whole > limit)
        return TCheckFailure{c, caption + " must lie between -" + std::to_string(limit) + ".99 and "
                                    + std::to_string(limit) + ".99"};
    if (Decimals(C.Text(c), Separator) > 2)
        return TCheckFailure{c, caption + " has more than two decimals; the logger keeps hundredths"};
    return std::nullopt;
}

std::optional<TCheckFailure> StorableProblem(const TControlValues &C, Ctl c)
{
    for (const char32_t ch : Utf8ToChars(C.Text(c))) {
        if (ch == 0 || ch > 0xFF)
            return TCheckFailure{c, "The " + EditCaption(c) + " holds a character the logger cannot store: "
                                        + CharsToUtf8(std::u32string(1, ch))};
    }
    return std::nullopt;
}

std::optional<int> Number(const TControlValues &C, Ctl Combo)
{
    const int index = C.ItemIndex(Combo);
    if (index < 0 || index >= C.ItemCount(Combo))
        return std::nullopt;
    try {
        return StrToInt(C.ItemText(Combo, index));
    } catch (const EConvertError &) {
        return std::nullopt;
    }
}

std::optional<TCheckFailure> StartTimeProblem(const TControlValues &C)
{
    if (C.ItemIndex(Ctl::cbbStartMode) != 2)
        return std::nullopt;
    const auto y = Number(C, Ctl::cbbStartTimeY), m = Number(C, Ctl::cbbStartTimeM), d = Number(C, Ctl::cbbStartTimeD);
    if (!y || !m || !d)
        return std::nullopt;  // an empty list: the encoding's conversion error says it
    using namespace std::chrono;
    const year_month_day date{year{*y}, month{unsigned(*m)}, day{unsigned(*d)}};
    if (date.ok())
        return std::nullopt;
    const auto two = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return TCheckFailure{Ctl::cbbStartTimeD, "The Start Time " + std::to_string(*y) + "-" + two(*m) + "-" + two(*d)
                                                 + " does not exist"};
}

bool IsKept(std::span<const Ctl> Kept, Ctl c) { return std::find(Kept.begin(), Kept.end(), c) != Kept.end(); }

std::optional<TCheckFailure> FirstEntryCheck(const TControlValues &C, std::span<const Ctl> Kept)
{
    const auto checked = [&](Ctl c) { return !IsKept(Kept, c); };
    if (checked(Ctl::edtSerialNumber) && Length(C, Ctl::edtSerialNumber) != 9)
        return TCheckFailure{Ctl::edtSerialNumber,
                             "The Serial Number can not be empty and the Serial Number length is 9"};
    if (checked(Ctl::edtDeviceID) && Length(C, Ctl::edtDeviceID) != 8)
        return TCheckFailure{Ctl::edtDeviceID, "The Device ID can not be empty and the Device ID length is 8"};
    if (IsBlank(C, Ctl::edtServiceLife))
        return TCheckFailure{Ctl::edtServiceLife, "The Service Life can not be empty"};
    if (checked(Ctl::edtCalibrationTemp) && (IsBlank(C, Ctl::edtCalibrationTemp) || IsLoneMinus(C, Ctl::edtCalibrationTemp)))
        return TCheckFailure{Ctl::edtCalibrationTemp, "The Calibration Temperature can not be empty"};
    if (checked(Ctl::edtCalibrationHumidity)
        && (IsBlank(C, Ctl::edtCalibrationHumidity) || IsLoneMinus(C, Ctl::edtCalibrationHumidity)))
        return TCheckFailure{Ctl::edtCalibrationHumidity, "The Calibration Humidity can not be empty"};
    if (C.ItemIndex(Ctl::cbbPasswordStartup) == 1 && Length(C, Ctl::edtPassword) != 6)
        return TCheckFailure{Ctl::edtPassword, "The Password can not be empty and the Password length is 6"};

    // The panels' row order, not the frame's.
    if (C.Checked(Ctl::rbMultipleAlarm)) {
        static const TRow rows[] = {
            {Ctl::chkTemperatureH3, Ctl::edtTemperatureH3, "The Temperature H3 can not be empty"},
            {Ctl::chkTemperatureH2, Ctl::edtTemperatureH2, "The Temperature H2 can not be empty"},
            {std::nullopt, Ctl::edtTemperatureH1, "The Temperature H1 can not be empty"},
            {std::nullopt, Ctl::edtTemperatureL1, "The Temperature L1 can not be empty"},
            {Ctl::chkTemperatureL2, Ctl::edtTemperatureL2, "The Temperature L2 can not be empty"},
            {Ctl::chkHumidityH1, Ctl::edtHumidityH1, "The Humidity H1 can not be empty"},
            {Ctl::chkHumidityL1, Ctl::edtHumidityL1, "The Humidity L1 can not be empty"},
        };
        for (const TRow &row : rows) {
            // A lone minus fails even in a row that is switched off.
            const bool on = !row.Check || C.Checked(*row.Check);
            if ((on && IsBlank(C, row.Edit)) || IsLoneMinus(C, row.Edit))
                return TCheckFailure{row.Edit, row.Message};
        }
    } else if (C.Checked(Ctl::rbSingleAlarm)) {
        static const TRow rows[] = {
            {std::nullopt, Ctl::edtSingleH1, "The Temperature H1 can not be empty"},
            {std::nullopt, Ctl::edtSingleL1, "The Temperature L1 can not be empty"},
            {std::nullopt, Ctl::edtSingleHumidityH1, "The Humidity H1 can not be empty"},
            {std::nullopt, Ctl::edtSingleHumidityL1, "The Humidity L1 can not be empty"},
        };
        for (const TRow &row : rows)
            if (IsBlank(C, row.Edit) || IsLoneMinus(C, row.Edit))
                return TCheckFailure{row.Edit, row.Message};
    }
    return std::nullopt;
}

// What the logger cannot hold as the controls say it: each of these would be
// sent, acknowledged and then read back as something else.
std::optional<TCheckFailure> FirstHoldCheck(const TControlValues &C, const std::string &Separator,
                                            std::span<const Ctl> Kept)
{
    for (const Ctl c : DecimalsInUse(C))
        if (!IsKept(Kept, c))
            if (auto failure = DecimalProblem(C, c, Separator))
                return failure;
    std::vector<Ctl> texts;
    if (!IsKept(Kept, Ctl::edtSerialNumber))
        texts.push_back(Ctl::edtSerialNumber);
    if (C.ItemIndex(Ctl::cbbPasswordStartup) == 1)
        texts.push_back(Ctl::edtPassword);
    texts.push_back(Ctl::mmoTripInfo);
    for (const Ctl c : texts)
        if (auto failure = StorableProblem(C, c))
            return failure;
    if (const std::size_t bytes = TripInfoBytes(C.Text(Ctl::mmoTripInfo)); bytes > TripInfoLimit)
        return TCheckFailure{Ctl::mmoTripInfo, "The Trip Information is " + std::to_string(bytes)
                                                   + " bytes long (a line break counts two); the logger takes "
                                                   + std::to_string(TripInfoLimit)};
    // The record has no flag for the alarm mode: a reader tells multiple alarm
    // from single alarm only by the three temperature rows single alarm never uses.
    if (C.Checked(Ctl::rbMultipleAlarm) && !C.Checked(Ctl::chkTemperatureH3) && !C.Checked(Ctl::chkTemperatureH2)
        && !C.Checked(Ctl::chkTemperatureL2))
        return TCheckFailure{Ctl::chkTemperatureH3,
                             "Multiple Alarm needs Temperature H3, H2 or L2 switched on: with all three off the logger "
                             "reads the setting back as Single Alarm"};
    return StartTimeProblem(C);
}

struct TLimit {
    Ctl Edit;
    std::int64_t Value;
};

std::string Shown(const TControlValues &C, const TLimit &L) { return EditCaption(L.Edit) + " (" + C.Text(L.Edit) + ")"; }

} // namespace

std::optional<TCheckFailure> FirstFailedCheck(const TControlValues &C, const std::string &DecimalSeparator,
                                              std::span<const Ctl> Kept)
{
    if (auto failure = FirstEntryCheck(C, Kept))
        return failure;
    return FirstHoldCheck(C, DecimalSeparator, Kept);
}

std::vector<TCheckFailure> PlausibilityWarnings(const TControlValues &C, const std::string &DecimalSeparator)
{
    std::vector<TCheckFailure> warnings;
    if (Number(C, Ctl::cbbLogIntervalH) == 0 && Number(C, Ctl::cbbLogIntervalM) == 0 && Number(C, Ctl::cbbLogIntervalS) == 0)
        warnings.push_back({Ctl::cbbLogIntervalH, "The Log Interval is 0:00:00: the logger would leave no time between "
                                                  "two measurements"});

    // Each list runs from the highest limit down; a lower one above a higher one is crossed.
    std::vector<std::vector<Ctl>> orders;
    std::vector<Ctl> humidity;
    if (C.Checked(Ctl::rbSingleAlarm)) {
        orders = {{Ctl::edtSingleH1, Ctl::edtSingleL1}, {Ctl::edtSingleHumidityH1, Ctl::edtSingleHumidityL1}};
        humidity = orders.back();
    } else if (C.Checked(Ctl::rbMultipleAlarm)) {
        const std::vector<Ctl> inUse = DecimalsInUse(C);
        const auto on = [&](std::initializer_list<Ctl> edits) {
            std::vector<Ctl> kept;
            for (const Ctl e : edits)
                if (std::find(inUse.begin(), inUse.end(), e) != inUse.end())
                    kept.push_back(e);
            return kept;
        };
        orders = {on({Ctl::edtTemperatureH3, Ctl::edtTemperatureH2, Ctl::edtTemperatureH1, Ctl::edtTemperatureL1,
                      Ctl::edtTemperatureL2}),
                  on({Ctl::edtHumidityH1, Ctl::edtHumidityL1})};
        humidity = orders.back();
    }
    for (const auto &order : orders) {
        std::vector<TLimit> limits;
        for (const Ctl e : order)
            if (const auto v = Decimal(C, e, DecimalSeparator))
                limits.push_back({e, *v});
        for (std::size_t i = 1; i < limits.size(); ++i)
            if (limits[i].Value > limits[i - 1].Value)
                warnings.push_back({limits[i].Edit, Shown(C, limits[i]) + " is above " + Shown(C, limits[i - 1])});
    }
    for (const Ctl e : humidity) {
        const auto v = Decimal(C, e, DecimalSeparator);
        if (v && (*v < 0 || *v > 100 * 10000))
            warnings.push_back({e, EditCaption(e) + " is " + C.Text(e) + " %, outside 0 to 100 %"});
    }
    return warnings;
}
