#include "GuiApplication.h"

#include <cstring>

void ChooseGuiPlatform(int argc, const char *const *argv)
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
}
