#include "AuditVerify.h"

#include "AuditFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

constexpr std::size_t TornNamed = 64;
// A sealed line ends in ,"seal":"<64 hex>"} : what its seal covers is the
// line without that field, in the log's own form, which the reader insists on.
constexpr qsizetype SealFieldBytes = 75;

QString RecordCount(qint64 n)
{
    return n == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(n);
}

QString Span(qint64 first, qint64 last)
{
    return first == last ? QStringLiteral("record %1").arg(first) : QStringLiteral("records %1 to %2").arg(first).arg(last);
}

} // namespace

TAuditVerifier::TAuditVerifier(const std::optional<QByteArray> &key) : FKey(key)
{
    FGood.Sha256 = NoPreviousRecord();
    if (FKey)
        FWalk.emplace(*FKey, 1);
}

bool TAuditVerifier::CheckSeal(const TAuditRecord &r, const QByteArray &bytes)
{
    if (!FKey)
        return false;
    const auto broken = [&] {
        if (FCheck.BrokenSeals++ == 0) {
            FCheck.FirstBrokenSeal = r.Sequence;
            FCheck.FirstBrokenLine = FCheck.Lines;
        }
        FCheck.LastBrokenSeal = r.Sequence;
        return false;
    };
    if (r.Seal.isEmpty())
        return FCheck.Sealed ? broken() : false;
    ++FSealsSeen;
    // A key of a later step must never pass for the record's own: each seal
    // is checked with its step's key alone, and the walk goes forward only.
    // A record out of order is the chain's to name.
    if (r.Sequence <= FSealChecked)
        return false;
    FSealChecked = r.Sequence;
    const QByteArray unsealed = bytes.left(bytes.size() - SealFieldBytes) + '}';
    if (!SameSecret(SealOf(*FWalk->KeyOf(r.Sequence), unsealed), r.Seal))
        return broken();
    ++FSealsHeld;
    return true;
}

void TAuditVerifier::Decide(TAuditCheck::TFault fault, qint64 sequence, qint64 line, const QString &problem)
{
    FCheck.Fault = fault;
    FCheck.Sequence = sequence;
    FCheck.Line = line;
    FCheck.Problem = problem;
    FDecided = true;
}

void TAuditVerifier::Advance(const TAuditRecord &r, qint64 line)
{
    FBefore = FGood;
    FHasBefore = true;
    FGood = {r.Sequence, r.Sha256, line, true};
}

void TAuditVerifier::TakeUnreadAsTorn(bool firstForm)
{
    for (std::size_t i = 0; i < FUnread.Lines.size(); ++i)
        FCheck.Torn.push_back({FGood.Sequence + 1 + (firstForm ? 0 : qint64(i)), FUnread.Lines[i]});
    FUnread = {};
}

void TAuditVerifier::DamagedUnread()
{
    const bool odd = FUnread.OddLine > 0;
    const qint64 shown = odd ? FUnread.OddShown : FUnread.FirstShown;
    Decide(TAuditCheck::TFault::Damaged, shown, odd ? FUnread.OddLine : FUnread.FirstLine,
           odd ? FUnread.OddProblem : FUnread.FirstProblem);
}

