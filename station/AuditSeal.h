#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The seal of a sealed audit log. Every record N is sealed with the key of
// step N; the key then moves one step on through a one-way function, and the
// station keeps only the key of the next step, so that whoever takes the
// station later cannot seal an earlier record again. The verification key is
// the key of step 1: from it every later key follows, and none earlier.
//
//   key(N + 1) = HMAC-SHA256(key(N), "loggercfg audit key step")
//   seal(N)    = hex HMAC-SHA256(key(N), "loggercfg audit seal\n" + the record's line without its seal field)
//   tag        = hex HMAC-SHA256(key(N + 1), "loggercfg audit tag\n" + "N " + hex SHA-256 of record N's line)
//
// The line without its seal field is the line with `,"seal":"<64 hex>"`
// taken out before its closing brace.
//
// The tag stands beside the log, renewed with every record, under the
// station's current key: it names the last record, so that records cut from
// the end are missed, and it cannot be made again for a shorter log once the
// key has moved past it.

constexpr int SealKeyBytes = 32;

// 32 bytes from the system's random generator.
QByteArray NewSealKey();
QByteArray NextSealKey(const QByteArray &key);
QByteArray SealOf(const QByteArray &key, const QByteArray &unsealedLine);
QByteArray TagOf(const QByteArray &key, qint64 lastRecord, const QByteArray &lastSha256);
// Equal, in a time that does not depend on where two texts first differ.
bool SameSecret(const QByteArray &a, const QByteArray &b);
// Overwrites the bytes in place before they are let go.
void EraseSecret(QByteArray &secret);

// The key of any later step from the key of an earlier one; never backwards.
class TSealKeyWalk
{
public:
    TSealKeyWalk(const QByteArray &key, qint64 step);
    ~TSealKeyWalk();
    TSealKeyWalk(const TSealKeyWalk &) = delete;
    TSealKeyWalk &operator=(const TSealKeyWalk &) = delete;

    qint64 Step() const { return FStep; }
    // The key of Step; moves on to it first. Nothing before the current step.
    std::optional<QByteArray> KeyOf(qint64 step);

private:
    QByteArray FKey;
    qint64 FStep;
};

// The verification key as it is printed and typed: 64 hex digits and 4 of a
// check, in groups of eight and a dash between them. Typed back, case,
// spaces and dashes do not matter.
QString VerificationKeyText(const QByteArray &key);
// The key, or nothing and *why (mistyped, too short).
std::optional<QByteArray> ParseVerificationKey(const QString &text, QString *why);
