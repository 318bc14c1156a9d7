#include "DeniedPortsAdvice.h"

QString DeniedPortsAdvice(const QStringList &portNames)
{
    const QString which =
        portNames.size() == 1
            ? QStringLiteral("The serial port %1 could not be opened").arg(portNames.first())
            : QStringLiteral("The serial ports %1 could not be opened").arg(portNames.join(QStringLiteral(", ")));
    return QStringLiteral("No logger answered. %1: permission denied.\n\n"
                          "To use serial ports, add your user to the \"dialout\" group "
                          "(sudo usermod -aG dialout $USER), then log out and log in again.")
        .arg(which);
}
