#pragma once

#include "Frame.h"

#include <QString>
#include <QStringList>

#include <functional>

class TProgressSink;

struct TFoundLogger {
    QString Port;
    TFrameBuffer Record {};
};

// The candidate ports in the window's order; replaced by tests.
using TPortLister = std::function<QStringList()>;
QStringList CandidatePorts();

// The logger on Port, or on the first candidate port that answers with a
// sound record when Port is empty. Throws EStationError: no logger, or, on a
// named port, a logger that answered wrongly.
TFoundLogger FindLogger(const QString &Port, const TPortLister &Candidates, TProgressSink &Progress);

// The record of the logger on Port, read again. Throws EStationError (logger
// fault) when none comes, and when the port no longer opens.
TFrameBuffer ReadBack(const QString &Port);

struct TDiscovery;

// What a search of several ports that found no logger says: the ports that
// heard the probe and gave no record, then those that did not open, by
// reason ("no logger answered on ttyS0; ttyUSB0 is in use by another
// program"); the advice on permissions when the system refused any.
QString NoLoggerMessage(const TDiscovery &Discovery);
