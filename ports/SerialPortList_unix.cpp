#include "SerialPortList.h"

#include "PortMap.h"
#include "PortNameOrder.h"

#include <QSerialPortInfo>

void ReadSerialPortList(QStringList &List)
{
    QStringList names;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts())
        names << port.portName();
    names << PortMap::RegisteredNames();
    names.removeDuplicates();
    SortPortNames(names);
    List = names;
}

QString SettleRuntimeDirectory()
{
    return PortMap::SettleRuntimeDirectory();
}
