#include "DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void (*DurableWriteInterruption)() = nullptr;

namespace {

TDurableResult Fail(QString *Error, const QString &What, int Errno)
{
    if (Error)
        *Error = QStringLiteral("%1: %2").arg(What, QString::fromLocal8Bit(std::strerror(Errno)));
    return TDurableResult::Failed;
}

bool WriteAll(int Fd, const QByteArray &Bytes)
{
    qint64 done = 0;
    while (done < Bytes.size()) {
        const ssize_t n = ::write(Fd, Bytes.constData() + done, size_t(Bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool SyncFolder(const QByteArray &Dir)
{
    const int fd = ::open(Dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

TDurableResult WriteNewFileDurably(const QString &Path, const QByteArray &Bytes, QString *Error)
{
    const QFileInfo info(Path);
    const QByteArray dir = QFile::encodeName(info.absolutePath());
    const QByteArray path = QFile::encodeName(info.absoluteFilePath());
    // A dot-name of its own, so that nobody takes a half-written file for a backup.
    QByteArray temporary = dir + "/." + QFile::encodeName(info.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail(Error, QStringLiteral("cannot make a file in %1").arg(info.absolutePath()), errno);
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    if (!WriteAll(fd, Bytes) || ::fsync(fd) != 0) {
        const int saved = errno;
        ::close(fd);
        ::unlink(temporary.constData());
        return Fail(Error, QStringLiteral("cannot write %1").arg(Path), saved);
    }
    ::close(fd);
    if (DurableWriteInterruption)
        DurableWriteInterruption();

    // link() fails where the name is taken, which rename() would replace.
    if (::link(temporary.constData(), path.constData()) != 0) {
        const int saved = errno;
        ::unlink(temporary.constData());
        if (saved == EEXIST)
            return TDurableResult::Exists;
        return Fail(Error, QStringLiteral("cannot name %1").arg(Path), saved);
    }
    ::unlink(temporary.constData());
    if (!SyncFolder(dir))
        return Fail(Error, QStringLiteral("cannot flush the folder of %1").arg(Path), errno);
    return TDurableResult::Written;
}

bool MakePrivateFolder(const QString &Dir, QString *Error)
{
    if (QFileInfo(Dir).isDir())
        return true;
    if (!QDir().mkpath(Dir)) {
        if (Error)
            *Error = QStringLiteral("the folder cannot be made");
        return false;
    }
    if (::chmod(QFile::encodeName(Dir).constData(), S_IRWXU) != 0) {
        if (Error)
            *Error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}
