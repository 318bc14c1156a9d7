#include "GuiApplication.h"

#include <QGuiApplication>

#include <cstring>

bool NeedsGuiApplication(int argc, const char *const *argv)
{
    bool verbSeen = false;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (std::strcmp(a, "--report-dir") == 0 || std::strncmp(a, "--report-dir=", 13) == 0)
            return true;
        if (a[0] == '-' || verbSeen)
            continue;
        // The verb is the first word; a later one is a file, which may be called "report".
        verbSeen = true;
        if (std::strcmp(a, "report") == 0)
            return true;
    }
    return false;
}

std::unique_ptr<QCoreApplication> MakeApplication(int &argc, char **argv)
{
    if (!NeedsGuiApplication(argc, argv))
        return std::make_unique<QCoreApplication>(argc, argv);
    ChooseGuiPlatform(argc, argv);
    return std::make_unique<QGuiApplication>(argc, argv);
}
