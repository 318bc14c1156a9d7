#include "AuditFile.h"

#include <QDir>

#include <windows.h>

namespace {

HANDLE Handle(qintptr h)
{
    return reinterpret_cast<HANDLE>(h);
}

bool Fail(QString *error, const QString &what, const QString &path, DWORD code = ::GetLastError())
{
    if (error) {
        wchar_t *text = nullptr;
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
        const QString message = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("error %1").arg(code);
        ::LocalFree(text);
        *error = QStringLiteral("cannot %1 %2: %3").arg(what, QDir::toNativeSeparators(path), message);
    }
    return false;
}

// The lock covers one byte far beyond any log's end: Windows locks keep even
// readers out of the bytes they cover, and `audit show` must read while a
// batch appends.
OVERLAPPED LockRange()
{
    OVERLAPPED range {};
    range.Offset = 0;
    range.OffsetHigh = 0x7fffffff;
    return range;
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
    // Append data only: every write lands at the end, whatever the position.
    const HANDLE h = ::CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                                   GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(error, QStringLiteral("open"), path);
    FHandle = reinterpret_cast<qintptr>(h);
    OVERLAPPED range = LockRange();
    if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &range)) {
        Fail(error, QStringLiteral("lock"), path);
        Close();
        return false;
    }
    return true;
}

void TAuditFile::Close()
{
    if (FHandle != -1) {
        OVERLAPPED range = LockRange();
        ::UnlockFileEx(Handle(FHandle), 0, 1, 0, &range);
        ::CloseHandle(Handle(FHandle));
    }
    FHandle = -1;
}

qint64 TAuditFile::Size(QString *error) const
{
    LARGE_INTEGER size {};
    if (!::GetFileSizeEx(Handle(FHandle), &size)) {
        Fail(error, QStringLiteral("read"), FPath);
        return -1;
    }
    return size.QuadPart;
}

bool TAuditFile::ReadAt(qint64 offset, qint64 size, QByteArray *bytes, QString *error) const
{
    bytes->resize(size);
    qint64 done = 0;
    while (done < size) {
        OVERLAPPED at {};
        at.Offset = static_cast<DWORD>((offset + done) & 0xffffffff);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD n = 0;
        if (!::ReadFile(Handle(FHandle), bytes->data() + done, static_cast<DWORD>(size - done), &n, &at))
            return Fail(error, QStringLiteral("read"), FPath);
        if (n == 0)
            return Fail(error, QStringLiteral("read"), FPath, ERROR_HANDLE_EOF);
        done += n;
    }
    return true;
}

bool TAuditFile::Append(const QByteArray &bytes, QString *error)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!::WriteFile(Handle(FHandle), bytes.constData() + done, static_cast<DWORD>(bytes.size() - done), &n,
                         nullptr))
            return Fail(error, QStringLiteral("write"), FPath);
        if (n == 0)
            return Fail(error, QStringLiteral("write"), FPath, ERROR_DISK_FULL);
        done += n;
    }
    // This commits NTFS's journal too, which holds a new file's directory entry.
    if (!::FlushFileBuffers(Handle(FHandle)))
        return Fail(error, QStringLiteral("flush"), FPath);
    return true;
}
