#include "WritePlan.h"

#include "Convert.h"
#include "ParameterChecks.h"
#include "ParameterLayout.h"
#include "RecordDecoder.h"
#include "ValueRules.h"
#include "Verify.h"
#include "WriteFrame.h"

#include <algorithm>

namespace {

// Settings texts always carry a point; so does the parameter set here, in
// any locale.
const std::string Separator = ".";

// The bytes of a logger's identity: the serial number, a reserved byte and
// the device ID; and of its calibration: two decimal values.
constexpr std::size_t IdentityFirst = Offset::SerialLetter;
constexpr std::size_t IdentityEnd = Offset::DeviceID + 4;
constexpr std::size_t CalibrationFirst = Offset::CalibrationTemp;
constexpr std::size_t CalibrationEnd = Offset::CalibrationHumidity + 3;

std::vector<Ctl> KeptControls(TScopes Scopes)
{
    std::vector<Ctl> kept;
    if (!Scopes.Identity)
        kept.insert(kept.end(), {Ctl::edtSerialNumber, Ctl::edtDeviceID});
    if (!Scopes.Calibration)
        kept.insert(kept.end(), {Ctl::edtCalibrationTemp, Ctl::edtCalibrationHumidity});
    return kept;
}

// The setting a control belongs to, for messages that name a setting.
std::optional<std::size_t> SettingOf(Ctl Control)
{
    const auto &settings = Settings();
    for (std::size_t i = 0; i < settings.size(); ++i) {
        for (const TSettingPart &part : settings[i].Parts)
            if (part.Control == Control)
                return i;
        for (const auto &option : settings[i].Options)
            if (option.second == Control)
                return i;
    }
    return std::nullopt;
}

// A list with no selection would be written as some item or other; what the
// logger holds now cannot be told from it, so the user must choose.
std::optional<EWriteRefused> EmptyListRefusal(const TSettingValues &Asked, TScopes Scopes)
{
    const auto &settings = Settings();
    const std::vector<bool> inUse = SettingsInUse(Asked);
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const TSetting &s = settings[i];
        if (s.Kind != TSettingKind::Choice || !Scopes.Has(s.Scope) || !inUse[i])
            continue;
        for (std::size_t p = 0; p < s.Parts.size(); ++p) {
            if (!Asked[i][p].empty())
                continue;
            const std::string part = s.Parts[p].Key.empty() ? "" : s.Parts[p].Key + ": ";
            return EWriteRefused(part + "is left empty, and a write would store some item in its place: choose one", i);
        }
    }
    return std::nullopt;
}

std::optional<EWriteRefused> CheckRefusal(const TParameterSet &Set, TScopes Scopes)
{
    const std::vector<Ctl> kept = KeptControls(Scopes);
    if (const auto failure = FirstFailedCheck(Set, Separator, kept))
        return EWriteRefused(failure->Message, SettingOf(failure->Control));
    return std::nullopt;
}

void Reseal(TFrameBuffer &Frame)
{
    Frame[FrameCheckOffset] = FrameCheckByte(Frame.data(), static_cast<int>(FrameCheckOffset) - 1);
    Frame[FrameEndOffset] = FrameEnd;
}

void KeepBytes(TFrameBuffer &Frame, const TFrameBuffer &Record, std::size_t First, std::size_t End)
{
    std::copy(Record.begin() + First, Record.begin() + End, Frame.begin() + First);
}

TFrameBuffer Encode(const TFrameBuffer &Record, TParameterSet &Set, std::chrono::system_clock::time_point Utc)
{
    SetSystemTime(Set, ZoneClock(Utc, Set.ItemIndex(Ctl::cbbTimeZone)));
    TFrameBuffer frame = Record;
    try {
        EncodeWriteFrame(frame, Set, Separator);
    } catch (const EConvertError &e) {
        throw EWriteRefused(e.what());
    }
    return frame;
}

// The record's trip information, as many bytes as it holds before its first zero.
std::size_t RecordTripBytes(const TFrameBuffer &Record)
{
    const auto first = Record.begin() + Offset::RecordTripInfo;
    return static_cast<std::size_t>(std::find(first, first + Offset::RecordTripInfoLength, 0) - first);
}

// The byte ranges of the record that a write frame carries, at their record offsets.
struct TCarried {
    std::size_t First, End;
};
constexpr TCarried CarriedRanges[] = {
    {Offset::SerialLetter, Offset::RecordTripInfo},
    {Offset::RecordTripInfo, Offset::RecordTripInfo + Offset::WriteTripInfoLength},
    {Offset::AlarmSwitch, FrameCheckOffset},
};

std::string HexByte(std::uint8_t Byte)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    return {Hex[Byte >> 4], Hex[Byte & 0xF]};
}

