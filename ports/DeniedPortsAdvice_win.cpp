#include "DeniedPortsAdvice.h"

// Windows has no group for serial ports, and a refused COM port counts as one
// in use there, so the advice is never shown.
QString PortDeviceGroup(const QString &)
{
    return {};
}
