#include "SettingsIo.h"

#include "StationError.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

namespace {

// Far above any settings file; anything larger is something else, and a
// device such as /dev/zero would otherwise be read without end.
constexpr qint64 MaxFileSize = 1 << 20;

[[noreturn]] void Fail(const QString &Path, const QString &Problem)
{
    throw EStationError(TExitStatus::BadInput, (Path + QStringLiteral(": ") + Problem).toStdString());
}

} // namespace

QByteArray ReadSmallFile(const QString &Path)
{
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(Path, file.errorString());
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        Fail(Path, file.errorString());
    if (bytes.size() > MaxFileSize)
        Fail(Path, QStringLiteral("larger than 1 MiB: not a settings file"));
    return bytes;
}

TSettingsFile LoadSettingsFile(const QString &Path, QByteArray *Sha256)
{
    const QByteArray bytes = ReadSmallFile(Path);
    if (Sha256)
        *Sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    try {
        return ReadSettingsFile(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                Path.toStdString());
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
