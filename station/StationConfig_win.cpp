#include "StationConfig.h"

#include <QDir>

QString PerUserDataFolder()
{
    const QString appData = qEnvironmentVariable("APPDATA");
    return appData.isEmpty() ? QString() : QDir::fromNativeSeparators(appData);
}

// The roaming profile's folder, which follows the user from one station PC
// to the next where a domain keeps profiles.
QString StationConfigPath()
{
    const QString appData = qEnvironmentVariable("APPDATA");
    return appData.isEmpty() ? QString() : QDir::fromNativeSeparators(appData) + QStringLiteral("/loggercfg/station.toml");
}
