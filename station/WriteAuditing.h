#pragma once

#include "AuditRecord.h"
#include "LoggerWrite.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The audit log as every write of the station keeps it: an intent before the
// frame goes out, and the result after.
struct TAuditRequest {
    QString Log;  // empty: none is kept
    QString Operator;
    TAuditAction Action = TAuditAction::Write;
    QString Program;
    QString Template;  // the file written, as it was named
    QByteArray TemplateSha256;
};

// Before anything is sent: a log that is missing is fine, one that cannot be
// made or written, that is some other file, or a sealed log without its seal
// file, is refused (EStationError, bad input), so that no write goes
// unrecorded for a reason known beforehand.
void CheckAuditLog(const QString &Log);

// The intent of the write about to be sent: the logger, and what the plan changes.
TAuditRecord AuditIntentOf(const TFoundLogger &Logger, const TWriteOutcome &Outcome, const TAuditRequest &Request);
// The record of one write to Logger, as the outcome has it.
TAuditRecord AuditRecordOf(const TFoundLogger &Logger, const TWriteOutcome &Outcome, const TAuditRequest &Request);

struct TAuditedWrite {
    TWriteOutcome Outcome;
    std::optional<TAuditRecord> Intent;  // as appended before the frame went out
    std::optional<TAuditRecord> Result;  // as appended after
    // Why a record could not be appended. Before the frame nothing was sent,
    // and the outcome says so; after it the write happened unrecorded.
    QString AuditError;
    bool CreatedPlainLog = false;  // the intent made the log, a plain chain
    QStringList Warnings;          // appended, but the user should know

    bool ResultLost() const { return Intent && !Result; }
};

// What every write of the station does: the write (WriteLogger), with its
// intent appended to the audit log right before the frame and its result
// after, whatever it was. Without a log, the write alone. Nothing is printed.
TAuditedWrite WriteAndRecord(const TFoundLogger &Logger, TWriteRequest Request, const TAuditRequest &Audit,
                             TProgressSink &Progress);

// "the audit record could not be appended to LOG: ...": the write happened
// but is not recorded, which is never to pass in silence.
QString AuditLostText(const QString &Log, const QString &Error);
