// The serving loop: requests cut from the line by its silences, and answers
// paced out at the line's speed, shaped by the faults of the line.
#include "LoggerEmulator.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

#include <poll.h>
#include <unistd.h>

namespace {

// A flood without pauses would otherwise grow the block without bound.
constexpr std::size_t MaxBlockSize = 4096;

timespec ToTimespec(std::chrono::nanoseconds d)
{
    if (d < d.zero())
        d = d.zero();
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(d);
    return {static_cast<time_t>(whole.count()), static_cast<long>((d - whole).count())};
}

} // namespace

void TLoggerEmulator::Serve()
{
    if (FMaster < 0)
        return;
    TBytes block;
    TSteadyClock::time_point lastRead;
    TSteadyClock::time_point lastWrite;
    TAnswer answer;
    int openers = 0;
    bool lineFull = false;

    for (;;) {
        if (FUnplugRequested) {
            HangUp();
            return;
        }
        auto now = TSteadyClock::now();
        const bool stopping = FStopRequested.load();
        if (stopping && (openers == 0 || now >= lastWrite + Linger))
            break;

        std::optional<TSteadyClock::time_point> wake;
        auto wakeBy = [&wake](TSteadyClock::time_point t) {
            if (!wake || t < *wake)
                wake = t;
        };
        if (!block.empty())
            wakeBy(lastRead + SilenceInterval);
        // Bytes that fell due while the line was full are overdue: waking for
        // them instead of for room would spin.
        const bool waitForRoom = lineFull && openers > 0 && answer.Pending() && !stopping;
        if (waitForRoom)
            wakeBy(now + FullLineRetry);
        else if (answer.Pending() && !stopping)
            wakeBy(answer.Due[answer.Next]);
        if (stopping)
            wakeBy(lastWrite + Linger);

        const short masterEvents = waitForRoom ? POLLIN | POLLOUT : POLLIN;
        pollfd fds[3] = {{FWakeRead, POLLIN, 0}, {FMaster, masterEvents, 0}, {FInotify, POLLIN, 0}};
        timespec timeout {};
        if (wake)
            timeout = ToTimespec(*wake - now);
        if (::ppoll(fds, 3, wake ? &timeout : nullptr, nullptr) < 0 && errno != EINTR)
            break;

        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(FWakeRead, drain, sizeof drain) > 0) {
            }
        }
        if (fds[2].revents & POLLIN)
            openers = TrackOpeners(openers);
        if (fds[1].revents & POLLIN) {
            std::uint8_t buffer[512];
            ssize_t n;
            while ((n = ::read(FMaster, buffer, sizeof buffer)) > 0)
                block.insert(block.end(), buffer, buffer + n);
            lastRead = TSteadyClock::now();
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            // Cannot happen while the held slave is open; leave rather than spin.
            break;
        }

        now = TSteadyClock::now();
        if (!block.empty() && (now >= lastRead + SilenceInterval || block.size() >= MaxBlockSize)) {
            TBytes request;
            request.swap(block);
            if (!HandleRequest(request, answer, now)) {
                HangUp();
                return;
            }
        }

        if (answer.Pending() && !stopping && answer.Due[answer.Next] <= now) {
            // Due times never fall, so a search finds the bytes due by now
            // without walking a flood's whole tail on every wake.
            const auto due = std::upper_bound(answer.Due.begin() + static_cast<std::ptrdiff_t>(answer.Next),
                                              answer.Due.end(), now);
            const auto end = static_cast<std::size_t>(due - answer.Due.begin());
            lineFull = false;
            if (openers == 0) {
                // Nobody at the other end: like a real line, the bytes are lost.
                answer.Next = end;
            } else if (const ssize_t n = ::write(FMaster, answer.Bytes.data() + answer.Next, end - answer.Next);
                       n > 0) {
                lastWrite = now;
                answer.Next += static_cast<std::size_t>(n);
                lineFull = answer.Next < end;
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                // A flood outruns the tool's input queue; the rest waits for room.
                lineFull = true;
            } else {
                answer.Next = end;
            }
        }
        FAnswering = answer.Pending();
    }
}

void TLoggerEmulator::Schedule(TAnswer &answer, TBytes bytes, TFaultMode fault, TSteadyClock::time_point start)
{
    if (fault == TFaultMode::BadCheck) {
        ++bytes[bytes.size() - 2];
    } else if (fault == TFaultMode::Garbage || fault == TFaultMode::Flood) {
        bytes.resize(fault == TFaultMode::Flood
                         ? FloodSize
                         : std::uniform_int_distribution<std::size_t>(7, FrameBufferSize)(FRandom));
        std::uniform_int_distribution<int> value(0, 255);
        for (auto &b : bytes)
            b = static_cast<std::uint8_t>(value(FRandom));
        if (bytes[0] == FrameStart1)
            bytes[0] = 0;  // never a sound frame by chance
    }
    Log(fault == TFaultMode::None ? "tx" : "tx (" + std::string(FaultModeName(fault)) + ")", bytes.data(),
        bytes.size());

    if (answer.Pending()) {
        start = std::max(start, answer.Due.back() + ByteTime);
    } else {
        answer = TAnswer{};
    }
    // A flood at 9600 baud would take over a minute; it comes as fast as the line takes it.
    const std::chrono::microseconds step = fault == TFaultMode::Slow    ? SlowByteTime
                                           : fault == TFaultMode::Flood ? std::chrono::microseconds::zero()
                                                                        : ByteTime;
    const int copies = fault == TFaultMode::Twice ? 2 : 1;
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0)
            start = answer.Due.back() + ByteTime + TwicePause;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            TSteadyClock::time_point due = start + static_cast<std::int64_t>(i) * step;
            if (fault == TFaultMode::Split && i >= SplitAfter)
                due += SplitPause;
            answer.Bytes.push_back(bytes[i]);
            answer.Due.push_back(due);
        }
    }
}
