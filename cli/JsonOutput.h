#pragma once

#include <QByteArray>
#include <QString>

// The JSON documents of --json, written as they go, so that a long audit log
// is never held whole: texts quoted as JSON has them, nothing else.
namespace Json {

QByteArray Text(const QString &text);
QByteArray Text(const QByteArray &latin1);
QByteArray Number(qint64 n);
QByteArray Bool(bool b);

} // namespace Json
