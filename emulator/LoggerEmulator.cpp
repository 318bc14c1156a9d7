#include "LoggerEmulator.h"

#include "PortMap.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::array<std::uint8_t, 7> SaveAck = {0xAA, 0x55, CmdSaveAck, 0x01, 0x00, 0x16, 0xAA};

// A flood without pauses would otherwise grow the block without bound.
constexpr std::size_t MaxBlockSize = 4096;

constexpr std::pair<TFaultMode, std::string_view> FaultNames[] = {
    {TFaultMode::None, "none"},       {TFaultMode::BadCheck, "bad-check"}, {TFaultMode::Split, "split"},
    {TFaultMode::Silent, "silent"},   {TFaultMode::Garbage, "garbage"},    {TFaultMode::Vanish, "vanish"},
    {TFaultMode::Slow, "slow"},       {TFaultMode::Twice, "twice"},        {TFaultMode::Flood, "flood"},
    {TFaultMode::WrongByte, "wrong-byte"}, {TFaultMode::NotStored, "not-stored"},
};

std::string SystemError(const std::string &what)
{
    return what + ": " + std::system_category().message(errno);
}

void CloseFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

timespec ToTimespec(std::chrono::nanoseconds d)
{
    if (d < d.zero())
        d = d.zero();
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(d);
    return {static_cast<time_t>(whole.count()), static_cast<long>((d - whole).count())};
}

} // namespace

std::optional<TFaultMode> FaultModeFromName(std::string_view name)
{
    for (const auto &[mode, text] : FaultNames)
        if (text == name)
            return mode;
    return std::nullopt;
}

std::string_view FaultModeName(TFaultMode mode)
{
    for (const auto &[m, text] : FaultNames)
        if (m == mode)
            return text;
    return "none";
}

TLoggerEmulator::TLoggerEmulator(std::string portName)
    : FPortName(std::move(portName)), FRecord(DefaultParameterRecord())
{
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    FClockBase = now + ZoneOffset(FRecord);
    FClockSetAt = TSteadyClock::now();
}

TLoggerEmulator::~TLoggerEmulator()
{
    Stop();
}

bool TLoggerEmulator::Start(std::string *error)
{
    if (FThread.joinable()) {
        if (error)
            *error = "already running";
        return false;
    }
    if (!Open(error))
        return false;
    FThread = std::thread([this] { Serve(); });
    return true;
}

void TLoggerEmulator::Stop()
{
    RequestStop();
    if (FThread.joinable())
        FThread.join();
    Close();
}

void TLoggerEmulator::Unplug()
{
    FUnplugRequested = true;
    RequestStop();
    if (FThread.joinable())
        FThread.join();
    Close();
}

bool TLoggerEmulator::Plug(const std::string &portName, std::string *error)
{
    if (FThread.joinable() || FMaster >= 0) {
        if (error)
            *error = "already plugged in";
        return false;
    }
    if (!portName.empty()) {
        std::lock_guard lock(FMutex);
        FPortName = portName;
    }
    return Start(error);
}

bool TLoggerEmulator::Plugged() const
{
    return FPlugged;
}

bool TLoggerEmulator::Open(std::string *error)
{
    auto fail = [&](const std::string &message) {
        if (error)
            *error = message;
        CloseDescriptors();
        return false;
    };
    if (FMaster >= 0)
        return fail("already open");
    FStopRequested = false;
    FUnplugRequested = false;
    FHungUp = false;
    FAnswering = false;

    FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FMaster < 0)
        return fail(SystemError("cannot open a pseudo-terminal"));
    char path[128] = {};
    if (::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0 || ::ptsname_r(FMaster, path, sizeof path) != 0)
        return fail(SystemError("cannot unlock the pseudo-terminal"));
    ::fcntl(FMaster, F_SETFL, ::fcntl(FMaster, F_GETFL) | O_NONBLOCK);

    // No flock and no TIOCEXCL on this descriptor: the tool takes both when it opens.
    FSlave = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (FSlave < 0)
        return fail(SystemError(std::string("cannot open ") + path));
    // The line discipline sits on the slave: without raw mode CR, XON and XOFF
    // in a frame would be translated or swallowed.
    termios settings {};
    if (::tcgetattr(FSlave, &settings) != 0)
        return fail(SystemError("cannot read the line settings"));
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&settings, B9600);
    if (::tcsetattr(FSlave, TCSANOW, &settings) != 0)
        return fail(SystemError("cannot set raw mode"));

    // The slave's opens and closes tell when the tool holds the line.
    FInotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (FInotify < 0 || ::inotify_add_watch(FInotify, path, IN_OPEN | IN_CLOSE) < 0)
        return fail(SystemError("cannot watch the pseudo-terminal"));

    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0)
        return fail(SystemError("cannot create a pipe"));
    FWakeRead = wake[0];
    FWakeWrite = wake[1];

    const QString name = QString::fromStdString(FPortName);
    if (!PortMap::Register(name, QString::fromLocal8Bit(path))) {
        const QString dir = PortMap::Directory();
        return fail("cannot register " + FPortName + " in the port map"
                    + (dir.isEmpty() ? std::string(" (no private runtime directory)") : " " + dir.toStdString()));
    }
    std::lock_guard lock(FMutex);
    FSlavePath = path;
    FRegistered = true;
    FPlugged = true;
    return true;
}

