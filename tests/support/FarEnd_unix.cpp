#include "FarEnd.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

TFarEnd::TFarEnd()
{
    FHandle = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (FHandle < 0)
        return;
    if (::grantpt(FHandle) == 0 && ::unlockpt(FHandle) == 0)
        FPortName = QString::fromLocal8Bit(::ptsname(FHandle));
}

TFarEnd::~TFarEnd()
{
    if (FHandle >= 0)
        ::close(FHandle);
}
