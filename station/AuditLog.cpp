#include "AuditLog.h"

#include "AuditFile.h"
#include "AuditReader.h"
#include "AuditSeal.h"
#include "AuditSealFile.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 TailChunk = 64 * 1024;
// How far back an append looks for the last record before it gives up on a
// log whose end is no log any more.
constexpr qint64 TailLimit = 16 * 1024 * 1024;

// What an append needs to know of the log's end.
struct TTail {
    std::optional<TAuditRecord> Last;  // the last complete record
    qint64 After = 0;    // lines after it that are no record: each took a number
    qint64 Highest = 0;  // the highest number that those lines give themselves
    bool LineEnded = true;
};

// Read from the end, so that an append costs the same in a long log as in a
// short one.
bool ReadTail(const QString &path, const TAuditFile &file, qint64 size, TTail *tail, QString *error)
{
    if (size == 0)
        return true;
    QByteArray lastByte;
    if (!file.ReadAt(size - 1, 1, &lastByte, error))
        return false;
    tail->LineEnded = lastByte == "\n";
    for (qint64 chunk = TailChunk;; chunk *= 4) {
        const qint64 from = qMax<qint64>(0, size - qMin(chunk, TailLimit));
        QByteArray bytes;
        if (!file.ReadAt(from, size - from, &bytes, error))
            return false;
        QList<QByteArray> lines = bytes.split('\n');
        if (tail->LineEnded)
            lines.removeLast();
        tail->After = 0;
        tail->Highest = 0;
        // The first piece of a chunk that starts inside the file may be the
        // end of a longer line.
        for (qsizetype i = lines.size() - 1; i >= (from > 0 ? 1 : 0); --i) {
            TAuditEntry entry = AuditEntryOf(0, lines[i], false);
            if (entry.Record) {
                tail->Last = std::move(entry.Record);
                return true;
            }
            ++tail->After;
            tail->Highest = qMax(tail->Highest, entry.ShownSequence);
        }
        if (from == 0)
            return true;
        if (chunk >= TailLimit) {
            *error = QStringLiteral("%1 holds no record in its last %2 MiB: its end is damaged")
                         .arg(path)
                         .arg(TailLimit >> 20);
            return false;
        }
    }
}

// A sealed log's first line is its creation.
bool BeginsSealed(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray head = file.read(4096);
    head.truncate(head.indexOf('\n') < 0 ? head.size() : head.indexOf('\n'));
    return head.startsWith("{\"seq\":1,") && head.contains(",\"action\":\"create\",");
}

} // namespace

