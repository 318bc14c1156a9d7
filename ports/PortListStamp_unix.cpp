#include "PortListStamp.h"

#include "PortMap.h"

#include <QFile>

#include <sys/stat.h>

namespace {

// A device node or a port map link appears or goes as an entry of its
// directory, which changes the directory's time.
void AddDirectory(QByteArray &stamp, const QByteArray &path)
{
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        stamp += "-;";
        return;
    }
    stamp += QByteArray::number(qulonglong(info.st_ino)) + ':' + QByteArray::number(qlonglong(info.st_mtim.tv_sec))
             + '.' + QByteArray::number(qlonglong(info.st_mtim.tv_nsec)) + ';';
}

} // namespace

QByteArray PortListStamp()
{
    // Looked up once: the port map's folder does not move while the program runs.
    static const QByteArray portMap = QFile::encodeName(PortMap::Directory());
    QByteArray stamp;
    AddDirectory(stamp, "/dev");
    if (!portMap.isEmpty())
        AddDirectory(stamp, portMap);
    return stamp;
}
