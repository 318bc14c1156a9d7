#include "SerialDcb_win.h"
#include "SerialDriver_win.h"
#include "SerialPlatform.h"

#include <QWinEventNotifier>

#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace SerialPlatform {

namespace {

HANDLE AsHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

TIo Failure(DWORD error)
{
    return error == ERROR_INVALID_HANDLE ? TIo::Closed : TIo::Failed;
}

std::intptr_t MakeEvent()
{
    const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event != nullptr ? reinterpret_cast<std::intptr_t>(event) : -1;
}

TOpenFailure OpenFailure(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return TOpenFailure::Missing;
    // A port held by another program answers access denied: there is no right
    // to a port here that a user could lack.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return TOpenFailure::InUse;
    default:
        return TOpenFailure::Other;
    }
}

// An overlapped operation: its record, its event and the memory the driver
// works on, together on the heap. A request that the driver does not complete
// when it is cancelled keeps all three, since the driver may still write into
// them when it gets round to it.
struct TOverlapped {
    OVERLAPPED Record{};
    HANDLE Event = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    DWORD Mask = 0; // what a line-event wait found
    std::unique_ptr<std::uint8_t[]> Buffer;
    std::size_t Capacity = 0;
    bool Pending = false;

    TOverlapped() = default;
    TOverlapped(const TOverlapped &) = delete;
    TOverlapped &operator=(const TOverlapped &) = delete;
    ~TOverlapped()
    {
        if (Event != nullptr)
            ::CloseHandle(Event);
    }

    bool Reserve(std::size_t size)
    {
        if (size <= Capacity)
            return true;
        std::unique_ptr<std::uint8_t[]> grown(new (std::nothrow) std::uint8_t[size]);
        if (!grown)
            return false;
        Buffer = std::move(grown);
        Capacity = size;
        return true;
    }

    OVERLAPPED *Begin()
    {
        Record = OVERLAPPED{};
        Record.hEvent = Event;
        ::ResetEvent(Event);
        return &Record;
    }

    // The count that an overlapped call hands back when it completes at once is
    // not to be relied on; the record holds the true one.
    TIoResult Started(HANDLE port, BOOL done)
    {
        if (!done) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_IO_PENDING)
                return {Failure(error), 0};
        }
        Pending = true;
        if (done)
            return Collect(port, false);
        return {TIo::Pending, 0};
    }

    TIoResult Collect(HANDLE port, bool wait)
    {
        DWORD count = 0;
        const BOOL done = ::GetOverlappedResult(port, &Record, &count, wait ? TRUE : FALSE);
        const DWORD error = done ? ERROR_SUCCESS : ::GetLastError();
        if (!done && error == ERROR_IO_INCOMPLETE)
            return {TIo::Pending, 0};
        Pending = false;
        return done ? TIoResult{TIo::Done, count} : TIoResult{Failure(error), 0};
    }
};

using TOperation = std::unique_ptr<TOverlapped>;

// Cancels what the operation has pending and waits a while for the driver to
// let go of it. One that is still pending then is left to the driver: the
// operation is released, never freed, rather than have its memory reused
// under a late completion.
void Abandon(HANDLE port, TOperation &operation)
{
    if (!operation || !operation->Pending)
        return;
    DriverCalls().CancelIoEx(port, &operation->Record);
    if (::WaitForSingleObject(operation->Event, CancelLimitMs) == WAIT_OBJECT_0) {
        operation->Collect(port, false);
        operation->Pending = false;
        return;
    }
    [[maybe_unused]] TOverlapped *leftToTheDriver = operation.release();
}

// A driver that ends a read with nothing at once, time-outs or not, would have
// the reader start the next one straight away, for ever, at the highest
// priority. Such a read completes after this pause instead, as one ended by
// a time-out would; bytes that come meanwhile wait in the driver's queue.
constexpr DWORD EmptyReadPauseMs = 50;

} // namespace

