#pragma once

#include "AuditRecord.h"
#include "LoggerWrite.h"

#include <QByteArray>
#include <QString>

// The audit log as every write of the station keeps it: one record per write.
struct TAuditRequest {
    QString Log;  // empty: none is kept
    QString Operator;
    TAuditAction Action = TAuditAction::Write;
    QString Program;
    QString Template;  // the file written, as it was named
    QByteArray TemplateSha256;
};

// Before anything is sent: a log that is missing is fine, one that cannot be
// made or written, or that is some other file, is refused (EStationError, bad
// input), so that no write goes unrecorded for a reason known beforehand.
void CheckAuditLog(const QString &Log);

// The record of one write to Logger, as the outcome has it.
TAuditRecord AuditRecordOf(const TFoundLogger &Logger, const TWriteOutcome &Outcome, const TAuditRequest &Request);

// "the audit record could not be appended to LOG: ...": the write happened
// but is not recorded, which is never to pass in silence.
QString AuditLostText(const QString &Log, const QString &Error);
