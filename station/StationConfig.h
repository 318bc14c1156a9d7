#pragma once

#include <QString>

// The station's configuration file, read by both faces: the audit log, the
// operator's name and the backup folder that every write uses unless the
// command line names others. A broken file is said once, and the defaults
// stand in for it.
struct TStationConfig {
    QString Path;       // where the file is looked for
    bool Found = false;
    QString AuditLog;   // empty: no audit log
    QString Operator;   // empty: the account's name
    QString BackupDir;  // empty: the per-user data folder
    QString Problem;    // why the file could not be used, naming the file and line; empty when it could
};

// station.toml in the per-user configuration folder: ~/.config/loggercfg on
// Linux, %APPDATA%\loggercfg on Windows.
QString StationConfigPath();

// Reads the file at StationConfigPath(), or Path when given. Paths in it are
// taken relative to its folder; "~/" is the home folder.
TStationConfig LoadStationConfig(const QString &Path = {});

// The per-user data folder both faces keep their backups under: the same for
// the window and loggerctl, so that each takes the other's backups.
QString PerUserDataFolder();

// Value when it is given, the configuration's otherwise.
QString OrFromStation(const QString &Value, const QString &Configured);