bool AppendAuditRecord(const QString &path, TAuditRecord *record, QString *error, TAuditAppend *how)
{
    TAuditAppend ignored;
    TAuditAppend &result = how ? *how : ignored;
    result = {};
    TAuditFile log;
    if (!log.Open(path, TAuditFile::TMode::Append, error))
        return false;
    const qint64 size = log.Size(error);
    if (size < 0)
        return false;
    TTail tail;
    if (!ReadTail(path, log, size, &tail, error))
        return false;

    const QString sealPath = SealFilePath(path);
    const bool sealed =
        QFileInfo::exists(sealPath) || (tail.Last && !tail.Last->Seal.isEmpty()) || (size > 0 && BeginsSealed(path));
    TAuditFile sealFile;
    std::optional<TSealState> state;
    if (sealed) {
        QString why;
        if (!sealFile.Open(sealPath, TAuditFile::TMode::Update, &why) || !(state = ReadSealState(sealFile, &why))) {
            *error = QStringLiteral("%1 is a sealed log, and its seal file %2 cannot be used (%3): no record can be "
                                    "sealed without it")
                         .arg(path, sealPath, why);
            return false;
        }
    }

    // A number once given, even to a line that a crash cut short, is not
    // given again.
    qint64 number = (tail.Last ? tail.Last->Sequence : 0) + tail.After + 1;
    number = qMax(number, tail.Highest + 1);
    if (state)
        number = qMax(number, state->Step);  // records cut from the end do not bring their keys back
    record->Sequence = number;
    record->Previous = tail.Last ? tail.Last->Sha256 : NoPreviousRecord();
    record->FirstForm = false;
    record->Seal.clear();
    if (!record->Time.isValid())
        record->Time = QDateTime::currentDateTimeUtc();
    QByteArray key;
    if (state) {
        TSealKeyWalk walk(state->Key, state->Step);
        key = *walk.KeyOf(number);
        EraseSecret(state->Key);
        record->Seal = SealOf(key, UnsealedAuditLine(*record));
    }
    const QByteArray line = AuditLine(*record);
    record->Sha256 = Sha256Hex(line);
    // A torn line keeps its bytes; the record starts a line of its own.
    if (!log.Append((tail.LineEnded ? QByteArray() : QByteArray("\n")) + line + '\n', error)) {
        EraseSecret(key);
        return false;
    }
    result.Created = log.Created() && !sealed;
    result.Sealed = sealed;
    if (state) {
        TSealState next{number + 1, NextSealKey(key), record->Sha256, {}, 0};
        EraseSecret(key);
        next.Tag = TagOf(next.Key, number, record->Sha256);
        QString why;
        if (!WriteSealState(sealFile, *state, next, &why))
            result.Warning = QStringLiteral("record %1 is appended and sealed, but its seal file could not be renewed "
                                            "(%2): it holds the key record %1 was sealed with until the next append")
                                 .arg(number)
                                 .arg(why);
        EraseSecret(next.Key);
    }
    return true;
}

std::optional<QByteArray> CreateSealedAuditLog(const QString &path, TAuditRecord *creation, QString *error)
{
    const QString sealPath = SealFilePath(path);
    if (QFileInfo::exists(path) || QFileInfo::exists(sealPath)) {
        *error = QStringLiteral("%1 exists: a sealed log is made new, never over another")
                     .arg(QFileInfo::exists(path) ? path : sealPath);
        return std::nullopt;
    }
    TAuditFile log;
    if (!log.Open(path, TAuditFile::TMode::Create, error))
        return std::nullopt;
    QByteArray key = NewSealKey();
    creation->Sequence = 1;
    creation->Previous = NoPreviousRecord();
    creation->Action = TAuditAction::Create;
    creation->Kind = TAuditKind::Creation;
    creation->Intent = 0;
    creation->FirstForm = false;
    if (!creation->Time.isValid())
        creation->Time = QDateTime::currentDateTimeUtc();
    creation->Seal = SealOf(key, UnsealedAuditLine(*creation));
    const QByteArray line = AuditLine(*creation);
    creation->Sha256 = Sha256Hex(line);
    TSealState state{2, NextSealKey(key), creation->Sha256, {}, 0};
    state.Tag = TagOf(state.Key, 1, creation->Sha256);
    const bool sealMade = CreateSealFile(sealPath, state, error);
    const bool made = sealMade && log.Append(line + '\n', error);
    EraseSecret(state.Key);
    if (!made) {
        // A log whose key nobody was given is of no use to anybody; only
        // what this call made goes.
        log.Close();
        if (sealMade)
            QFile::remove(sealPath);
        QFile::remove(path);
        EraseSecret(key);
        return std::nullopt;
    }
    return key;
}

bool IsSealedAuditLog(const QString &path)
{
    return QFileInfo::exists(SealFilePath(path)) || BeginsSealed(path);
}

bool ReadAuditLog(const QString &path, TAuditContents *contents, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    *contents = {};
    TAuditReader reader(file);
    TAuditEntry entry;
    while (reader.Next(&entry)) {
        if (entry.Record)
            contents->Records.push_back(std::move(*entry.Record));
        else
            contents->NotRecords.push_back({entry.Line, entry.Problem});
    }
    if (!reader.Error().isEmpty()) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, reader.Error());
        return false;
    }
    return true;
}