void TLoggerEmulator::RequestStop() noexcept
{
    FStopRequested = true;
    const char byte = 1;
    const int fd = FWakeWrite.load();
    if (fd >= 0 && ::write(fd, &byte, 1) < 0) {
        // a full pipe already holds a wake-up
    }
}

void TLoggerEmulator::Close()
{
    Unregister();
    CloseDescriptors();
    FPlugged = false;
}

void TLoggerEmulator::CloseDescriptors()
{
    CloseFd(FMaster);
    CloseFd(FSlave);
    CloseFd(FInotify);
    CloseFd(FWakeRead);
    int write = FWakeWrite.exchange(-1);
    CloseFd(write);
}

void TLoggerEmulator::Serve()
{
    if (FMaster < 0)
        return;
    TBytes block;
    TSteadyClock::time_point lastRead;
    TSteadyClock::time_point lastWrite;
    TAnswer answer;
    int openers = 0;
    bool lineFull = false;

    for (;;) {
        if (FUnplugRequested) {
            HangUp();
            return;
        }
        auto now = TSteadyClock::now();
        const bool stopping = FStopRequested.load();
        if (stopping && (openers == 0 || now >= lastWrite + Linger))
            break;

        std::optional<TSteadyClock::time_point> wake;
        auto wakeBy = [&wake](TSteadyClock::time_point t) {
            if (!wake || t < *wake)
                wake = t;
        };
        if (!block.empty())
            wakeBy(lastRead + SilenceInterval);
        // Bytes that fell due while the line was full are overdue: waking for
        // them instead of for room would spin.
        const bool waitForRoom = lineFull && openers > 0 && answer.Pending() && !stopping;
        if (waitForRoom)
            wakeBy(now + FullLineRetry);
        else if (answer.Pending() && !stopping)
            wakeBy(answer.Due[answer.Next]);
        if (stopping)
            wakeBy(lastWrite + Linger);

        const short masterEvents = waitForRoom ? POLLIN | POLLOUT : POLLIN;
        pollfd fds[3] = {{FWakeRead, POLLIN, 0}, {FMaster, masterEvents, 0}, {FInotify, POLLIN, 0}};
        timespec timeout {};
        if (wake)
            timeout = ToTimespec(*wake - now);
        if (::ppoll(fds, 3, wake ? &timeout : nullptr, nullptr) < 0 && errno != EINTR)
            break;

        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(FWakeRead, drain, sizeof drain) > 0) {
            }
        }
        if (fds[2].revents & POLLIN)
            openers = TrackOpeners(openers);
        if (fds[1].revents & POLLIN) {
            std::uint8_t buffer[512];
            ssize_t n;
            while ((n = ::read(FMaster, buffer, sizeof buffer)) > 0)
                block.insert(block.end(), buffer, buffer + n);
            lastRead = TSteadyClock::now();
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            // Cannot happen while the held slave is open; leave rather than spin.
            break;
        }

        now = TSteadyClock::now();
        if (!block.empty() && (now >= lastRead + SilenceInterval || block.size() >= MaxBlockSize)) {
            TBytes request;
            request.swap(block);
            if (!HandleRequest(request, answer, now)) {
                HangUp();
                return;
            }
        }

        if (answer.Pending() && !stopping && answer.Due[answer.Next] <= now) {
            // Due times never fall, so a search finds the bytes due by now
            // without walking a flood's whole tail on every wake.
            const auto due = std::upper_bound(answer.Due.begin() + static_cast<std::ptrdiff_t>(answer.Next),
                                              answer.Due.end(), now);
            const auto end = static_cast<std::size_t>(due - answer.Due.begin());
            lineFull = false;
            if (openers == 0) {
                // Nobody at the other end: like a real line, the bytes are lost.
                answer.Next = end;
            } else if (const ssize_t n = ::write(FMaster, answer.Bytes.data() + answer.Next, end - answer.Next);
                       n > 0) {
                lastWrite = now;
                answer.Next += static_cast<std::size_t>(n);
                lineFull = answer.Next < end;
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                // A flood outruns the tool's input queue; the rest waits for room.
                lineFull = true;
            } else {
                answer.Next = end;
            }
        }
        FAnswering = answer.Pending();
    }
}

