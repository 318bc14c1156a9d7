#pragma once

#include <QString>
#include <QStringList>

// The port map: <runtime>/loggercfg/serial-ports/, one symbolic link per port,
// named after the port and pointing at its device node. Virtual port tools, the
// logger emulator and tests register ports here; the port list and the serial
// component read it. The directory is the user's own: one that other users can
// write is ignored, since anybody could otherwise plant a port in it.
namespace PortMap {

// The directory, created with mode 0700 if missing; empty when it is unusable.
QString Directory();

// Names of the registered ports whose target still exists, unsorted.
QStringList RegisteredNames();

// The device node that a port name opens: the link's target for a registered
// name, the name itself when it starts with "/", otherwise "/dev/" + name.
QString DevicePath(const QString &name);

// Registers name -> target, replacing an earlier link of that name.
bool Register(const QString &name, const QString &target);
void Unregister(const QString &name);

} // namespace PortMap
