#include "AuditFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(QString *error, const QString &what, const QString &path)
{
    if (error)
        *error = QStringLiteral("cannot %1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

} // namespace

TAuditFile::~TAuditFile()
{
    Close();
}

bool TAuditFile::Open(const QString &path, QString *error)
{
    Close();
    FPath = path;
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_RDWR | O_APPEND | O_CLOEXEC;
    int fd = ::open(name.constData(), flags | O_CREAT | O_EXCL, 0644);
    FCreated = fd >= 0;
    if (fd < 0 && errno == EEXIST)
        fd = ::open(name.constData(), flags);
    if (fd < 0)
        return Fail(error, QStringLiteral("open"), path);
    FHandle = fd;
    // flock rather than fcntl locks: those go when any descriptor of the file
    // in this process closes, which a reader of the same log would do.
    int locked;
    do
        locked = ::flock(fd, LOCK_EX);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        Fail(error, QStringLiteral("lock"), path);
        Close();
        return false;
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
        if (n <= 0) {
            if (n == 0)
                errno = EIO;  // the file shrank under the lock: somebody cut it
            return Fail(error, QStringLiteral("read"), FPath);
        }
        done += n;
    }
    return true;
}

bool TAuditFile::Append(const QByteArray &bytes, QString *error)
{
    const int fd = static_cast<int>(FHandle);
    qint64 done = 0;
    // One write; more only when the system takes part of it (a full disk
    // then fails on the next).
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(error, QStringLiteral("write"), FPath);
        done += n;
    }
    if (::fsync(fd) != 0)
        return Fail(error, QStringLiteral("flush"), FPath);
    if (FCreated) {
        // A new file's name lives in its directory, which has its own blocks.
        const QByteArray dir = QFile::encodeName(QFileInfo(FPath).absolutePath());
        const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0 || ::fsync(dirFd) != 0) {
            const int saved = errno;
            if (dirFd >= 0)
                ::close(dirFd);
            errno = saved;
            return Fail(error, QStringLiteral("flush the folder of"), FPath);
        }
        ::close(dirFd);
        FCreated = false;
    }
    return true;
}
