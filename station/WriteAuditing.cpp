#include "WriteAuditing.h"

#include "AuditLog.h"
#include "AuditSealFile.h"
#include "StationError.h"
#include "AuditSeal.h"
#include "RecordDecoder.h"
#include "Verify.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

namespace {

[[noreturn]] void Refuse(const QString &Log, const QString &Problem)
{
    throw EStationError(TExitStatus::BadInput,
                    QStringLiteral("audit log %1: %2; nothing was written to the logger").arg(Log, Problem).toStdString());
}

QString Value(const TSettingValues &Values, const char *Name)
{
    return QString::fromStdString(Values.at(SettingIndex(Name)).front());
}

// What the write asks to change: the settings the logger shows afterwards
// whose value the plan changes, compared as verify compares them.
std::vector<TSettingDifference> PlannedChanges(const TFrameBuffer &Before, const TSettingValues &Intent)
{
    const TSettingValues before = CanonicalValues(RecordSettings(Before));
    const std::vector<bool> inUse = SettingsInUse(Intent);
    std::vector<TSettingDifference> changes;
    for (const TSettingDifference &d : DiffSettings(before, Intent, TScopes::All()))
        if (inUse.at(SettingIndex(d.Name)))
            changes.push_back(d);
    return changes;
}

} // namespace

void CheckAuditLog(const QString &Log)
{
    const QFileInfo info(Log);
    if (!info.exists()) {
        const QFileInfo folder(info.absolutePath());
        if (!folder.isDir())
            Refuse(Log, QStringLiteral("its folder %1 does not exist").arg(QDir::toNativeSeparators(folder.filePath())));
        if (!folder.isWritable())
            Refuse(Log, QStringLiteral("it cannot be made in %1").arg(QDir::toNativeSeparators(folder.filePath())));
        return;
    }
    if (!info.isFile())
        Refuse(Log, QStringLiteral("not a file"));
    QFile file(Log);
    if (!file.open(QIODevice::ReadOnly))
        Refuse(Log, file.errorString());
    // Every log begins with a record, and every record with its number: any
    // other file, a settings file given by mistake, must not grow a JSON line.
    const QByteArray start = file.read(7);
    if (!start.isEmpty() && start != "{\"seq\":")
        Refuse(Log, QStringLiteral("not an audit log (its first line is no audit record)"));
    if (!info.isWritable())
        Refuse(Log, QStringLiteral("it cannot be written"));
    if (IsSealedAuditLog(Log)) {
        const QString seal = SealFilePath(Log);
        TSealState state;
        QString why;
        if (!QFileInfo::exists(seal))
            Refuse(Log, QStringLiteral("it is sealed, and its seal file %1 is missing, without which no record can "
                                       "be sealed")
                            .arg(QDir::toNativeSeparators(seal)));
        if (!ReadSealFile(seal, &state, &why))
            Refuse(Log, why);
        EraseSecret(state.Key);
        if (!QFileInfo(seal).isWritable())
            Refuse(Log, QStringLiteral("its seal file %1 cannot be written").arg(QDir::toNativeSeparators(seal)));
    }
}

TAuditRecord AuditIntentOf(const TFoundLogger &Logger, const TWriteOutcome &Outcome, const TAuditRequest &Request)
{
    TAuditRecord intent = AuditRecordOf(Logger, Outcome, Request);
    intent.Kind = TAuditKind::Intent;
    intent.Verified = false;
    intent.Failure.clear();
    intent.Differences.clear();
    if (Outcome.Plan)
        intent.Changes = PlannedChanges(Logger.Record, Outcome.Plan->Intent);
    return intent;
}

TAuditRecord AuditRecordOf(const TFoundLogger &Logger, const TWriteOutcome &Outcome, const TAuditRequest &Request)
{
    const TSettingValues before = RecordSettings(Logger.Record);
    TAuditRecord record;
    record.Time = Outcome.Time;
    record.Host = QSysInfo::machineHostName();
    record.Operator = Request.Operator.isEmpty() ? LoginName() : Request.Operator;
    record.Program = Request.Program;
    record.Action = Request.Action;
    record.Port = Logger.Port;
    record.SerialNumber = QString::fromStdString(SerialNumberText(Logger.Record));
    record.DeviceId = Value(before, "Device ID");
    record.Template = Request.Template;
    record.TemplateSha256 = Request.TemplateSha256;
    if (Outcome.Plan) {
        record.TimeZone = Value(Outcome.Plan->Intent, "Time Zone");
        // What the write set, whether or not the logger kept it: Differences
        // says what it did not.
        if (Outcome.Sent())
            record.Changes = PlannedChanges(Logger.Record, Outcome.Plan->Intent);
    } else {
        record.TimeZone = Value(before, "Time Zone");
    }
    record.Verified = Outcome.Verified();
    record.Failure = Outcome.Failure;
    record.Differences = Outcome.Differences;
    return record;
}

TAuditedWrite WriteAndRecord(const TFoundLogger &Logger, TWriteRequest Request, const TAuditRequest &Audit,
                             TProgressSink &Progress)
{
    TAuditedWrite done;
    if (!Audit.Log.isEmpty()) {
        // The intent goes in first: a crash between it and the result must
        // leave a trace that the logger may hold a write nobody saw end.
        Request.BeforeFrame = [&, before = Request.BeforeFrame](const TWriteOutcome &Outcome) {
            if (before)
                before(Outcome);
            TAuditRecord intent = AuditIntentOf(Logger, Outcome, Audit);
            QString error;
            TAuditAppend how;
            if (!AppendAuditRecord(Audit.Log, &intent, &error, &how)) {
                done.AuditError = error;
                throw EStationError(TExitStatus::BadInput,
                                    QStringLiteral("the audit record could not be appended to %1 (%2); nothing was "
                                                   "written to the logger")
                                        .arg(QDir::toNativeSeparators(Audit.Log), error)
                                        .toStdString());
            }
            done.CreatedPlainLog = how.Created;
            if (!how.Warning.isEmpty())
                done.Warnings << how.Warning;
            done.Intent = intent;
        };
    }
    done.Outcome = WriteLogger(Logger, Request, Progress);
    if (!done.Intent)
        return done;
    TAuditRecord result = AuditRecordOf(Logger, done.Outcome, Audit);
    result.Intent = done.Intent->Sequence;
    QString error;
    TAuditAppend how;
    if (!AppendAuditRecord(Audit.Log, &result, &error, &how)) {
        done.AuditError = error;
        return done;
    }
    if (!how.Warning.isEmpty())
        done.Warnings << how.Warning;
    done.Result = result;
    return done;
}

QString AuditLostText(const QString &Log, const QString &Error)
{
    return QStringLiteral("the audit record could not be appended to %1 (%2): the write is not recorded")
        .arg(QDir::toNativeSeparators(Log), Error);
}
