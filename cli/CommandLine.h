#pragma once

#include "ExitStatus.h"

#include <QString>
#include <QStringList>

#include <optional>

enum class TVerb { Ports, Read, Write, Diff, Restore };

struct TCommand {
    TVerb Verb = TVerb::Ports;
    QString File;       // write, diff: the settings file; restore: the backup
    QString Port;       // empty: every candidate port is probed
    QString Output;     // read: empty for stdout
    QString BackupDir;  // empty: the per-user data folder
    bool Probe = false;
    bool WithIdentity = false;
    bool WithCalibration = false;
    bool Force = false;
};

// Either a command to run, or a text to print and the status to end with:
// help and the version on stdout with success, a usage error on stderr.
struct TParsedCommandLine {
    std::optional<TCommand> Command;
    QString Text;
    TExitStatus Status = TExitStatus::Success;
};

// Arguments as main() has them, the program first.
TParsedCommandLine ParseCommandLine(const QStringList &Arguments, const QString &Version);
