#pragma once

#include "AuditRecord.h"

#include <QString>

#include <optional>
#include <vector>

// The audit log: JSON Lines, one record per line, each chained to the one
// before by the SHA-256 of its line, so that a record changed, removed or
// inserted afterwards breaks the chain where it happened. A sealed log
// (loggerctl audit init) also seals every record with a key that moves on
// after each (AuditSeal.h), so that a change that recomputes the chain, or
// records cut from the end, show as well.
//
// A crash or power cut can leave the last line torn (begun, not finished);
// the next append starts a line of its own, chains to the last complete
// record and takes the number after the torn one, which stays where it is,
// for verify to name. An append that the system refuses halfway (a full
// disk) leaves the log as it was. No number is given twice.

struct TAuditAppend {
    bool Created = false;  // this append made the log, a plain chain
    bool Sealed = false;   // the record is sealed
    QString Warning;       // appended, but the user should know this
};

// Numbers the record, chains it to the last complete record, seals it when
// the log is sealed, and appends its line in one write, flushed to the disk
// before it returns. Sets Sequence, Previous, Seal and Sha256 of *record.
// Creates a plain log when it is missing.
bool AppendAuditRecord(const QString &path, TAuditRecord *record, QString *error, TAuditAppend *how = nullptr);

// A new sealed log at Path, with its seal file beside it (SealFilePath):
// its first record is *Creation, as Create, sealed with a new key, whose
// verification key is returned. Refused when either file exists.
std::optional<QByteArray> CreateSealedAuditLog(const QString &path, TAuditRecord *creation, QString *error);

// Whether appends to the log at Path are sealed: its seal file is there,
// or its first or last record is sealed.
bool IsSealedAuditLog(const QString &path);

struct TAuditLine {
    qint64 Line = 0;  // counted from 1
    QString Problem;
};

struct TAuditContents {
    std::vector<TAuditRecord> Records;
    std::vector<TAuditLine> NotRecords;  // lines that are no record, torn ones among them
};

// Every record of the log in file order, whether or not the chain holds.
// For a few records: verify and show read a log as a stream (AuditVerify.h).
bool ReadAuditLog(const QString &path, TAuditContents *contents, QString *error);
