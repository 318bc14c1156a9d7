#include "Comm.h"

#include "CommThreads.h"
#include "SerialPlatform.h"

#include <cstring>
#include <new>

namespace {

constexpr std::uint32_t DriverQueueSize = 4096;
constexpr int WorkerStopLimitMs = 10000;

} // namespace

// Lives on the owner's thread and hands the workers' notifications to
// NotifyWndProc one at a time, each in its own pass of the event loop, so that a
// handler showing a modal box receives the next one inside that box's loop.
class TComm::TNotifyWindow : public QObject {
public:
    TNotifyWindow(TComm *owner, TNotifyQueue &queue)
        : FOwner(owner)
        , FQueue(queue)
    {
        SerialPlatform::WatchEvent(queue.Wake(), this, [this] { DeliverOne(); });
    }

private:
    void DeliverOne()
    {
        // Consumed before taking, so a notification posted meanwhile sets it again.
        FQueue.Wake().Consume();
        std::optional<TCommNotification> notification = FQueue.Take();
        if (!FQueue.Empty())
            FQueue.Wake().Set();
        if (notification)
            FOwner->NotifyWndProc(*notification);
    }

    TComm *const FOwner;
    TNotifyQueue &FQueue;
};

TComm::TComm(QObject *Owner)
    : QObject(Owner)
    , FNotifyQueue(std::make_unique<TNotifyQueue>())
    , FNotifyWindow(std::make_unique<TNotifyWindow>(this, *FNotifyQueue))
{
}

TComm::~TComm()
{
    // Left open, the workers would post to a window that no longer exists.
    ClosePort();
}

void TComm::OpenPort()
{
    if (FPort)
        throw ECommsError("This serial port already opened");

    SerialPlatform::TOpenFailure failure = SerialPlatform::TOpenFailure::None;
    std::unique_ptr<SerialPlatform::TPort> port =
        SerialPlatform::TPort::Open(SerialPlatform::DevicePath(FCommName), &failure);
    if (!port) {
        switch (failure) {
        case SerialPlatform::TOpenFailure::Denied: throw ECommsAccessDenied("Can't Open the Port");
        case SerialPlatform::TOpenFailure::InUse: throw ECommsPortInUse("Can't Open the Port");
        case SerialPlatform::TOpenFailure::Missing: throw ECommsNoSuchPort("Can't Open the Port");
        case SerialPlatform::TOpenFailure::NotSerial: throw ECommsNotSerialPort("Can't Open the Port");
        case SerialPlatform::TOpenFailure::None:
        case SerialPlatform::TOpenFailure::Other: break;
        }
        throw ECommsError("Can't Open the Port");
    }
    if (!port->SizeQueues(DriverQueueSize, DriverQueueSize))
        throw ECommsError("不能设置通讯缓冲区");
    port->Purge(true, true);
    FSendQueueEmpty = true;
    // Left with another program's time-outs, the port would cut blocks where
    // nobody expects them; a line setting the driver refuses does not stop the open.
    if (!port->SetTimeouts(Timeouts()))
        throw ECommsError("Can't Open the Port");
    port->ApplyLineSettings(LineSettings());

    auto stopEvent = std::make_unique<SerialPlatform::TEvent>();
    auto sendQueue = std::make_unique<TSendQueue>();
    if (!stopEvent->Valid() || !sendQueue->Valid() || !FNotifyQueue->Valid())
        throw ECommsError("Unable to create event");

    // Handlers for line events are to be assigned before the open that should report them.
    auto reader = std::make_unique<TReadThread>(*port, *stopEvent, *FNotifyQueue,
                                                OnReceiveError != nullptr || OnModemStateChange != nullptr,
                                                FWatchReceiving);
    // Made before the reader starts: a running worker that nobody told to stop
    // would hold the unwinding of a failed allocation in its join for ever.
    auto writer =
        std::make_unique<TWriteThread>(*port, *stopEvent, *FNotifyQueue, *sendQueue, FSendQueueEmpty);
    if (!reader->Begin())
        throw ECommsError("Unable to create read thread");
    if (!writer->Begin()) {
        stopEvent->Set();
        port->Purge(true, false);
        reader->Join(WorkerStopLimitMs);
        throw ECommsError("Unable to create write thread");
    }

    FReceivingWatched = FWatchReceiving;
    FPort = std::move(port);
    FStopEvent = std::move(stopEvent);
    FSendQueue = std::move(sendQueue);
    FReader = std::move(reader);
    FWriter = std::move(writer);
}

