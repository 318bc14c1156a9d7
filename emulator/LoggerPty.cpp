// The pseudo-terminal that stands for the cable: opening and closing it, its
// entry in the port map, the tool's opens and closes of it, and hanging up.
#include "LoggerEmulator.h"

#include "PortMap.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

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

} // namespace

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
