#include "StationEnvironment.h"

#include <QByteArray>
#include <QtGlobal>

#include <pwd.h>
#include <unistd.h>

void PrepareStationEnvironment()
{
    if (!qEnvironmentVariableIsEmpty("HOME"))
        return;
    if (const passwd *account = ::getpwuid(::getuid()); account && account->pw_dir && *account->pw_dir)
        qputenv("HOME", QByteArray(account->pw_dir));
}
