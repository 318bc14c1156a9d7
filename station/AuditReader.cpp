#include "AuditReader.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

constexpr qint64 Chunk = 64 * 1024;
const QByteArray RecordStart = "{\"seq\":";

qint64 ShownSequence(const QByteArray &bytes)
{
    if (!bytes.startsWith(RecordStart))
        return 0;
    qint64 n = 0;
    for (qsizetype i = RecordStart.size(); i < bytes.size() && i < RecordStart.size() + 16; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9')
            return bytes[i] == ',' ? n : 0;
        n = n * 10 + (bytes[i] - '0');
    }
    return 0;
}

// Every proper beginning of a record's line begins as a record does and
// leaves its outermost object open: JSON's parser runs off its end.
bool LooksTorn(const QByteArray &bytes)
{
    if (bytes.isEmpty() || !RecordStart.startsWith(bytes.left(RecordStart.size())))
        return false;
    QJsonParseError error {};
    QJsonDocument::fromJson(bytes, &error);
    switch (error.error) {
    case QJsonParseError::UnterminatedObject:
    case QJsonParseError::UnterminatedArray:
    case QJsonParseError::UnterminatedString:
    case QJsonParseError::TerminationByNumber:
    case QJsonParseError::IllegalEscapeSequence:  // cut inside an escape
    case QJsonParseError::IllegalUTF8String:      // or inside a character
        return error.offset >= bytes.size() - 8;
    default:
        return false;
    }
}

} // namespace

TAuditEntry AuditEntryOf(qint64 line, const QByteArray &bytes, bool unterminated)
{
    TAuditEntry entry;
    entry.Line = line;
    entry.Bytes = bytes;
    entry.Unterminated = unterminated;
    entry.Record = ParseAuditLine(bytes, &entry.Problem);
    if (!entry.Record) {
        entry.LooksTorn = LooksTorn(bytes);
        entry.ShownSequence = ShownSequence(bytes);
    }
    return entry;
}

TAuditReader::TAuditReader(QIODevice &device) : FDevice(device) {}

bool TAuditReader::Fill()
{
    if (FEnd)
        return false;
    if (FAt > 0) {
        FBuffer.remove(0, FAt);
        FAt = 0;
    }
    const qsizetype had = FBuffer.size();
    FBuffer.resize(had + Chunk);
    const qint64 n = FDevice.read(FBuffer.data() + had, Chunk);
    FBuffer.resize(had + qMax<qint64>(n, 0));
    if (n < 0)
        FError = FDevice.errorString();
    if (n <= 0)
        FEnd = true;
    return n > 0;
}

bool TAuditReader::Next(TAuditEntry *entry)
{
    bool overlong = false;
    for (;;) {
        const qsizetype end = FBuffer.indexOf('\n', FAt);
        if (end >= 0) {
            ++FLine;
            if (overlong) {
                FAt = end + 1;
                break;
            }
            *entry = AuditEntryOf(FLine, FBuffer.mid(FAt, end - FAt), false);
            FAt = end + 1;
            return true;
        }
        if (FBuffer.size() - FAt > MaxAuditLineBytes) {
            // Dropped as it goes by: only the line's number and that it was too long are kept.
            overlong = true;
            FBuffer.clear();
            FAt = 0;
        }
        if (!Fill()) {
            if (!FError.isEmpty())
                return false;
            if (FBuffer.size() == FAt && !overlong)
                return false;
            ++FLine;
            if (overlong)
                break;
            *entry = AuditEntryOf(FLine, FBuffer.mid(FAt), true);
            FAt = FBuffer.size();
            return true;
        }
    }
    *entry = TAuditEntry{};
    entry->Line = FLine;
    entry->Problem = QStringLiteral("longer than %1 KiB").arg(MaxAuditLineBytes / 1024);
    entry->Unterminated = FEnd && FAt >= FBuffer.size();
    return true;
}
