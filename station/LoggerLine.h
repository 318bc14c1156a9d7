#pragma once

#include "Comm.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

class TEventWait;

using TBlock = std::vector<std::uint8_t>;

enum class TOpenResult { Opened, Denied, Failed };

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

    static constexpr std::chrono::milliseconds SettleWait{100};

private:
    QString FPort;
    TEventWait &FWait;
    TComm FComm;
    bool FListening = false;
    bool FHungUp = false;
    std::optional<TBlock> FAnswer;
};

// One request on a known port, as the window sends it: open, wait, send, wait
// up to Limit for the first block, close, wait. An empty answer is none.
// Throws EStationError (no logger) when the port cannot be opened.
TBlock Exchange(const QString &Port, const std::uint8_t *Request, std::size_t Length,
                std::chrono::milliseconds Limit);
