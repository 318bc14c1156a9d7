// The terminal driver has no overlapped reads and no read time-outs of the kind
// the reader relies on, so this file plays the driver's part: a pending read
// collects bytes as they come and completes when the line falls silent for
// longer than the interval, when the buffer is full, or when the total limit
// passes. Line events are sampled, since they cannot be waited for with the data.

#include "InputFilter.h"
#include "SerialPlatform.h"
#include "SerialPort_unix.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <linux/serial.h>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace SerialPlatform {

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

constexpr std::uint32_t MaxDword = 0xFFFFFFFF;
// Far enough to mean "never" without overflowing the clock.
constexpr std::uint64_t LongestLimitMs = 1'000'000'000'000;
constexpr auto LineEventPeriod = 100ms;

// An interval of MAXDWORD, with no total limit or with a total multiplier of
// MAXDWORD, asks for what has arrived as soon as anything has.
bool PassesAtOnce(const TTimeouts &t)
{
    return t.ReadInterval == MaxDword
           && (t.ReadTotalMultiplier == MaxDword || (t.ReadTotalMultiplier == 0 && t.ReadTotalConstant == 0));
}

bool IntervalUsed(const TTimeouts &t)
{
    return t.ReadInterval != 0 && !PassesAtOnce(t);
}

std::optional<TClock::duration> TotalLimit(const TTimeouts &t, std::size_t requested)
{
    const std::uint64_t ms = t.ReadInterval == MaxDword && t.ReadTotalMultiplier == MaxDword
                                 ? t.ReadTotalConstant
                                 : std::uint64_t{t.ReadTotalMultiplier} * requested + t.ReadTotalConstant;
    if (ms == 0)
        return std::nullopt;
    return std::chrono::milliseconds(std::min(ms, LongestLimitMs));
}

