#pragma once

#include "Comm.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

class TEventWait;

using TBlock = std::vector<std::uint8_t>;

// Opened, or why not: each failure is one that a user can act on in a way
// of its own; Failed is any other.
enum class TOpenResult { Opened, Denied, InUse, Missing, NotSerial, Failed };

// Why Port did not open, said as loggerctl says it: "ttyUSB0 is in use by
// another program", "there is no port ttyUSB0", "ttyUSB0 is not a serial
// port", "ttyUSB0: permission denied", "cannot open ttyUSB0".
QString OpenFailureText(const QString &Port, TOpenResult Result);

// One port, opened as the window opens it (9600 baud, 8N1, no flow control, a
// block ends after 200 ms of silence), holding the first block that arrives
// after each open: the window, too, closes the port after every block.
class TLoggerLine
{
public:
    TLoggerLine(const QString &Port, TEventWait &Wait);
    ~TLoggerLine();
    TLoggerLine(const TLoggerLine &) = delete;
    TLoggerLine &operator=(const TLoggerLine &) = delete;

    const QString &Port() const { return FPort; }
    TOpenResult Open();
    bool IsOpen() const;
    bool Send(const std::uint8_t *Bytes, std::size_t Length);
    // Blocks still on their way when the port closes are dropped.
    void Close();
    const std::optional<TBlock> &Answer() const { return FAnswer; }
    // The line went down while open, as when the logger's cable is pulled:
    // no answer will come.
    bool HungUp() const { return FHungUp; }
    // An answer has begun to come in, or the port cannot tell.
    TReceiving Receiving() const { return FComm.Receiving(); }

    static constexpr std::chrono::milliseconds SettleWait{100};

private:
    QString FPort;
    TEventWait &FWait;
    TComm FComm;
    bool FListening = false;
    bool FHungUp = false;
    std::optional<TBlock> FAnswer;
};

// What a port that cannot be opened means to the exchange: while a logger is
// being looked for, that there is none on it; once one was found there, that
// it went away (unplugged, or its port taken by another program).
enum class TLineUse { Search, FoundLogger };

// One request on a known port, as the window sends it: open, wait, send, wait
// up to Limit for the first block, close, wait. An empty answer is none.
// Throws EStationError when the port cannot be opened: "no logger found" for
// a search; for a logger found before, a logger fault that says it went away.
TBlock Exchange(const QString &Port, const std::uint8_t *Request, std::size_t Length,
                std::chrono::milliseconds Limit, TLineUse Use = TLineUse::Search);
