#pragma once

#include "SerialPlatform.h"

#include <QEvent>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Notifications keep the message numbers of the component's first platform:
// its first user message number plus 1 to 5. Each travels as a posted event
// whose type is QEvent::User plus that number.
inline constexpr std::uint32_t CommMessageBase = 0x400;
inline constexpr std::uint32_t WM_COMM_RXDATA = CommMessageBase + 1;
inline constexpr std::uint32_t WM_COMM_RXERROR = CommMessageBase + 2;
inline constexpr std::uint32_t WM_COMM_HANGUP = CommMessageBase + 3;
inline constexpr std::uint32_t WM_COMM_MODEM = CommMessageBase + 4;
inline constexpr std::uint32_t WM_COMM_TXEMPTY = CommMessageBase + 5;

inline constexpr std::size_t ReadBufferSize = 2048;

class TCommEvent : public QEvent {
public:
    TCommEvent(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam,
               std::unique_ptr<std::uint8_t[]> block = nullptr);
    ~TCommEvent() override;

    static bool IsCommEvent(const QEvent *event);
    // Makes what the posting thread wrote visible to the receiving thread.
    static void ReceiveHandOver();

    const std::uint32_t Message;
    const std::uint32_t WParam;
    const std::uint32_t LParam;
    // WParam bytes and a zero byte; released with the event.
    const std::unique_ptr<std::uint8_t[]> Block;
};

// Events of one thread reach the receiver in the order posted. False when the
// event could not be made.
bool PostNotification(QObject *notifyWindow, std::uint32_t message, std::uint32_t wParam = 0,
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
    TReadThread(SerialPlatform::TPort &portHandle, const SerialPlatform::TEvent &stopEvent, QObject *notifyWindow);

protected:
    void Execute() override;

private:
    std::optional<SerialPlatform::TClock::time_point> NextDeadline(const SerialPlatform::TTimeouts &timeouts) const;
    bool FinishRead(const SerialPlatform::TTimeouts &timeouts);
    bool CheckTimers(const SerialPlatform::TTimeouts &timeouts);
    bool HandleLineEvent();
    bool PassBlock();
    void EndWithHangup();
    void PostHangup();

    SerialPlatform::TPort &PortHandle;
    const SerialPlatform::TEvent &StopEvent;
    QObject *const NotifyWindow;

    std::array<std::uint8_t, ReadBufferSize> FBuffer{};
    std::size_t FCount = 0;
    SerialPlatform::TClock::time_point FReadStarted;
    SerialPlatform::TClock::time_point FLastByte;
    SerialPlatform::TClock::time_point FNextLineCheck;
};

class TWriteThread : public TCommThread {
public:
    TWriteThread(SerialPlatform::TPort &portHandle, const SerialPlatform::TEvent &stopEvent, QObject *notifyWindow,
                 TSendQueue &queue, std::atomic<bool> &sendQueueEmpty);

protected:
    void Execute() override;

private:
    bool WriteBlock(const std::uint8_t *data, std::size_t count);
    void PostHangup();

    SerialPlatform::TPort &PortHandle;
    const SerialPlatform::TEvent &StopEvent;
    QObject *const NotifyWindow;
    TSendQueue &Queue;
    std::atomic<bool> &SendQueueEmpty;
};
