#pragma once

#include <QString>
#include <QStringList>

// What to tell a user whose search found no logger while some ports refused
// them for lack of permission: the ports by name, and how to be let in. The
// window and loggerctl say the same.
QString DeniedPortsAdvice(const QStringList &portNames);
