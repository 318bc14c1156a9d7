// What a request does to the logger: a probe is answered from its memory, a
// write is stored in it, and the faults of the memory store a write wrongly.
#include "LoggerEmulator.h"

#include "ParameterLayout.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::uint8_t, 7> SaveAck = {0xAA, 0x55, CmdSaveAck, 0x01, 0x00, 0x16, 0xAA};

// A faulty memory that took the write in as sent and then garbled it; false
// when the fault leaves the stored record alone.
bool Garble(TFrameBuffer &record, TFaultMode fault)
{
    switch (fault) {
    case TFaultMode::WrongByte:
        ++record[Offset::LogIntervalM];
        return true;
    case TFaultMode::CutTrip:
        std::fill(record.begin() + Offset::RecordTripInfo + CutTripKept,
                  record.begin() + Offset::RecordTripInfo + Offset::RecordTripInfoLength, 0);
        return true;
    case TFaultMode::DropPassword:
        std::fill_n(record.begin() + Offset::Password, Offset::PasswordLength, 0);
        return true;
    case TFaultMode::WrongIdentity:
        ++record[Offset::DeviceID + 3];
        return true;
    case TFaultMode::WrongCalibration:
        ++record[Offset::CalibrationTemp + 2];
        return true;
    default:
        return false;
    }
}

} // namespace

bool TLoggerEmulator::HandleRequest(const TBytes &request, TAnswer &answer, TSteadyClock::time_point now)
{
    Log("rx", request.data(), request.size());
    TBytes reply;
    TFaultMode fault;
    TSteadyClock::time_point start;
    bool changed = false;
    {
        std::lock_guard lock(FMutex);
        FReceived.push_back(request);
        fault = FFault;
        start = now + FAnswerDelay;
        if (fault == TFaultMode::Vanish)
            return false;
        if (!CheckFrame(request.data(), request.size()))
            return true;
        const std::uint8_t command = request[2];
        if (command == CmdReadRequest) {
            reply.assign(FRecord.begin(), FRecord.end());
            ++FReadsSinceWrite;
            // The newcomer takes over between two requests, never in the
            // middle of one, so the answer just taken is the old logger's.
            if (FNewcomer && fault != TFaultMode::Silent && --FAnswersBeforeNewcomer == 0) {
                ReplaceLogger(*FNewcomer);
                FNewcomer.reset();
                changed = true;
            }
        } else if (command == CmdParameterWrite && request.size() == FrameBufferSize) {
            TFrameBuffer frame;
            std::copy(request.begin(), request.end(), frame.begin());
            StoreWrite(frame, fault, now);
            reply.assign(SaveAck.begin(), SaveAck.end());
        } else {
            return true;
        }
        if (fault != TFaultMode::Silent)
            FAnswering = true;
    }
    if (fault != TFaultMode::Silent)
        Schedule(answer, std::move(reply), fault, start);
    if (changed)
        Log("another logger on the line", nullptr, 0);
    return true;
}

void TLoggerEmulator::StoreWrite(const TFrameBuffer &frame, TFaultMode fault, TSteadyClock::time_point now)
{
    if (fault != TFaultMode::NotStored) {
        if (const auto time = StoreWriteFrame(FRecord, frame)) {
            FClockBase = *ToSeconds(*time);
            FClockSetAt = now;
        }
        if (Garble(FRecord, fault))
            SealRecord(FRecord);
    }
    ++FStoredWrites;
    FReadsSinceWrite = 0;
}

void TLoggerEmulator::ReplaceLogger(const TFrameBuffer &record)
{
    FRecord = record;
    SealRecord(FRecord);
    FClockBase = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) + ZoneOffset(FRecord);
    FClockSetAt = TSteadyClock::now();
    FStoredWrites = 0;
    FReadsSinceWrite = 0;
}
