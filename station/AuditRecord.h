#pragma once

#include "Settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// One write to one logger, as the audit log keeps it: who wrote what to which
// logger, when, and whether the read-back matched. A record is one line of
// JSON whose fields stand in a fixed order, so that two lines read alike and
// a line's bytes, which the next record's hash covers, never depend on a
// library's ordering.

enum class TAuditAction { Write, Restore, Batch };

struct TAuditRecord {
    // Numbered and chained by AppendAuditRecord, which ignores what they hold.
    qint64 Sequence = 0;
    QByteArray Previous;  // SHA-256 (hex) of the previous record's line; 64 zeros for the first

    QDateTime Time;    // when the logger was written; kept in UTC to the second
    QString TimeZone;  // the zone written to the logger, as "UTC+08:00"
    QString Host;
    QString Operator;
    QString Program;   // "loggerctl 1.0.0"
    TAuditAction Action = TAuditAction::Write;
    QString Port;
    QString SerialNumber;
    QString DeviceId;
    QString Template;          // the file laid over the logger, as it was named
    QByteArray TemplateSha256; // hex
    // Before and after the write, the settings that changed.
    std::vector<TSettingDifference> Changes;
    bool Verified = false;
    // Why the write failed, when it did: no acknowledgement, a refused port,
    // or what verify found.
    QString Failure;
    // Verify's findings: Old as sent, New as read back.
    std::vector<TSettingDifference> Differences;

    // Not part of the line: the SHA-256 (hex) of the record's own line, set
    // by AppendAuditRecord and ReadAuditLog.
    QByteArray Sha256;
};

QString AuditActionName(TAuditAction action);
// The login name of the user running the program: the operator unless named.
QString LoginName();

// The record as its line, without the line end.
QByteArray AuditLine(const TAuditRecord &record);
// A line as a record; nothing (and *why) when it is not one. Sha256 is set.
std::optional<TAuditRecord> ParseAuditLine(const QByteArray &line, QString *why = nullptr);

QByteArray Sha256Hex(const QByteArray &bytes);
// What the first record chains to.
QByteArray NoPreviousRecord();
