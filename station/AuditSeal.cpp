#include "AuditSeal.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QStringList>

#include <array>
#include <cstring>

namespace {

// Each use of a step's key has a purpose of its own, spelt at the head of
// what it authenticates and ended by a line end that no purpose holds, so
// that no value made for one can stand for another.
const QByteArray StepPurpose = "loggercfg audit key step";
const QByteArray SealPurpose = "loggercfg audit seal";
const QByteArray TagPurpose = "loggercfg audit tag";
const QByteArray CheckPurpose = "loggercfg audit verification key check";

QByteArray Hmac(const QByteArray &key, const QByteArray &message)
{
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}

// Four hex digits that a typo in the key changes.
QByteArray CheckDigits(const QByteArray &key)
{
    return QCryptographicHash::hash(CheckPurpose + key, QCryptographicHash::Sha256).toHex().left(4);
}

} // namespace

QByteArray NewSealKey()
{
    std::array<quint32, SealKeyBytes / 4> words {};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    QByteArray key(reinterpret_cast<const char *>(words.data()), SealKeyBytes);
    std::memset(words.data(), 0, sizeof words);
    return key;
}

QByteArray NextSealKey(const QByteArray &key)
{
    return Hmac(key, StepPurpose);
}

QByteArray SealOf(const QByteArray &key, const QByteArray &unsealedLine)
{
    return Hmac(key, SealPurpose + '\n' + unsealedLine).toHex();
}

QByteArray TagOf(const QByteArray &key, qint64 lastRecord, const QByteArray &lastSha256)
{
    return Hmac(key, TagPurpose + '\n' + QByteArray::number(lastRecord) + ' ' + lastSha256).toHex();
}

bool SameSecret(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char differ = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

void EraseSecret(QByteArray &secret)
{
    // data() detaches, so the bytes cleared are this copy's own.
    volatile char *bytes = secret.data();
    for (qsizetype i = 0; i < secret.size(); ++i)
        bytes[i] = 0;
    secret.clear();
}

TSealKeyWalk::TSealKeyWalk(const QByteArray &key, qint64 step) : FKey(key), FStep(step) {}

TSealKeyWalk::~TSealKeyWalk()
{
    EraseSecret(FKey);
}

std::optional<QByteArray> TSealKeyWalk::KeyOf(qint64 step)
{
    if (step < FStep)
        return std::nullopt;
    while (FStep < step) {
        QByteArray next = NextSealKey(FKey);
        EraseSecret(FKey);
        FKey = next;
        ++FStep;
    }
    return FKey;
}

QString VerificationKeyText(const QByteArray &key)
{
    const QByteArray digits = key.toHex() + CheckDigits(key);
    QStringList groups;
    for (qsizetype at = 0; at < digits.size(); at += 8)
        groups << QString::fromLatin1(digits.mid(at, 8));
    return groups.join(QLatin1Char('-'));
}

std::optional<QByteArray> ParseVerificationKey(const QString &text, QString *why)
{
    QByteArray digits;
    for (const QChar c : text) {
        if (c == u'-' || c.isSpace())
            continue;
        const char l = char(c.toLower().unicode());
        if (c.unicode() > 0x7f || !((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f'))) {
            *why = QStringLiteral("a verification key has hex digits only, 0 to 9 and A to F");
            return std::nullopt;
        }
        digits += l;
    }
    if (digits.size() != 2 * SealKeyBytes + 4) {
        *why = QStringLiteral("a verification key has %1 hex digits, not %2").arg(2 * SealKeyBytes + 4).arg(digits.size());
        return std::nullopt;
    }
    QByteArray key = QByteArray::fromHex(digits.left(2 * SealKeyBytes));
    if (CheckDigits(key) != digits.right(4)) {
        EraseSecret(key);
        *why = QStringLiteral("the verification key is mistyped: its last four digits do not match the rest");
        return std::nullopt;
    }
    return key;
}
