#pragma once

#include "Settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// One entry of the audit log: who wrote what to which logger, when, and
// whether the read-back matched. A write leaves two: its intent, appended
// before the frame goes out, and its result; a sealed log begins with the
// record of its creation. A record is one line of JSON whose fields stand in
// a fixed order, so that two lines read alike and a line's bytes, which the
// next record's hash and the record's own seal cover, never depend on a
// library's ordering.

enum class TAuditAction { Write, Restore, Batch, Create };

// What the line's "result" says: verified or failed for a result, "intent"
// for what is about to be written, "sealed" for a sealed log's first record.
enum class TAuditKind { Result, Intent, Creation };

struct TAuditRecord {
    // Numbered, chained and sealed by the append, which ignores what they hold.
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
    // The settings that changed, before and after the write; for an intent,
    // those the write is about to change.
    std::vector<TSettingDifference> Changes;
    TAuditKind Kind = TAuditKind::Result;
    bool Verified = false;
    // Why the write failed, when it did: no acknowledgement, a refused port,
    // or what verify found.
    QString Failure;
    // Verify's findings: Old as sent, New as read back.
    std::vector<TSettingDifference> Differences;
    // A result: the number of the intent it answers; 0 for none.
    qint64 Intent = 0;
    // Hex HMAC-SHA256 of the line without it, under the key of the record's
    // step (its number); empty in a plain chain. See AuditSeal.h.
    QByteArray Seal;
    // A line of the log's first form, from before intents and seals: it has
    // neither field and is read and hashed as it was written.
    bool FirstForm = false;

    // Not part of the line: the SHA-256 (hex) of the record's own line, set
    // by the append and the reader.
    QByteArray Sha256;
};

// Longer lines are no record of this log: the longest a write can make,
// every setting changed and read back wrong, stays far below.
constexpr qsizetype MaxAuditLineBytes = 256 * 1024;

QString AuditActionName(TAuditAction action);
// The login name of the user running the program, else the account's name:
// the operator unless named.
QString LoginName();

// The record as its line, without the line end; with its seal when it has one.
QByteArray AuditLine(const TAuditRecord &record);
// The line a seal covers: the record's line without its seal.
QByteArray UnsealedAuditLine(const TAuditRecord &record);
// A line as a record; nothing (and *why) when it is not one. Only the log's
// own form is taken: the fields in their order, once each, without spaces,
// so that the bytes hashed and sealed are the record that is read. Sha256 is set.
std::optional<TAuditRecord> ParseAuditLine(const QByteArray &line, QString *why = nullptr);

QByteArray Sha256Hex(const QByteArray &bytes);
// What the first record chains to.
QByteArray NoPreviousRecord();
