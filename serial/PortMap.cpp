#include "PortMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace PortMap {

namespace {

bool IsPrivateDirectory(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool IsPortName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".")
           && name != QLatin1String("..");
}

} // namespace

QString Directory()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return {};
    const QString base = runtime + QLatin1String("/loggercfg");
    const QString dir = base + QLatin1String("/serial-ports");
    for (const QString &path : {base, dir}) {
        ::mkdir(QFile::encodeName(path).constData(), 0700);  // an existing one is judged below
        if (!IsPrivateDirectory(path))
            return {};
    }
    return dir;
}

QStringList RegisteredNames()
{
    const QString dir = Directory();
    if (dir.isEmpty())
        return {};
    QStringList names;
    const auto entries = QDir(dir).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        // exists() follows the link: a port whose device is gone is skipped.
        if (entry.isSymLink() && entry.exists())
            names << entry.fileName();
    }
    return names;
}

QString DevicePath(const QString &name)
{
    if (name.startsWith(QLatin1Char('/')))
        return name;
    if (IsPortName(name)) {
        const QString dir = Directory();
        if (!dir.isEmpty()) {
            const QFileInfo link(dir + QLatin1Char('/') + name);
            if (link.isSymLink())
                return link.symLinkTarget();
        }
    }
    return QLatin1String("/dev/") + name;
}

bool Register(const QString &name, const QString &target)
{
    const QString dir = Directory();
    if (dir.isEmpty() || !IsPortName(name))
        return false;
    const QString link = dir + QLatin1Char('/') + name;
    QFile::remove(link);
    return QFile::link(target, link);
}

void Unregister(const QString &name)
{
    const QString dir = Directory();
    if (!dir.isEmpty() && IsPortName(name))
        QFile::remove(dir + QLatin1Char('/') + name);
}

} // namespace PortMap
