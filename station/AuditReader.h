#pragma once

#include "AuditRecord.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QIODevice;

// One line of an audit log as the reader finds it.
struct TAuditEntry {
    qint64 Line = 0;  // counted from 1
    QByteArray Bytes; // without the line end; empty for an over-long line, which is not kept
    std::optional<TAuditRecord> Record;
    QString Problem;  // why it is no record
    // No line end follows: only the last line, which a crash may have cut.
    bool Unterminated = false;
    // Begins as a record does and breaks off before its end, as an append
    // that did not finish leaves it.
    bool LooksTorn = false;
    // The number a line that is no record gives itself ({"seq":N,...), or 0.
    qint64 ShownSequence = 0;
};

// The log line by line, a buffer's worth at a time, so that memory does not
// grow with the log. An over-long line is skipped as it goes by.
class TAuditReader
{
public:
    explicit TAuditReader(QIODevice &device);

    // The next line; false at the end, or when the device failed (Error()).
    bool Next(TAuditEntry *entry);
    const QString &Error() const { return FError; }

private:
    bool Fill();

    QIODevice &FDevice;
    QByteArray FBuffer;
    qsizetype FAt = 0;
    qint64 FLine = 0;
    bool FEnd = false;
    QString FError;
};

// The entry of one line as the reader makes it.
TAuditEntry AuditEntryOf(qint64 line, const QByteArray &bytes, bool unterminated);
