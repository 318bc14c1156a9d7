#pragma once

#include "Comm.h"
#include "InputFilter.h"

#include <QString>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

// The operating system's side of the serial component. One implementation file per
// platform sits beside this header; everything above it is shared.
namespace SerialPlatform {

using TClock = std::chrono::steady_clock;

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

// Line-error flags and modem bits carry the same values on every platform, so
// that handlers written against one read the same numbers on another.
enum : std::uint32_t {
    LineErrorRxOver = 0x01,
    LineErrorOverrun = 0x02,
    LineErrorParity = 0x04,
    LineErrorFrame = 0x08,
    LineErrorBreak = 0x10,
};
enum : std::uint32_t { ModemRing = 0x4, ModemCarrier = 0x8 };

enum class TWait { Stop, Ready, Wake, Timeout, Gone };

// Why a device would not open. Callers tell a user who lacks the right to a
// device apart from a device that is missing or busy; everything else is Other.
enum class TOpenFailure { None, Missing, InUse, Denied, Other };
enum class TIo { Done, Again, Gone };

struct TIoResult {
    TIo Status = TIo::Gone;
    std::size_t Count = 0;   // bytes left after filtering (read) or written (write)
    bool LineActive = false; // a read took bytes from the line, even if all were filtered out
};

struct TLineEvents {
    std::uint32_t Errors = 0;
    std::uint32_t Modem = 0;
};

// A signal that a thread can wait on together with the port. Once set it stays
// set until consumed; the stop event is never consumed.
class TEvent {
public:
    TEvent();
    ~TEvent();
    TEvent(const TEvent &) = delete;
    TEvent &operator=(const TEvent &) = delete;

    bool Valid() const { return FHandle >= 0; }
    void Set();
    bool IsSet() const { return FSet.load(std::memory_order_acquire); }
    void Consume();
    int Native() const { return FHandle; }

private:
    int FHandle = -1;
    std::atomic<bool> FSet{false};
};

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

    std::intptr_t Handle() const { return FHandle; }

    bool SizeQueues(std::uint32_t receive, std::uint32_t transmit);
    // False when the driver refused part of the settings; the rest still applies.
    bool ApplyLineSettings(const TLineSettings &settings);
    void SetTimeouts(const TTimeouts &timeouts);
    TTimeouts Timeouts() const;
    void Purge(bool receive, bool transmit);

    TWait WaitReadable(const TEvent &stop, std::optional<TClock::time_point> deadline) const;
    TWait WaitWritable(const TEvent &stop) const;
    TIoResult Read(std::uint8_t *buffer, std::size_t size);
    TIoResult Write(const std::uint8_t *data, std::size_t size) const;

    // Reader only. False when the device reports no line events at all.
    bool StartLineEvents();
    bool WatchesLineEvents() const;
    // nullopt when the device has gone.
    std::optional<TLineEvents> TakeLineEvents();

private:
    explicit TPort(int handle);

    int FHandle = -1;
    std::atomic<std::uint32_t> FReadInterval{0};
    std::atomic<std::uint32_t> FReadTotalMultiplier{0};
    std::atomic<std::uint32_t> FReadTotalConstant{0};
    std::atomic<std::uint32_t> FWriteTotalMultiplier{0};
    std::atomic<std::uint32_t> FWriteTotalConstant{0};
    // The reader filters received bytes by these; the owner may change them at any time.
    std::atomic<bool> FIgnoreNull{false};
    std::atomic<bool> FMarkedErrors{false};
    std::atomic<bool> FReplaceErrors{false};
    std::atomic<std::uint8_t> FReplacedChar{0};
    // Reader-owned.
    TInputFilter FFilter;
    enum class TLineSource { None, Counters, ModemBits } FLineSource = TLineSource::None;
    std::array<int, 7> FCounters{};
    int FModemBits = 0;
};

// Waits for the stop event or the wake event, without time limit.
TWait WaitEither(const TEvent &stop, const TEvent &wake);

enum class TThreadPriority { AboveNormal, Highest };
// Raises the calling thread's priority where the system allows it; a refusal is fine.
void RaiseCurrentThreadPriority(TThreadPriority priority);

} // namespace SerialPlatform
