#pragma once

#include "AuditRecord.h"

#include <QString>

#include <set>
#include <vector>

// The records as a table for a terminal, one line each: number, time (UTC),
// serial number, device ID, action, result, how many settings changed and
// the operator. A write shows as its result; an intent shows only when no
// result answers it, as "UNKNOWN". With a serial number, only that logger's
// records (its case does not matter). Made in two passes over the log, the
// first measuring, so that a long log is never held whole.
class TAuditTable
{
public:
    explicit TAuditTable(const QString &serialNumber = {});

    // The intents no result answers, as verify finds them: the others are
    // not shown. Their rows are measured all the same.
    void SetOpenIntents(const std::set<qint64> &openIntents) { FOpenIntents = openIntents; }
    bool Shows(const TAuditRecord &record) const;
    void Measure(const TAuditRecord &record);
    // Each ends with a line break.
    QString Heading() const;
    QString Row(const TAuditRecord &record) const;

private:
    QStringList Cells(const TAuditRecord &record) const;
    QString Line(const QStringList &cells) const;

    QString FSerialNumber;
    std::set<qint64> FOpenIntents;
    std::vector<qsizetype> FWidths;
};

// The table of records held in memory; empty when no record is left.
QString FormatAuditTable(const std::vector<TAuditRecord> &records, const QString &serialNumber = {});