// "12, 160-166": the offsets where Backup differs from Record without any
// setting showing it.
std::string HiddenBytes(const TFrameBuffer &Record, const TFrameBuffer &Backup)
{
    const TSettingValues shown = RecordSettings(Record);
    std::vector<std::size_t> hidden;
    for (const TCarried &range : CarriedRanges) {
        for (std::size_t o = range.First; o < range.End; ++o) {
            if (Record[o] == Backup[o])
                continue;
            TFrameBuffer one = Record;
            one[o] = Backup[o];
            if (RecordSettings(one) == shown)
                hidden.push_back(o);
        }
    }
    std::string text;
    for (std::size_t i = 0; i < hidden.size();) {
        std::size_t j = i;
        while (j + 1 < hidden.size() && hidden[j + 1] == hidden[j] + 1)
            ++j;
        text += (text.empty() ? "" : ", ") + std::to_string(hidden[i]);
        if (j > i)
            text += "-" + std::to_string(hidden[j]);
        i = j + 1;
    }
    return text;
}

} // namespace

TParameterSet LoggerSettings(const TFrameBuffer &Record)
{
    TParameterSet set;
    set.SetText(Ctl::edtSerialNumber, SerialNumberText(Record));
    DecodeParameterRecord(Record, set, Separator);
    return set;
}

std::optional<EWriteRefused> FileWriteRefusal(const TSettingValues &File, TScopes Scopes)
{
    TParameterSet set;
    ApplySettings(set, File, TScopes::All(), Separator);
    if (auto refusal = EmptyListRefusal(CaptureSettings(set, Separator), Scopes))
        return refusal;
    if (auto refusal = CheckRefusal(set, Scopes))
        return refusal;
    // The reader lets identity and calibration stand as a logger holds them;
    // written, they must be what a user could have typed.
    const auto &settings = Settings();
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (settings[i].Scope == TSettingScope::Template || !Scopes.Has(settings[i].Scope))
            continue;
        if (const auto problem = SettingValueProblem(settings[i], File.at(i), TValueOrigin::Typed))
            return EWriteRefused(*problem, i);
    }
    return std::nullopt;
}

std::vector<TWriteWarning> FileWriteWarnings(const TSettingValues &File)
{
    TParameterSet set;
    ApplySettings(set, File, TScopes::All(), Separator);
    std::vector<TWriteWarning> warnings;
    for (const TCheckFailure &w : PlausibilityWarnings(set, Separator))
        warnings.push_back({SettingOf(w.Control).value_or(0), w.Message});
    return warnings;
}

TWritePlan PlanWrite(const TFrameBuffer &Record, const TSettingValues &File, TScopes Scopes,
                     std::chrono::system_clock::time_point Utc)
{
    TParameterSet set = LoggerSettings(Record);
    ApplySettings(set, File, Scopes, Separator);
    const TSettingValues asked = CaptureSettings(set, Separator);
    if (auto refusal = EmptyListRefusal(asked, Scopes))
        throw *refusal;
    if (auto refusal = CheckRefusal(set, Scopes))
        throw *refusal;

    TWritePlan plan;
    plan.Frame = Encode(Record, set, Utc);
    plan.Before = Record;
    if (!Scopes.Identity)
        plan.Kept.insert(plan.Kept.end(), {{IdentityFirst, Offset::Reserved, SettingIndex("Serial Number")},
                                           {Offset::DeviceID, IdentityEnd, SettingIndex("Device ID")}});
    if (!Scopes.Calibration)
        plan.Kept.insert(plan.Kept.end(),
                         {{CalibrationFirst, Offset::CalibrationHumidity, SettingIndex("Calibration Temperature")},
                          {Offset::CalibrationHumidity, CalibrationEnd, SettingIndex("Calibration Humidity")}});
    if (!Scopes.Identity)
        KeepBytes(plan.Frame, Record, IdentityFirst, IdentityEnd);
    if (!Scopes.Calibration)
        KeepBytes(plan.Frame, Record, CalibrationFirst, CalibrationEnd);
    Reseal(plan.Frame);
    plan.Intent = CanonicalValues(asked);
    return plan;
}

