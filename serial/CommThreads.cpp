#include "CommThreads.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

using SerialPlatform::TIo;
using SerialPlatform::TIoResult;

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

bool TNotifyQueue::Holds(std::uint32_t message)
{
    const std::lock_guard lock(FLock);
    return std::any_of(FItems.begin(), FItems.end(),
                       [message](const TCommNotification &n) { return n.Message == message; });
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
    // Besides the system's refusal, the thread's start-up state is allocated.
    try {
        FThread = std::thread(&TCommThread::Run, this);
    } catch (...) {
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
                         TNotifyQueue &notifyWindow, bool watchLineEvents, bool watchArrivals)
    : PortHandle(portHandle)
    , StopEvent(stopEvent)
    , NotifyWindow(notifyWindow)
    , WatchLineEvents(watchLineEvents)
    , WatchArrivals(watchArrivals)
{
}

void TReadThread::Execute()
{
    SerialPlatform::RaiseCurrentThreadPriority(SerialPlatform::TThreadPriority::Highest);
    // The I/O's state and buffer are allocated here; without them the reader
    // ends as it does when its events cannot be made.
    try {
        SerialPlatform::TReaderIo io(PortHandle, WatchLineEvents, WatchArrivals, ReadBufferSize);
        FIo = &io;
        Run();
        FIo = nullptr;
    } catch (const std::bad_alloc &) {
        PostHangup();
    }
    PortHandle.Purge(true, false);
}

void TReadThread::Run()
{
    if (!FIo->Valid() || !FIo->SetEventMask()) {
        PostHangup();
        return;
    }
    if (!ArmLineWait() || !StartRead())
        return;
    for (;;) {
        switch (FIo->Wait(StopEvent)) {
        case SerialPlatform::TReaderWake::Stop:
            return;
        case SerialPlatform::TReaderWake::LineEvent:
            if (!HandleLineEvent(true) || !ArmLineWait())
                return;
            break;
        case SerialPlatform::TReaderWake::Read:
            if (!FinishRead() || !StartRead())
                return;
            break;
        case SerialPlatform::TReaderWake::Failed:
            PostHangup();
            return;
        }
    }
}

bool TReadThread::ArmLineWait()
{
    for (;;) {
        if (StopEvent.IsSet())
            return false;
        switch (FIo->StartEventWait(FMask)) {
        case TIo::Done:
            if (!HandleLineEvent(false))
                return false;
            break;
        case TIo::Pending:
            return true;
        case TIo::Closed:
            return false;
        case TIo::Failed:
            PostHangup();
            return false;
        }
    }
}

bool TReadThread::HandleLineEvent(bool retrieve)
{
    if (retrieve) {
        if (const TIo got = FIo->FinishEventWait(FMask); got != TIo::Done) {
            if (got != TIo::Closed)
                PostHangup();
            return false;
        }
    }
    bool result = false;
    if ((FMask & SerialPlatform::EventError) != 0) {
        std::uint32_t flags = 0;
        if (const TIo cleared = FIo->ClearErrors(flags); cleared != TIo::Done) {
            if (cleared != TIo::Closed)
                PostHangup();
            return false;
        }
        if (!PostNotification(NotifyWindow, WM_COMM_RXERROR, 0, flags)) {
            PostHangup();
            return false;
        }
        result = true;
    }
    std::uint32_t modem = 0;
    if ((FMask & SerialPlatform::EventCarrier) != 0)
        modem |= SerialPlatform::ModemCarrier;
    if ((FMask & SerialPlatform::EventRing) != 0)
        modem |= SerialPlatform::ModemRing;
    if (modem != 0) {
        if (!PostNotification(NotifyWindow, WM_COMM_MODEM, 0, modem)) {
            PostHangup();
            return false;
        }
        result = true;
    }
    // A wait that ends with nothing of interest is how a port taken away shows.
    if (!result)
        PostHangup();
    return result;
}

bool TReadThread::StartRead()
{
    for (;;) {
        if (StopEvent.IsSet())
            return false;
        const TIoResult read = FIo->StartRead();
        switch (read.Status) {
        case TIo::Done:
            // Bytes already waiting go on at once, without a trip through the wait.
            if (!PassBlock(FIo->ReadData(), read.Count))
                return false;
            break;
        case TIo::Pending:
            return true;
        case TIo::Closed:
            return false;
        case TIo::Failed:
            PostHangup();
            return false;
        }
    }
}

bool TReadThread::FinishRead()
{
    const TIoResult read = FIo->FinishRead();
    if (read.Status == TIo::Done)
        return PassBlock(FIo->ReadData(), read.Count);
    if (read.Status != TIo::Closed)
        PostHangup();
    return false;
}

bool TReadThread::PassBlock(const std::uint8_t *bytes, std::size_t count)
{
    // A read that a total time-out ended empty has nothing to pass on; the next one starts.
    if (count == 0)
        return true;
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[count + 1]());
    if (!block) {
        PostHangup();
        return false;
    }
    std::memcpy(block.get(), bytes, count);
    if (!PostNotification(NotifyWindow, WM_COMM_RXDATA, static_cast<std::uint32_t>(count), 0, std::move(block))) {
        PostHangup();
        return false;
    }
    return true;
}

