#include "FarEnd.h"

#include <QStringList>
#include <QtGlobal>

// The driver holds the far end on the Linux side; the test only names the port.
TFarEnd::TFarEnd()
{
    const QStringList ports = QString::fromLocal8Bit(qgetenv("LOGGERCFG_WINE_PORTS")).split(u' ', Qt::SkipEmptyParts);
    if (!ports.isEmpty())
        FPortName = ports.first();
}

TFarEnd::~TFarEnd() = default;
