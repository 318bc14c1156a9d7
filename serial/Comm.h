#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

class ECommsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Opens that failed for a reason a user can act on. Each carries the message
// of any failed open, so that a caller that shows only the message says what
// it always said; callers that can explain the failure catch them apart.

// The system refused because the user may not use the device.
class ECommsAccessDenied : public ECommsError {
public:
    using ECommsError::ECommsError;
};

// Another program holds the port.
class ECommsPortInUse : public ECommsError {
public:
    using ECommsError::ECommsError;
};

// No device answers to the port's name.
class ECommsNoSuchPort : public ECommsError {
public:
    using ECommsError::ECommsError;
};

// The name opens something that is no serial port: a file, another kind of device.
class ECommsNotSerialPort : public ECommsError {
public:
    using ECommsError::ECommsError;
};

// Whether a block is coming in: Block from the first byte the reader takes
// until OnReceiveData has had the block, Unknown where the port cannot tell.
enum class TReceiving { Quiet, Block, Unknown };

enum class TParity { None, Odd, Even, Mark, Space };
enum class TStopBits { _1, _1_5, _2 };
enum class TByteSize { _5, _6, _7, _8 };
enum class TDtrControl { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };

class TComm;
struct TCommNotification;
class TNotifyQueue;
class TReadThread;
class TWriteThread;
class TSendQueue;
namespace SerialPlatform {
class TEvent;
class TPort;
struct TLineSettings;
struct TTimeouts;
} // namespace SerialPlatform

using TReceiveDataEvent = std::function<void(TComm *Sender, const std::uint8_t *Buffer, std::uint16_t BufferLength)>;
// EventMask: 0x01 receive queue overflow, 0x02 overrun, 0x04 parity, 0x08 framing, 0x10 break.
using TReceiveErrorEvent = std::function<void(TComm *Sender, std::uint32_t EventMask)>;
// ModemEvent: 8 carrier detect changed, 4 ring; both may be set.
using TModemStateChangeEvent = std::function<void(TComm *Sender, std::uint32_t ModemEvent)>;
using TNotifyEvent = std::function<void(TComm *Sender)>;
using TSendDataEmptyEvent = std::function<void(TComm *Sender)>;

// One serial port, opened per exchange. Runs on the thread that created it; a
// reader and a writer thread do the waiting while the port is open, and every
// event fires on the creating thread.
class TComm : public QObject {
    Q_OBJECT

public:
    explicit TComm(QObject *Owner = nullptr);
    // Closes a port the owner left open.
    ~TComm() override;

    void OpenPort();
    void ClosePort();
    // Queues a copy; true means queued, not sent.
    bool SendData(const void *Buffer, std::uint16_t Length);
    std::intptr_t Handle() const;
    // Told on a port opened with WatchReceiving set, as the reader sees the
    // bytes come, without waiting for it; where the system tells arrivals
    // only through a wait of their own, watching costs the reader one more
    // wait per block, and a port that also watches line events cannot tell.
    // Quiet on a closed port.
    TReceiving Receiving() const;

