#include "AuditFile.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <QElapsedTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

bool Fail(QString *error, const QString &what, const QString &path, int code = errno)
{
    if (error)
        *error = QStringLiteral("cannot %1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(code)));
    return false;
}

// Who holds a lock on the file, as /proc/locks tells it: "process 4711
// (loggerctl)", or empty where the system does not say.
QString Holder(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return {};
    // "1: FLOCK  ADVISORY  WRITE 4711 08:02:1234567 0 EOF"; a waiter's line starts "1: -> FLOCK".
    const QByteArray file = QString::asprintf("%02x:%02x:%llu", ::major(info.st_dev), ::minor(info.st_dev),
                                              static_cast<unsigned long long>(info.st_ino))
                                .toLatin1();
    // Read whole: /proc files tell no size, so atEnd() holds from the start.
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] == "->" || fields[5] != file)
            continue;
        const QByteArray pid = fields[4];
        QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
        const QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed()) : QString();
        return name.isEmpty() ? QStringLiteral("process %1").arg(QString::fromLatin1(pid))
                              : QStringLiteral("process %1 (%2)").arg(QString::fromLatin1(pid), name);
    }
    return {};
}

bool SyncFd(int fd)
{
    int done;
    do
        done = ::fsync(fd);
    while (done != 0 && errno == EINTR);
    return done == 0;
}

} // namespace

TAuditFile::~TAuditFile()
{
    Close();
}

bool TAuditFile::Open(const QString &path, TMode mode, QString *error)
{
    Close();
    FPath = path;
    FCreated = false;
    FFolderSynced = true;
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    switch (mode) {
    case TMode::Append:
        fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CLOEXEC | O_CREAT | O_EXCL, 0600);
        FCreated = fd >= 0;
        if (fd < 0 && errno == EEXIST)
            fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CLOEXEC);
        break;
    case TMode::Create:
        fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_CREAT | O_EXCL, 0600);
        FCreated = fd >= 0;
        break;
    case TMode::Update: fd = ::open(name.constData(), O_RDWR | O_CLOEXEC); break;
    case TMode::Read: fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC); break;
    }
    if (fd < 0)
        return Fail(error, mode == TMode::Create ? QStringLiteral("make") : QStringLiteral("open"), path);
    FHandle = fd;
    FFolderSynced = !FCreated;
    if (mode != TMode::Update && !Lock(mode != TMode::Read, error)) {
        Close();
        return false;
    }
    return true;
}

bool TAuditFile::Lock(bool exclusive, QString *error)
{
    const int fd = static_cast<int>(FHandle);
    // flock rather than fcntl locks: those go when any descriptor of the file
    // in this process closes, which a reader of the same log would do.
    QElapsedTimer waited;
    waited.start();
    while (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return Fail(error, QStringLiteral("lock"), FPath);
        if (waited.elapsed() >= AuditLockWait().count()) {
            if (error) {
                const QString holder = Holder(fd);
                *error = QStringLiteral("%1 is held by %2 and was not let go within %3 s")
                             .arg(FPath, holder.isEmpty() ? QStringLiteral("another program") : holder)
                             .arg(double(AuditLockWait().count()) / 1000.0);
            }
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

void TAuditFile::Close()
{
    if (FHandle >= 0)
        ::close(static_cast<int>(FHandle));  // and the lock goes with it
    FHandle = -1;
}

qint64 TAuditFile::Size(QString *error) const
{
    struct stat info {};
    if (::fstat(static_cast<int>(FHandle), &info) != 0) {
        Fail(error, QStringLiteral("read"), FPath);
        return -1;
    }
    return info.st_size;
}

bool TAuditFile::ReadAt(qint64 offset, qint64 size, QByteArray *bytes, QString *error) const
{
    bytes->resize(size);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(static_cast<int>(FHandle), bytes->data() + done, size - done, offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(error, QStringLiteral("read"), FPath, n == 0 ? EIO : errno);  // 0: it shrank under the lock
        done += n;
    }
    return true;
}

bool TAuditFile::Append(const QByteArray &bytes, QString *error)
{
    const int fd = static_cast<int>(FHandle);
    const qint64 before = Size(error);
    if (before < 0)
        return false;
    qint64 done = 0;
    // One write; more only when the system takes part of it (a full disk
    // or a size limit then fails on the next).
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int code = errno;
            Fail(error, QStringLiteral("write"), FPath, code);
            const bool cut = ::ftruncate(fd, before) == 0 && SyncFd(fd);
            if (error)
                *error += cut ? QStringLiteral("; the log is as it was")
                              : QStringLiteral("; part of the line stays at its end, cut short");
            return false;
        }
        done += n;
    }
    if (!SyncFd(fd))
        return Fail(error, QStringLiteral("flush"), FPath);
    return SyncFolder(error);
}

bool TAuditFile::WriteAt(qint64 offset, const QByteArray &bytes, QString *error)
{
    const int fd = static_cast<int>(FHandle);
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, bytes.size() - done, offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(error, QStringLiteral("write"), FPath, n == 0 ? ENOSPC : errno);
        done += n;
    }
    if (!SyncFd(fd))
        return Fail(error, QStringLiteral("flush"), FPath);
    return SyncFolder(error);
}

bool TAuditFile::SyncFolder(QString *error)
{
    if (FFolderSynced)
        return true;
    const QByteArray dir = QFile::encodeName(QFileInfo(FPath).absolutePath());
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0 || !SyncFd(dirFd)) {
        const int saved = errno;
        if (dirFd >= 0)
            ::close(dirFd);
        return Fail(error, QStringLiteral("flush the folder of"), FPath, saved);
    }
    ::close(dirFd);
    FFolderSynced = true;
    return true;
}
