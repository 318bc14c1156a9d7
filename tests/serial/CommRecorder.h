#pragma once

#include "Comm.h"

#include <QByteArray>
#include <QEventLoop>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>

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

// Which of the open's exceptions was thrown; empty when the port opened.
inline QString OpenFailureKind(TComm &comm)
{
    try {
        comm.OpenPort();
    } catch (const ECommsAccessDenied &) {
        return QStringLiteral("denied");
    } catch (const ECommsPortInUse &) {
        return QStringLiteral("in use");
    } catch (const ECommsNoSuchPort &) {
        return QStringLiteral("no such port");
    } catch (const ECommsNotSerialPort &) {
        return QStringLiteral("not a serial port");
    } catch (const ECommsError &) {
        return QStringLiteral("other");
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

// A message box opened by a block's handler runs a nested event loop, and the
// next block must be delivered inside it. The handler of the first block has
// the far end send a second and opens a loop of its own; each block is listed
// with the depth at which it arrived: {"first at 1", "second at 2"} when the
// second came inside the first's loop, {"first at 1", "second at 1"} when it
// waited for that loop to end. send writes from the far end.
inline QStringList BlocksAroundANestedLoop(TComm &receiver, const std::function<bool(const QByteArray &)> &send)
{
    QStringList arrivals;
    int depth = 0;
    QEventLoop *box = nullptr;
    receiver.OnReceiveData = [&](TComm *, const std::uint8_t *buffer, std::uint16_t length) {
        ++depth;
        arrivals << QStringLiteral("%1 at %2").arg(QLatin1String(reinterpret_cast<const char *>(buffer), length)).arg(depth);
        if (box != nullptr) {
            box->quit();
        } else if (arrivals.size() == 1 && send("second")) {
            QEventLoop loop;
            box = &loop;
            QTimer::singleShot(3000, &loop, &QEventLoop::quit);
            loop.exec();
            box = nullptr;
        }
        --depth;
    };
    // What arrived by the end is the answer, in time or not.
    if (send("first"))
        static_cast<void>(QTest::qWaitFor([&] { return arrivals.size() >= 2 && depth == 0; }, 10000));
    receiver.OnReceiveData = nullptr;
    return arrivals;
}
