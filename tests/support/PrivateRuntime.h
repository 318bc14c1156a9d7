#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

// A runtime directory of the test's own (QTemporaryDir makes it 0700, as the
// port map requires), so that the ports a test registers never touch the
// user's; and configuration and data folders of its own, so that the user's
// station file (an audit log, a backup folder) never reaches a test, nor a
// test's backups the user's.
class TPrivateRuntime
{
public:
    TPrivateRuntime()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(FDir.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(FDir.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(FDir.filePath(QStringLiteral("data"))));
    }

    bool IsValid() const { return FDir.isValid(); }
    QString FilePath(const QString &name) const { return FDir.filePath(name); }
    // Where both programs look for the station's file under this runtime.
    QString StationFile() const { return FDir.filePath(QStringLiteral("config/loggercfg/station.toml")); }

private:
    QTemporaryDir FDir;
};
