#include "Verify.h"

#include "ParameterLayout.h"
#include "ParameterSet.h"
#include "RecordDecoder.h"

#include <algorithm>

TFrameBuffer StoredRecord(const TFrameBuffer &WriteFrame, const TFrameBuffer &Before)
{
    TFrameBuffer record = Before;
    record[0] = FrameStart1;
    record[1] = FrameStart2;
    record[2] = CmdParameterRecord;
    std::copy(WriteFrame.begin() + Offset::SerialLetter, WriteFrame.begin() + Offset::RecordTripInfo,
              record.begin() + Offset::SerialLetter);
    std::copy(WriteFrame.begin() + Offset::AlarmSwitch, WriteFrame.begin() + FrameCheckOffset,
              record.begin() + Offset::AlarmSwitch);
    // The record's trip information runs to its first zero byte, and the
    // frame sends at most 94 bytes of it.
    const auto trip = record.begin() + Offset::RecordTripInfo;
    std::fill_n(trip, Offset::RecordTripInfoLength, 0);
    std::copy_n(WriteFrame.begin() + Offset::WriteTripInfo, Offset::WriteTripInfoLength, trip);
    record[FrameCheckOffset] = FrameCheckByte(record.data(), static_cast<int>(FrameCheckOffset) - 1);
    record[FrameEndOffset] = FrameEnd;
    return record;
}

TSettingValues RecordSettings(const TFrameBuffer &Record)
{
    TParameterSet set;
    set.SetText(Ctl::edtSerialNumber, SerialNumberText(Record));
    DecodeParameterRecord(Record, set, ".");
    return CaptureSettings(set, ".");
}
