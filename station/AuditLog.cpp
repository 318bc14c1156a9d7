#include "AuditLog.h"

#include "AuditFile.h"

#include <QFile>

#include <optional>

namespace {

struct TEntry {
    int Line;
    std::optional<TAuditRecord> Record;
    QString Problem;
};

bool ReadEntries(const QString &path, std::vector<TEntry> *entries, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QList<QByteArray> lines = content.split('\n');
    // What follows the last line end: nothing, or a line that a crash cut short.
    const bool unterminated = !lines.last().isEmpty();
    if (!unterminated)
        lines.removeLast();
    for (int i = 0; i < lines.size(); ++i) {
        TEntry entry{i + 1, {}, {}};
        entry.Record = ParseAuditLine(lines[i], &entry.Problem);
        if (!entry.Record && unterminated && i == lines.size() - 1)
            entry.Problem = QStringLiteral("torn: the line ends before the record does");
        entries->push_back(std::move(entry));
    }
    return true;
}

// The last complete record of an open log, read from its end, so that an
// append costs the same in a long log as in a short one. Lines after it that
// are no record were left by appends that did not finish.
bool LastRecord(const TAuditFile &file, qint64 size, std::optional<TAuditRecord> *last, QString *error)
{
    for (qint64 chunk = 64 * 1024;; chunk *= 4) {
        const qint64 from = qMax<qint64>(0, size - chunk);
        QByteArray tail;
        if (!file.ReadAt(from, size - from, &tail, error))
            return false;
        const QList<QByteArray> lines = tail.split('\n');
        // The first piece of a chunk that starts inside the file may be the
        // end of a longer line.
        for (qsizetype i = lines.size() - 1; i >= (from > 0 ? 1 : 0); --i) {
            if ((*last = ParseAuditLine(lines[i])))
                return true;
        }
        if (from == 0)
            return true;
    }
}

QString RemovedText(const TAuditCheck &c)
{
    return c.LastRemoved > c.Sequence ? QStringLiteral("records %1 to %2 removed").arg(c.Sequence).arg(c.LastRemoved)
                                      : QStringLiteral("record %1 removed").arg(c.Sequence);
}

} // namespace

bool AppendAuditRecord(const QString &path, TAuditRecord *record, QString *error)
{
    TAuditFile file;
    if (!file.Open(path, error))
        return false;
    const qint64 size = file.Size(error);
    if (size < 0)
        return false;
    std::optional<TAuditRecord> last;
    QByteArray lastByte;
    if (size > 0 && (!file.ReadAt(size - 1, 1, &lastByte, error) || !LastRecord(file, size, &last, error)))
        return false;

    record->Sequence = last ? last->Sequence + 1 : 1;
    record->Previous = last ? last->Sha256 : NoPreviousRecord();
    if (!record->Time.isValid())
        record->Time = QDateTime::currentDateTimeUtc();
    const QByteArray line = AuditLine(*record);
    record->Sha256 = Sha256Hex(line);
    // A torn line keeps its bytes; the record starts a line of its own.
    const QByteArray start = size > 0 && lastByte != "\n" ? "\n" : "";
    return file.Append(start + line + '\n', error);
}

bool ReadAuditLog(const QString &path, TAuditContents *contents, QString *error)
{
    std::vector<TEntry> entries;
    if (!ReadEntries(path, &entries, error))
        return false;
    *contents = {};
    for (TEntry &e : entries) {
        if (e.Record)
            contents->Records.push_back(std::move(*e.Record));
        else
            contents->NotRecords.push_back({e.Line, e.Problem});
    }
    return true;
}

