#pragma once

#include <QString>
#include <QTimer>

// The phase a command is in, shown on a terminal once the command has run
// for a second, so that quick runs print nothing of it.
class TProgress
{
public:
    TProgress();
    ~TProgress();
    TProgress(const TProgress &) = delete;
    TProgress &operator=(const TProgress &) = delete;

    void Phase(const QString &Text);

private:
    QTimer FDelay;
    QString FText;
    bool FShown = false;
};
