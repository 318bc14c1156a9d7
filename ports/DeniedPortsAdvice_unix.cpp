#include "DeniedPortsAdvice.h"

#include "PortMap.h"

#include <QFile>

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

QString PortDeviceGroup(const QString &portName)
{
    // stat follows the port map's link to the device node itself.
    struct stat device {};
    if (::stat(QFile::encodeName(PortMap::DevicePath(portName)).constData(), &device) != 0 || device.st_gid == 0)
        return {};

    // The group database may be large (directory services): grow the buffer until the entry fits.
    std::vector<char> buffer(1024);
    group entry {};
    group *found = nullptr;
    int error = 0;
    while ((error = ::getgrgid_r(device.st_gid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE
           && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (error != 0 || found == nullptr)
        return {};
    return QString::fromLocal8Bit(found->gr_name);
}
