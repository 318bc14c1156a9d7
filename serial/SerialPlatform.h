#pragma once

#include "Comm.h"

#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class QObject;

// The operating system's side of the serial component. One implementation file per
// platform sits beside this header; everything above it is shared.
//
// The shape is that of overlapped I/O: a thread starts a read, an event wait or a
// write, which either completes at once or stays pending; it then waits for the
// stop event or a completion and collects the result. Where the system has no
// overlapped I/O, the platform file plays the driver's part itself.
namespace SerialPlatform {

struct TLineSettings {
    std::uint32_t BaudRate = 9600;
    bool ParityCheck = false;
    bool Outx_CtsFlow = false;
    bool Outx_DsrFlow = false;
    TDtrControl DtrControl = TDtrControl::DtrEnable;
    bool DsrSensitivity = false;
    bool TxContinueOnXoff = true;
    bool Outx_XonXoffFlow = false;
    bool Inx_XonXoffFlow = false;
    bool ReplaceWhenParityError = false;
    bool IgnoreNullChar = false;
    TRtsControl RtsControl = TRtsControl::RtsEnable;
    std::uint16_t XonLimit = 500;
    std::uint16_t XoffLimit = 500;
    TByteSize ByteSize = TByteSize::_8;
    TParity Parity = TParity::None;
    TStopBits StopBits = TStopBits::_1;
    std::uint8_t XonChar = 0x11;
    std::uint8_t XoffChar = 0x13;
    std::uint8_t ReplacedChar = 0x00;
};

struct TTimeouts {
    std::uint32_t ReadInterval = 0;
    std::uint32_t ReadTotalMultiplier = 0;
    std::uint32_t ReadTotalConstant = 0;
    std::uint32_t WriteTotalMultiplier = 0;
    std::uint32_t WriteTotalConstant = 0;
};

// Line-error flags, modem bits and line events carry the same values on every
// platform, so that handlers written against one read the same numbers on another.
enum : std::uint32_t {
    LineErrorRxOver = 0x01,
    LineErrorOverrun = 0x02,
    LineErrorParity = 0x04,
    LineErrorFrame = 0x08,
    LineErrorBreak = 0x10,
};
enum : std::uint32_t { ModemRing = 0x4, ModemCarrier = 0x8 };
enum : std::uint32_t { EventCarrier = 0x20, EventError = 0x80, EventRing = 0x100 };
inline constexpr std::uint32_t WatchedEvents = EventCarrier | EventError | EventRing;

// Why a device would not open, so that a user can be told what to do about it:
// join a group (Denied), close the other program (InUse), plug the device in
// or correct its name (Missing), or name a serial port rather than some other
// file (NotSerial). Everything else is Other.
enum class TOpenFailure { None, Missing, InUse, Denied, NotSerial, Other };

// How a started operation, or the collection of its result, went. Closed is a
// port handle that is no longer valid, as after the owner closed it: the thread
// ends without a word. Failed is any other error: the thread asks to hang up.
enum class TIo { Done, Pending, Closed, Failed };

struct TIoResult {
    TIo Status = TIo::Failed;
    std::size_t Count = 0; // bytes read or written, when Done
};

// A manual-reset signal that a thread can wait on together with its I/O. The
// stop event is never consumed; the wake events are consumed before their queue
// is looked at.
class TEvent {
public:
    TEvent();
    ~TEvent();
    TEvent(const TEvent &) = delete;
    TEvent &operator=(const TEvent &) = delete;

    bool Valid() const { return FHandle != Invalid; }
    void Set();
    bool IsSet() const { return FSet.load(std::memory_order_acquire); }
    void Consume();
    std::intptr_t Native() const { return FHandle; }

private:
    static constexpr std::intptr_t Invalid = -1;
    std::intptr_t FHandle = Invalid;
    std::atomic<bool> FSet{false};
};

// The device node or name that the system opens for a port name.
QString DevicePath(const QString &name);

class TReaderIo;
class TWriterIo;

// An open serial device. The owner configures it; the reader alone reads and
// watches line events, the writer alone writes.
class TPort {
public:
    // nullptr when the device cannot be opened or is in use; failure, when
    // given, says why.
    static std::unique_ptr<TPort> Open(const QString &path, TOpenFailure *failure = nullptr);
    ~TPort();
    TPort(const TPort &) = delete;
    TPort &operator=(const TPort &) = delete;

