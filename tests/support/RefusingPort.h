#pragma once

#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

// A pseudo-terminal whose device node nobody but root may open.
class TRefusingPort
{
public:
    TRefusingPort()
        : FMaster(::posix_openpt(O_RDWR | O_NOCTTY))
    {
        if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0)
            qFatal("no pseudo-terminal");
        FPath = QString::fromLocal8Bit(::ptsname(FMaster));
        if (::chmod(::ptsname(FMaster), 0) != 0)
            qFatal("cannot take the rights to %s", qPrintable(FPath));
    }
    ~TRefusingPort() { ::close(FMaster); }
    TRefusingPort(const TRefusingPort &) = delete;
    TRefusingPort &operator=(const TRefusingPort &) = delete;

    QString Path() const { return FPath; }

private:
    int FMaster;
    QString FPath;
};