TWritePlan PlanRestore(const TFrameBuffer &Record, const TFrameBuffer &Backup,
                       std::chrono::system_clock::time_point Utc)
{
    TWritePlan plan;
    plan.Frame = Backup;
    plan.Frame[2] = CmdParameterWrite;
    plan.Frame[3] = WriteFrameDataCount;
    // The record holds the trip information where the frame holds the clock.
    std::copy_n(Backup.begin() + Offset::RecordTripInfo, Offset::WriteTripInfoLength,
                plan.Frame.begin() + Offset::WriteTripInfo);
    const TClockReading clock = ZoneClock(Utc, LoggerSettings(Backup).ItemIndex(Ctl::cbbTimeZone));
    const int time[] = {clock.Year % 100, clock.Month, clock.Day, clock.Hour, clock.Minute, clock.Second};
    for (std::size_t i = 0; i < std::size(time); ++i)
        plan.Frame[Offset::SystemTime + i] = static_cast<std::uint8_t>(time[i]);
    Reseal(plan.Frame);

    // What the logger will answer with: the carried bytes as the backup has
    // them, the trip information as far as the frame carries it.
    TFrameBuffer stored = StoredRecord(plan.Frame, Backup);
    plan.RecordBytes = stored;
    plan.Intent = CanonicalValues(RecordSettings(stored));

    if (const std::size_t trip = RecordTripBytes(Backup); trip > Offset::WriteTripInfoLength)
        plan.Notes.push_back("the backup's trip information is " + std::to_string(trip) + " bytes; a write carries "
                             + std::to_string(Offset::WriteTripInfoLength)
                             + ", so the logger will hold its first " + std::to_string(Offset::WriteTripInfoLength));
    if (const std::string hidden = HiddenBytes(Record, stored); !hidden.empty())
        plan.Notes.push_back("the backup puts back bytes that no setting shows, at record offsets " + hidden);
    return plan;
}

TClockReading FrameClock(const TFrameBuffer &Frame)
{
    const std::uint8_t *t = Frame.data() + Offset::SystemTime;
    return {2000 + t[0], t[1], t[2], t[3], t[4], t[5]};
}

std::vector<TSettingDifference> IntentDifferences(const TSettingValues &Intent, const TFrameBuffer &ReadBack)
{
    const auto &settings = Settings();
    const TSettingValues held = CanonicalValues(RecordSettings(ReadBack));
    const std::vector<bool> inUse = SettingsInUse(Intent);
    std::vector<TSettingDifference> differences;
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (inUse[i] && Intent[i] != held[i])
            differences.push_back({settings[i].Name, DisplayValue(settings[i], Intent[i]), DisplayValue(settings[i], held[i])});
    }
    return differences;
}

std::vector<TSettingDifference> VerifyWrite(const TWritePlan &Plan, const TFrameBuffer &ReadBack)
{
    const auto &settings = Settings();
    std::vector<TSettingDifference> differences = IntentDifferences(Plan.Intent, ReadBack);
    // A kept value whose bytes changed reads back, maybe, as the same text.
    for (const TWritePlan::TKept &kept : Plan.Kept) {
        if (std::equal(Plan.Before.begin() + kept.First, Plan.Before.begin() + kept.End, ReadBack.begin() + kept.First))
            continue;
        const auto bytes = [&](const TFrameBuffer &Record) {
            std::string text = "bytes";
            for (std::size_t o = kept.First; o < kept.End; ++o)
                text += " " + HexByte(Record[o]);
            return text;
        };
        const bool named = std::any_of(differences.begin(), differences.end(), [&](const TSettingDifference &d) {
            return d.Name == settings[kept.Setting].Name;
        });
        if (!named)
            differences.push_back({settings[kept.Setting].Name, bytes(Plan.Before) + " (kept)", bytes(ReadBack)});
    }
    if (Plan.RecordBytes && differences.empty()) {
        for (const TCarried &range : CarriedRanges)
            for (std::size_t o = range.First; o < range.End; ++o)
                if ((*Plan.RecordBytes)[o] != ReadBack[o])
                    differences.push_back({"record byte " + std::to_string(o), HexByte((*Plan.RecordBytes)[o]),
                                           HexByte(ReadBack[o])});
    }
    return differences;
}

TDiffResult DiffWithLogger(const TFrameBuffer &Record, const TSettingValues &File, TScopes Scopes,
                           std::chrono::system_clock::time_point Utc)
{
    TDiffResult result;
    TParameterSet set = LoggerSettings(Record);
    ApplySettings(set, File, Scopes, Separator);
    const TSettingValues asked = CanonicalValues(CaptureSettings(set, Separator));
    const TSettingValues held = CanonicalValues(RecordSettings(Record));
    const std::vector<bool> inUse = SettingsInUse(asked);
    const auto &settings = Settings();
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (inUse[i] && Scopes.Has(settings[i].Scope) && held[i] != asked[i])
            result.Differences.push_back(
                {settings[i].Name, DisplayValue(settings[i], held[i]), DisplayValue(settings[i], asked[i])});
    }
    try {
        PlanWrite(Record, File, Scopes, Utc);
    } catch (const EWriteRefused &e) {
        result.WriteRefusal = e.what();
    }
    return result;
}
