#include "FileSizeLimit.h"

#include <csignal>

#include <sys/resource.h>

bool LimitFileSize(QProcess &child, qint64 bytes)
{
    child.setChildProcessModifier([bytes] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit most{rlim_t(bytes), rlim_t(bytes)};
        ::setrlimit(RLIMIT_FSIZE, &most);
    });
    return true;
}
