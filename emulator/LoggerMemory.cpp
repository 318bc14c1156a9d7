// What a request does to the logger: a probe is answered from its memory, a
// write is stored in it, and the faults of the memory store a write wrongly.
#include "LoggerEmulator.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::uint8_t, 7> SaveAck = {0xAA, 0x55, CmdSaveAck, 0x01, 0x00, 0x16, 0xAA};

} // namespace

bool TLoggerEmulator::HandleRequest(const TBytes &request, TAnswer &answer, TSteadyClock::time_point now)
{
    Log("rx", request.data(), request.size());
    TBytes reply;
    TFaultMode fault;
    TSteadyClock::time_point start;
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
        } else if (command == CmdParameterWrite && request.size() == FrameBufferSize) {
            TFrameBuffer frame;
            std::copy(request.begin(), request.end(), frame.begin());
            if (fault != TFaultMode::NotStored) {
                if (const auto time = StoreWriteFrame(FRecord, frame)) {
                    FClockBase = *ToSeconds(*time);
                    FClockSetAt = now;
                }
            }
            if (fault == TFaultMode::WrongByte) {
                ++FRecord[LogIntervalMinutesOffset];
                SealRecord(FRecord);
            }
            ++FStoredWrites;
            FReadsSinceWrite = 0;
            reply.assign(SaveAck.begin(), SaveAck.end());
        } else {
            return true;
        }
        if (fault != TFaultMode::Silent)
            FAnswering = true;
    }
    if (fault != TFaultMode::Silent)
        Schedule(answer, std::move(reply), fault, start);
    return true;
}