void ComposeDcb(const TLineSettings &s, DCB &dcb)
{
    static constexpr DWORD dtrCodes[] = {DTR_CONTROL_ENABLE, DTR_CONTROL_DISABLE, DTR_CONTROL_HANDSHAKE};
    static constexpr DWORD rtsCodes[] = {RTS_CONTROL_ENABLE, RTS_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE,
                                         RTS_CONTROL_TOGGLE};
    dcb.BaudRate = s.BaudRate;
    // Every flag is set here, so that none, abort-on-error least of all, is
    // inherited from whoever used the port before.
    dcb.fBinary = TRUE;
    dcb.fParity = s.ParityCheck;
    dcb.fOutxCtsFlow = s.Outx_CtsFlow;
    dcb.fOutxDsrFlow = s.Outx_DsrFlow;
    dcb.fDtrControl = dtrCodes[static_cast<int>(s.DtrControl)];
    dcb.fDsrSensitivity = s.DsrSensitivity;
    dcb.fTXContinueOnXoff = s.TxContinueOnXoff;
    dcb.fOutX = s.Outx_XonXoffFlow;
    dcb.fInX = s.Inx_XonXoffFlow;
    dcb.fErrorChar = s.ReplaceWhenParityError;
    dcb.fNull = s.IgnoreNullChar;
    dcb.fRtsControl = rtsCodes[static_cast<int>(s.RtsControl)];
    dcb.fAbortOnError = FALSE;
    dcb.fDummy2 = 0;
    dcb.XonLim = s.XonLimit;
    dcb.XoffLim = s.XoffLimit;
    dcb.ByteSize = static_cast<BYTE>(static_cast<int>(s.ByteSize) + 5);
    dcb.Parity = static_cast<BYTE>(s.Parity);
    dcb.StopBits = static_cast<BYTE>(s.StopBits);
    dcb.XonChar = static_cast<char>(s.XonChar);
    dcb.XoffChar = static_cast<char>(s.XoffChar);
    dcb.ErrorChar = static_cast<char>(s.ReplacedChar);
}

COMMTIMEOUTS ComposeTimeouts(const TTimeouts &t, COMMTIMEOUTS current)
{
    current.ReadIntervalTimeout = t.ReadInterval;
    current.ReadTotalTimeoutMultiplier = t.ReadTotalMultiplier;
    current.ReadTotalTimeoutConstant = t.ReadTotalConstant;
    current.WriteTotalTimeoutMultiplier = t.WriteTotalMultiplier;
    current.WriteTotalTimeoutConstant = t.WriteTotalConstant;
    if (t.ReadInterval == MAXDWORD && t.ReadTotalMultiplier == 0 && t.ReadTotalConstant == 0) {
        current.ReadTotalTimeoutMultiplier = MAXDWORD;
        current.ReadTotalTimeoutConstant = MAXDWORD - 1;
    }
    return current;
}

TEvent::TEvent()
    : FHandle(MakeEvent())
{
}

TEvent::~TEvent()
{
    if (Valid())
        ::CloseHandle(AsHandle(FHandle));
}

void TEvent::Set()
{
    FSet.store(true, std::memory_order_release);
    ::SetEvent(AsHandle(FHandle));
}

void TEvent::Consume()
{
    FSet.store(false, std::memory_order_release);
    ::ResetEvent(AsHandle(FHandle));
}

QString DevicePath(const QString &name)
{
    // CreateFile knows only COM1 to COM9 without the device namespace.
    static const QString deviceNamespace = QStringLiteral("\\\\.\\");
    return name.startsWith(deviceNamespace) ? name : deviceNamespace + name;
}

struct TPort::TState {
    HANDLE Handle = INVALID_HANDLE_VALUE;
    // Written by the reader, which alone knows whether its watch for
    // arrivals holds.
    std::atomic<TReceiving> Arrival{TReceiving::Unknown};
};

TDriverCalls &DriverCalls()
{
    static TDriverCalls calls;
    return calls;
}

TPort::TPort(std::unique_ptr<TState> state)
    : F(std::move(state))
{
}