    // Setters of line settings and time-outs re-apply them at once on an open
    // port; CommName and Parity are only stored until the next application.
    QString CommName() const { return FCommName; }
    void SetCommName(const QString &Value) { FCommName = Value; }
    bool WatchReceiving() const { return FWatchReceiving; }
    void SetWatchReceiving(bool Value) { FWatchReceiving = Value; }
    std::uint32_t BaudRate() const { return FBaudRate; }
    void SetBaudRate(std::uint32_t Value);
    bool ParityCheck() const { return FParityCheck; }
    void SetParityCheck(bool Value);
    bool Outx_CtsFlow() const { return FOutx_CtsFlow; }
    void SetOutx_CtsFlow(bool Value);
    bool Outx_DsrFlow() const { return FOutx_DsrFlow; }
    void SetOutx_DsrFlow(bool Value);
    TDtrControl DtrControl() const { return FDtrControl; }
    void SetDtrControl(TDtrControl Value);
    bool DsrSensitivity() const { return FDsrSensitivity; }
    void SetDsrSensitivity(bool Value);
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    void SetTxContinueOnXoff(bool Value);
    bool Outx_XonXoffFlow() const { return FOutx_XonXoffFlow; }
    void SetOutx_XonXoffFlow(bool Value);
    bool Inx_XonXoffFlow() const { return FInx_XonXoffFlow; }
    void SetInx_XonXoffFlow(bool Value);
    bool ReplaceWhenParityError() const { return FReplaceWhenParityError; }
    void SetReplaceWhenParityError(bool Value);
    bool IgnoreNullChar() const { return FIgnoreNullChar; }
    void SetIgnoreNullChar(bool Value);
    TRtsControl RtsControl() const { return FRtsControl; }
    void SetRtsControl(TRtsControl Value);
    std::uint16_t XonLimit() const { return FXonLimit; }
    void SetXonLimit(std::uint16_t Value);
    std::uint16_t XoffLimit() const { return FXoffLimit; }
    void SetXoffLimit(std::uint16_t Value);
    TByteSize ByteSize() const { return FByteSize; }
    void SetByteSize(TByteSize Value);
    TParity Parity() const { return FParity; }
    void SetParity(TParity Value) { FParity = Value; }
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    std::uint8_t XonChar() const { return FXonChar; }
    void SetXonChar(std::uint8_t Value);
    std::uint8_t XoffChar() const { return FXoffChar; }
    void SetXoffChar(std::uint8_t Value);
    std::uint8_t ReplacedChar() const { return FReplacedChar; }
    void SetReplacedChar(std::uint8_t Value);
    std::uint32_t ReadIntervalTimeout() const { return FReadIntervalTimeout; }
    void SetReadIntervalTimeout(std::uint32_t Value);
    std::uint32_t ReadTotalTimeoutMultiplier() const { return FReadTotalTimeoutMultiplier; }
    void SetReadTotalTimeoutMultiplier(std::uint32_t Value);
    std::uint32_t ReadTotalTimeoutConstant() const { return FReadTotalTimeoutConstant; }
    void SetReadTotalTimeoutConstant(std::uint32_t Value);
    std::uint32_t WriteTotalTimeoutMultiplier() const { return FWriteTotalTimeoutMultiplier; }
    void SetWriteTotalTimeoutMultiplier(std::uint32_t Value);
    std::uint32_t WriteTotalTimeoutConstant() const { return FWriteTotalTimeoutConstant; }
    void SetWriteTotalTimeoutConstant(std::uint32_t Value);

    // The block is followed by a zero byte and is valid only during the call.
    TReceiveDataEvent OnReceiveData;
    // Line errors and modem changes are watched only on a port opened while one
    // of these two is assigned; where the system cannot wait for them, watching
    // costs the reader a wake-up every 100 ms.
    TReceiveErrorEvent OnReceiveError;
    TModemStateChangeEvent OnModemStateChange;
    TNotifyEvent OnRequestHangup;
    TSendDataEmptyEvent OnSendDataEmpty;

private:
    class TNotifyWindow;

    void NotifyWndProc(const TCommNotification &Message);
    SerialPlatform::TLineSettings LineSettings() const;
    SerialPlatform::TTimeouts Timeouts() const;
    template<typename T>
    void ChangeLineSetting(T &Field, T Value);
    template<typename T>
    void ChangeTimeout(T &Field, T Value);

    std::unique_ptr<TReadThread> FReader;
    std::unique_ptr<TWriteThread> FWriter;
    std::unique_ptr<SerialPlatform::TPort> FPort;
    std::unique_ptr<SerialPlatform::TEvent> FStopEvent;
    std::unique_ptr<TNotifyQueue> FNotifyQueue;
    std::unique_ptr<TNotifyWindow> FNotifyWindow;
    // A hint shared with the writer, never a synchronisation point.
    std::atomic<bool> FSendQueueEmpty{true};
    std::unique_ptr<TSendQueue> FSendQueue;

    QString FCommName = QStringLiteral("COM2");
    bool FWatchReceiving = false;
    bool FReceivingWatched = false;  // as the open found FWatchReceiving
    std::uint32_t FBaudRate = 9600;
    bool FParityCheck = false;
    bool FOutx_CtsFlow = false;
    bool FOutx_DsrFlow = false;
    TDtrControl FDtrControl = TDtrControl::DtrEnable;
    bool FDsrSensitivity = false;
    bool FTxContinueOnXoff = true;
    bool FOutx_XonXoffFlow = true;
    bool FInx_XonXoffFlow = true;
    bool FReplaceWhenParityError = false;
    bool FIgnoreNullChar = false;
    TRtsControl FRtsControl = TRtsControl::RtsEnable;
    std::uint16_t FXonLimit = 500;
    std::uint16_t FXoffLimit = 500;
    TByteSize FByteSize = TByteSize::_8;
    TParity FParity = TParity::None;
    TStopBits FStopBits = TStopBits::_1;
    std::uint8_t FXonChar = 0x11;
    std::uint8_t FXoffChar = 0x13;
    std::uint8_t FReplacedChar = 0x00;
    std::uint32_t FReadIntervalTimeout = 100;
    std::uint32_t FReadTotalTimeoutMultiplier = 0;
    std::uint32_t FReadTotalTimeoutConstant = 0;
    std::uint32_t FWriteTotalTimeoutMultiplier = 0;
    std::uint32_t FWriteTotalTimeoutConstant = 0;
};
