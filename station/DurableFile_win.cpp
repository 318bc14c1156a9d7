#include "DurableFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <windows.h>

void (*DurableWriteInterruption)() = nullptr;

namespace {

TDurableResult Fail(QString *Error, const QString &What)
{
    if (Error)
        *Error = QStringLiteral("%1: Windows error %2").arg(What).arg(::GetLastError());
    return TDurableResult::Failed;
}

std::wstring Native(const QString &Path)
{
    return QDir::toNativeSeparators(Path).toStdWString();
}

} // namespace

// The user's profile keeps application data private by the folder's own
// rights, which a new file inherits.
TDurableResult WriteNewFileDurably(const QString &Path, const QByteArray &Bytes, QString *Error)
{
    const QFileInfo info(Path);
    const QString temporary = info.absolutePath() + QStringLiteral("/.") + info.fileName()
                              + QStringLiteral(".%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    const std::wstring tmp = Native(temporary);
    HANDLE file = ::CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(Error, QStringLiteral("cannot make a file in %1").arg(QDir::toNativeSeparators(info.absolutePath())));
    DWORD written = 0;
    const bool ok = ::WriteFile(file, Bytes.constData(), DWORD(Bytes.size()), &written, nullptr)
                    && written == DWORD(Bytes.size()) && ::FlushFileBuffers(file);
    ::CloseHandle(file);
    if (!ok) {
        const TDurableResult result = Fail(Error, QStringLiteral("cannot write %1").arg(QDir::toNativeSeparators(Path)));
        ::DeleteFileW(tmp.c_str());
        return result;
    }
    if (DurableWriteInterruption)
        DurableWriteInterruption();
    // Without MOVEFILE_REPLACE_EXISTING the move fails where the name is taken.
    if (!::MoveFileExW(tmp.c_str(), Native(info.absoluteFilePath()).c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(tmp.c_str());
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
            return TDurableResult::Exists;
        ::SetLastError(error);
        return Fail(Error, QStringLiteral("cannot name %1").arg(QDir::toNativeSeparators(Path)));
    }
    return TDurableResult::Written;
}

bool MakePrivateFolder(const QString &Dir, QString *Error)
{
    if (QFileInfo(Dir).isDir() || QDir().mkpath(Dir))
        return true;
    if (Error)
        *Error = QStringLiteral("the folder cannot be made");
    return false;
}
