#pragma once

#include <QString>

// Where the station says which step of a long piece of work it is in: a
// terminal's progress line for loggerctl, nothing where nobody watches.
class TProgressSink
{
public:
    virtual ~TProgressSink() = default;
    virtual void Phase(const QString &Text) = 0;
};

class TNoProgress final : public TProgressSink
{
public:
    void Phase(const QString &) override {}
};
