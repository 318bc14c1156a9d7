#include "ManualPath.h"

#include <QDir>
#include <QFileInfo>

QString ManualPath(const QString &ProgramDir)
{
    const QDir dir(ProgramDir);
    const QString beside = dir.filePath(QStringLiteral("Help.pdf"));
    if (QFileInfo(beside).isFile())
        return beside;
    // A package puts the program in bin/ and its documents in share/ beside it.
    const QString installed =
        QDir::cleanPath(dir.filePath(QStringLiteral("../share/doc/loggercfg/Help.pdf")));
    return QFileInfo(installed).isFile() ? installed : beside;
}