TAuditCheck VerifyAuditLog(const QString &path)
{
    TAuditCheck check;
    std::vector<TEntry> entries;
    if (!ReadEntries(path, &entries, &check.Error)) {
        check.Readable = false;
        return check;
    }
    for (const TEntry &e : entries)
        check.Records += e.Record ? 1 : 0;

    // The last record that holds, and the one before it; index -1 is the
    // start of the log, which the first record chains to.
    struct TLink {
        qint64 Sequence;
        QByteArray Sha256;
        int Index;
    };
    TLink good{0, NoPreviousRecord(), -1};
    std::optional<TLink> before;
    const auto fits = [](const TAuditRecord &r, const TLink &link) {
        return r.Sequence == link.Sequence + 1 && r.Previous == link.Sha256;
    };
    const auto fault = [&check](TAuditCheck::TFault kind, qint64 sequence, int line) {
        check.Fault = kind;
        check.Sequence = sequence;
        check.Line = line;
        return check;
    };
    std::vector<int> unread;  // lines since the good record that are no record

    for (int i = 0; i < int(entries.size()); ++i) {
        const TEntry &e = entries[i];
        if (!e.Record) {
            unread.push_back(i);
            continue;
        }
        const TAuditRecord &r = *e.Record;
        if (fits(r, good)) {
            // Lines between two records that chain are appends that a crash cut.
            for (int t : unread)
                check.Torn.push_back({good.Sequence + 1, entries[t].Line});
            unread.clear();
            before = good;
            good = {r.Sequence, r.Sha256, i};
            continue;
        }

        if (!unread.empty())
            return fault(TAuditCheck::TFault::Changed, good.Sequence + 1, entries[unread.front()].Line);
        const TAuditRecord *next = i + 1 < int(entries.size()) && entries[i + 1].Record ? &*entries[i + 1].Record
                                                                                         : nullptr;
        if (next && fits(*next, good))
            return fault(TAuditCheck::TFault::Inserted, good.Sequence, e.Line);
        if (r.Sequence <= good.Sequence) {
            // A forged line that chains perfectly shows only when the record
            // it displaced follows with the same number.
            if (before && good.Index >= 0 && r.Sequence == good.Sequence && r.Previous == before->Sha256)
                return fault(TAuditCheck::TFault::Inserted, before->Sequence, entries[good.Index].Line);
            return fault(TAuditCheck::TFault::Inserted, good.Sequence, e.Line);
        }
        if (r.Sequence > good.Sequence + 1) {
            if (r.Previous == good.Sha256)
                return fault(TAuditCheck::TFault::Changed, good.Sequence + 1, e.Line);  // its number
            check.LastRemoved = r.Sequence - 1;
            return fault(TAuditCheck::TFault::Removed, good.Sequence + 1, e.Line);
        }
        // The right number and the wrong hash: either the good record was
        // changed, or this one's own hash was, which then breaks the next link too.
        if (good.Index < 0 || (next && next->Sequence == r.Sequence + 1 && next->Previous != r.Sha256))
            return fault(TAuditCheck::TFault::Changed, r.Sequence, e.Line);
        return fault(TAuditCheck::TFault::Changed, good.Sequence, entries[good.Index].Line);
    }
    for (int t : unread)
        check.Torn.push_back({good.Sequence + 1, entries[t].Line});
    check.LastSequence = good.Sequence;
    check.LastSha256 = good.Index >= 0 ? good.Sha256 : QByteArray();
    return check;
}

QString TAuditCheck::Summary() const
{
    if (!Readable)
        return Error;
    switch (Fault) {
    case TFault::Changed:
        return QStringLiteral("record %1 changed (line %2)").arg(Sequence).arg(Line);
    case TFault::Removed:
        return QStringLiteral("%1 (before line %2)").arg(RemovedText(*this)).arg(Line);
    case TFault::Inserted:
        return Sequence == 0 ? QStringLiteral("a record inserted at line %1, before record 1").arg(Line)
                             : QStringLiteral("a record inserted at line %1, after record %2").arg(Line).arg(Sequence);
    case TFault::None:
        break;
    }
    const QString count = Records == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(Records);
    if (Torn.empty())
        return QStringLiteral("chain intact, %1").arg(count);
    QStringList torn;
    for (const TTorn &t : Torn)
        torn << QStringLiteral("torn record %1 (line %2)").arg(t.Sequence).arg(t.Line);
    return QStringLiteral("%1, chain otherwise intact, %2").arg(torn.join(QStringLiteral(", ")), count);
}