timespec ToTimespec(TClock::duration left)
{
    if (left < TClock::duration::zero())
        left = TClock::duration::zero();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds);
    return {static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

enum class TPoll { Stop, Ready, Timeout, Gone };

// Stop wins over everything else that is ready at the same moment. Events 0
// waits for the stop event and the deadline only.
TPoll Poll(const TEvent &stop, int fd, short events, std::optional<TClock::time_point> deadline, short &revents)
{
    pollfd fds[2] = {{static_cast<int>(stop.Native()), POLLIN, 0}, {events != 0 ? fd : -1, events, 0}};
    for (;;) {
        timespec limit{};
        if (deadline)
            limit = ToTimespec(*deadline - TClock::now());
        const int ready = ::ppoll(fds, 2, deadline ? &limit : nullptr, nullptr);
        if (ready < 0) {
            if (Classify(errno) == TFault::Retry)
                continue;
            return TPoll::Gone;
        }
        if (fds[0].revents != 0)
            return TPoll::Stop;
        revents = fds[1].revents;
        if (ready == 0)
            return TPoll::Timeout;
        return revents != 0 ? TPoll::Ready : TPoll::Timeout;
    }
}

std::array<int, 7> PickCounters(const serial_icounter_struct &c)
{
    return {c.dcd, c.rng, c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
}

// Line events from the driver's interrupt counters where it keeps them, else
// from the modem lines. Pseudo-terminals have neither.
class TLineSampler {
public:
    void Start(int fd)
    {
        serial_icounter_struct counters{};
        if (::ioctl(fd, TIOCGICOUNT, &counters) == 0) {
            FCounters = PickCounters(counters);
            FSource = TSource::Counters;
            return;
        }
        if (::ioctl(fd, TIOCMGET, &FModemBits) == 0) {
            FSource = TSource::ModemBits;
            return;
        }
        FSource = TSource::None;
    }

    bool Active() const { return FSource != TSource::None; }

    // The events since the last sample; nullopt when the device has gone.
    std::optional<std::uint32_t> Sample(int fd, std::uint32_t &errors)
    {
        std::uint32_t mask = 0;
        int failure = 0;
        if (FSource == TSource::Counters) {
            serial_icounter_struct counters{};
            if (::ioctl(fd, TIOCGICOUNT, &counters) == 0) {
                const std::array<int, 7> now = PickCounters(counters);
                static constexpr std::uint32_t errorFlag[] = {0, 0, LineErrorFrame, LineErrorOverrun, LineErrorParity,
                                                              LineErrorBreak, LineErrorRxOver};
                for (std::size_t i = 0; i < now.size(); ++i) {
                    if (now[i] == FCounters[i])
                        continue;
                    if (i == 0)
                        mask |= EventCarrier;
                    else if (i == 1)
                        mask |= EventRing;
                    else
                        errors |= errorFlag[i];
                }
                FCounters = now;
            } else {
                failure = errno;
            }
        } else if (FSource == TSource::ModemBits) {
            int bits = 0;
            if (::ioctl(fd, TIOCMGET, &bits) == 0) {
                if (((bits ^ FModemBits) & TIOCM_CD) != 0)
                    mask |= EventCarrier;
                if ((bits & ~FModemBits & TIOCM_RNG) != 0)
                    mask |= EventRing;
                FModemBits = bits;
            } else {
                failure = errno;
            }
        }
        if (failure != 0) {
            const TFault fault = Classify(failure);
            if (fault == TFault::Gone)
                return std::nullopt;
            if (fault == TFault::Unsupported)
                FSource = TSource::None;
        }
        if (errors != 0)
            mask |= EventError;
        return mask;
    }

private:
    enum class TSource { None, Counters, ModemBits } FSource = TSource::None;
    std::array<int, 7> FCounters{};
    int FModemBits = 0;
};

} // namespace

struct TReaderIo::TState {
    TPort::TState &Port;
    const bool Watch;
    std::vector<std::uint8_t> Storage;
    TInputFilter Filter;
    TLineSampler Sampler;

    // The pending event wait.
    bool EventPending = false;
    bool EventDone = false;
    std::uint32_t Mask = 0;
    std::uint32_t Errors = 0;
    TClock::time_point NextSample{};

    // The pending read.
    std::uint8_t *Buffer = nullptr;
    std::size_t Size = 0;
    std::size_t Count = 0;
    bool ReadPending = false;
    bool ReadDone = false;
    // The device has gone. Bytes already collected still complete their read;
    // the next read fails.
    bool Broken = false;
    TClock::time_point ReadStarted{};
    TClock::time_point LastByte{};

    bool SamplesLines() const { return EventPending && Sampler.Active(); }

    std::optional<TClock::time_point> Deadline(const TTimeouts &t) const
    {
        std::optional<TClock::time_point> deadline;
        const auto consider = [&deadline](TClock::time_point candidate) {
            if (!deadline || candidate < *deadline)
                deadline = candidate;
        };
        if (SamplesLines())
            consider(NextSample);
        if (ReadPending && Count > 0 && IntervalUsed(t))
            consider(LastByte + std::chrono::milliseconds(t.ReadInterval) + 1ns);
        if (ReadPending)
            if (const auto total = TotalLimit(t, Size))
                consider(ReadStarted + *total);
        return deadline;
    }

    void CheckTimers(const TTimeouts &t)
    {
        const TClock::time_point now = TClock::now();
        if (SamplesLines() && now >= NextSample) {
            NextSample = now + LineEventPeriod;
            std::uint32_t errors = 0;
            const std::optional<std::uint32_t> mask = Sampler.Sample(Port.Fd, errors);
            if (!mask) {
                Break();
            } else if (*mask != 0) {
                Mask = *mask;
                Errors |= errors;
                EventPending = false;
                EventDone = true;
            }
        }
        if (!ReadPending)
            return;
        if (Count > 0 && IntervalUsed(t) && now - LastByte > std::chrono::milliseconds(t.ReadInterval))
            CompleteRead();
        else if (const auto total = TotalLimit(t, Size); total && now - ReadStarted >= *total)
            CompleteRead();
    }

    // Takes what the driver holds into the pending read.
    void Collect(const TTimeouts &t)
    {
        const ssize_t got = ::read(Port.Fd, Buffer + Count, Size - Count);
        if (got > 0) {
            TInputFilterOptions options;
            options.IgnoreNull = Port.IgnoreNull.load(std::memory_order_relaxed);
            options.Marked = Port.MarkedErrors.load(std::memory_order_relaxed);
            options.ReplaceErrors = Port.ReplaceErrors.load(std::memory_order_relaxed);
            options.ReplacedChar = Port.ReplacedChar.load(std::memory_order_relaxed);
            // Bytes the filter drops still keep the line from counting as silent.
            LastByte = TClock::now();
            Count += Filter.Apply(Buffer + Count, static_cast<std::size_t>(got), options);
            if (Count > 0)
                Port.Arriving.store(true, std::memory_order_release);
            if (Count == Size || (Count > 0 && PassesAtOnce(t)))
                CompleteRead();
            return;
        }
        // A read of 0 after poll reported input is how a hung-up terminal says so;
        // taking it for "nothing yet" would spin.
        if (got < 0 && Classify(errno) == TFault::Retry)
            return;
        Break();
    }

    void Break()
    {
        Broken = true;
        if (ReadPending)
            CompleteRead();
    }

    void CompleteRead()
    {
        ReadPending = false;
        ReadDone = true;
    }

    TIoResult TakeRead()
    {
        ReadDone = false;
        if (Count == 0 && Broken)
            return {TIo::Failed, 0};
        return {TIo::Done, Count};
    }
};

// Arrivals cost nothing to tell here: the reader sees every byte as it comes.
TReaderIo::TReaderIo(TPort &port, bool watchLineEvents, bool, std::size_t readSize)
    : F(new TState{*port.F, watchLineEvents, std::vector<std::uint8_t>(readSize), {}, {}})
{
}

TReaderIo::~TReaderIo() = default;

bool TReaderIo::Valid() const
{
    return true;
}

bool TReaderIo::SetEventMask()
{
    if (F->Watch)
        F->Sampler.Start(F->Port.Fd);
    F->NextSample = TClock::now() + LineEventPeriod;
    return true;
}

TIo TReaderIo::StartEventWait(std::uint32_t &)
{
    // A port without line events keeps its wait pending for good, as a port
    // on which no event ever happens.
    F->EventPending = true;
    return TIo::Pending;
}

TIo TReaderIo::FinishEventWait(std::uint32_t &mask)
{
    if (!F->EventDone)
        return TIo::Failed;
    F->EventDone = false;
    mask = F->Mask;
    return TIo::Done;
}

TIo TReaderIo::ClearErrors(std::uint32_t &flags)
{
    flags = F->Errors;
    F->Errors = 0;
    return TIo::Done;
}

TIoResult TReaderIo::StartRead()
{
    // The block before this read, if any, has been posted by now.
    F->Port.Arriving.store(false, std::memory_order_release);
    if (F->Broken)
        return {TIo::Failed, 0};
    F->Buffer = F->Storage.data();
    F->Size = F->Storage.size();
    F->Count = 0;
    F->ReadPending = true;
    F->ReadDone = false;
    F->ReadStarted = TClock::now();
    F->Collect(F->Port.ReadTimeouts());
    if (F->ReadDone)
        return F->TakeRead();
    return {TIo::Pending, 0};
}

TIoResult TReaderIo::FinishRead()
{
    if (!F->ReadDone)
        return {TIo::Failed, 0};
    return F->TakeRead();
}

const std::uint8_t *TReaderIo::ReadData() const
{
    return F->Storage.data();
}

TReaderWake TReaderIo::Wait(const TEvent &stop)
{
    for (;;) {
        if (F->EventDone)
            return TReaderWake::LineEvent;
        if (F->ReadDone)
            return TReaderWake::Read;
        const TTimeouts timeouts = F->Port.ReadTimeouts();
        short revents = 0;
        const TPoll poll =
            Poll(stop, F->Port.Fd, F->ReadPending ? POLLIN : 0, F->Deadline(timeouts), revents);
        if (poll == TPoll::Stop)
            return TReaderWake::Stop;
        if (poll == TPoll::Gone)
            return TReaderWake::Failed;
        // Bytes first. A driver times the silence from when bytes reach it, so a
        // reader that runs late never splits an answer that came without a pause.
        // Here the reader times it itself and cannot tell when waiting bytes came:
        // had the line fallen silent, the wake would most likely have found none.
        if (poll == TPoll::Ready && F->ReadPending) {
            if ((revents & POLLIN) != 0)
                F->Collect(timeouts);
            else
                F->Break();
        }
        F->CheckTimers(timeouts);
    }
}

struct TWriterIo::TState {
    TPort::TState &Port;
    const std::uint8_t *Data = nullptr;
    std::size_t Size = 0;
    TIoResult Result{};
};

TWriterIo::TWriterIo(TPort &port)
    : F(new TState{*port.F})
{
}

TWriterIo::~TWriterIo() = default;

bool TWriterIo::Valid() const
{
    return true;
}

namespace {

TIoResult WriteSome(int fd, const std::uint8_t *data, std::size_t size)
{
    const ssize_t put = ::write(fd, data, size);
    if (put >= 0)
        return {TIo::Done, static_cast<std::size_t>(put)};
    if (Classify(errno) == TFault::Retry)
        return {TIo::Pending, 0};
    return {TIo::Failed, 0};
}

} // namespace

TIoResult TWriterIo::StartWrite(const std::uint8_t *data, std::size_t size)
{
    F->Data = data;
    F->Size = size;
    F->Result = WriteSome(F->Port.Fd, data, size);
    return F->Result;
}

TIoResult TWriterIo::FinishWrite()
{
    return F->Result;
}

TWriterWake TWriterIo::Wait(const TEvent &stop)
{
    while (F->Result.Status == TIo::Pending) {
        short revents = 0;
        const TPoll poll = Poll(stop, F->Port.Fd, POLLOUT, std::nullopt, revents);
        if (poll == TPoll::Stop)
            return TWriterWake::Stop;
        if (poll != TPoll::Ready || (revents & POLLOUT) == 0)
            return TWriterWake::Failed;
        F->Result = WriteSome(F->Port.Fd, F->Data, F->Size);
    }
    return TWriterWake::Written;
}

TWait WaitEither(const TEvent &stop, const TEvent &wake)
{
    short revents = 0;
    switch (Poll(stop, static_cast<int>(wake.Native()), POLLIN, std::nullopt, revents)) {
    case TPoll::Stop:
        return TWait::Stop;
    case TPoll::Ready:
        return TWait::Wake;
    default:
        return TWait::Failed;
    }
}

} // namespace SerialPlatform
