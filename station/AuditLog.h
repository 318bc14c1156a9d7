#pragma once

#include "AuditRecord.h"

#include <QString>

#include <vector>

// The audit log: JSON Lines, one record per write, each chained to the one
// before by the SHA-256 of its line, so that a record changed, removed or
// inserted afterwards breaks the chain where it happened. A crash or power
// cut can leave the last line torn (begun, not finished); the next append
// starts a line of its own and chains to the last complete record, and the
// torn line stays where it is, for verify to name.

// Numbers the record, chains it to the last complete record and appends its
// line in one write, flushed to the disk before it returns. Sets Sequence,
// Previous and Sha256 of *record. Creates the log when it is missing.
bool AppendAuditRecord(const QString &path, TAuditRecord *record, QString *error);

struct TAuditLine {
    int Line = 0;  // counted from 1
    QString Problem;
};

struct TAuditContents {
    std::vector<TAuditRecord> Records;
    std::vector<TAuditLine> NotRecords;  // lines that are no record, torn ones among them
};

// Every record of the log in file order, whether or not the chain holds.
bool ReadAuditLog(const QString &path, TAuditContents *contents, QString *error);

struct TAuditCheck {
    enum class TFault { None, Changed, Removed, Inserted };

    bool Readable = true;  // false: the file could not be read (Error says why)
    QString Error;
    qint64 Records = 0;    // complete records in the file
    // The first break in the chain. Sequence names the record changed or
    // removed (the first of several removed, LastRemoved the last), or, for
    // an insertion, the record that the inserted line follows.
    TFault Fault = TFault::None;
    qint64 Sequence = 0;
    qint64 LastRemoved = 0;
    int Line = 0;
    // Lines of records that a crash left unfinished: Sequence is the number
    // the record would have had.
    struct TTorn {
        qint64 Sequence;
        int Line;
    };
    std::vector<TTorn> Torn;
    // The last record of an intact chain, for comparing with a copy kept
    // elsewhere (the configuration record prints it): removing records from
    // the end is the one change that a chain cannot show by itself.
    qint64 LastSequence = 0;
    QByteArray LastSha256;

    bool Intact() const { return Readable && Fault == TFault::None; }
    // One line for the user: "47 records, chain intact", "record 5 changed (line 5)",
    // "torn record 48 (line 48), chain otherwise intact".
    QString Summary() const;
};

TAuditCheck VerifyAuditLog(const QString &path);