void TAuditVerifier::Feed(const TAuditEntry &entry)
{
    ++FCheck.Lines;
    const TAuditRecord *record = entry.Record ? &*entry.Record : nullptr;
    bool sealHolds = false;
    if (record) {
        const TAuditRecord &r = *record;
        if (++FCheck.Records == 1 && FCheck.Lines == 1)
            FCheck.Sealed = r.Kind == TAuditKind::Creation && !r.Seal.isEmpty();
        sealHolds = CheckSeal(r, entry.Bytes);
        if (r.Kind == TAuditKind::Intent)
            FOpen[r.Sequence] = {r.Sequence, entry.Line, r.SerialNumber, r.Port};
        else if (r.Kind == TAuditKind::Result && r.Intent > 0)
            FOpen.erase(r.Intent);
        FLast = {r.Sequence, r.Sha256, r.Previous, sealHolds};
    }
    if (FDecided)
        return;
    if (FPending) {
        Resolve(*FPending, record);
        FPending.reset();
        return;
    }
    if (!record) {
        // Lines that are no record wait for the next record, which tells
        // whether a crash left them or somebody put them there.
        TUnread &u = FUnread;
        // Its number, when it shows one: the place it stands at, or the one
        // before, which the log's first form gave again after a torn line.
        const qint64 place = FGood.Sequence + 1 + u.Count;
        const bool placed = entry.ShownSequence == 0 || (entry.ShownSequence > FGood.Sequence && entry.ShownSequence <= place);
        if (u.Count++ == 0) {
            u.FirstLine = entry.Line;
            u.FirstShown = entry.ShownSequence;
            u.FirstProblem = entry.Problem;
        }
        if (u.OddLine == 0 && (!entry.LooksTorn || !placed)) {
            u.OddLine = entry.Line;
            u.OddShown = entry.ShownSequence;
            u.OddProblem = entry.Problem;
        }
        u.LastUnterminated = entry.Unterminated;
        if (u.Lines.size() < TornNamed)
            u.Lines.push_back(entry.Line);
        return;
    }

    const TAuditRecord &r = *record;
    if (FUnread.Count > 0) {
        if (r.Previous == FGood.Sha256) {
            // Torn appends: each took its number, and the record after them
            // chains over them to the last whole one.
            const bool numbered = r.Sequence == FGood.Sequence + 1 + FUnread.Count
                                  || (r.FirstForm && r.Sequence == FGood.Sequence + 1);
            if (numbered && FUnread.OddLine == 0) {
                TakeUnreadAsTorn(r.FirstForm);
                Advance(r, entry.Line);
                return;
            }
            // Lines between two records that chain, which no append left.
            return DamagedUnread();
        }
        // Where a record should be, lines that are none: the first of them
        // was that record.
        return Decide(TAuditCheck::TFault::Damaged, FGood.Sequence + 1, FUnread.FirstLine, FUnread.FirstProblem);
    }
    if (r.Sequence == FGood.Sequence + 1 && r.Previous == FGood.Sha256) {
        Advance(r, entry.Line);
        return;
    }
    FPending = TPending{r, entry.Line, sealHolds};
}

void TAuditVerifier::Resolve(const TPending &p, const TAuditRecord *next)
{
    using F = TAuditCheck::TFault;
    const TAuditRecord &r = p.Record;
    const auto fits = [this](const TAuditRecord &x) {
        return x.Sequence == FGood.Sequence + 1 && x.Previous == FGood.Sha256;
    };
    if (next && fits(*next))
        return Decide(F::Inserted, FGood.Sequence, p.Line);
    if (r.Sequence <= FGood.Sequence) {
        // A forged line that chains perfectly shows only when the record
        // it displaced follows with the same number.
        if (FHasBefore && FGood.Real && r.Sequence == FGood.Sequence && r.Previous == FBefore.Sha256)
            return Decide(F::Inserted, FBefore.Sequence, FGood.Line);
        return Decide(F::Inserted, FGood.Sequence, p.Line);
    }
    if (r.Sequence > FGood.Sequence + 1) {
        // A number that moved on though the line chains: renumbered, unless
        // its own seal vouches for the number, as after records cut from
        // the end of a sealed log and a new one appended.
        if (r.Previous == FGood.Sha256 && !p.SealHolds)
            return Decide(F::Changed, FGood.Sequence + 1, p.Line);
        FCheck.LastRemoved = r.Sequence - 1;
        return Decide(F::Removed, FGood.Sequence + 1, p.Line);
    }
    // The right number and the wrong hash: either the good record was
    // changed, or this one's own hash was, which then breaks the next link too.
    if (!FGood.Real || (next && next->Sequence == r.Sequence + 1 && next->Previous != r.Sha256))
        return Decide(F::Changed, r.Sequence, p.Line);
    Decide(F::Changed, FGood.Sequence, FGood.Line);
}

void TAuditVerifier::CheckTag(const std::optional<TSealState> &seal, const QString &sealProblem)
{
    using T = TAuditCheck::TTag;
    if (!seal) {
        FCheck.Tag = sealProblem.isEmpty() ? T::Missing : T::Damaged;
        FCheck.TagProblem = sealProblem;
        return;
    }
    TSealKeyWalk walk(*FKey, 1);
    const std::optional<QByteArray> key = walk.KeyOf(seal->Step);
    FCheck.TagLast = seal->LastRecord();
    if (!key || !SameSecret(*key, seal->Key)) {
        FCheck.Tag = T::OtherKey;
        return;
    }
    if (!SameSecret(TagOf(*key, seal->LastRecord(), seal->LastSha256), seal->Tag)) {
        FCheck.Tag = T::Forged;
        return;
    }
    if (FLast.Sequence == seal->LastRecord())
        FCheck.Tag = FLast.Sha256 == seal->LastSha256 ? T::Holds : T::LastDiffers;
    else if (FLast.Sequence < seal->LastRecord()) {
        FCheck.Tag = T::Cut;
        FCheck.CutFrom = FLast.Sequence + 1;
    }
    // One record past the tag, sealed and chained to the record the tag
    // names: a program stopped between appending it and renewing the tag.
    else if (FLast.SealHolds && FLast.Previous == seal->LastSha256)
        FCheck.Tag = T::Holds;
    else
        FCheck.Tag = T::Beyond;
}

