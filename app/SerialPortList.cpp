#include "SerialPortList.h"

#include "PortMap.h"

#include <QCollator>
#include <QSerialPortInfo>

#include <algorithm>

void ReadSerialPortList(QStringList &List)
{
    QStringList names;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts())
        names << port.portName();
    names << PortMap::RegisteredNames();
    names.removeDuplicates();

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    // Names equal but for case get a fixed order, so that the probe order does
    // not change from one Read to the next.
    std::sort(names.begin(), names.end(), [&collator](const QString &a, const QString &b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    List = names;
}
