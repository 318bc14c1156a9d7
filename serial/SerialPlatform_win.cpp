#include "SerialDcb_win.h"
#include "SerialPlatform.h"

#include <QWinEventNotifier>

#include <string>

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

// An overlapped record with its own manual-reset event. The record and the
// buffer it works on must outlive the operation, so an operation still pending
// when its owner gives up is cancelled and waited for.
struct TOverlapped {
    OVERLAPPED Record{};
    HANDLE Event = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    bool Pending = false;

    TOverlapped() = default;
    TOverlapped(const TOverlapped &) = delete;
    TOverlapped &operator=(const TOverlapped &) = delete;
    ~TOverlapped()
    {
        if (Event != nullptr)
            ::CloseHandle(Event);
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

    void Abandon(HANDLE port)
    {
        if (!Pending)
            return;
        ::CancelIoEx(port, &Record);
        DWORD count = 0;
        ::GetOverlappedResult(port, &Record, &count, TRUE);
        Pending = false;
    }
};

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
};

TPort::TPort(std::unique_ptr<TState> state)
    : F(std::move(state))
{
}

std::unique_ptr<TPort> TPort::Open(const QString &path, TOpenFailure *failure)
{
    const std::wstring name = path.toStdWString();
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (failure)
            *failure = OpenFailure(::GetLastError());
        return nullptr;
    }
    if (failure)
        *failure = TOpenFailure::None;
    auto state = std::make_unique<TState>();
    state->Handle = handle;
    return std::unique_ptr<TPort>(new TPort(std::move(state)));
}

TPort::~TPort()
{
    ::CloseHandle(F->Handle);
}

std::intptr_t TPort::Handle() const
{
    return reinterpret_cast<std::intptr_t>(F->Handle);
}

bool TPort::SizeQueues(std::uint32_t receive, std::uint32_t transmit)
{
    return ::SetupComm(F->Handle, receive, transmit) != FALSE;
}

bool TPort::ApplyLineSettings(const TLineSettings &settings)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(F->Handle, &dcb))
        return false;
    ComposeDcb(settings, dcb);
    return ::SetCommState(F->Handle, &dcb) != FALSE;
}

void TPort::SetTimeouts(const TTimeouts &timeouts)
{
    COMMTIMEOUTS current{};
    ::GetCommTimeouts(F->Handle, &current);
    COMMTIMEOUTS wanted = ComposeTimeouts(timeouts, current);
    ::SetCommTimeouts(F->Handle, &wanted);
}

void TPort::Purge(bool receive, bool transmit)
{
    DWORD flags = 0;
    if (receive)
        flags |= PURGE_RXABORT | PURGE_RXCLEAR;
    if (transmit)
        flags |= PURGE_TXABORT | PURGE_TXCLEAR;
    if (flags != 0)
        ::PurgeComm(F->Handle, flags);
}

struct TReaderIo::TState {
    HANDLE Port;
    const bool Watch;
    TOverlapped Read;
    TOverlapped LineWait;
    DWORD Mask = 0;

    TState(HANDLE port, bool watch)
        : Port(port)
        , Watch(watch)
    {
    }
    ~TState()
    {
        LineWait.Abandon(Port);
        Read.Abandon(Port);
    }
};

TReaderIo::TReaderIo(TPort &port, bool watchLineEvents)
    : F(std::make_unique<TState>(port.F->Handle, watchLineEvents))
{
}

TReaderIo::~TReaderIo() = default;

bool TReaderIo::Valid() const
{
    return F->Read.Event != nullptr && F->LineWait.Event != nullptr;
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
    F->Mask = 0;
    const TIoResult started = F->LineWait.Started(F->Port, ::WaitCommEvent(F->Port, &F->Mask, F->LineWait.Begin()));
    mask = F->Mask;
    return started.Status;
}

TIo TReaderIo::FinishEventWait(std::uint32_t &mask)
{
    const TIoResult collected = F->LineWait.Collect(F->Port, false);
    mask = F->Mask;
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

TIoResult TReaderIo::StartRead(std::uint8_t *buffer, std::size_t size)
{
    return F->Read.Started(F->Port, ::ReadFile(F->Port, buffer, static_cast<DWORD>(size), nullptr, F->Read.Begin()));
}

TIoResult TReaderIo::FinishRead()
{
    const TIoResult collected = F->Read.Collect(F->Port, false);
    return collected.Status == TIo::Pending ? TIoResult{TIo::Failed, 0} : collected;
}

TReaderWake TReaderIo::Wait(const TEvent &stop)
{
    // In the order of precedence: a wait returns the first signalled handle.
    HANDLE handles[3] = {AsHandle(stop.Native())};
    TReaderWake meaning[3] = {TReaderWake::Stop};
    DWORD count = 1;
    if (F->LineWait.Pending) {
        handles[count] = F->LineWait.Event;
        meaning[count++] = TReaderWake::LineEvent;
    }
    if (F->Read.Pending) {
        handles[count] = F->Read.Event;
        meaning[count++] = TReaderWake::Read;
    }
    const DWORD woken = ::WaitForMultipleObjects(count, handles, FALSE, INFINITE);
    if (woken >= WAIT_OBJECT_0 + count)
        return TReaderWake::Failed;
    return meaning[woken - WAIT_OBJECT_0];
}

struct TWriterIo::TState {
    HANDLE Port;
    TOverlapped Write;

    explicit TState(HANDLE port)
        : Port(port)
    {
    }
    ~TState() { Write.Abandon(Port); }
};

TWriterIo::TWriterIo(TPort &port)
    : F(std::make_unique<TState>(port.F->Handle))
{
}

TWriterIo::~TWriterIo() = default;

bool TWriterIo::Valid() const
{
    return F->Write.Event != nullptr;
}

TIoResult TWriterIo::StartWrite(const std::uint8_t *data, std::size_t size)
{
    return F->Write.Started(F->Port, ::WriteFile(F->Port, data, static_cast<DWORD>(size), nullptr, F->Write.Begin()));
}

TIoResult TWriterIo::FinishWrite()
{
    return F->Write.Collect(F->Port, true);
}

TWriterWake TWriterIo::Wait(const TEvent &stop)
{
    const HANDLE handles[2] = {AsHandle(stop.Native()), F->Write.Event};
    const DWORD woken = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0 + 1)
        return TWriterWake::Written;
    // The caller releases the block as soon as this returns.
    F->Write.Abandon(F->Port);
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