TAuditCheck TAuditVerifier::Finish(const std::optional<TSealState> &seal, const QString &sealProblem,
                                   const QString &sealFile)
{
    FCheck.SealFile = sealFile;
    if (FPending) {
        Resolve(*FPending, nullptr);
        FPending.reset();
    }
    // At the end, lines that are no record are torn when they are what
    // crashed appends leave: beginnings of records, the last without a line end.
    if (!FDecided && FUnread.Count > 0) {
        if (FUnread.OddLine == 0 && FUnread.LastUnterminated)
            TakeUnreadAsTorn(false);
        else
            DamagedUnread();
    }
    if (!FDecided) {
        FCheck.LastSequence = FGood.Sequence;
        FCheck.LastSha256 = FGood.Real ? FGood.Sha256 : QByteArray();
    }
    for (const auto &[sequence, intent] : FOpen)
        FCheck.OpenIntents.push_back(intent);

    using S = TAuditCheck::TSeals;
    if (FKey) {
        if (FSealsSeen == 0)
            FCheck.Seals = S::None;
        else
            FCheck.Seals = FCheck.BrokenSeals == 0 ? S::Intact : S::Broken;
        if (FSealsSeen > 0 || FCheck.Sealed) {
            CheckTag(seal, sealProblem);
            // Not one seal holds, nor the seal file's key: another log's key
            // (or a log replaced whole, which the key's owner will know).
            if (FSealsSeen > 0 && FSealsHeld == 0
                && (FCheck.Tag == TAuditCheck::TTag::OtherKey || FCheck.Tag == TAuditCheck::TTag::Missing
                    || FCheck.Tag == TAuditCheck::TTag::Damaged))
                FCheck.Seals = S::WrongKey;
        }
    }
    return FCheck;
}

bool TAuditCheck::Intact() const
{
    if (!Readable || Fault != TFault::None)
        return false;
    return Seals == TSeals::NotChecked || (Seals == TSeals::Intact && Tag == TTag::Holds);
}

bool TAuditCheck::Clean() const
{
    return Intact() && Lines > 0 && Torn.empty() && OpenIntents.empty();
}

