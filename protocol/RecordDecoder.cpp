#include "RecordDecoder.h"

#include "Convert.h"
#include "ParameterLayout.h"

#include <algorithm>
#include <initializer_list>

namespace {

// Hundredths and the serial number's middle part lose meaning without their
// leading zero: 25.05 must not read back as 25.5.
std::string TwoDigits(int Value)
{
    std::string text = std::to_string(Value);
    return text.size() < 2 ? "0" + text : text;
}

std::string DecimalText(std::uint8_t Sign, int Whole, int Fraction, const std::string &Separator)
{
    return (Sign != 0 ? "-" : "") + std::to_string(Whole) + Separator + TwoDigits(Fraction);
}

std::string Latin1Text(const TFrameBuffer &Rec, std::size_t Offset, std::size_t Count)
{
    return Latin1ToUtf8(Rec.data() + Offset, Count);
}

// A byte that the list of codes does not hold leaves the combo as it was.
void SetCodedIndex(TControlValues &C, Ctl Combo, std::uint8_t Byte, std::initializer_list<std::uint8_t> Codes)
{
    const auto code = std::find(Codes.begin(), Codes.end(), Byte);
    if (code != Codes.end())
        C.SetItemIndex(Combo, static_cast<int>(code - Codes.begin()));
}

enum class TNumbers { Binary, Bcd };

void FillAlarmRow(const TFrameBuffer &Rec, std::size_t Offset, const TAlarmRowControls &Row, TNumbers Numbers,
                  const std::string &Separator, TControlValues &C)
{
    const auto number = [&](std::size_t i) {
        const std::uint8_t byte = Rec[Offset + i];
        return Numbers == TNumbers::Bcd ? FromBcd(byte) : int(byte);
    };
    C.SetText(Row.Edit, DecimalText(Rec[Offset], number(1), number(2), Separator));
    C.SetItemIndex(Row.Type, Rec[Offset + 3] == 0 ? 0 : 1);
    C.SetItemIndex(Row.DelayH, number(4));
    C.SetItemIndex(Row.DelayM, number(5));
    C.SetItemIndex(Row.DelayS, number(6));
}

bool MaySwitchOff(const TThresholdBlock &Block) { return Block.Check.has_value(); }

void DecodeStart(const TFrameBuffer &Rec, TControlValues &C)
{
    switch (Rec[Offset::StartMode]) {
    case 0:
        C.SetItemIndex(Ctl::cbbStartMode, 0);
        C.Enable(TEnableSwitch::StartDelay, false);
        C.Enable(TEnableSwitch::StartTime, false);
        break;
    case 1:
        C.SetItemIndex(Ctl::cbbStartMode, 1);
        C.Enable(TEnableSwitch::StartDelay, true);
        C.Enable(TEnableSwitch::StartTime, false);
        C.SetItemIndex(Ctl::cbbStartDelayH, Rec[Offset::StartHour]);
        C.SetItemIndex(Ctl::cbbStartDelayM, Rec[Offset::StartMinute]);
        break;
    case 2:
        C.SetItemIndex(Ctl::cbbStartMode, 2);
        C.Enable(TEnableSwitch::StartDelay, false);
        C.Enable(TEnableSwitch::StartTime, true);
        C.SetItemIndex(Ctl::cbbStartTimeY, Rec[Offset::StartYear] - 18);  // the items start at 2018
        C.SetItemIndex(Ctl::cbbStartTimeM, Rec[Offset::StartMonth] - 1);
        C.SetItemIndex(Ctl::cbbStartTimeD, Rec[Offset::StartDay] - 1);
        C.SetItemIndex(Ctl::cbbStartTimeH, Rec[Offset::StartHour]);
        C.SetItemIndex(Ctl::cbbStartTimeN, Rec[Offset::StartMinute]);
        C.SetItemIndex(Ctl::cbbStartTimeS, Rec[Offset::StartSecond]);
        break;
    default:
        break;
    }
}

void DecodeTimeZone(const TFrameBuffer &Rec, TControlValues &C)
{
    const std::string text = std::string(Rec[Offset::TimeZone] == 0 ? "UTC+" : "UTC-")
                             + TwoDigits(Rec[Offset::TimeZone + 1]) + ":" + TwoDigits(Rec[Offset::TimeZone + 2]);
    const int count = C.ItemCount(Ctl::cbbTimeZone);
    for (int i = 0; i < count; ++i) {
        if (C.ItemText(Ctl::cbbTimeZone, i) == text) {
            C.SetItemIndex(Ctl::cbbTimeZone, i);
            return;
        }
    }
}

void DecodePassword(const TFrameBuffer &Rec, TControlValues &C)
{
    switch (Rec[Offset::PasswordStartup]) {
    case 0:
        C.SetItemIndex(Ctl::cbbPasswordStartup, 0);
        C.Enable(TEnableSwitch::Password, false);
        break;
    case 1:
        C.SetItemIndex(Ctl::cbbPasswordStartup, 1);
        C.Enable(TEnableSwitch::Password, true);
        C.SetText(Ctl::edtPassword, Latin1Text(Rec, Offset::Password, Offset::PasswordLength));
        break;
    default:
        break;
    }
}

void DecodeTripInfo(const TFrameBuffer &Rec, TControlValues &C)
{
    const auto first = Rec.begin() + Offset::RecordTripInfo;
    const auto end = std::find(first, first + Offset::RecordTripInfoLength, 0);
    C.SetText(Ctl::mmoTripInfo, Latin1Text(Rec, Offset::RecordTripInfo, static_cast<std::size_t>(end - first)));
}

// Single alarm stores its humidity thresholds in the blocks at 188 and 195, so
// only the three temperature blocks that single alarm never uses tell the two
// modes apart. Single alarm is binary, multiple alarm BCD, as they are written.
void DecodeAlarms(const TFrameBuffer &Rec, TControlValues &C, const std::string &Separator)
{
    if (Rec[Offset::AlarmSwitch] == 0) {
        C.SetVisible(Ctl::pnlSingleAlarm, false);
        C.SetVisible(Ctl::pnlMultipleAlarm, false);
        C.SetChecked(Ctl::rbNoAlarm, true);
        return;
    }

    const auto &blocks = ThresholdBlocks();
    const bool single = std::all_of(blocks.begin(), blocks.end(), [&](const TThresholdBlock &b) {
        return b.Single || Rec[b.Offset] == ThresholdOff;
    });

    if (single) {
        C.SetVisible(Ctl::pnlSingleAlarm, true);
        C.SetVisible(Ctl::pnlMultipleAlarm, false);
        C.SetChecked(Ctl::rbSingleAlarm, true);
        for (const TThresholdBlock &b : blocks) {
            if (!b.Single || (MaySwitchOff(b) && Rec[b.Offset] == ThresholdOff))
                continue;
            FillAlarmRow(Rec, b.Offset, *b.Single, TNumbers::Binary, Separator, C);
        }
        return;
    }

    C.SetVisible(Ctl::pnlSingleAlarm, false);
    C.SetVisible(Ctl::pnlMultipleAlarm, true);
    C.SetChecked(Ctl::rbMultipleAlarm, true);
    for (const TThresholdBlock &b : blocks) {
        if (MaySwitchOff(b) && Rec[b.Offset] == ThresholdOff) {
            C.SetChecked(*b.Check, false);
            C.Enable(*b.RowSwitch, false);
            continue;
        }
        if (b.Check)
            C.SetChecked(*b.Check, true);
        FillAlarmRow(Rec, b.Offset, b.Multiple, TNumbers::Bcd, Separator, C);
    }
}

} // namespace

