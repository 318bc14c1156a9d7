#pragma once

#include "SerialPlatform.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Notifications keep the message numbers of the component's first platform:
// its first user message number plus 1 to 5.
inline constexpr std::uint32_t CommMessageBase = 0x400;
inline constexpr std::uint32_t WM_COMM_RXDATA = CommMessageBase + 1;
inline constexpr std::uint32_t WM_COMM_RXERROR = CommMessageBase + 2;
inline constexpr std::uint32_t WM_COMM_HANGUP = CommMessageBase + 3;
inline constexpr std::uint32_t WM_COMM_MODEM = CommMessageBase + 4;
inline constexpr std::uint32_t WM_COMM_TXEMPTY = CommMessageBase + 5;

inline constexpr std::size_t ReadBufferSize = 2048;

struct TCommNotification {
    std::uint32_t Message = 0;
    std::uint32_t WParam = 0;
    std::uint32_t LParam = 0;
    // WParam bytes and a zero byte; released with the notification.
    std::unique_ptr<std::uint8_t[]> Block;
};

// The way from the workers to the owner's thread. The workers never call into
// Qt: Qt's own event queue hands over under locks that the race detector cannot
// see, so a queue of our own and an event that the owner's event loop watches
// carry the notifications instead. Those of one worker arrive in the order posted.
class TNotifyQueue {
public:
    bool Valid() const { return FWake.Valid(); }
    // Any thread. False when the notification could not be queued.
    bool Post(TCommNotification notification);
    // The owner's thread: the oldest notification, if any.
    std::optional<TCommNotification> Take();
    bool Empty();
    // Any thread: whether a notification of that message waits.
    bool Holds(std::uint32_t message);
    // Set while notifications wait; the owner consumes it before taking them.
    SerialPlatform::TEvent &Wake() { return FWake; }

private:
    std::mutex FLock;
    std::deque<TCommNotification> FItems;
    SerialPlatform::TEvent FWake;
};

// False when the notification could not be made or queued.
bool PostNotification(TNotifyQueue &notifyWindow, std::uint32_t message, std::uint32_t wParam = 0,
                      std::uint32_t lParam = 0, std::unique_ptr<std::uint8_t[]> block = nullptr);

struct TSendBlock {
    std::unique_ptr<std::uint8_t[]> Data;
    std::uint16_t Count = 0;
};

// The writer's queue. It exists from the open on, so nothing queued right after
// the open is refused; once the writer has ended it takes nothing more.
class TSendQueue {
public:
    bool Valid() const { return FWake.Valid(); }
    bool Push(TSendBlock block);
    std::optional<TSendBlock> TryPop();
    // Refuses further blocks and releases those still queued.
    void Close();
    SerialPlatform::TEvent &Wake() { return FWake; }

private:
    std::mutex FLock;
    std::deque<TSendBlock> FBlocks;
    bool FClosed = false;
    SerialPlatform::TEvent FWake;
};

// A worker of an open port. Plain threads rather than QThread: Qt's own waits are
// invisible to the race detector, which would then report Qt's internals.
class TCommThread {
public:
    TCommThread() = default;
    virtual ~TCommThread();
    TCommThread(const TCommThread &) = delete;
    TCommThread &operator=(const TCommThread &) = delete;

    // False when the system would not create the thread.
    bool Begin();
    // Waits for the end; a worker still running after the limit is waited for
    // further, since it cannot be destroyed under itself.
    void Join(int limitMs);

protected:
    virtual void Execute() = 0;

private:
    void Run();

    std::thread FThread;
    std::mutex FLock;
    std::condition_variable FEndedSignal;
    bool FEnded = false;
};

class TReadThread : public TCommThread {
public:
    // Line events are watched only when someone listens for them: where the
    // system cannot wait for them, watching wakes the reader every 100 ms.
    // Arrivals, too, where telling them costs a wait.
    TReadThread(SerialPlatform::TPort &portHandle, const SerialPlatform::TEvent &stopEvent, TNotifyQueue &notifyWindow,
                bool watchLineEvents, bool watchArrivals);

protected:
    void Execute() override;

private:
    void Run();
    bool ArmLineWait();
    bool HandleLineEvent(bool retrieve);
    bool StartRead();
    bool FinishRead();
    bool PassBlock(const std::uint8_t *bytes, std::size_t count);
    void PostHangup();

    SerialPlatform::TPort &PortHandle;
    const SerialPlatform::TEvent &StopEvent;
    TNotifyQueue &NotifyWindow;
    const bool WatchLineEvents;
    const bool WatchArrivals;

    // Valid while Execute runs.
    SerialPlatform::TReaderIo *FIo = nullptr;
    std::uint32_t FMask = 0;
};

class TWriteThread : public TCommThread {
public:
    TWriteThread(SerialPlatform::TPort &portHandle, const SerialPlatform::TEvent &stopEvent, TNotifyQueue &notifyWindow,
                 TSendQueue &queue, std::atomic<bool> &sendQueueEmpty);

protected:
    void Execute() override;

private:
    void Run();
    bool WriteBlock(const std::uint8_t *data, std::size_t count);
    void PostHangup();

    SerialPlatform::TPort &PortHandle;
    const SerialPlatform::TEvent &StopEvent;
    TNotifyQueue &NotifyWindow;
    TSendQueue &Queue;
    std::atomic<bool> &SendQueueEmpty;

    // Valid while Execute runs.
    SerialPlatform::TWriterIo *FIo = nullptr;
};
