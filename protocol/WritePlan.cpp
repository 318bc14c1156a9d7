#include "WritePlan.h"

#include "Convert.h"
#include "ParameterChecks.h"
#include "ParameterLayout.h"
#include "RecordDecoder.h"
#include "Verify.h"
#include "WriteFrame.h"
#include "ZoneClock.h"

namespace {

// Settings texts always carry a point; so does the parameter set here, in
// any locale.
const std::string Separator = ".";

TParameterSet FileOverRecord(const TFrameBuffer &Record, const TSettingValues &File, TScopes Scopes)
{
    TParameterSet set = LoggerSettings(Record);
    ApplySettings(set, File, Scopes, Separator);
    return set;
}

TFrameBuffer Encode(const TFrameBuffer &Record, TParameterSet &Set, std::chrono::system_clock::time_point Utc)
{
    SetSystemTime(Set, ZoneClock(Utc, Set.ItemIndex(Ctl::cbbTimeZone)));
    TFrameBuffer frame = Record;
    EncodeWriteFrame(frame, Set, Separator);
    return frame;
}

} // namespace

TParameterSet LoggerSettings(const TFrameBuffer &Record)
{
    TParameterSet set;
    set.SetText(Ctl::edtSerialNumber, SerialNumberText(Record));
    DecodeParameterRecord(Record, set, Separator);
    return set;
}

TWritePlan PlanWrite(const TFrameBuffer &Record, const TSettingValues &File, TScopes Scopes,
                     std::chrono::system_clock::time_point Utc)
{
    TParameterSet set = FileOverRecord(Record, File, Scopes);
    if (const auto failure = FirstFailedCheck(set))
        throw EWriteRefused(failure->Message);
    TWritePlan plan;
    try {
        plan.Frame = Encode(Record, set, Utc);
    } catch (const EConvertError &e) {
        throw EWriteRefused(e.what());
    }
    plan.Expected = RecordSettings(StoredRecord(plan.Frame, Record));
    plan.TripBytes = Utf8ToChars(set.Text(Ctl::mmoTripInfo)).size();
    return plan;
}

TClockReading FrameClock(const TFrameBuffer &Frame)
{
    const std::uint8_t *t = Frame.data() + Offset::SystemTime;
    return {2000 + t[0], t[1], t[2], t[3], t[4], t[5]};
}

std::vector<TSettingDifference> VerifyWrite(const TWritePlan &Plan, const TFrameBuffer &ReadBack)
{
    return DiffSettings(Plan.Expected, RecordSettings(ReadBack), TScopes::All());
}

TDiffResult DiffWithLogger(const TFrameBuffer &Record, const TSettingValues &File, TScopes Scopes,
                           std::chrono::system_clock::time_point Utc)
{
    TDiffResult result;
    TParameterSet set = FileOverRecord(Record, File, Scopes);
    if (const auto failure = FirstFailedCheck(set))
        result.WriteRefusal = failure->Message;
    try {
        const TFrameBuffer frame = Encode(Record, set, Utc);
        result.Differences = DiffSettings(RecordSettings(Record), RecordSettings(StoredRecord(frame, Record)), Scopes);
    } catch (const EConvertError &e) {
        if (!result.WriteRefusal)
            result.WriteRefusal = e.what();
        result.Differences =
            DiffSettings(CaptureSettings(LoggerSettings(Record), Separator), CaptureSettings(set, Separator), Scopes);
    }
    return result;
}