std::unique_ptr<TPort> TPort::Open(const QString &path, TOpenFailure *failure)
{
    const std::wstring name = path.toStdWString();
    // Made before the device is opened, so that a failed allocation leaves it closed.
    std::unique_ptr<TPort> port(new TPort(std::make_unique<TState>()));
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (failure)
            *failure = OpenFailure(error);
        // A folder answers access denied as well, as a port held by another program does.
        if (failure && error == ERROR_ACCESS_DENIED) {
            const DWORD attributes = ::GetFileAttributesW(name.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                *failure = TOpenFailure::NotSerial;
        }
        return nullptr;
    }
    // CreateFile opens files and other devices as readily as ports, which
    // would then fail the first request of a port, the queue sizes, with a
    // message about buffers. A comm device is a character device that
    // describes itself as a port.
    COMMPROP properties{};
    if (::GetFileType(handle) != FILE_TYPE_CHAR || !::GetCommProperties(handle, &properties)) {
        ::CloseHandle(handle);
        if (failure)
            *failure = TOpenFailure::NotSerial;
        return nullptr;
    }
    if (failure)
        *failure = TOpenFailure::None;
    port->F->Handle = handle;
    return port;
}

TPort::~TPort()
{
    if (F->Handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(F->Handle);
}

std::intptr_t TPort::Handle() const
{
    return reinterpret_cast<std::intptr_t>(F->Handle);
}

TReceiving TPort::Arrival() const
{
    return F->Arrival.load(std::memory_order_acquire);
}

bool TPort::SizeQueues(std::uint32_t receive, std::uint32_t transmit)
{
    return ::SetupComm(F->Handle, receive, transmit) != FALSE;
}

bool TPort::ApplyLineSettings(const TLineSettings &settings)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    // Unread, the settings still go out, on defaults for what they do not name:
    // skipped, the port would keep the last user's.
    const bool read = DriverCalls().GetCommState(F->Handle, &dcb) != FALSE;
    if (!read) {
        dcb = DCB{};
        dcb.DCBlength = sizeof dcb;
    }
    ComposeDcb(settings, dcb);
    return DriverCalls().SetCommState(F->Handle, &dcb) != FALSE && read;
}

bool TPort::SetTimeouts(const TTimeouts &timeouts)
{
    COMMTIMEOUTS current{};
    ::GetCommTimeouts(F->Handle, &current);
    COMMTIMEOUTS wanted = ComposeTimeouts(timeouts, current);
    return DriverCalls().SetCommTimeouts(F->Handle, &wanted) != FALSE;
}

void TPort::Purge(bool receive, bool transmit)
{
    DWORD flags = 0;
    if (receive)
        flags |= PURGE_RXABORT | PURGE_RXCLEAR;
    if (transmit)
        flags |= PURGE_TXABORT | PURGE_TXCLEAR;
    if (flags != 0)
        DriverCalls().PurgeComm(F->Handle, flags);
}

// The driver fills a pending read itself and says nothing until the line has
// been quiet for the interval, so the first byte of a block shows only as a
// comm event. One event wait per handle can be outstanding: a port that
// watches line events does not watch arrivals, and says it cannot tell.
struct TReaderIo::TState {
    HANDLE Port;
    std::atomic<TReceiving> &Arrival;
    const bool Watch;
    bool WatchArrivals;
    const std::size_t ReadSize;
    TOperation Read = std::make_unique<TOverlapped>();
    TOperation LineWait = std::make_unique<TOverlapped>();
    TOperation ArrivalWait = std::make_unique<TOverlapped>();
    // A read that ended empty at once, held pending until its pause is over.
    bool EmptyReadPausing = false;

    TState(TPort::TState &port, bool watch, bool watchArrivals, std::size_t readSize)
        : Port(port.Handle)
        , Arrival(port.Arrival)
        , Watch(watch)
        , WatchArrivals(watchArrivals && !watch)
        , ReadSize(readSize)
    {
        Read->Reserve(readSize);
    }
    ~TState()
    {
        Abandon(Port, ArrivalWait);
        Abandon(Port, LineWait);
        Abandon(Port, Read);
    }

    // A driver that takes no event wait leaves the port unable to tell; the
    // data go on as before.
    void StopWatchingArrivals()
    {
        WatchArrivals = false;
        Arrival.store(TReceiving::Unknown, std::memory_order_release);
    }

