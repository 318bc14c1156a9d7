#pragma once

#include "StationError.h"

#include <QString>
#include <QStringList>

#include <optional>

enum class TVerb { Ports, Read, Write, Diff, Restore, Report, Batch, AuditVerify, AuditShow, AuditInit };

struct TCommand {
    TVerb Verb = TVerb::Ports;
    QString File;       // write, diff, batch: the settings file; restore: the backup; audit: the log
    QString Port;       // empty: every candidate port is probed
    QString Output;     // read: empty for stdout; report: empty for a name of its own
    QString BackupDir;  // empty: the per-user data folder
    QString AuditLog;   // write, restore: empty for none; batch: always given
    QString Operator;   // empty: the login name
    QString ReportDir;  // batch: empty for no configuration records
    QString Serial;     // audit show: empty for every logger
    QString Key;        // audit verify, show: the verification key; empty: the seals are not checked
    QString Paper;      // report, batch: "a4" or "letter"; empty for the system locale's
    int Count = 0;      // batch: end after this many loggers configured; 0 for no end
    bool Probe = false;
    bool WithIdentity = false;
    bool WithCalibration = false;
    bool Force = false;
    bool Yes = false;  // write, batch: a file that looks mistaken is written all the same
    bool Json = false;  // ports, audit show: one JSON document on stdout
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
