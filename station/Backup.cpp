#include "Backup.h"

#include "DurableFile.h"
#include "StationConfig.h"
#include "RecordDecoder.h"
#include "SettingsFile.h"
#include "SettingsIo.h"
#include "StationError.h"
#include "Verify.h"

#include <QDir>
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
                            .arg(QDir::toNativeSeparators(What), Problem)
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
    const QString data = PerUserDataFolder();
    // Without a home folder the location would be one at the file system's root.
    if (data.isEmpty() || QDir::homePath() == QDir::rootPath())
        Fail(QStringLiteral("(no folder)"), QStringLiteral("no home folder is known for the backups; name one with --backup-dir"));
    return data + QStringLiteral("/loggerctl/backups");
}

QString SaveBackup(const QString &Dir, const TFrameBuffer &Record, const QString &Port, const QDateTime &Utc,
                   const std::string &Program)
{
    QString error;
    if (!MakePrivateFolder(Dir, &error))
        Fail(Dir, error);
    TSettingsFile backup;
    backup.Kind = TSettingsFileKind::Backup;
    backup.Port = Port.toStdString();
    backup.ReadAt = SettingsTime(Utc);
    backup.Program = Program;
    backup.Values = RecordSettings(Record);
    backup.Record = Record;
    const std::string text = WriteSettingsFile(backup);
    const QByteArray bytes(text.data(), qsizetype(text.size()));

    const QString name = BackupFileName(SerialNumberText(Record), Utc);
    for (int n = 1; n < 1000; ++n) {
        const QString path = QDir(Dir).filePath(n == 1 ? name : name.chopped(5) + QStringLiteral("-%1.toml").arg(n));
        switch (WriteNewFileDurably(path, bytes, &error)) {
        case TDurableResult::Written: return path;
        case TDurableResult::Exists: continue;
        case TDurableResult::Failed: Fail(path, error);
        }
    }
    Fail(QDir(Dir).filePath(name), QStringLiteral("every numbered name is taken"));
}
