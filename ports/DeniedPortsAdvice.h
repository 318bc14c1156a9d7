#pragma once

#include <QString>
#include <QStringList>

// What to tell a user whom the system refused serial ports for lack of
// permission, when a search found no logger. Qt Core only: the window shows
// this text and the command line prints the same.
QString DeniedPortsAdvice(const QStringList &portNames);

// The group that owns the device a port name opens, the one the user is to
// join; empty when it cannot be told, or is the superuser's, which nobody
// should join for a serial port. Platform code.
QString PortDeviceGroup(const QString &portName);
