#include "SettingsIo.h"

#include "StationError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

namespace {

[[noreturn]] void Fail(const QString &Path, const QString &Problem)
{
    // Named as the system names its files, whichever way the path came in.
    throw EStationError(TExitStatus::BadInput, (QDir::toNativeSeparators(Path) + QStringLiteral(": ") + Problem).toStdString());
}

} // namespace

QByteArray ReadSmallFile(const QString &Path, qint64 Limit)
{
    const auto tooLarge = [&] {
        Fail(Path, QStringLiteral("larger than %1: not a settings file").arg(QLocale::c().formattedDataSize(Limit, 0)));
    };
    // The links followed, as the open would follow them.
    const QFileInfo info(Path);
    if (info.isDir())
        Fail(Path, QStringLiteral("a folder, not a file"));
    if (info.exists() && !info.isFile())
        Fail(Path, QStringLiteral("not a regular file (a pipe or a device)"));
    if (info.size() > Limit)
        tooLarge();
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(Path, file.errorString());
    // What was put in the file's place since it was looked at: a pipe waited
    // for a writer meanwhile, as in any program, but is read no further.
    if (file.isSequential())
        Fail(Path, QStringLiteral("not a regular file (a pipe or a device)"));
    QByteArray bytes = file.read(Limit + 1);
    if (file.error() != QFileDevice::NoError)
        Fail(Path, file.errorString());
    if (bytes.size() > Limit)
        tooLarge();
    return bytes;
}

TSettingsFile LoadSettingsFile(const QString &Path, QByteArray *Sha256)
{
    const QByteArray bytes = ReadSmallFile(Path);
    if (Sha256)
        *Sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    try {
        return ReadSettingsFile(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                QDir::toNativeSeparators(Path).toStdString());
    } catch (const ESettingsFileError &e) {
        throw EStationError(TExitStatus::BadInput, e.what());
    }
}

void SaveTextFile(const QString &Path, const std::string &Text)
{
    QSaveFile file(Path);
    if (!file.open(QIODevice::WriteOnly))
        Fail(Path, file.errorString());
    if (file.write(Text.data(), static_cast<qint64>(Text.size())) != static_cast<qint64>(Text.size()) || !file.commit())
        Fail(Path, file.errorString());
}

std::string SettingsTime(const QDateTime &Utc)
{
    return Utc.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'")).toStdString();
}
