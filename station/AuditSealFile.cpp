#include "AuditSealFile.h"

#include "AuditFile.h"
#include "AuditSeal.h"

#include <QCryptographicHash>
#include <QFile>
#include <QList>

namespace {

constexpr qsizetype SlotBytes = 512;
const QByteArray Heading = "loggercfg audit seal 1\n";

QByteArray Blank()
{
    return QByteArray(SlotBytes - 1, ' ') + '\n';
}

QByteArray SlotText(const TSealState &s)
{
    QByteArray text = Heading + "step " + QByteArray::number(s.Step) + "\nkey " + s.Key.toHex() + "\nlast "
                      + s.LastSha256 + "\ntag " + s.Tag + '\n';
    text += "check " + QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex() + '\n';
    QByteArray slot = text.leftJustified(SlotBytes - 1, ' ') + '\n';
    EraseSecret(text);
    return slot;
}

std::optional<TSealState> ParseSlot(const QByteArray &slot)
{
    const qsizetype end = slot.indexOf("check ");
    if (!slot.startsWith(Heading) || end < 0 || slot.size() < end + 70)
        return std::nullopt;
    const QByteArray body = slot.left(end);
    if (QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() != slot.mid(end + 6, 64))
        return std::nullopt;
    const QList<QByteArray> lines = body.split('\n');
    if (lines.size() != 6 || !lines[1].startsWith("step ") || !lines[2].startsWith("key ")
        || !lines[3].startsWith("last ") || !lines[4].startsWith("tag "))
        return std::nullopt;
    TSealState state;
    bool number = false;
    state.Step = lines[1].mid(5).toLongLong(&number);
    state.Key = QByteArray::fromHex(lines[2].mid(4));
    state.LastSha256 = lines[3].mid(5);
    state.Tag = lines[4].mid(4);
    if (!number || state.Step < 2 || state.Key.size() != SealKeyBytes || state.LastSha256.size() != 64
        || state.Tag.size() != 64)
        return std::nullopt;
    return state;
}

} // namespace

QString SealFilePath(const QString &log)
{
    return log + QStringLiteral(".seal");
}

bool CreateSealFile(const QString &path, const TSealState &state, QString *error)
{
    TAuditFile file;
    if (!file.Open(path, TAuditFile::TMode::Create, error))
        return false;
    QByteArray bytes = SlotText(state) + Blank();
    const bool written = file.WriteAt(0, bytes, error);
    EraseSecret(bytes);
    if (!written) {
        file.Close();
        QFile::remove(path);
    }
    return written;
}

std::optional<TSealState> ReadSealState(const TAuditFile &file, QString *error)
{
    const qint64 size = file.Size(error);
    if (size < 0)
        return std::nullopt;
    QByteArray bytes;
    if (size != 2 * SlotBytes || !file.ReadAt(0, size, &bytes, error)) {
        if (size >= 0 && size != 2 * SlotBytes && error)
            *error = QStringLiteral("it is %1 bytes long, not %2").arg(size).arg(2 * SlotBytes);
        return std::nullopt;
    }
    std::optional<TSealState> newest;
    for (int slot = 0; slot < 2; ++slot) {
        std::optional<TSealState> state = ParseSlot(bytes.mid(slot * SlotBytes, SlotBytes));
        if (state && (!newest || state->Step > newest->Step)) {
            state->Slot = slot;
            newest = state;
        }
    }
    EraseSecret(bytes);
    if (!newest && error)
        *error = QStringLiteral("it holds no whole state");
    return newest;
}

bool ReadSealFile(const QString &path, TSealState *state, QString *error)
{
    TAuditFile file;
    QString why;
    if (!file.Open(path, TAuditFile::TMode::Read, &why)) {
        *error = why;
        return false;
    }
    const std::optional<TSealState> read = ReadSealState(file, &why);
    if (!read) {
        *error = QStringLiteral("the seal file %1 is damaged: %2").arg(path, why);
        return false;
    }
    *state = *read;
    return true;
}

bool WriteSealState(TAuditFile &file, const TSealState &current, TSealState next, QString *error)
{
    next.Slot = 1 - current.Slot;
    QByteArray slot = SlotText(next);
    const bool written = file.WriteAt(next.Slot * SlotBytes, slot, error);
    EraseSecret(slot);
    return written && file.WriteAt(current.Slot * SlotBytes, Blank(), error);
}
