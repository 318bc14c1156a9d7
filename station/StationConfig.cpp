#include "StationConfig.h"

#include "SettingsFile.h"
#include "SettingsIo.h"
#include "StationError.h"
#include "StationFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString Resolved(const std::string &Text, const QString &Folder)
{
    QString path = QString::fromStdString(Text);
    if (path.isEmpty())
        return path;
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    return QDir::cleanPath(QDir(Folder).absoluteFilePath(QDir::fromNativeSeparators(path)));
}

} // namespace

TStationConfig LoadStationConfig(const QString &Path)
{
    TStationConfig config;
    config.Path = Path.isEmpty() ? StationConfigPath() : Path;
    if (config.Path.isEmpty() || !QFileInfo::exists(config.Path))
        return config;
    config.Found = true;
    try {
        const QByteArray bytes = ReadSmallFile(config.Path);
        const TStationFile file = ReadStationFile(std::string_view(bytes.constData(), std::size_t(bytes.size())),
                                                  QDir::toNativeSeparators(config.Path).toStdString());
        const QString folder = QFileInfo(config.Path).absolutePath();
        config.AuditLog = Resolved(file.AuditLog, folder);
        config.Operator = QString::fromStdString(file.Operator);
        config.BackupDir = Resolved(file.BackupFolder, folder);
    } catch (const ESettingsFileError &e) {
        config.Problem = QString::fromUtf8(e.what());
    } catch (const EStationError &e) {
        config.Problem = QString::fromUtf8(e.what());
    }
    return config;
}

QString OrFromStation(const QString &Value, const QString &Configured)
{
    return Value.isEmpty() ? Configured : Value;
}