void TComm::ClosePort()
{
    if (!FPort)
        return;
    if (FReader) {
        FStopEvent->Set();
        FPort->Purge(true, false);
        FReader->Join(WorkerStopLimitMs);
        FReader.reset();
    }
    if (FWriter) {
        FStopEvent->Set();
        FPort->Purge(false, true);
        FSendQueueEmpty = true;
        FWriter->Join(WorkerStopLimitMs);
        FWriter.reset();
    }
    FSendQueue.reset();
    FStopEvent.reset();
    FPort.reset();
}

bool TComm::SendData(const void *Buffer, std::uint16_t Length)
{
    if (!FWriter || Length == 0 || Buffer == nullptr)
        return false;
    TSendBlock block{std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[Length + 1u]()), Length};
    if (!block.Data)
        return false;
    std::memcpy(block.Data.get(), Buffer, Length);
    if (!FSendQueue->Push(std::move(block)))
        return false;
    FSendQueueEmpty = false;
    return true;
}

std::intptr_t TComm::Handle() const
{
    return FPort ? FPort->Handle() : 0;
}

TReceiving TComm::Receiving() const
{
    if (!FPort)
        return TReceiving::Quiet;
    if (!FReceivingWatched)
        return TReceiving::Unknown;
    // The port's word first: the reader lowers it only once the block is in
    // the queue, so a block between the two is found in the one or the other.
    const TReceiving arrival = FPort->Arrival();
    if (arrival == TReceiving::Block || FNotifyQueue->Holds(WM_COMM_RXDATA))
        return TReceiving::Block;
    return arrival;
}

void TComm::NotifyWndProc(const TCommNotification &Message)
{
    // Each handler is called through a copy, so one may reassign itself.
    switch (Message.Message) {
    case WM_COMM_RXDATA:
        if (const TReceiveDataEvent handler = OnReceiveData)
            handler(this, Message.Block.get(), static_cast<std::uint16_t>(Message.WParam));
        break;
    case WM_COMM_RXERROR:
        if (const TReceiveErrorEvent handler = OnReceiveError)
            handler(this, Message.LParam);
        break;
    case WM_COMM_HANGUP:
        if (const TNotifyEvent handler = OnRequestHangup)
            handler(this);
        break;
    case WM_COMM_MODEM:
        if (const TModemStateChangeEvent handler = OnModemStateChange)
            handler(this, Message.LParam);
        break;
    case WM_COMM_TXEMPTY:
        if (const TSendDataEmptyEvent handler = OnSendDataEmpty)
            handler(this);
        break;
    default:
        break;
    }
}

SerialPlatform::TLineSettings TComm::LineSettings() const
{
    SerialPlatform::TLineSettings s;
    s.BaudRate = FBaudRate;
    s.ParityCheck = FParityCheck;
    s.Outx_CtsFlow = FOutx_CtsFlow;
    s.Outx_DsrFlow = FOutx_DsrFlow;
    s.DtrControl = FDtrControl;
    s.DsrSensitivity = FDsrSensitivity;
    s.TxContinueOnXoff = FTxContinueOnXoff;
    s.Outx_XonXoffFlow = FOutx_XonXoffFlow;
    s.Inx_XonXoffFlow = FInx_XonXoffFlow;
    s.ReplaceWhenParityError = FReplaceWhenParityError;
    s.IgnoreNullChar = FIgnoreNullChar;
    s.RtsControl = FRtsControl;
    s.XonLimit = FXonLimit;
    s.XoffLimit = FXoffLimit;
    s.ByteSize = FByteSize;
    s.Parity = FParity;
    s.StopBits = FStopBits;
    s.XonChar = FXonChar;
    s.XoffChar = FXoffChar;
    s.ReplacedChar = FReplacedChar;
    return s;
}

