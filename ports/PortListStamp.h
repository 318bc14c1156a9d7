#pragma once

#include <QByteArray>

// Reading the port list costs milliseconds; this costs microseconds, so a
// batch can look for a logger plugged in ten times a second and read the
// list only when this has changed. The bytes mean nothing but their change:
// a port may have come or gone. Empty where the system tells nothing.
QByteArray PortListStamp();
