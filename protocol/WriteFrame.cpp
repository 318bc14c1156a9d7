#include "WriteFrame.h"

#include "Convert.h"
#include "ParameterLayout.h"

#include <algorithm>

namespace {

enum class TNumbers { Binary, Bcd };

class TWriter
{
public:
    TWriter(TFrameBuffer &Buf, const TControlValues &C, const std::string &Separator)
        : F(Buf), C(C), Separator(Separator)
    {
    }

    void Byte(std::size_t Offset, int Value) { F[Offset] = static_cast<std::uint8_t>(Value); }

    // Characters as the user sees them, not UTF-8 bytes; a position past the
    // end of the text is empty.
    std::u32string Chars(Ctl Control) const { return Utf8ToChars(C.Text(Control)); }
    static std::string Part(const std::u32string &Chars, std::size_t First, std::size_t Count)
    {
        return First < Chars.size() ? CharsToUtf8(Chars.substr(First, Count)) : std::string();
    }

    void TextBytes(std::size_t Offset, const std::u32string &Chars, std::size_t First, std::size_t Count)
    {
        for (std::size_t i = 0; i < Count; ++i)
            F[Offset + i] = First + i < Chars.size() ? CharToLatin1(Chars[First + i]) : 0;
    }

    std::string SelectedText(Ctl Combo) const
    {
        const int index = C.ItemIndex(Combo);
        return index >= 0 && index < C.ItemCount(Combo) ? C.ItemText(Combo, index) : std::string();
    }

    int NumberItem(Ctl Combo) const { return StrToInt(SelectedText(Combo)); }
    int YearItem(Ctl Combo) const { return StrToInt(Part(Utf8ToChars(SelectedText(Combo)), 2, 2)); }

    // An index item with no selection leaves its byte as the last save wrote it.
    void IndexItem(std::size_t Offset, Ctl Combo, std::initializer_list<int> Codes)
    {
        const int index = C.ItemIndex(Combo);
        if (index >= 0 && index < static_cast<int>(Codes.size()))
            Byte(Offset, Codes.begin()[index]);
    }

    void DecimalValue(std::size_t Offset, Ctl Edit, TNumbers Numbers)
    {
        const std::int64_t v = StrToTenThousandths(C.Text(Edit), Separator);
        const std::int64_t a = v < 0 ? -v : v;
        const std::int64_t whole = a / 10000;
        const int hundredths = static_cast<int>(a % 10000 / 100);
        Byte(Offset, v < 0 ? 1 : 0);
        if (Numbers == TNumbers::Bcd) {
            Byte(Offset + 1, ToBcd(static_cast<int>(whole % 100)));
            Byte(Offset + 2, ToBcd(hundredths));
        } else {
            Byte(Offset + 1, static_cast<int>(whole & 0xFF));
            Byte(Offset + 2, hundredths);
        }
    }

    void ThresholdBlock(std::size_t Offset, const TAlarmRowControls &Row, TNumbers Numbers)
    {
        DecimalValue(Offset, Row.Edit, Numbers);
        Byte(Offset + 3, C.ItemIndex(Row.Type) == 0 ? 0 : 1);
        const Ctl delays[] = {Row.DelayH, Row.DelayM, Row.DelayS};
        for (std::size_t i = 0; i < 3; ++i) {
            const int n = NumberItem(delays[i]);
            Byte(Offset + 4 + i, Numbers == TNumbers::Bcd ? ToBcd(n) : n);
        }
    }

