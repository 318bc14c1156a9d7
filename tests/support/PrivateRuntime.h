#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

// A runtime directory of the test's own (QTemporaryDir makes it 0700, as the
// port map requires), so that the ports a test registers never touch the user's.
class TPrivateRuntime
{
public:
    TPrivateRuntime() { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(FDir.path())); }

    bool IsValid() const { return FDir.isValid(); }
    QString FilePath(const QString &name) const { return FDir.filePath(name); }

private:
    QTemporaryDir FDir;
};
