#include "ParameterChecks.h"

#include "Convert.h"

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

} // namespace

std::optional<TCheckFailure> FirstFailedCheck(const TControlValues &C)
{
    if (Length(C, Ctl::edtSerialNumber) != 9)
        return TCheckFailure{Ctl::edtSerialNumber,
                             "The Serial Number can not be empty and the Serial Number length is 9"};
    if (Length(C, Ctl::edtDeviceID) != 8)
        return TCheckFailure{Ctl::edtDeviceID, "The Device ID can not be empty and the Device ID length is 8"};
    if (IsBlank(C, Ctl::edtServiceLife))
        return TCheckFailure{Ctl::edtServiceLife, "The Service Life can not be empty"};
    if (IsBlank(C, Ctl::edtCalibrationTemp) || IsLoneMinus(C, Ctl::edtCalibrationTemp))
        return TCheckFailure{Ctl::edtCalibrationTemp, "The Calibration Temperature can not be empty"};
    if (IsBlank(C, Ctl::edtCalibrationHumidity) || IsLoneMinus(C, Ctl::edtCalibrationHumidity))
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
