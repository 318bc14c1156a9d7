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
// It lies in $XDG_RUNTIME_DIR when that is a directory of the user's own that
// nobody else may write to (made when missing), else in <temp>/runtime-<user>.
QString Directory();

// What the user should be told about where the directory lies: that
// XDG_RUNTIME_DIR was passed over, or that there is no directory at all, with
// what to do; empty when all is well.
QString DirectoryProblem();

// Points XDG_RUNTIME_DIR at the directory the port map lies in, where one was
// found, so that the rest of the process, Qt's own lookups included, finds the
// same one; returns what DirectoryProblem() said before. For a program's
// start, before it makes its Qt application.
QString SettleRuntimeDirectory();

// Names of the registered ports whose target still exists, unsorted.
QStringList RegisteredNames();

// The device node that a port name opens: the link's target for a registered
// name, the name itself when it starts with "/", otherwise "/dev/" + name.
QString DevicePath(const QString &name);

// Registers name -> target, replacing an earlier link of that name.
bool Register(const QString &name, const QString &target);
void Unregister(const QString &name);

} // namespace PortMap
