#include "PortMap.h"
#include "SerialPlatform.h"
#include "SerialPort_unix.h"
#include "SerialTermios_unix.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace SerialPlatform {

namespace {

void SetRaw(termios &t)
{
    ::cfmakeraw(&t);
    // The reader reports carrier changes itself; without CLOCAL a dropped carrier
    // would hang the terminal up and end the link.
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

bool SetBaudRate(termios &t, std::uint32_t rate)
{
    static constexpr struct {
        std::uint32_t Rate;
        speed_t Code;
    } rates[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto &r : rates) {
        if (r.Rate == rate) {
            ::cfsetispeed(&t, r.Code);
            ::cfsetospeed(&t, r.Code);
            return true;
        }
    }
    return false;
}

void SetDataBits(termios &t, TByteSize size)
{
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag = (t.c_cflag & ~CSIZE) | sizes[static_cast<int>(size)];
}

void SetParity(termios &t, TParity parity)
{
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (parity) {
    case TParity::None:
        break;
    case TParity::Odd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case TParity::Even:
        t.c_cflag |= PARENB;
        break;
    case TParity::Mark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case TParity::Space:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
}

void SetParityCheck(termios &t, bool check)
{
    t.c_iflag &= ~(INPCK | PARMRK | IGNPAR | ISTRIP);
    // Without PARMRK the driver turns a byte received with an error into 0; with it
    // the reader sees the byte behind a mark and can pass it on or replace it.
    if (check)
        t.c_iflag |= INPCK | PARMRK;
}

bool SetStopBits(termios &t, TStopBits bits, TByteSize size)
{
    switch (bits) {
    case TStopBits::_1:
        t.c_cflag &= ~CSTOPB;
        return true;
    case TStopBits::_2:
        t.c_cflag |= CSTOPB;
        return true;
    case TStopBits::_1_5:
        // A UART asked for two stop bits sends one and a half with 5-bit bytes;
        // other sizes have no such setting.
        if (size != TByteSize::_5)
            return false;
        t.c_cflag |= CSTOPB;
        return true;
    }
    return false;
}

void SetFlowControl(termios &t, const TLineSettings &s)
{
    // One flag covers both directions of the RTS/CTS handshake. DSR flow control,
    // DSR sensitivity, the DTR handshake, the XON/XOFF limits and TxContinueOnXoff
    // have no equivalent in this driver interface; they stay properties only.
    if (s.Outx_CtsFlow || s.RtsControl == TRtsControl::RtsHandshake)
        t.c_cflag |= CRTSCTS;
    else
        t.c_cflag &= ~CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (s.Outx_XonXoffFlow)
        t.c_iflag |= IXON;
    if (s.Inx_XonXoffFlow)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
}

bool ChangeModemLine(int fd, int line, bool raise)
{
    return ::ioctl(fd, raise ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

bool SetModemLines(int fd, const TLineSettings &s)
{
    bool done = ChangeModemLine(fd, TIOCM_DTR, s.DtrControl != TDtrControl::DtrDisable);
    // With the handshake the driver drives RTS itself. Raising RTS only while
    // sending has no equivalent here; the line stays raised so that a device
    // that waits for it still hears us.
    if (s.RtsControl != TRtsControl::RtsHandshake)
        done = ChangeModemLine(fd, TIOCM_RTS, s.RtsControl != TRtsControl::RtsDisable) && done;
    return done;
}

} // namespace

bool ComposeTermios(const TLineSettings &settings, termios &t)
{
    SetRaw(t);
    bool complete = SetBaudRate(t, settings.BaudRate);
    SetDataBits(t, settings.ByteSize);
    SetParity(t, settings.Parity);
    SetParityCheck(t, settings.ParityCheck);
    complete = SetStopBits(t, settings.StopBits, settings.ByteSize) && complete;
    SetFlowControl(t, settings);
    return complete;
}


TFault Classify(int error)
{
    switch (error) {
    case EINTR:
    case EAGAIN:
        return TFault::Retry;
    case ENOTTY:
    case EINVAL:
    case ENOSYS:
    case EOPNOTSUPP:
        return TFault::Unsupported;
    default:
        // EIO, ENXIO, ENODEV and the rest: the device or its driver has gone away.
        return TFault::Gone;
    }
}

TEvent::TEvent()
    : FHandle(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

TEvent::~TEvent()
{
    if (FHandle >= 0)
        ::close(static_cast<int>(FHandle));
}

void TEvent::Set()
{
    FSet.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(static_cast<int>(FHandle), &one, sizeof one);
}

void TEvent::Consume()
{
    FSet.store(false, std::memory_order_release);
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t taken = ::read(static_cast<int>(FHandle), &count, sizeof count);
}

QString DevicePath(const QString &name)
{
    return PortMap::DevicePath(name);
}

TPort::TPort(std::unique_ptr<TState> state)
    : F(std::move(state))
{
}

namespace {

TOpenFailure OpenFailure(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return TOpenFailure::Denied;
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
        return TOpenFailure::Missing;
    case EBUSY:
    case EWOULDBLOCK:
        return TOpenFailure::InUse;
    // A directory, or a file or device that takes no terminal requests.
    case EISDIR:
    case ENOTTY:
    case EINVAL:
        return TOpenFailure::NotSerial;
    default:
        return TOpenFailure::Other;
    }
}

} // namespace

std::unique_ptr<TPort> TPort::Open(const QString &path, TOpenFailure *failure)
{
    const auto fail = [failure](int error) -> std::unique_ptr<TPort> {
        if (failure)
            *failure = OpenFailure(error);
        return nullptr;
    };
    // Made before the device is opened, so that a failed allocation leaves it closed.
    std::unique_ptr<TPort> port(new TPort(std::make_unique<TState>()));
    int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    // The owner reads a handle of 0 as "closed", so the port must not sit on descriptor 0.
    if (fd == 0) {
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        const int error = errno;
        ::close(fd);
        if (moved < 0)
            return fail(error);
        fd = moved;
    }
    // TIOCEXCL refuses later opens, but not root's; the lock also stops root among
    // programs that take it. TIOCEXCL failing also tells us this is no terminal.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return fail(EBUSY);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(error);
    }
    if (failure)
        *failure = TOpenFailure::None;
    port->F->Fd = fd;
    return port;
}

TPort::~TPort()
{
    if (F->Fd < 0)
        return;
    // The exclusive flag belongs to the terminal, not to this descriptor: on a
    // pseudo-terminal it outlives the close for as long as the master is open.
    ::ioctl(F->Fd, TIOCNXCL);
    ::close(F->Fd);
}

std::intptr_t TPort::Handle() const
{
    return F->Fd;
}

TReceiving TPort::Arrival() const
{
    if (F->Arriving.load(std::memory_order_acquire))
        return TReceiving::Block;
    // Bytes the driver holds that the reader has yet to take are arriving too.
    int waiting = 0;
    if (::ioctl(F->Fd, TIOCINQ, &waiting) == 0 && waiting > 0)
        return TReceiving::Block;
    return TReceiving::Quiet;
}

bool TPort::SizeQueues(std::uint32_t, std::uint32_t)
{
    // The terminal driver's queues have fixed sizes.
    return true;
}

bool TPort::ApplyLineSettings(const TLineSettings &settings)
{
    termios t{};
    if (::tcgetattr(F->Fd, &t) != 0)
        return false;
    bool complete = ComposeTermios(settings, t);
    if (::tcsetattr(F->Fd, TCSANOW, &t) != 0)
        complete = false;
    complete = SetModemLines(F->Fd, settings) && complete;

    // tcsetattr succeeds when any part was taken, so ask what the driver now marks.
    termios now{};
    const bool marked = ::tcgetattr(F->Fd, &now) == 0 && (now.c_iflag & PARMRK) != 0;
    F->MarkedErrors.store(marked, std::memory_order_relaxed);
    F->ReplaceErrors.store(settings.ReplaceWhenParityError, std::memory_order_relaxed);
    F->ReplacedChar.store(settings.ReplacedChar, std::memory_order_relaxed);
    F->IgnoreNull.store(settings.IgnoreNullChar, std::memory_order_relaxed);
    return complete;
}

// Write time-outs are not kept: a write cut short by one would be continued with
// the rest, so a limit would change nothing but the number of calls.
bool TPort::SetTimeouts(const TTimeouts &timeouts)
{
    F->ReadInterval.store(timeouts.ReadInterval, std::memory_order_relaxed);
    F->ReadTotalMultiplier.store(timeouts.ReadTotalMultiplier, std::memory_order_relaxed);
    F->ReadTotalConstant.store(timeouts.ReadTotalConstant, std::memory_order_relaxed);
    return true;
}

void TPort::Purge(bool receive, bool transmit)
{
    if (receive || transmit)
        ::tcflush(F->Fd, receive && transmit ? TCIOFLUSH : receive ? TCIFLUSH : TCOFLUSH);
}

void RaiseCurrentThreadPriority(TThreadPriority priority)
{
    // Nice values are per thread here. Lowering one needs privilege; without it
    // the thread keeps the normal priority, which only costs latency.
    const int nice = priority == TThreadPriority::Highest ? -10 : -5;
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice);
}

QObject *WatchEvent(const TEvent &event, QObject *parent, std::function<void()> activated)
{
    auto *notifier = new QSocketNotifier(static_cast<qintptr>(event.Native()), QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, std::move(activated));
    return notifier;
}

} // namespace SerialPlatform
