#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QStringList>
#include <QtGlobal>

// What the wine driver (wine-run) set up for this run: the COM ports it mapped,
// in the order given, and the log each emulator peer writes.
namespace WineStage {

inline QStringList Ports()
{
    return QString::fromLocal8Bit(qgetenv("LOGGERCFG_WINE_PORTS")).split(u' ', Qt::SkipEmptyParts);
}

inline QString LogPath(const QString &port)
{
    return QString::fromLocal8Bit(qgetenv(qPrintable(QStringLiteral("LOGGERCFG_WINE_LOG_") + port)));
}

// The blocks an emulator peer received so far, each as its bytes; the log's
// lines read "<time> <port> rx <count>: AA 55 ...".
inline QList<QByteArray> ReceivedBlocks(const QString &port)
{
    QList<QByteArray> blocks;
    QFile log(LogPath(port));
    if (!log.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning("cannot read the log of %s at %s: %s", qPrintable(port), qPrintable(log.fileName()),
                 qPrintable(log.errorString()));
        return blocks;
    }
    while (!log.atEnd()) {
        const QByteArray line = log.readLine();
        const qsizetype rx = line.indexOf(" rx ");
        const qsizetype colon = line.indexOf(':', rx);
        if (rx < 0 || colon < 0)
            continue;
        blocks << QByteArray::fromHex(line.mid(colon + 1).simplified().replace(' ', QByteArray()));
    }
    return blocks;
}

} // namespace WineStage