    void SwitchedOff(std::size_t Offset) { std::fill_n(F.begin() + Offset, ThresholdBlockSize, ThresholdOff); }

private:
    TFrameBuffer &F;
    const TControlValues &C;
    const std::string &Separator;
};

void EncodeIdentity(TWriter &W, const TControlValues &C)
{
    const std::u32string serial = W.Chars(Ctl::edtSerialNumber);
    W.TextBytes(Offset::SerialLetter, serial, 0, 1);
    W.Byte(Offset::SerialMiddle, StrToInt(TWriter::Part(serial, 1, 2)));
    W.TextBytes(Offset::SerialDigits, serial, 3, 6);
    W.Byte(Offset::Reserved, 0);

    const std::u32string deviceID = W.Chars(Ctl::edtDeviceID);
    for (std::size_t i = 0; i < 4; ++i)
        W.Byte(Offset::DeviceID + i, HexPairToInt(TWriter::Part(deviceID, 2 * i, 2)));

    W.Byte(Offset::LogIntervalH, W.NumberItem(Ctl::cbbLogIntervalH));
    W.Byte(Offset::LogIntervalM, W.NumberItem(Ctl::cbbLogIntervalM));
    W.Byte(Offset::LogIntervalS, W.NumberItem(Ctl::cbbLogIntervalS));

    const auto life = static_cast<std::uint32_t>(StrToInt(C.Text(Ctl::edtServiceLife)));
    W.Byte(Offset::ServiceLife, static_cast<int>(life >> 8 & 0xFF));
    W.Byte(Offset::ServiceLife + 1, static_cast<int>(life & 0xFF));
}

void EncodeStart(TWriter &W, const TControlValues &C)
{
    W.IndexItem(Offset::StopMode, Ctl::cbbStopMode, {0x01, 0x10, 0x11});
    W.IndexItem(Offset::StartMode, Ctl::cbbStartMode, {0, 1, 2});
    switch (C.ItemIndex(Ctl::cbbStartMode)) {
    case 1:
        W.Byte(Offset::StartHour, W.NumberItem(Ctl::cbbStartDelayH));
        W.Byte(Offset::StartMinute, W.NumberItem(Ctl::cbbStartDelayM));
        break;
    case 2:
        W.Byte(Offset::StartYear, W.YearItem(Ctl::cbbStartTimeY));
        W.Byte(Offset::StartMonth, W.NumberItem(Ctl::cbbStartTimeM));
        W.Byte(Offset::StartDay, W.NumberItem(Ctl::cbbStartTimeD));
        W.Byte(Offset::StartHour, W.NumberItem(Ctl::cbbStartTimeH));
        W.Byte(Offset::StartMinute, W.NumberItem(Ctl::cbbStartTimeN));
        W.Byte(Offset::StartSecond, W.NumberItem(Ctl::cbbStartTimeS));
        break;
    default:
        break;
    }
}

void EncodeReport(TWriter &W, const TControlValues &C)
{
    W.IndexItem(Offset::ReportLanguage, Ctl::cbbReportLanguage, {0, 1});
    W.IndexItem(Offset::ProbeMode, Ctl::cbbProbeMode, {0, 1});
    W.IndexItem(Offset::MultipleStart, Ctl::cbbMultipleStart, {0, 1});
    if (C.Checked(Ctl::rbC))
        W.Byte(Offset::TemperatureUnit, 0);
    else if (C.Checked(Ctl::rbF))
        W.Byte(Offset::TemperatureUnit, 1);

    const std::u32string zone = Utf8ToChars(W.SelectedText(Ctl::cbbTimeZone));
    W.Byte(Offset::TimeZone, TWriter::Part(zone, 0, 4) == "UTC+" ? 0 : 1);
    W.Byte(Offset::TimeZone + 1, StrToInt(TWriter::Part(zone, 4, 2)));
    W.Byte(Offset::TimeZone + 2, StrToInt(TWriter::Part(zone, 7, 2)));

    W.IndexItem(Offset::CycleSwitch, Ctl::cbbCycleSwitch, {0, 1});
    W.DecimalValue(Offset::CalibrationTemp, Ctl::edtCalibrationTemp, TNumbers::Binary);
    W.DecimalValue(Offset::CalibrationHumidity, Ctl::edtCalibrationHumidity, TNumbers::Binary);
    W.IndexItem(Offset::TemporaryPDFStartup, Ctl::cbbTemporaryPDFStartup, {0, 1});
    W.IndexItem(Offset::PasswordStartup, Ctl::cbbPasswordStartup, {0, 1});
    if (C.ItemIndex(Ctl::cbbPasswordStartup) == 1)
        W.TextBytes(Offset::Password, W.Chars(Ctl::edtPassword), 0, Offset::PasswordLength);
}

void EncodeClockAndTrip(TWriter &W)
{
    W.Byte(Offset::SystemTime, W.YearItem(Ctl::cbbSystemTimeY));
    const Ctl clock[] = {Ctl::cbbSystemTimeM, Ctl::cbbSystemTimeD, Ctl::cbbSystemTimeH, Ctl::cbbSystemTimeN,
                         Ctl::cbbSystemTimeS};
    for (std::size_t i = 0; i < 5; ++i)
        W.Byte(Offset::SystemTime + 1 + i, W.NumberItem(clock[i]));

    // Characters past the 94th are dropped; the rest of the field is zero.
    W.TextBytes(Offset::WriteTripInfo, W.Chars(Ctl::mmoTripInfo), 0, Offset::WriteTripInfoLength);
}

void EncodeAlarms(TWriter &W, const TControlValues &C)
{
    if (C.Checked(Ctl::rbNoAlarm)) {
        W.Byte(Offset::AlarmSwitch, 0);
    } else if (C.Checked(Ctl::rbMultipleAlarm)) {
        W.Byte(Offset::AlarmSwitch, 1);
        for (const TThresholdBlock &b : ThresholdBlocks()) {
            if (b.Check && !C.Checked(*b.Check))
                W.SwitchedOff(b.Offset);
            else
                W.ThresholdBlock(b.Offset, b.Multiple, TNumbers::Bcd);
        }
    } else if (C.Checked(Ctl::rbSingleAlarm)) {
        W.Byte(Offset::AlarmSwitch, 1);
        for (const TThresholdBlock &b : ThresholdBlocks()) {
            if (b.Single)
                W.ThresholdBlock(b.Offset, *b.Single, TNumbers::Binary);
            else
                W.SwitchedOff(b.Offset);
        }
    }
}

} // namespace

void EncodeWriteFrame(TFrameBuffer &SendBuf, const TControlValues &C, const std::string &DecimalSeparator)
{
    // A failed conversion must not leave half a frame behind: that would change
    // what a later save keeps from this one.
    TFrameBuffer frame = SendBuf;
    TWriter w(frame, C, DecimalSeparator);

    w.Byte(0, FrameStart1);
    w.Byte(1, FrameStart2);
    w.Byte(2, CmdParameterWrite);
    w.Byte(3, WriteFrameDataCount);
    EncodeIdentity(w, C);
    EncodeStart(w, C);
    EncodeReport(w, C);
    EncodeClockAndTrip(w);
    EncodeAlarms(w, C);
    w.Byte(FrameCheckOffset, FrameCheckByte(frame.data(), static_cast<int>(FrameCheckOffset) - 1));
    w.Byte(FrameEndOffset, FrameEnd);

    SendBuf = frame;
}
