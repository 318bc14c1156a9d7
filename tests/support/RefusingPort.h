#pragma once

#include <QString>

#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

// Root opens any device node, so a test of refusal runs itself again as
// nobody; returns only in a process that is not root.
inline void RunWithoutRoot(int argc, char *argv[])
{
    if (::geteuid() != 0)
        return;
    std::vector<char *> args = {const_cast<char *>("setpriv"), const_cast<char *>("--reuid=nobody"),
                                const_cast<char *>("--regid=nogroup"), const_cast<char *>("--clear-groups")};
    args.insert(args.end(), argv, argv + argc);
    args.push_back(nullptr);
    ::execvp("setpriv", args.data());
    ::perror("setpriv");
    ::_exit(1);
}

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
