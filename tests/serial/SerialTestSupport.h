#pragma once

#include "Comm.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// The far end of a link: the master of a pseudo-terminal pair, whose slave the
// component opens as its port.
class TPtyPair {
public:
    TPtyPair()
    {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0)
            return;
        char name[128] = {};
        if (::ptsname_r(FMaster, name, sizeof name) != 0)
            return;
        // The slave would otherwise echo and translate until the component opens it.
        termios t{};
        ::tcgetattr(FMaster, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(FMaster, TCSANOW, &t);
        SlavePath = QString::fromLocal8Bit(name);
    }
    ~TPtyPair() { CloseMaster(); }
    TPtyPair(const TPtyPair &) = delete;
    TPtyPair &operator=(const TPtyPair &) = delete;

    bool Valid() const { return FMaster >= 0 && !SlavePath.isEmpty(); }
    int Master() const { return FMaster; }

    void CloseMaster()
    {
        if (FMaster >= 0)
            ::close(FMaster);
        FMaster = -1;
    }

    bool Write(const QByteArray &bytes, int timeoutMs = 5000) const
    {
        QElapsedTimer clock;
        clock.start();
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(FMaster, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (put > 0) {
                done += put;
                continue;
            }
            if (put < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            pollfd p{FMaster, POLLOUT, 0};
            if (clock.elapsed() > timeoutMs)
                return false;
            ::poll(&p, 1, 50);
        }
        return true;
    }

    // Reads until count bytes have come or the time is up.
    QByteArray Read(qsizetype count, int timeoutMs = 5000) const
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        char chunk[4096];
        while (got.size() < count && clock.elapsed() < timeoutMs) {
            pollfd p{FMaster, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(FMaster, chunk, sizeof chunk);
            if (n > 0)
                got.append(chunk, n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
        }
        return got;
    }

    QString SlavePath;

private:
    int FMaster = -1;
};

// Records every event of a component.
struct TRecorder {
    QList<QByteArray> Blocks;
    bool ZeroAfterEveryBlock = true;
    int Hangups = 0;
    int SendEmpty = 0;

    void Attach(TComm &comm)
    {
        comm.OnReceiveData = [this](TComm *, const std::uint8_t *buffer, std::uint16_t length) {
            Blocks << QByteArray(reinterpret_cast<const char *>(buffer), length);
            ZeroAfterEveryBlock = ZeroAfterEveryBlock && buffer[length] == 0;
        };
        comm.OnRequestHangup = [this](TComm *) { ++Hangups; };
        comm.OnSendDataEmpty = [this](TComm *) { ++SendEmpty; };
    }

    QByteArray Joined() const
    {
        QByteArray all;
        for (const QByteArray &b : Blocks)
            all += b;
        return all;
    }

    QList<qsizetype> Sizes() const
    {
        QList<qsizetype> sizes;
        for (const QByteArray &b : Blocks)
            sizes << b.size();
        return sizes;
    }
};

// The values the parameter window gives its component before each exchange.
inline void ConfigureLikeTheWindow(TComm &comm, const QString &port, std::uint32_t intervalMs = 200)
{
    comm.SetOutx_XonXoffFlow(false);
    comm.SetInx_XonXoffFlow(false);
    comm.SetCommName(port);
    comm.SetBaudRate(9600);
    comm.SetReadIntervalTimeout(intervalMs);
}

inline int CountEntries(const char *directory)
{
    DIR *dir = ::opendir(directory);
    if (dir == nullptr)
        return -1;
    int count = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    ::closedir(dir);
    return count;
}

inline int OpenDescriptors() { return CountEntries("/proc/self/fd"); }
inline int RunningThreads() { return CountEntries("/proc/self/task"); }

inline qint64 ProcessCpuMicroseconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

inline QByteArray Pattern(qsizetype size, int seed = 0)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    return bytes;
}
