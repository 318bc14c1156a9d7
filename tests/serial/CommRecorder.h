#pragma once

#include "Comm.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTest>

// What the component's tests need on every platform: the events it fired, the
// window's settings, and a port's open error as text.

struct TRecorder {
    QList<QByteArray> Blocks;
    bool ZeroAfterEveryBlock = true;
    int Hangups = 0;
    int SendEmpty = 0;

    explicit TRecorder(TComm &comm)
    {
        comm.OnReceiveData = [this](TComm *, const std::uint8_t *buffer, std::uint16_t length) {
            Blocks << QByteArray(reinterpret_cast<const char *>(buffer), length);
            ZeroAfterEveryBlock = ZeroAfterEveryBlock && buffer[length] == 0;
        };
        comm.OnRequestHangup = [this](TComm *) { ++Hangups; };
        comm.OnSendDataEmpty = [this](TComm *) { ++SendEmpty; };
    }

    QByteArray Joined() const { return Blocks.join(); }
    QList<qsizetype> Sizes() const
    {
        QList<qsizetype> sizes;
        for (const QByteArray &b : Blocks)
            sizes << b.size();
        return sizes;
    }
};

// What the parameter window sets before each exchange.
inline void ConfigureLikeTheWindow(TComm &comm, const QString &port, std::uint32_t intervalMs = 200)
{
    comm.SetOutx_XonXoffFlow(false);
    comm.SetInx_XonXoffFlow(false);
    comm.SetCommName(port);
    comm.SetBaudRate(9600);
    comm.SetReadIntervalTimeout(intervalMs);
}

// The message of the open's exception; empty when the port opened.
inline QString OpenError(TComm &comm)
{
    try {
        comm.OpenPort();
    } catch (const ECommsError &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

inline QByteArray Pattern(qsizetype size, int seed = 0)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed) & 0xFF);
    return bytes;
}

// How blocks are cut, as rows for a test whose far end writes each chunk in one
// go, with the pause before the next. Margins of two to three times: wide for a
// busy machine, narrow enough to catch an interval measured in the wrong unit.
inline void AddBlockRows()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<QList<int>>("chunks");
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<QList<qsizetype>>("expected");
    QTest::newRow("silence longer than the interval splits") << 200 << QList<int>{100, 104} << 450
                                                              << QList<qsizetype>{100, 104};
    QTest::newRow("3000-byte burst is cut at the buffer size") << 100 << QList<int>{3000} << 0
                                                               << QList<qsizetype>{2048, 952};
}