SerialPlatform::TTimeouts TComm::Timeouts() const
{
    return {FReadIntervalTimeout, FReadTotalTimeoutMultiplier, FReadTotalTimeoutConstant, FWriteTotalTimeoutMultiplier,
            FWriteTotalTimeoutConstant};
}

template<typename T>
void TComm::ChangeLineSetting(T &Field, T Value)
{
    if (Field == Value)
        return;
    Field = Value;
    if (FPort)
        FPort->ApplyLineSettings(LineSettings());
}

template<typename T>
void TComm::ChangeTimeout(T &Field, T Value)
{
    if (Field == Value)
        return;
    Field = Value;
    if (FPort)
        FPort->SetTimeouts(Timeouts());
}

void TComm::SetBaudRate(std::uint32_t Value) { ChangeLineSetting(FBaudRate, Value); }
void TComm::SetParityCheck(bool Value) { ChangeLineSetting(FParityCheck, Value); }
void TComm::SetOutx_CtsFlow(bool Value) { ChangeLineSetting(FOutx_CtsFlow, Value); }
void TComm::SetOutx_DsrFlow(bool Value) { ChangeLineSetting(FOutx_DsrFlow, Value); }
void TComm::SetDtrControl(TDtrControl Value) { ChangeLineSetting(FDtrControl, Value); }
void TComm::SetDsrSensitivity(bool Value) { ChangeLineSetting(FDsrSensitivity, Value); }
void TComm::SetTxContinueOnXoff(bool Value) { ChangeLineSetting(FTxContinueOnXoff, Value); }
void TComm::SetOutx_XonXoffFlow(bool Value) { ChangeLineSetting(FOutx_XonXoffFlow, Value); }
void TComm::SetInx_XonXoffFlow(bool Value) { ChangeLineSetting(FInx_XonXoffFlow, Value); }
void TComm::SetReplaceWhenParityError(bool Value) { ChangeLineSetting(FReplaceWhenParityError, Value); }
void TComm::SetIgnoreNullChar(bool Value) { ChangeLineSetting(FIgnoreNullChar, Value); }
void TComm::SetRtsControl(TRtsControl Value) { ChangeLineSetting(FRtsControl, Value); }
void TComm::SetXonLimit(std::uint16_t Value) { ChangeLineSetting(FXonLimit, Value); }
void TComm::SetXoffLimit(std::uint16_t Value) { ChangeLineSetting(FXoffLimit, Value); }
void TComm::SetByteSize(TByteSize Value) { ChangeLineSetting(FByteSize, Value); }
void TComm::SetStopBits(TStopBits Value) { ChangeLineSetting(FStopBits, Value); }
void TComm::SetXonChar(std::uint8_t Value) { ChangeLineSetting(FXonChar, Value); }
void TComm::SetXoffChar(std::uint8_t Value) { ChangeLineSetting(FXoffChar, Value); }
void TComm::SetReplacedChar(std::uint8_t Value) { ChangeLineSetting(FReplacedChar, Value); }
void TComm::SetReadIntervalTimeout(std::uint32_t Value) { ChangeTimeout(FReadIntervalTimeout, Value); }
void TComm::SetReadTotalTimeoutMultiplier(std::uint32_t Value) { ChangeTimeout(FReadTotalTimeoutMultiplier, Value); }
void TComm::SetReadTotalTimeoutConstant(std::uint32_t Value) { ChangeTimeout(FReadTotalTimeoutConstant, Value); }
void TComm::SetWriteTotalTimeoutMultiplier(std::uint32_t Value) { ChangeTimeout(FWriteTotalTimeoutMultiplier, Value); }
void TComm::SetWriteTotalTimeoutConstant(std::uint32_t Value) { ChangeTimeout(FWriteTotalTimeoutConstant, Value); }
