#include "AuditFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <string>
#include <vector>

#include <windows.h>
#include <sddl.h>

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

OVERLAPPED At(qint64 offset)
{
    OVERLAPPED at {};
    at.Offset = static_cast<DWORD>(offset & 0xffffffff);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// What 0600 is on Linux: full access for the user who makes the file, and
// nothing inherited from the folder for anybody else.
class TOwnerOnly
{
public:
    TOwnerOnly()
    {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<BYTE> user(size);
        wchar_t *sid = nullptr;
        if (size > 0 && ::GetTokenInformation(token, TokenUser, user.data(), size, &size)
            && ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid, &sid)) {
            const std::wstring sddl = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
            ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &FDescriptor,
                                                                   nullptr);
            ::LocalFree(sid);
        }
        ::CloseHandle(token);
        FAttributes.nLength = sizeof FAttributes;
        FAttributes.lpSecurityDescriptor = FDescriptor;
        FAttributes.bInheritHandle = FALSE;
    }
    ~TOwnerOnly()
    {
        if (FDescriptor)
            ::LocalFree(FDescriptor);
    }
    TOwnerOnly(const TOwnerOnly &) = delete;
    TOwnerOnly &operator=(const TOwnerOnly &) = delete;

    // None where the system would not say who the user is: the folder's
    // defaults then, rather than no log.
    SECURITY_ATTRIBUTES *Attributes() { return FDescriptor ? &FAttributes : nullptr; }

private:
    PSECURITY_DESCRIPTOR FDescriptor = nullptr;
    SECURITY_ATTRIBUTES FAttributes {};
};

bool Truncate(HANDLE h, qint64 size)
{
    LARGE_INTEGER at {};
    at.QuadPart = size;
    return ::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(h) && ::FlushFileBuffers(h);
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
    const QString native = QDir::toNativeSeparators(path);  // outlives the pointer into it
    const auto name = reinterpret_cast<const wchar_t *>(native.utf16());
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const DWORD access = mode == TMode::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    TOwnerOnly owner;
    HANDLE h = INVALID_HANDLE_VALUE;
    if (mode == TMode::Append || mode == TMode::Create) {
        h = ::CreateFileW(name, access, share, owner.Attributes(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        FCreated = h != INVALID_HANDLE_VALUE;
    }
    if (h == INVALID_HANDLE_VALUE && mode != TMode::Create
        && (mode != TMode::Append || ::GetLastError() == ERROR_FILE_EXISTS))
        h = ::CreateFileW(name, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(error, mode == TMode::Create ? QStringLiteral("make") : QStringLiteral("open"), path);
    FHandle = reinterpret_cast<qintptr>(h);
    if (mode != TMode::Update && !Lock(mode != TMode::Read, error)) {
        Close();
        return false;
    }
    return true;
}

bool TAuditFile::Lock(bool exclusive, QString *error)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        OVERLAPPED range = LockRange();
        const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
        if (::LockFileEx(Handle(FHandle), flags, 0, 1, 0, &range))
            return true;
        if (::GetLastError() != ERROR_LOCK_VIOLATION && ::GetLastError() != ERROR_IO_PENDING)
            return Fail(error, QStringLiteral("lock"), FPath);
        // Windows does not tell who holds a lock.
        if (waited.elapsed() >= AuditLockWait().count()) {
            if (error)
                *error = QStringLiteral("%1 is held by another program and was not let go within %2 s")
                             .arg(QDir::toNativeSeparators(FPath))
                             .arg(double(AuditLockWait().count()) / 1000.0);
            return false;
        }
        QThread::msleep(20);
    }
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
        OVERLAPPED at = At(offset + done);
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
    const qint64 before = Size(error);
    if (before < 0)
        return false;
    // At the size read under the lock, which no other appender can change.
    if (WriteAt(before, bytes, error))
        return true;
    const bool cut = Truncate(Handle(FHandle), before);
    if (error)
        *error += cut ? QStringLiteral("; the log is as it was")
                      : QStringLiteral("; part of the line stays at its end, cut short");
    return false;
}

bool TAuditFile::WriteAt(qint64 offset, const QByteArray &bytes, QString *error)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        OVERLAPPED at = At(offset + done);
        DWORD n = 0;
        if (!::WriteFile(Handle(FHandle), bytes.constData() + done, static_cast<DWORD>(bytes.size() - done), &n, &at))
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

bool TAuditFile::SyncFolder(QString *)
{
    return true;
}
