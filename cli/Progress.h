#pragma once

#include "ProgressSink.h"

#include <QString>
#include <QTimer>

// The phase a command is in, shown on a terminal once the command has run
// for a second, so that quick runs print nothing of it.
class TProgress final : public TProgressSink
{
public:
    TProgress();
    ~TProgress();
    TProgress(const TProgress &) = delete;
    TProgress &operator=(const TProgress &) = delete;

    void Phase(const QString &Text) override;
    // Put before every phase from now on: which logger of a batch it is about.
    void SetPrefix(const QString &Prefix);

private:
    QTimer FDelay;
    QString FPrefix;
    QString FText;
    bool FShown = false;
};
