#include "ParamterFrm.h"

#include "Backup.h"
#include "Comm.h"
#include "Guarded.h"
#include "ParamterControls.h"
#include "RecordDecoder.h"
#include "SaveAttempt.h"
#include "Verify.h"
#include "AuditLog.h"
#include "WriteAuditing.h"
#include "WriteFrame.h"
#include "ui_ParamterFrm.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

QString ProgramName()
{
    return (QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()).trimmed();
}

std::string DeviceIdOf(const TFrameBuffer &Record)
{
    return RecordSettings(Record).at(SettingIndex("Device ID")).front();
}

} // namespace

// What the logger held at the last Read, kept as loggerctl keeps it before a
// write, when the window is about to write to that same logger: a backup of
// another one's record would restore the wrong logger.
QString TParamter::KeepBackup()
{
    if (!FLastRecord || SerialNumberText(*FLastRecord) != ui->edtSerialNumber->text().toStdString()
        || DeviceIdOf(*FLastRecord) != ui->edtDeviceID->text().toUpper().toStdString())
        return {};
    try {
        return SaveBackup(BackupDirectory(FStation.BackupDir), *FLastRecord, FFoundPort, CurrentUtc(),
                          ProgramName().toStdString());
    } catch (const EStationError &e) {
        Prompt::Show(this, TPromptKind::Warning, QString::fromUtf8(e.what()));
        throw EAbort {};
    }
}

void TParamter::imgSaveClick()
{
    ui->imgSave0->hide();
    // While a Save reads the logger back, a second one is dropped as a press
    // behind a box is; one still waiting for its acknowledgement gives way.
    if (FSaveStage == TSaveStage::ReadingBack)
        return;
    AbandonSave();
    tmrRead->stop();  // a search still under way tries no further port
    CheckParameters();
    ConfirmPlausibility();

    // FSendBuf changes only when its frame is handed over: the bytes a later
    // save carries over must be those the logger was sent, not those of a save
    // that failed to convert or to open the port.
    const std::string separator = QString(FDecimalSeparator).toStdString();
    TFrameBuffer frame = FSendBuf;
    EncodeWriteFrame(frame, *FControls, separator);

    auto attempt = std::make_unique<TSaveAttempt>();
    attempt->Outcome.Time = CurrentUtc();
    attempt->Outcome.Plan = TWritePlan{};
    attempt->Outcome.Plan->Frame = frame;
    attempt->Outcome.Plan->Intent = CanonicalValues(CaptureSettings(*FControls, separator));
    attempt->Logger = {FFoundPort, FLastRecord.value_or(TFrameBuffer{})};
    if (!FStation.AuditLog.isEmpty()) {
        attempt->Audit = {FStation.AuditLog, FStation.Operator, TAuditAction::Write, ProgramName(), QString(), {}};
        try {
            CheckAuditLog(FStation.AuditLog);
        } catch (const EStationError &e) {
            Prompt::Show(this, TPromptKind::Warning, QString::fromUtf8(e.what()));
            throw EAbort {};
        }
    }
    attempt->Outcome.Reached = TWriteStep::Backup;
    attempt->Outcome.Backup = KeepBackup();
    FLastBackup = attempt->Outcome.Backup;
    RecordIntent(*attempt);

    OpenPortFor(FFoundPort);
    FixedWait();
    FSendBuf = frame;
    attempt->Outcome.Reached = TWriteStep::Frame;
    FSave = std::move(attempt);
    FSaveStage = TSaveStage::Acknowledging;
    Comm->SendData(FSendBuf.data(), static_cast<std::uint16_t>(FSendBuf.size()));
    // The port stays open for the acknowledgement, which CommReceiveData handles.
}

// A Save whose acknowledgement never came: whether the logger holds it is not
// known, as a Save without a read-back never knew, and nothing is claimed of it.
void TParamter::AbandonSave()
{
    if (FSaveStage != TSaveStage::Acknowledging)
        return;
    FSaveStage = TSaveStage::None;
    FSave.reset();
}

// The intent goes into the station's audit log before the frame: a Save whose
// acknowledgement never comes leaves it without a result, which the log then
// shows as a write that may or may not have happened. One that cannot be
// recorded is not sent.
void TParamter::RecordIntent(TSaveAttempt &Save)
{
    if (Save.Audit.Log.isEmpty())
        return;
    TAuditRecord intent = AuditIntentOf(Save.Logger, Save.Outcome, Save.Audit);
    QString error;
    if (!AppendAuditRecord(Save.Audit.Log, &intent, &error)) {
        Prompt::Show(this, TPromptKind::Warning,
                     AuditLostText(Save.Audit.Log, error) + QStringLiteral("; nothing was sent to the logger"));
        throw EAbort {};
    }
    Save.Intent = intent.Sequence;
}