std::string SerialNumberText(const TFrameBuffer &Rec)
{
    return Latin1Text(Rec, Offset::SerialLetter, 1) + TwoDigits(Rec[Offset::SerialMiddle])
           + Latin1Text(Rec, Offset::SerialDigits, 6);
}

void DecodeParameterRecord(const TFrameBuffer &Rec, TControlValues &C, const std::string &DecimalSeparator)
{
    static constexpr char HexDigits[] = "0123456789ABCDEF";
    std::string deviceID;
    for (std::size_t i = 0; i < 4; ++i) {
        deviceID += HexDigits[Rec[Offset::DeviceID + i] >> 4];
        deviceID += HexDigits[Rec[Offset::DeviceID + i] & 0x0F];
    }
    C.SetText(Ctl::edtDeviceID, deviceID);
    C.SetItemIndex(Ctl::cbbLogIntervalH, Rec[Offset::LogIntervalH]);
    C.SetItemIndex(Ctl::cbbLogIntervalM, Rec[Offset::LogIntervalM]);
    C.SetItemIndex(Ctl::cbbLogIntervalS, Rec[Offset::LogIntervalS] / 10);  // items go in steps of 10
    C.SetText(Ctl::edtServiceLife, std::to_string(Rec[Offset::ServiceLife] * 256 + Rec[Offset::ServiceLife + 1]));

    SetCodedIndex(C, Ctl::cbbStopMode, Rec[Offset::StopMode], {0x01, 0x10, 0x11});
    DecodeStart(Rec, C);

    SetCodedIndex(C, Ctl::cbbReportLanguage, Rec[Offset::ReportLanguage], {0, 1});
    SetCodedIndex(C, Ctl::cbbProbeMode, Rec[Offset::ProbeMode], {0, 1});
    SetCodedIndex(C, Ctl::cbbMultipleStart, Rec[Offset::MultipleStart], {0, 1});

    if (Rec[Offset::TemperatureUnit] == 0)
        C.SetChecked(Ctl::rbC, true);
    else if (Rec[Offset::TemperatureUnit] == 1)
        C.SetChecked(Ctl::rbF, true);

    DecodeTimeZone(Rec, C);
    SetCodedIndex(C, Ctl::cbbCycleSwitch, Rec[Offset::CycleSwitch], {0, 1});

    for (const auto &[offset, edit] : {std::pair{Offset::CalibrationTemp, Ctl::edtCalibrationTemp},
                                       std::pair{Offset::CalibrationHumidity, Ctl::edtCalibrationHumidity}})
        C.SetText(edit, DecimalText(Rec[offset], Rec[offset + 1], Rec[offset + 2], DecimalSeparator));
    SetCodedIndex(C, Ctl::cbbTemporaryPDFStartup, Rec[Offset::TemporaryPDFStartup], {0, 1});

    DecodePassword(Rec, C);
    DecodeTripInfo(Rec, C);
    DecodeAlarms(Rec, C, DecimalSeparator);
}