    // A wait that ends on anything but a byte is one the port cannot rely on.
    void Arrived(const TIoResult &waited)
    {
        if (waited.Status == TIo::Pending)
            return;
        if (waited.Status == TIo::Done && (ArrivalWait->Mask & EV_RXCHAR) != 0)
            Arrival.store(TReceiving::Block, std::memory_order_release);
        else
            StopWatchingArrivals();
    }

    // Before each read: setting the mask again forgets the bytes of the block
    // just read, which the driver would otherwise report at once.
    void WatchNextArrival()
    {
        if (!WatchArrivals)
            return;
        Arrival.store(TReceiving::Quiet, std::memory_order_release);
        if (ArrivalWait->Pending)
            return;
        if (!::SetCommMask(Port, EV_RXCHAR)) {
            StopWatchingArrivals();
            return;
        }
        TOverlapped &wait = *ArrivalWait;
        wait.Mask = 0;
        Arrived(wait.Started(Port, ::WaitCommEvent(Port, &wait.Mask, wait.Begin())));
    }
};

TReaderIo::TReaderIo(TPort &port, bool watchLineEvents, bool watchArrivals, std::size_t readSize)
    : F(std::make_unique<TState>(*port.F, watchLineEvents, watchArrivals, readSize))
{
}

TReaderIo::~TReaderIo() = default;

bool TReaderIo::Valid() const
{
    return F->Read->Event != nullptr && F->LineWait->Event != nullptr && F->ArrivalWait->Event != nullptr
           && F->Read->Capacity == F->ReadSize;
}

// Line events are watched only when asked for, as on other platforms: some
// drivers, and wine on a pseudo-terminal, fail every event wait, which would end
// the reader of a port that only wants its data.
bool TReaderIo::SetEventMask()
{
    return !F->Watch || ::SetCommMask(F->Port, WatchedEvents) != FALSE;
}

TIo TReaderIo::StartEventWait(std::uint32_t &mask)
{
    if (!F->Watch)
        return TIo::Pending;
    TOverlapped &wait = *F->LineWait;
    wait.Mask = 0;
    const TIoResult started = wait.Started(F->Port, ::WaitCommEvent(F->Port, &wait.Mask, wait.Begin()));
    mask = wait.Mask;
    return started.Status;
}

TIo TReaderIo::FinishEventWait(std::uint32_t &mask)
{
    const TIoResult collected = F->LineWait->Collect(F->Port, false);
    mask = F->LineWait->Mask;
    return collected.Status == TIo::Pending ? TIo::Failed : collected.Status;
}

TIo TReaderIo::ClearErrors(std::uint32_t &flags)
{
    DWORD errors = 0;
    if (!::ClearCommError(F->Port, &errors, nullptr))
        return Failure(::GetLastError());
    flags = errors;
    return TIo::Done;
}

TIoResult TReaderIo::StartRead()
{
    // Armed first, so that no byte of the next block comes unseen.
    F->WatchNextArrival();
    TOverlapped &read = *F->Read;
    const TIoResult started = read.Started(
        F->Port, DriverCalls().ReadFile(F->Port, read.Buffer.get(), static_cast<DWORD>(F->ReadSize), nullptr,
                                        read.Begin()));
    if (started.Status == TIo::Done && started.Count == 0) {
        F->EmptyReadPausing = true;
        return {TIo::Pending, 0};
    }
    return started;
}

TIoResult TReaderIo::FinishRead()
{
    if (std::exchange(F->EmptyReadPausing, false))
        return {TIo::Done, 0};
    const TIoResult collected = F->Read->Collect(F->Port, false);
    return collected.Status == TIo::Pending ? TIoResult{TIo::Failed, 0} : collected;
}

const std::uint8_t *TReaderIo::ReadData() const
{
    return F->Read->Buffer.get();
}

