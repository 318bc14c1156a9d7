#pragma once

#include "CommRecorder.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QTest>

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// The far end of a link: the master of a pseudo-terminal pair whose slave the
// component opens as its port.
class TPtyPair {
public:
    TPtyPair()
    {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        char name[128] = {};
        if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0
            || ::ptsname_r(FMaster, name, sizeof name) != 0)
            return;
        // Until the component opens the slave it would echo and translate.
        termios t{};
        ::tcgetattr(FMaster, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(FMaster, TCSANOW, &t);
        SlavePath = QString::fromLocal8Bit(name);
    }
    ~TPtyPair() { CloseMaster(); }

    bool Valid() const { return !SlavePath.isEmpty(); }
    int Master() const { return FMaster; }
    void CloseMaster()
    {
        if (FMaster >= 0)
            ::close(FMaster);
        FMaster = -1;
    }

    bool Write(QByteArray bytes) const { return Transfer(bytes.data(), bytes.size(), POLLOUT) == bytes.size(); }

    QByteArray Read(qsizetype count, int timeoutMs = 5000) const
    {
        QByteArray got(count, '\0');
        got.truncate(Transfer(got.data(), count, POLLIN, timeoutMs));
        return got;
    }

    QString SlavePath;

private:
    qsizetype Transfer(char *data, qsizetype count, short direction, int timeoutMs = 5000) const
    {
        const QDeadlineTimer deadline(timeoutMs);
        qsizetype done = 0;
        while (done < count && !deadline.hasExpired()) {
            pollfd p{FMaster, direction, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const auto size = static_cast<size_t>(count - done);
            const ssize_t n =
                direction == POLLIN ? ::read(FMaster, data + done, size) : ::write(FMaster, data + done, size);
            if (n > 0)
                done += n;
            else if (errno != EAGAIN && errno != EINTR)
                break;
        }
        return done;
    }

    int FMaster = -1;
};

inline int CountEntries(const char *directory)
{
    DIR *dir = ::opendir(directory);
    int count = 0;
    while (const dirent *entry = dir ? ::readdir(dir) : nullptr)
        count += entry->d_name[0] != '.';
    if (dir)
        ::closedir(dir);
    return count;
}
inline int OpenDescriptors() { return CountEntries("/proc/self/fd"); }
inline int RunningThreads() { return CountEntries("/proc/self/task"); }

// Whether the process comes down to count threads. A joined thread can stay
// listed for a moment: the join returns when the thread has left its code,
// and the kernel takes it off the list a little later, which on a loaded
// machine was seen after 200 opens and closes.
inline bool ThreadsSettleAt(int count)
{
    return QTest::qWaitFor([count] { return RunningThreads() == count; }, 2000);
}

inline qint64 ProcessCpuMicroseconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}
