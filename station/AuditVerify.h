#pragma once

#include "AuditReader.h"
#include "AuditSeal.h"
#include "AuditSealFile.h"

#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

// What audit verify finds in a log: the first break of the chain, and with
// the verification key every seal, each checked with its own step's key
// only, and the seal file's tag against the log's end.
struct TAuditCheck {
    enum class TFault { None, Changed, Removed, Inserted, Damaged };
    enum class TSeals {
        NotChecked,  // no key given
        Intact,
        Broken,      // some record's seal does not hold, or is missing
        None,        // not one record is sealed: a plain chain, or its seals were taken off
        WrongKey,    // not one seal holds with the key, nor the seal file's key
    };
    enum class TTag { NotChecked, Holds, Missing, Damaged, OtherKey, Forged, Cut, LastDiffers, Beyond };

    bool Readable = true;  // false: the file could not be read (Error says why)
    QString Error;
    qint64 Lines = 0;
    qint64 Records = 0;     // complete records in the file
    bool Sealed = false;    // its first record is the sealed creation of the log

    // The first break in the chain. Sequence names the record changed,
    // damaged or removed (the first of several removed, LastRemoved the
    // last), or, for an insertion, the record that the inserted line
    // follows; 0 for a damaged line that gives no number.
    TFault Fault = TFault::None;
    qint64 Sequence = 0;
    qint64 LastRemoved = 0;
    qint64 Line = 0;
    QString Problem;  // why a damaged line is no record

    // Lines of records that a crash left unfinished: Sequence is the number
    // the record would have had.
    struct TTorn {
        qint64 Sequence;
        qint64 Line;
    };
    std::vector<TTorn> Torn;
    // Intents that no result answers: a write that may or may not have
    // reached its logger.
    struct TIntent {
        qint64 Sequence;
        qint64 Line;
        QString SerialNumber;
        QString Port;
    };
    std::vector<TIntent> OpenIntents;

    TSeals Seals = TSeals::NotChecked;
    qint64 BrokenSeals = 0;
    qint64 FirstBrokenSeal = 0, FirstBrokenLine = 0, LastBrokenSeal = 0;
    TTag Tag = TTag::NotChecked;
    qint64 TagLast = 0;      // the last record the seal file names
    qint64 CutFrom = 0;      // the first record missing at the end
    QString SealFile;
    QString TagProblem;

    // The last record of an intact chain, for comparing with a copy kept
    // elsewhere (the configuration record prints it).
    qint64 LastSequence = 0;
    QByteArray LastSha256;

    // Nothing that the chain, the seals or the tag can show was changed.
    bool Intact() const;
    // Intact, not empty, and no line torn, no intent left open: exit 0.
    bool Clean() const;
    // One line for the user: "chain intact, 47 records", "record 5 changed
    // (line 5)", "torn record 48 (line 48), chain otherwise intact, 47 records".
    QString Summary() const;
};

// Checks a log line by line as the reader hands them over, in constant
// memory; Finish() once after the last.
class TAuditVerifier
{
public:
    // With the verification key, seals and tag are checked too.
    explicit TAuditVerifier(const std::optional<QByteArray> &key = std::nullopt);

    void Feed(const TAuditEntry &entry);
    // The seal file's state, or why it could not be read (none and no
    // problem: there is no seal file), for the tag; only looked at with a key.
    TAuditCheck Finish(const std::optional<TSealState> &seal = std::nullopt, const QString &sealProblem = {},
                       const QString &sealFile = {});

private:
    struct TLink {
        qint64 Sequence = 0;
        QByteArray Sha256;
        qint64 Line = 0;
        bool Real = false;  // a record, not the start of the log
    };
    struct TUnread {
        qint64 Count = 0;
        qint64 FirstLine = 0, FirstShown = 0;
        QString FirstProblem;
        // The first that is not a torn beginning of the record its place would give.
        qint64 OddLine = 0, OddShown = 0;
        QString OddProblem;
        bool LastUnterminated = false;
        std::vector<qint64> Lines;  // the first few, for naming torn ones
    };
    struct TPending {
        TAuditRecord Record;
        qint64 Line;
        bool SealHolds;
    };

    bool CheckSeal(const TAuditRecord &record, const QByteArray &bytes);
    void Decide(TAuditCheck::TFault fault, qint64 sequence, qint64 line, const QString &problem = {});
    void Resolve(const TPending &pending, const TAuditRecord *next);
    void Advance(const TAuditRecord &record, qint64 line);
    void TakeUnreadAsTorn(bool firstForm);
    void DamagedUnread();
    void CheckTag(const std::optional<TSealState> &seal, const QString &sealProblem);

    TAuditCheck FCheck;
    std::optional<QByteArray> FKey;
    std::optional<TSealKeyWalk> FWalk;
    qint64 FSealChecked = 0;  // the highest step checked: seals are checked in the order of their steps
    qint64 FSealsSeen = 0, FSealsHeld = 0;
    bool FDecided = false;
    TLink FGood, FBefore;
    bool FHasBefore = false;
    TUnread FUnread;
    std::optional<TPending> FPending;
    std::map<qint64, TAuditCheck::TIntent> FOpen;
    // The log's last record, where the tag should point.
    struct TLast {
        qint64 Sequence = 0;
        QByteArray Sha256, Previous;
        bool SealHolds = false;
    } FLast;
};

// The log at Path, and beside it its seal file for the tag. Each line, as
// it is checked, goes to Each too.
TAuditCheck VerifyAuditLog(const QString &path, const std::optional<QByteArray> &key = std::nullopt,
                           const std::function<void(const TAuditEntry &)> &each = {});
