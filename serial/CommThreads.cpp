#include "CommThreads.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

using SerialPlatform::TClock;
using SerialPlatform::TIo;
using SerialPlatform::TIoResult;
using SerialPlatform::TTimeouts;
using SerialPlatform::TWait;

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t MaxDword = 0xFFFFFFFF;
// Far enough to mean "never" without overflowing the clock.
constexpr std::uint64_t LongestLimitMs = 1'000'000'000'000;
// Modem lines and error counters cannot be waited for together with the data,
// so they are looked at this often, and only on devices that have them.
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

std::optional<TClock::duration> TotalLimit(const TTimeouts &t)
{
    const std::uint64_t ms = t.ReadInterval == MaxDword && t.ReadTotalMultiplier == MaxDword
                                 ? t.ReadTotalConstant
                                 : std::uint64_t{t.ReadTotalMultiplier} * ReadBufferSize + t.ReadTotalConstant;
    if (ms == 0)
        return std::nullopt;
    return std::chrono::milliseconds(std::min(ms, LongestLimitMs));
}

} // namespace

bool TNotifyQueue::Post(TCommNotification notification)
{
    try {
        const std::lock_guard lock(FLock);
        FItems.push_back(std::move(notification));
    } catch (const std::bad_alloc &) {
        return false;
    }
    FWake.Set();
    return true;
}

std::optional<TCommNotification> TNotifyQueue::Take()
{
    const std::lock_guard lock(FLock);
    if (FItems.empty())
        return std::nullopt;
    TCommNotification notification = std::move(FItems.front());
    FItems.pop_front();
    return notification;
}

bool TNotifyQueue::Empty()
{
    const std::lock_guard lock(FLock);
    return FItems.empty();
}

bool PostNotification(TNotifyQueue &notifyWindow, std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam,
                      std::unique_ptr<std::uint8_t[]> block)
{
    return notifyWindow.Post(TCommNotification{message, wParam, lParam, std::move(block)});
}

bool TSendQueue::Push(TSendBlock block)
{
    {
        const std::lock_guard lock(FLock);
        if (FClosed)
            return false;
        FBlocks.push_back(std::move(block));
    }
    FWake.Set();
    return true;
}

std::optional<TSendBlock> TSendQueue::TryPop()
{
    const std::lock_guard lock(FLock);
    if (FBlocks.empty())
        return std::nullopt;
    TSendBlock block = std::move(FBlocks.front());
    FBlocks.pop_front();
    return block;
}

void TSendQueue::Close()
{
    std::deque<TSendBlock> dropped;
    const std::lock_guard lock(FLock);
    FClosed = true;
    dropped.swap(FBlocks);
}

TCommThread::~TCommThread()
{
    if (FThread.joinable())
        FThread.join();
}

bool TCommThread::Begin()
{
    try {
        FThread = std::thread(&TCommThread::Run, this);
    } catch (const std::system_error &) {
        return false;
    }
    return true;
}

void TCommThread::Join(int limitMs)
{
    {
        std::unique_lock lock(FLock);
        FEndedSignal.wait_for(lock, std::chrono::milliseconds(limitMs), [this] { return FEnded; });
    }
    if (FThread.joinable())
        FThread.join();
}

void TCommThread::Run()
{
    Execute();
    {
        const std::lock_guard lock(FLock);
        FEnded = true;
    }
    FEndedSignal.notify_all();
}

TReadThread::TReadThread(SerialPlatform::TPort &portHandle, const SerialPlatform::TEvent &stopEvent,
                         TNotifyQueue &notifyWindow, bool watchLineEvents)
    : PortHandle(portHandle)
    , StopEvent(stopEvent)
    , NotifyWindow(notifyWindow)
    , WatchLineEvents(watchLineEvents)
{
}

void TReadThread::Execute()
{
    SerialPlatform::RaiseCurrentThreadPriority(SerialPlatform::TThreadPriority::Highest);
    if (WatchLineEvents)
        PortHandle.StartLineEvents();
    FReadStarted = TClock::now();
    FNextLineCheck = FReadStarted + LineEventPeriod;
    for (;;) {
        const TTimeouts timeouts = PortHandle.Timeouts();
        const TWait wait = PortHandle.WaitReadable(StopEvent, NextDeadline(timeouts));
        if (wait == TWait::Stop)
            break;
        if (wait == TWait::Gone) {
            EndWithHangup();
            break;
        }
        // Timers first: bytes that come after the line fell silent start a new block.
        if (!CheckTimers(timeouts))
            break;
        if (wait == TWait::Ready && !FinishRead(timeouts))
            break;
    }
    PortHandle.Purge(true, false);
}

std::optional<TClock::time_point> TReadThread::NextDeadline(const TTimeouts &timeouts) const
{
    std::optional<TClock::time_point> deadline;
    const auto consider = [&deadline](TClock::time_point candidate) {
        if (!deadline || candidate < *deadline)
            deadline = candidate;
    };
    if (PortHandle.WatchesLineEvents())
        consider(FNextLineCheck);
    if (FCount > 0 && IntervalUsed(timeouts))
        consider(FLastByte + std::chrono::milliseconds(timeouts.ReadInterval) + 1ns);
    if (const auto total = TotalLimit(timeouts))
        consider(FReadStarted + *total);
    return deadline;
}