// A failure once the owner has begun to close is the close itself, as its
// purge aborts what is pending: a notice then would reach the next open.
void TReadThread::PostHangup()
{
    if (!StopEvent.IsSet())
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
    try {
        SerialPlatform::TWriterIo io(PortHandle);
        FIo = &io;
        if (io.Valid())
            Run();
        else
            PostHangup();
        FIo = nullptr;
    } catch (const std::bad_alloc &) {
        PostHangup();
    }
    Queue.Close();
    PortHandle.Purge(false, true);
    SendQueueEmpty.store(true, std::memory_order_relaxed);
}

void TWriteThread::Run()
{
    bool drainedNotice = true;
    for (;;) {
        std::optional<TSendBlock> block = Queue.TryPop();
        if (!block) {
            SendQueueEmpty.store(true, std::memory_order_relaxed);
            if (drainedNotice && !PostNotification(NotifyWindow, WM_COMM_TXEMPTY)) {
                PostHangup();
                return;
            }
            drainedNotice = false;
            const SerialPlatform::TWait wait = SerialPlatform::WaitEither(StopEvent, Queue.Wake());
            if (wait == SerialPlatform::TWait::Wake) {
                Queue.Wake().Consume();
                continue;
            }
            if (wait != SerialPlatform::TWait::Stop)
                PostHangup();
            return;
        }
        if (StopEvent.IsSet())
            return;
        if (!WriteBlock(block->Data.get(), block->Count))
            return;
        drainedNotice = true;
    }
}

bool TWriteThread::WriteBlock(const std::uint8_t *data, std::size_t count)
{
    std::size_t offset = 0;
    while (offset < count) {
        TIoResult written = FIo->StartWrite(data + offset, count - offset);
        if (written.Status == TIo::Pending) {
            switch (FIo->Wait(StopEvent)) {
            case SerialPlatform::TWriterWake::Stop:
                return false;
            case SerialPlatform::TWriterWake::Written:
                written = FIo->FinishWrite();
                break;
            case SerialPlatform::TWriterWake::Failed:
                PostHangup();
                return false;
            }
        }
        if (written.Status == TIo::Closed)
            return false;
        if (written.Status != TIo::Done) {
            PostHangup();
            return false;
        }
        // Less than asked only where write time-outs are set: the rest follows.
        offset += written.Count;
    }
    return true;
}

void TWriteThread::PostHangup()
{
    if (!StopEvent.IsSet())
        PostNotification(NotifyWindow, WM_COMM_HANGUP);
}
