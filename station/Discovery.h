#pragma once

#include "Frame.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

// Finding the logger fast: every candidate port is opened and probed at once,
// each on a serial component of its own, instead of one port every three
// seconds as the window walks them.

enum class TPortAnswer {
    Record,      // a sound parameter record
    NoAnswer,
    Damaged,     // a block that fails the frame check, or a record cut short
    OtherFrame,  // a sound frame that is no parameter record
    Denied,      // the user may not open the port
    InUse,       // another program holds the port
    Missing,     // no device answers to the name
    NotSerial,   // the name opens something that is no serial port
    CannotOpen,  // not opened for any other reason
};

struct TPortResult {
    QString Port;
    TPortAnswer Answer = TPortAnswer::NoAnswer;
    TFrameBuffer Record {};  // for Record only
};

// A port that did not open, said as OpenFailureText says it ("ttyUSB0 is in
// use by another program"); empty for one that opened.
QString CannotOpenText(const TPortResult &Result);

enum class TProbeEnd {
    FirstRecord,  // the first sound record wins; the other ports are closed
    EveryPort,    // every port answers or its time runs out
};

struct TDiscovery {
    std::vector<TPortResult> Ports;  // in the order given
    // From the first open until the answers were in: the first sound record,
    // or every answer, or the limit; the closing of the ports is not counted.
    std::chrono::steady_clock::duration Searched {};
    // Ended by the caller's Abandon before its answers were in: a port
    // without one was not asked long enough to count against it.
    bool Abandoned = false;
    // The winner, or none: of two loggers that answered by the same moment,
    // the first in the list, as the window's walk would have it.
    const TPortResult *Found() const;
    QStringList With(TPortAnswer Answer) const;
};

// Each port has this long after its probe to answer, as long as a tick of the
// window's walk gives it.
constexpr std::chrono::milliseconds AnswerLimit{3000};

// A survey of the ports need not give each the whole AnswerLimit: a port on
// which no answer has begun this long after the probe is silent. The probe
// is 7 bytes (7 ms at 9600 baud); the logger answers once the line has been
// quiet for 200 ms, after an answer delay of its own; its record is 204
// bytes (213 ms), and a block ends after 200 ms of silence. A logger that
// answers at once has its whole record in by about 620 ms, read whole even
// on a port that cannot tell that bytes are arriving; a slower one has close
// to 600 ms of answer delay to begin, and an answer once begun is read whole
// for as long as AnswerLimit allows.
constexpr std::chrono::milliseconds AnswerStartLimit{800};

// Abandon, when given, is asked a few times a second while the answers are
// awaited; once it holds, the round ends. A port on which nothing has begun
// to come StartLimit after the probe counts as silent, unless it cannot tell.
TDiscovery ProbePorts(const QStringList &Ports, TProbeEnd End, std::chrono::milliseconds Limit = AnswerLimit,
                      const std::function<bool()> &Abandon = {},
                      std::chrono::milliseconds StartLimit = AnswerLimit);

// What a received block is, judged as the window judges it, save that a
// record must be whole: a short one would leave the rest of the settings to
// whatever the buffer held.
TPortAnswer JudgeAnswer(const std::vector<std::uint8_t> &Block);