TReaderWake TReaderIo::Wait(const TEvent &stop)
{
    for (;;) {
        // In the order of precedence: a wait returns the first signalled
        // handle. An arrival comes last and is handled here: it only raises
        // the port's word, and waits for the next read to be armed again.
        HANDLE handles[4] = {AsHandle(stop.Native())};
        TReaderWake meaning[4] = {TReaderWake::Stop};
        DWORD count = 1;
        if (F->LineWait->Pending) {
            handles[count] = F->LineWait->Event;
            meaning[count++] = TReaderWake::LineEvent;
        }
        if (F->Read->Pending) {
            handles[count] = F->Read->Event;
            meaning[count++] = TReaderWake::Read;
        }
        const DWORD arrival = count;
        if (F->ArrivalWait->Pending)
            handles[count++] = F->ArrivalWait->Event;
        const DWORD woken =
            ::WaitForMultipleObjects(count, handles, FALSE, F->EmptyReadPausing ? EmptyReadPauseMs : INFINITE);
        if (woken == WAIT_TIMEOUT && F->EmptyReadPausing)
            return TReaderWake::Read;
        if (woken >= WAIT_OBJECT_0 + count)
            return TReaderWake::Failed;
        if (woken - WAIT_OBJECT_0 != arrival)
            return meaning[woken - WAIT_OBJECT_0];
        const TIoResult waited = F->ArrivalWait->Collect(F->Port, false);
        F->Arrived(waited.Status == TIo::Pending ? TIoResult{TIo::Failed, 0} : waited);
    }
}

struct TWriterIo::TState {
    HANDLE Port;
    TOperation Write = std::make_unique<TOverlapped>();

    explicit TState(HANDLE port)
        : Port(port)
    {
    }
    ~TState() { Abandon(Port, Write); }
};

TWriterIo::TWriterIo(TPort &port)
    : F(std::make_unique<TState>(port.F->Handle))
{
}

TWriterIo::~TWriterIo() = default;

bool TWriterIo::Valid() const
{
    return F->Write->Event != nullptr;
}

TIoResult TWriterIo::StartWrite(const std::uint8_t *data, std::size_t size)
{
    // The driver reads the bytes until the write is over, which an abandoned
    // write may never be: they go out of memory that the write owns.
    TOverlapped &write = *F->Write;
    if (!write.Reserve(size))
        return {TIo::Failed, 0};
    std::memcpy(write.Buffer.get(), data, size);
    return write.Started(F->Port, DriverCalls().WriteFile(F->Port, write.Buffer.get(), static_cast<DWORD>(size),
                                                          nullptr, write.Begin()));
}

TIoResult TWriterIo::FinishWrite()
{
    return F->Write->Collect(F->Port, true);
}

TWriterWake TWriterIo::Wait(const TEvent &stop)
{
    const HANDLE handles[2] = {AsHandle(stop.Native()), F->Write->Event};
    const DWORD woken = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0 + 1)
        return TWriterWake::Written;
    // The writer ends on either answer; what it had pending goes with it.
    Abandon(F->Port, F->Write);
    return woken == WAIT_OBJECT_0 ? TWriterWake::Stop : TWriterWake::Failed;
}

TWait WaitEither(const TEvent &stop, const TEvent &wake)
{
    const HANDLE handles[2] = {AsHandle(stop.Native()), AsHandle(wake.Native())};
    switch (::WaitForMultipleObjects(2, handles, FALSE, INFINITE)) {
    case WAIT_OBJECT_0:
        return TWait::Stop;
    case WAIT_OBJECT_0 + 1:
        return TWait::Wake;
    default:
        return TWait::Failed;
    }
}

void RaiseCurrentThreadPriority(TThreadPriority priority)
{
    ::SetThreadPriority(::GetCurrentThread(), priority == TThreadPriority::Highest ? THREAD_PRIORITY_HIGHEST
                                                                                   : THREAD_PRIORITY_ABOVE_NORMAL);
}

QObject *WatchEvent(const TEvent &event, QObject *parent, std::function<void()> activated)
{
    // The notifier waits for its event again only once its signal's handlers
    // have returned: one that opened a message box would hold every later
    // notification until the box closed. Queued, the call runs after the
    // notifier is waiting again.
    auto *notifier = new QWinEventNotifier(AsHandle(event.Native()), parent);
    QObject::connect(notifier, &QWinEventNotifier::activated, parent, [parent, activated = std::move(activated)] {
        QMetaObject::invokeMethod(parent, activated, Qt::QueuedConnection);
    });
    return notifier;
}

} // namespace SerialPlatform
