#include "DeniedPortsAdvice.h"

namespace {

// Debian's and Ubuntu's group for serial devices, named when no refused
// device tells its own.
const QString UsualGroup = QStringLiteral("dialout");

// "a", "a" and "b", "a", "b" and "c"
QString Listed(const QStringList &items)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + items.last();
}

} // namespace

QString DeniedPortsAdvice(const QStringList &portNames)
{
    const QString which = portNames.size() == 1
                              ? QStringLiteral("The serial port %1 could not be opened").arg(portNames.first())
                              : QStringLiteral("The serial ports %1 could not be opened").arg(portNames.join(QStringLiteral(", ")));

    // Systems differ in the group of their serial devices (dialout, uucp, tty).
    QStringList groups;
    for (const QString &port : portNames) {
        const QString group = PortDeviceGroup(port);
        if (!group.isEmpty() && !groups.contains(group))
            groups << group;
    }
    if (groups.isEmpty())
        groups << UsualGroup;
    QStringList quoted;
    for (const QString &group : groups)
        quoted << QLatin1Char('"') + group + QLatin1Char('"');

    return QStringLiteral("No logger answered. %1: permission denied.\n\n"
                          "To use serial ports, add your user to the %2 %3 (sudo usermod -aG %4 $USER), "
                          "then log out and log in again.")
        .arg(which, Listed(quoted), groups.size() == 1 ? QStringLiteral("group") : QStringLiteral("groups"),
             groups.join(QLatin1Char(',')));
}
