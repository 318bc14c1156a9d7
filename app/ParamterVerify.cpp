#include "ParamterFrm.h"

#include "AuditLog.h"
#include "Comm.h"
#include "Guarded.h"
#include "OnScreen.h"
#include "ParamterControls.h"
#include "Prompt.h"
#include "SaveAttempt.h"
#include "Verify.h"
#include "WriteAuditing.h"
#include "ui_ParamterFrm.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

constexpr int SaveWaitMs = 3000;

// The control that shows what differs, for the focus: of a duration or a
// date the part that differs, of a group of radio buttons the one asked for.
Ctl ControlOf(const TSetting &Setting, const TSettingValue &Asked, const TSettingValue &Held)
{
    for (const auto &[caption, button] : Setting.Options)
        if (Asked.front() == caption)
            return button;
    if (!Setting.Options.empty())
        return Setting.Options.front().second;
    for (std::size_t p = 0; p < Setting.Parts.size() && p < Asked.size() && p < Held.size(); ++p)
        if (Asked[p] != Held[p])
            return Setting.Parts[p].Control;
    return Setting.Parts.front().Control;
}

QString Difference(const TSettingDifference &d)
{
    return QStringLiteral("%1: sent %2, the logger holds %3")
        .arg(QString::fromStdString(d.Name), QString::fromStdString(d.Old), QString::fromStdString(d.New));
}

} // namespace

// The logger said it took the frame; what it kept shows only when it is read.
void TParamter::SaveAcknowledged()
{
    tmrSaveWait->stop();
    FSaveStage = TSaveStage::ReadingBack;
    FSave->Outcome.Reached = TWriteStep::ReadBack;
    // Once the receive handler has closed the port and let the line settle.
    QTimer::singleShot(0, this, [this] { Guarded(this, [this] { SendSaveReadBack(); }); });
}

// The same exchange as Read's, on the port that took the Save.
void TParamter::SendSaveReadBack()
{
    if (FSaveStage != TSaveStage::ReadingBack)
        return;
    try {
        OpenPortFor(FFoundPort);
    } catch (const ECommsError &) {
        SaveFailed(QStringLiteral("The port cannot be opened again to read the logger back after the save, so the "
                                  "save is not verified. Press Read to see what the logger holds."));
        return;
    }
    FixedWait();
    tmrSaveWait->start(SaveWaitMs);
    Comm->SendData(FProbeFrame.data(), static_cast<std::uint16_t>(FProbeFrame.size()));
}

// The record the logger answered the read-back with is in FRecvBuf: compared
// with what the controls held at Save, through the comparison loggerctl's
// verify makes. The controls are left as they are, so that Save can be
// pressed again.
void TParamter::SaveReadBack()
{
    tmrSaveWait->stop();
    const std::unique_ptr<TSaveAttempt> save = std::move(FSave);
    TWriteOutcome &outcome = save->Outcome;
    outcome.ReadBack = FRecvBuf;
    outcome.Reached = TWriteStep::Verify;
    outcome.Differences = IntentDifferences(outcome.Plan->Intent, FRecvBuf);
    FLastRecord = FRecvBuf;
    FLastRecordAt = CurrentUtc();
    FSaveStage = TSaveStage::None;
    if (outcome.Differences.empty()) {
        outcome.Reached = TWriteStep::Done;
        RecordSave(*save);
        Prompt::Show(this, TPromptKind::Information, QStringLiteral("Save Success"));
        return;
    }
    outcome.Status = TExitStatus::LoggerFault;
    QStringList names;
    for (const TSettingDifference &d : outcome.Differences)
        names << QString::fromStdString(d.Name);
    outcome.Failure = QStringLiteral("verify found %1 setting(s) other than asked: %2")
                          .arg(outcome.Differences.size())
                          .arg(names.join(QStringLiteral(", ")));
    RecordSave(*save);

    const TSettingDifference &first = outcome.Differences.front();
    const std::size_t index = SettingIndex(first.Name);
    const TSettingValues held = CanonicalValues(RecordSettings(FRecvBuf));
    QWidget *control = FControls->Widget(ControlOf(Settings().at(index), outcome.Plan->Intent.at(index), held.at(index)));
    if (control->isEnabled() && IsOnScreen(control))
        control->setFocus(Qt::OtherFocusReason);
    QString text = QStringLiteral("The logger did not keep what was saved. %1.").arg(Difference(first));
    QStringList all;
    for (const TSettingDifference &d : outcome.Differences)
        all << Difference(d);
    if (outcome.Differences.size() > 1)
        text += QStringLiteral("\n\n%1 more setting(s) differ; the details list them all.").arg(outcome.Differences.size() - 1);
    Prompt::Show(this, TPromptKind::Warning, text, outcome.Differences.size() > 1 ? all.join(QLatin1Char('\n')) : QString());
}

void TParamter::SaveFailed(const QString &Message)
{
    tmrSaveWait->stop();
    FSaveStage = TSaveStage::None;
    if (const std::unique_ptr<TSaveAttempt> save = std::move(FSave)) {
        save->Outcome.Status = TExitStatus::LoggerFault;
        save->Outcome.Failure = Message;
        RecordSave(*save);
    }
    Prompt::Show(this, TPromptKind::Warning, Message);
}

void TParamter::SaveTimedOut()
{
    if (FSaveStage != TSaveStage::ReadingBack)
        return;
    ClosePortAndWait();
    SaveFailed(QStringLiteral("The logger did not answer when read back after the save, so the save is not verified. "
                              "Press Read to see what it holds."));
}

// The station's audit log, when it keeps one, gets the record loggerctl's
// write would append.
void TParamter::RecordSave(const TSaveAttempt &Save)
{
    if (Save.Audit.Log.isEmpty()) {
        KeepSavedWrite(Save);
        return;
    }
    TAuditRecord record = AuditRecordOf(Save.Logger, Save.Outcome, Save.Audit);
    record.Intent = Save.Intent;
    QString error;
    if (!AppendAuditRecord(Save.Audit.Log, &record, &error)) {
        KeepSavedWrite(Save);
        Prompt::Show(this, TPromptKind::Warning,
                     AuditLostText(Save.Audit.Log, error)
                         + QStringLiteral("; its intent, record %1, stays without a result").arg(Save.Intent));
        return;
    }
    KeepSavedWrite(Save);
    FLastSave->Write.Result = record;
}

void TParamter::KeepSavedWrite(const TSaveAttempt &Save)
{
    FLastSave = std::make_unique<TSavedWrite>();
    FLastSave->Write.Outcome = Save.Outcome;
    FLastSave->Logger = Save.Logger;
    FLastSave->Audit = Save.Audit;
}