    std::intptr_t Handle() const;
    // Any thread. Block from the first byte of a block that the reader takes
    // until the reader starts its next read, by which time the block has been
    // posted; Unknown where the reader does not watch for arrivals.
    TReceiving Arrival() const;

    bool SizeQueues(std::uint32_t receive, std::uint32_t transmit);
    // False when the driver refused part of the settings; the rest still applies.
    bool ApplyLineSettings(const TLineSettings &settings);
    // False when the driver refused them.
    bool SetTimeouts(const TTimeouts &timeouts);
    // Aborts what is pending on that side and empties the driver's queue.
    void Purge(bool receive, bool transmit);

private:
    // The workers' I/O works on the port's own state.
    friend class TReaderIo;
    friend class TWriterIo;
    struct TState;
    explicit TPort(std::unique_ptr<TState> state);

    std::unique_ptr<TState> F;
};

enum class TReaderWake { Stop, LineEvent, Read, Failed };

// The reader's outstanding read and line-event wait, made and used by the reader
// thread alone. At most one of each is pending at a time. Reads go into a buffer
// of the I/O's own, which outlives a read that the driver will not give up.
class TReaderIo {
public:
    // Line events are watched only when asked for, where watching costs
    // wake-ups; so are arrivals, where telling them takes a wait of their own.
    TReaderIo(TPort &port, bool watchLineEvents, bool watchArrivals, std::size_t readSize);
    ~TReaderIo();
    TReaderIo(const TReaderIo &) = delete;
    TReaderIo &operator=(const TReaderIo &) = delete;

    // False when the thread's events could not be made.
    bool Valid() const;
    // Selects the line events to wait for (WatchedEvents).
    bool SetEventMask();
    // Done: mask holds the events that ended the wait.
    TIo StartEventWait(std::uint32_t &mask);
    TIo FinishEventWait(std::uint32_t &mask);
    // Reads and clears the line-error flags (LineError*).
    TIo ClearErrors(std::uint32_t &flags);
    // Up to readSize bytes. A read that ends with nothing at once is reported as
    // pending and completes empty after a pause, as a read ended by a time-out.
    TIoResult StartRead();
    TIoResult FinishRead();
    // The bytes of the read that completed last, until the next one starts.
    const std::uint8_t *ReadData() const;
    // Without time limit; the stop event wins over anything ready at the same
    // moment, and a line event over a read.
    TReaderWake Wait(const TEvent &stop);

private:
    struct TState;
    std::unique_ptr<TState> F;
};

enum class TWriterWake { Stop, Written, Failed };

// The writer's outstanding write, made and used by the writer thread alone.
class TWriterIo {
public:
    explicit TWriterIo(TPort &port);
    ~TWriterIo();
    TWriterIo(const TWriterIo &) = delete;
    TWriterIo &operator=(const TWriterIo &) = delete;

    bool Valid() const;
    // Done may have written less than size; the rest is the caller's.
    TIoResult StartWrite(const std::uint8_t *data, std::size_t size);
    // Waits for the pending write to finish.
    TIoResult FinishWrite();
    TWriterWake Wait(const TEvent &stop);

private:
    struct TState;
    std::unique_ptr<TState> F;
};

enum class TWait { Stop, Wake, Failed };
// Waits for the stop event or the wake event, without time limit.
TWait WaitEither(const TEvent &stop, const TEvent &wake);

enum class TThreadPriority { AboveNormal, Highest };
// Raises the calling thread's priority where the system allows it; a refusal is fine.
void RaiseCurrentThreadPriority(TThreadPriority priority);

// Calls activated on the calling thread's event loop whenever event is set; the
// callee consumes it. The watch goes on while activated runs, so an event set
// again meanwhile calls it again inside any event loop that activated opens, as
// a message box does. The watcher is owned by parent.
QObject *WatchEvent(const TEvent &event, QObject *parent, std::function<void()> activated);

} // namespace SerialPlatform