int TLoggerEmulator::TrackOpeners(int openers)
{
    alignas(inotify_event) char buffer[4096];
    ssize_t n;
    while ((n = ::read(FInotify, buffer, sizeof buffer)) > 0) {
        for (char *p = buffer; p < buffer + n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            const int before = openers;
            if (event->mask & IN_OPEN)
                ++openers;
            if (event->mask & IN_CLOSE)
                openers = std::max(0, openers - 1);
            if (event->mask & IN_Q_OVERFLOW)
                openers = std::max(1, openers);
            if (before > 0 && openers == 0) {
                // The exclusive flag that the tool set outlives its descriptor on a
                // pseudo-terminal (the master keeps the tty alive) and would refuse
                // its next open; a real port forgets it on the last close. Bytes that
                // nobody read are dropped as a closed port drops them.
                ::ioctl(FSlave, TIOCNXCL);
                ::tcflush(FSlave, TCIFLUSH);
            }
            p += sizeof(inotify_event) + event->len;
        }
    }
    return openers;
}

bool TLoggerEmulator::HandleRequest(const TBytes &request, TAnswer &answer, TSteadyClock::time_point now)
{
    Log("rx", request.data(), request.size());
    TBytes reply;
    TFaultMode fault;
    TSteadyClock::time_point start;
    {
        std::lock_guard lock(FMutex);
        FReceived.push_back(request);
        fault = FFault;
        start = now + FAnswerDelay;
        if (fault == TFaultMode::Vanish)
            return false;
        if (!CheckFrame(request.data(), request.size()))
            return true;
        const std::uint8_t command = request[2];
        if (command == CmdReadRequest) {
            reply.assign(FRecord.begin(), FRecord.end());
            ++FReadsSinceWrite;
        } else if (command == CmdParameterWrite && request.size() == FrameBufferSize) {
            TFrameBuffer frame;
            std::copy(request.begin(), request.end(), frame.begin());
            if (fault != TFaultMode::NotStored) {
                if (const auto time = StoreWriteFrame(FRecord, frame)) {
                    FClockBase = *ToSeconds(*time);
                    FClockSetAt = now;
                }
            }
            if (fault == TFaultMode::WrongByte) {
                ++FRecord[LogIntervalMinutesOffset];
                SealRecord(FRecord);
            }
            ++FStoredWrites;
            FReadsSinceWrite = 0;
            reply.assign(SaveAck.begin(), SaveAck.end());
        } else {
            return true;
        }
        if (fault != TFaultMode::Silent)
            FAnswering = true;
    }
    if (fault != TFaultMode::Silent)
        Schedule(answer, std::move(reply), fault, start);
    return true;
}

void TLoggerEmulator::Schedule(TAnswer &answer, TBytes bytes, TFaultMode fault, TSteadyClock::time_point start)
{
    if (fault == TFaultMode::BadCheck) {
        ++bytes[bytes.size() - 2];
    } else if (fault == TFaultMode::Garbage || fault == TFaultMode::Flood) {
        bytes.resize(fault == TFaultMode::Flood
                         ? FloodSize
                         : std::uniform_int_distribution<std::size_t>(7, FrameBufferSize)(FRandom));
        std::uniform_int_distribution<int> value(0, 255);
        for (auto &b : bytes)
            b = static_cast<std::uint8_t>(value(FRandom));
        if (bytes[0] == FrameStart1)
            bytes[0] = 0;  // never a sound frame by chance
    }
    Log(fault == TFaultMode::None ? "tx" : "tx (" + std::string(FaultModeName(fault)) + ")", bytes.data(),
        bytes.size());

    if (answer.Pending()) {
        start = std::max(start, answer.Due.back() + ByteTime);
    } else {
        answer = TAnswer{};
    }
    // A flood at 9600 baud would take over a minute; it comes as fast as the line takes it.
    const std::chrono::microseconds step = fault == TFaultMode::Slow    ? SlowByteTime
                                           : fault == TFaultMode::Flood ? std::chrono::microseconds::zero()
                                                                        : ByteTime;
    const int copies = fault == TFaultMode::Twice ? 2 : 1;
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0)
            start = answer.Due.back() + ByteTime + TwicePause;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            TSteadyClock::time_point due = start + static_cast<std::int64_t>(i) * step;
            if (fault == TFaultMode::Split && i >= SplitAfter)
                due += SplitPause;
            answer.Bytes.push_back(bytes[i]);
            answer.Due.push_back(due);
        }
    }
}