QString TAuditCheck::Summary() const
{
    if (!Readable)
        return Error;
    if (Seals == TSeals::WrongKey)
        return QStringLiteral("the key does not fit this log: not one of its seals holds with it (the key of another "
                              "log, or a log replaced whole)");
    if (Lines == 0)
        return QStringLiteral("empty: it holds no record");
    if (Records == 0 && Torn.empty())
        return QStringLiteral("damaged throughout: not one of its %1 line(s) is a record (line %2: %3)")
            .arg(Lines)
            .arg(Line)
            .arg(Problem);

    QStringList parts;
    const bool sealsHold = Seals == TSeals::Intact;
    switch (Fault) {
    case TFault::Changed:
        parts << QStringLiteral("record %1 changed (line %2)").arg(Sequence).arg(Line);
        break;
    case TFault::Removed:
        parts << QStringLiteral("%1 removed (before line %2)")
                     .arg(LastRemoved > Sequence ? QStringLiteral("records %1 to %2").arg(Sequence).arg(LastRemoved)
                                                 : QStringLiteral("record %1").arg(Sequence))
                     .arg(Line);
        break;
    case TFault::Inserted:
        parts << (Sequence == 0 ? QStringLiteral("a record inserted at line %1, before record 1").arg(Line)
                                : QStringLiteral("a record inserted at line %1, after record %2").arg(Line).arg(Sequence));
        break;
    case TFault::Damaged:
        parts << (Sequence > 0 ? QStringLiteral("record %1 damaged (line %2): %3").arg(Sequence).arg(Line).arg(Problem)
                               : QStringLiteral("line %1 damaged: %2").arg(Line).arg(Problem));
        break;
    case TFault::None: {
        QStringList torn;
        for (const TTorn &t : Torn)
            torn << QStringLiteral("torn record %1 (line %2)").arg(t.Sequence).arg(t.Line);
        const QString chain = sealsHold ? QStringLiteral("chain and seals") : QStringLiteral("chain");
        parts << (torn.isEmpty() ? QStringLiteral("%1 intact, %2").arg(chain, RecordCount(Records))
                                 : QStringLiteral("%1, %2 otherwise intact, %3")
                                       .arg(torn.join(QStringLiteral(", ")), chain, RecordCount(Records)));
        break;
    }
    }

    switch (Seals) {
    case TSeals::NotChecked:
        if (Sealed)
            parts << QStringLiteral("seals not checked: that needs the verification key");
        break;
    case TSeals::Intact:
        if (Fault != TFault::None)
            parts << QStringLiteral("every seal holds");
        break;
    case TSeals::Broken:
        if (BrokenSeals == 1 && Fault == TFault::Changed && FirstBrokenSeal == Sequence)
            parts << QStringLiteral("its seal does not hold");
        else if (BrokenSeals == 1)
            parts << QStringLiteral("the seal of record %1 does not hold (line %2)").arg(FirstBrokenSeal).arg(FirstBrokenLine);
        else
            parts << QStringLiteral("%1 seals do not hold, from record %2 (line %3) to record %4")
                         .arg(BrokenSeals)
                         .arg(FirstBrokenSeal)
                         .arg(FirstBrokenLine)
                         .arg(LastBrokenSeal);
        break;
    case TSeals::None:
        parts << QStringLiteral("not one record is sealed: a plain chain (made without audit init), or its seals were "
                                "taken off");
        break;
    case TSeals::WrongKey: break;
    }

    switch (Tag) {
    case TTag::NotChecked:
    case TTag::Holds: break;
    case TTag::Missing:
        parts << QStringLiteral("its seal file %1 is missing: records cut from the end cannot be told").arg(SealFile);
        break;
    case TTag::Damaged:
        parts << QStringLiteral("its seal file %1 is damaged (%2): records cut from the end cannot be told")
                     .arg(SealFile, TagProblem);
        break;
    case TTag::OtherKey:
        parts << QStringLiteral("its seal file holds a key that is not this log's: it was replaced");
        break;
    case TTag::Forged:
        parts << QStringLiteral("the tag in its seal file does not hold: the seal file was changed");
        break;
    case TTag::Cut:
        parts << QStringLiteral("%1 cut from the end (its seal file names record %2 as the last)")
                     .arg(Span(CutFrom, TagLast))
                     .arg(TagLast);
        break;
    case TTag::LastDiffers:
        parts << QStringLiteral("the last record is not the one its seal file names");
        break;
    case TTag::Beyond:
        parts << QStringLiteral("records after record %1 stand past the last one its seal file names").arg(TagLast);
        break;
    }

    for (const TIntent &i : OpenIntents)
        parts << QStringLiteral("intent %1 (line %2) has no result, %3 on %4: written? unknown: read the logger")
                     .arg(i.Sequence)
                     .arg(i.Line)
                     .arg(i.SerialNumber, i.Port);
    return parts.join(QStringLiteral("; "));
}

TAuditCheck VerifyAuditLog(const QString &path, const std::optional<QByteArray> &key,
                           const std::function<void(const TAuditEntry &)> &each)
{
    TAuditCheck failed;
    failed.Readable = false;
    // Shared with other readers, so that no append changes the log and its
    // seal file between their reading.
    TAuditFile lock;
    if (!lock.Open(path, TAuditFile::TMode::Read, &failed.Error))
        return failed;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failed.Error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return failed;
    }
    TAuditVerifier verifier(key);
    TAuditReader reader(file);
    TAuditEntry entry;
    while (reader.Next(&entry)) {
        verifier.Feed(entry);
        if (each)
            each(entry);
    }
    if (!reader.Error().isEmpty()) {
        failed.Error = QStringLiteral("cannot read %1: %2").arg(path, reader.Error());
        return failed;
    }
    std::optional<TSealState> seal;
    QString problem;
    const QString sealPath = SealFilePath(path);
    if (key && QFileInfo::exists(sealPath)) {
        TSealState state;
        if (ReadSealFile(sealPath, &state, &problem))
            seal = state;
    }
    return verifier.Finish(seal, problem, sealPath);
}
