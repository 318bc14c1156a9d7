#pragma once

#include <QStringList>

// Replaces List with the names of the system's serial ports and of the ports
// registered in the port map, each once, sorted case-insensitively in the
// user's locale without number awareness ("COM10" before "COM2").
void ReadSerialPortList(QStringList &List);

// For a program's start, before it makes its Qt application: points
// XDG_RUNTIME_DIR at the directory that holds the port map, so that Qt's own
// lookups find the one the port map uses and have nothing to warn about on
// stderr. Returns what the user should be told about where that directory
// lies, once; empty when all is well, and on systems without a port map.
QString SettleRuntimeDirectory();