bool TReadThread::CheckTimers(const TTimeouts &timeouts)
{
    const TClock::time_point now = TClock::now();
    if (PortHandle.WatchesLineEvents() && now >= FNextLineCheck) {
        if (!HandleLineEvent())
            return false;
        FNextLineCheck = now + LineEventPeriod;
    }
    if (FCount > 0 && IntervalUsed(timeouts) && now - FLastByte > std::chrono::milliseconds(timeouts.ReadInterval))
        return PassBlock();
    if (const auto total = TotalLimit(timeouts); total && now - FReadStarted >= *total) {
        if (FCount > 0)
            return PassBlock();
        // A read that ends empty has nothing to pass on; the next one starts.
        FReadStarted = now;
    }
    return true;
}

bool TReadThread::FinishRead(const TTimeouts &timeouts)
{
    const TIoResult read = PortHandle.Read(FBuffer.data() + FCount, FBuffer.size() - FCount);
    if (read.Status == TIo::Again)
        return true;
    if (read.Status == TIo::Gone) {
        EndWithHangup();
        return false;
    }
    if (read.LineActive)
        FLastByte = TClock::now();
    FCount += read.Count;
    if (FCount == FBuffer.size() || (FCount > 0 && PassesAtOnce(timeouts)))
        return PassBlock();
    return true;
}

bool TReadThread::HandleLineEvent()
{
    const std::optional<SerialPlatform::TLineEvents> events = PortHandle.TakeLineEvents();
    if (!events) {
        EndWithHangup();
        return false;
    }
    if (events->Errors != 0 && !PostNotification(NotifyWindow, WM_COMM_RXERROR, 0, events->Errors)) {
        PostHangup();
        return false;
    }
    if (events->Modem != 0 && !PostNotification(NotifyWindow, WM_COMM_MODEM, 0, events->Modem)) {
        PostHangup();
        return false;
    }
    return true;
}

bool TReadThread::PassBlock()
{
    const std::size_t count = std::exchange(FCount, 0);
    FReadStarted = TClock::now();
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[count + 1]());
    if (!block) {
        PostHangup();
        return false;
    }
    std::memcpy(block.get(), FBuffer.data(), count);
    if (!PostNotification(NotifyWindow, WM_COMM_RXDATA, static_cast<std::uint32_t>(count), 0, std::move(block))) {
        PostHangup();
        return false;
    }
    return true;
}

void TReadThread::EndWithHangup()
{
    // Bytes already collected are worth more than the block rule.
    if (FCount == 0 || PassBlock())
        PostHangup();
}

void TReadThread::PostHangup()
{
    PostNotification(NotifyWindow, WM_COMM_HANGUP);
}

TWriteThread::TWriteThread(SerialPlatform::TPort &portHandle, const SerialPlatform::TEvent &stopEvent,
                           TNotifyQueue &notifyWindow, TSendQueue &queue, std::atomic<bool> &sendQueueEmpty)
    : PortHandle(portHandle)
    , StopEvent(stopEvent)
    , NotifyWindow(notifyWindow)
    , Queue(queue)
    , SendQueueEmpty(sendQueueEmpty)
{
}

void TWriteThread::Execute()
{
    SerialPlatform::RaiseCurrentThreadPriority(SerialPlatform::TThreadPriority::AboveNormal);
    bool drainedNotice = true;
    for (;;) {
        std::optional<TSendBlock> block = Queue.TryPop();
        if (!block) {
            SendQueueEmpty.store(true, std::memory_order_relaxed);
            if (drainedNotice && !PostNotification(NotifyWindow, WM_COMM_TXEMPTY)) {
                PostHangup();
                break;
            }
            drainedNotice = false;
            const TWait wait = SerialPlatform::WaitEither(StopEvent, Queue.Wake());
            if (wait == TWait::Wake) {
                Queue.Wake().Consume();
                continue;
            }
            if (wait != TWait::Stop)
                PostHangup();
            break;
        }
        if (StopEvent.IsSet())
            break;
        if (!WriteBlock(block->Data.get(), block->Count))
            break;
        drainedNotice = true;
    }
    Queue.Close();
    PortHandle.Purge(false, true);
    SendQueueEmpty.store(true, std::memory_order_relaxed);
}

// The write time-outs are not applied: a write cut short by one is continued
// with the rest, so a limit would change nothing but the number of calls.
bool TWriteThread::WriteBlock(const std::uint8_t *data, std::size_t count)
{
    std::size_t offset = 0;
    while (offset < count) {
        const TIoResult written = PortHandle.Write(data + offset, count - offset);
        if (written.Status == TIo::Gone) {
            PostHangup();
            return false;
        }
        offset += written.Count;
        if (offset == count)
            break;
        const TWait wait = PortHandle.WaitWritable(StopEvent);
        if (wait == TWait::Stop)
            return false;
        if (wait != TWait::Ready) {
            PostHangup();
            return false;
        }
    }
    return true;
}

void TWriteThread::PostHangup()
{
    PostNotification(NotifyWindow, WM_COMM_HANGUP);
}
