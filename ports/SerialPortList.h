#pragma once

#include <QStringList>

// Replaces List with the names of the system's serial ports and of the ports
// registered in the port map, each once, sorted case-insensitively in the
// user's locale without number awareness ("COM10" before "COM2").
void ReadSerialPortList(QStringList &List);
