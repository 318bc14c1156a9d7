#include "Backup.h"

#include "StationError.h"
#include "RecordDecoder.h"
#include "SettingsFile.h"
#include "SettingsIo.h"
#include "Verify.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

bool PlainFileNameChar(char32_t ch)
{
    return (ch >= U'A' && ch <= U'Z') || (ch >= U'a' && ch <= U'z') || (ch >= U'0' && ch <= U'9') || ch == U'-'
           || ch == U'_' || ch == U'.';
}

[[noreturn]] void Fail(const QString &What, const QString &Problem)
{
    throw EStationError(TExitStatus::BadInput,
                    QStringLiteral("cannot keep the backup %1: %2; nothing was written to the logger")
                        .arg(What, Problem)
                        .toStdString());
}

} // namespace

QString BackupFileName(const std::string &SerialNumber, const QDateTime &Utc)
{
    QString serial;
    for (const char32_t ch : QString::fromStdString(SerialNumber).toUcs4())
        serial += PlainFileNameChar(ch) ? QString::fromUcs4(&ch, 1) : QStringLiteral("_");
    // A name of dots alone would be the folder or its parent.
    if (serial.isEmpty() || serial.startsWith(QLatin1Char('.')))
        serial.prepend(QLatin1Char('_'));
    return serial + QLatin1Char('-') + Utc.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"))
           + QStringLiteral(".toml");
}

QString BackupDirectory(const QString &Dir)
{
    if (!Dir.isEmpty())
        return Dir;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/backups");
}

QString SaveBackup(const QString &Dir, const TFrameBuffer &Record, const QString &Port, const QDateTime &Utc,
                   const std::string &Program)
{
    if (!QDir(Dir).exists()) {
        if (!QDir().mkpath(Dir))
            Fail(Dir, QStringLiteral("the folder cannot be made"));
        QFile::setPermissions(Dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    TSettingsFile backup;
    backup.Kind = TSettingsFileKind::Backup;
    backup.Port = Port.toStdString();
    backup.ReadAt = SettingsTime(Utc);
    backup.Program = Program;
    backup.Values = RecordSettings(Record);
    const std::string text = WriteSettingsFile(backup);

    const QString name = BackupFileName(SerialNumberText(Record), Utc);
    for (int n = 1; n < 1000; ++n) {
        const QString path = QDir(Dir).filePath(n == 1 ? name : name.chopped(5) + QStringLiteral("-%1.toml").arg(n));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.exists())
                continue;
            Fail(path, file.errorString());
        }
        if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())
            || !file.flush()) {
            const QString problem = file.errorString();
            file.remove();
            Fail(path, problem);
        }
        return path;
    }
    Fail(QDir(Dir).filePath(name), QStringLiteral("every numbered name is taken"));
}