void TLoggerEmulator::HangUp()
{
    Log("hang-up", nullptr, 0);
    CloseFd(FMaster);
    CloseFd(FSlave);
    FAnswering = false;
    // A pseudo-terminal number is soon reused; a link left behind would point
    // at somebody else's line.
    Unregister();
    FHungUp = true;
    FPlugged = false;
}

void TLoggerEmulator::Unregister()
{
    std::lock_guard lock(FMutex);
    if (!FRegistered)
        return;
    FRegistered = false;
    // Another emulator may have taken the name over since; its link stays.
    const QString name = QString::fromStdString(FPortName);
    if (PortMap::DevicePath(name) == QString::fromStdString(FSlavePath))
        PortMap::Unregister(name);
}

void TLoggerEmulator::Log(std::string_view direction, const std::uint8_t *bytes, std::size_t size) const
{
    if (!FLogging)
        return;
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    ::localtime_r(&now.tv_sec, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03ld ", local.tm_hour, local.tm_min, local.tm_sec,
                  now.tv_nsec / 1000000);
    std::string line = std::string(stamp) + FPortName + " " + std::string(direction);
    if (bytes)
        line += " " + std::to_string(size) + ":";
    for (std::size_t i = 0; i < size; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
        line += hex;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string TLoggerEmulator::PortName() const
{
    std::lock_guard lock(FMutex);
    return FPortName;
}

std::string TLoggerEmulator::SlavePath() const
{
    std::lock_guard lock(FMutex);
    return FSlavePath;
}

bool TLoggerEmulator::HungUp() const
{
    return FHungUp;
}

std::vector<TLoggerEmulator::TBytes> TLoggerEmulator::ReceivedFrames() const
{
    std::lock_guard lock(FMutex);
    return FReceived;
}

std::size_t TLoggerEmulator::StoredWrites() const
{
    std::lock_guard lock(FMutex);
    return FStoredWrites;
}

std::size_t TLoggerEmulator::ReadsSinceWrite() const
{
    std::lock_guard lock(FMutex);
    return FReadsSinceWrite;
}

bool TLoggerEmulator::Answering() const
{
    return FAnswering;
}

TFrameBuffer TLoggerEmulator::ParameterRecord() const
{
    std::lock_guard lock(FMutex);
    return FRecord;
}

void TLoggerEmulator::SetParameterRecord(const TFrameBuffer &record)
{
    std::lock_guard lock(FMutex);
    FRecord = record;
    SealRecord(FRecord);
}

void TLoggerEmulator::ChangeLogger(const TFrameBuffer &record)
{
    std::lock_guard lock(FMutex);
    FRecord = record;
    SealRecord(FRecord);
    FClockBase = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) + ZoneOffset(FRecord);
    FClockSetAt = TSteadyClock::now();
    FStoredWrites = 0;
    FReadsSinceWrite = 0;
}

TLoggerTime TLoggerEmulator::Clock() const
{
    std::lock_guard lock(FMutex);
    return FromSeconds(FClockBase + std::chrono::floor<std::chrono::seconds>(TSteadyClock::now() - FClockSetAt));
}

void TLoggerEmulator::SetFaultMode(TFaultMode mode)
{
    std::lock_guard lock(FMutex);
    FFault = mode;
}

void TLoggerEmulator::SetAnswerDelay(TMilliseconds delay)
{
    std::lock_guard lock(FMutex);
    FAnswerDelay = std::max(delay, TMilliseconds::zero());
}

void TLoggerEmulator::SetLogging(bool on)
{
    FLogging = on;
}
