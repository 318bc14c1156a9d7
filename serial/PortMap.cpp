#include "PortMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace PortMap {

namespace {

// A link is followed only where the user named the path.
enum class TLinks { Follow, Refuse };

bool IsPrivateDirectory(const QString &path, TLinks links = TLinks::Refuse)
{
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if ((links == TLinks::Follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Made, mode 0700, when missing; an existing one is judged as it is.
bool MakePrivateDirectory(const QString &path, TLinks links)
{
    ::mkdir(QFile::encodeName(path).constData(), 0700);
    return IsPrivateDirectory(path, links);
}

// Where a desktop's programs put their runtime files when XDG_RUNTIME_DIR is
// not set, so that the window, loggerctl and the emulator meet there as the
// user's other programs do.
QString FallbackRuntimeDirectory()
{
    const uid_t uid = ::geteuid();
    passwd entry {};
    passwd *found = nullptr;
    std::vector<char> buffer(16384);
    const bool named = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found;
    return QDir::tempPath() + QLatin1String("/runtime-")
           + (named ? QFile::decodeName(found->pw_name) : QString::number(uid));
}

struct TRuntime {
    QString Path;     // empty when there is none
    QString Problem;  // for the user, when the port map is not where they would look for it
};

// Looked up here rather than by Qt, which warns on stderr, and again on every
// call, in words the user cannot act on.
TRuntime FindRuntimeDirectory()
{
    const QString set = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (!set.isEmpty() && MakePrivateDirectory(set, TLinks::Follow))
        return {set, {}};
    const QString fallback = FallbackRuntimeDirectory();
    const bool usable = MakePrivateDirectory(fallback, TLinks::Refuse);
    const QString advice = QStringLiteral("set XDG_RUNTIME_DIR to a directory of your own with mode 0700, the same "
                                          "for every program that registers or opens ports");
    if (set.isEmpty() && usable)
        return {fallback, {}};
    if (set.isEmpty())
        return {{},
                QStringLiteral("XDG_RUNTIME_DIR is not set and %1 is not a directory of your own that only you may "
                               "write to: ports that the logger emulator and other programs register are not seen; %2")
                    .arg(fallback, advice)};
    if (usable)
        return {fallback,
                QStringLiteral("XDG_RUNTIME_DIR (%1) is not a directory of your own that only you may write to: "
                               "registered ports are looked for in %2 instead; %3")
                    .arg(set, fallback, advice)};
    return {{},
            QStringLiteral("neither XDG_RUNTIME_DIR (%1) nor %2 is a directory of your own that only you may write "
                           "to: ports that the logger emulator and other programs register are not seen; %3")
                .arg(set, fallback, advice)};
}

bool IsPortName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".")
           && name != QLatin1String("..");
}

} // namespace

QString Directory()
{
    const QString runtime = FindRuntimeDirectory().Path;
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

QString DirectoryProblem()
{
    return FindRuntimeDirectory().Problem;
}

QString SettleRuntimeDirectory()
{
    const TRuntime runtime = FindRuntimeDirectory();
    if (!runtime.Path.isEmpty())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.Path));
    return runtime.Problem;
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
