#include "LoggerWrite.h"

#include "Backup.h"
#include "LoggerLine.h"
#include "ParameterLayout.h"
#include "ProgressSink.h"

namespace {

// The logger answers a write within moments; a few seconds is plenty.
constexpr std::chrono::milliseconds AckLimit{3000};

[[noreturn]] void Fail(TExitStatus Status, const QString &Message)
{
    throw EStationError(Status, Message.toStdString());
}

void SendFrame(const QString &Port, const TFrameBuffer &Frame)
{
    const TBlock answer = Exchange(Port, Frame.data(), Frame.size(), AckLimit);
    if (answer.empty())
        Fail(TExitStatus::LoggerFault, QStringLiteral("the logger on %1 did not acknowledge the write").arg(Port));
    if (!CheckFrame(answer.data(), answer.size()))
        Fail(TExitStatus::LoggerFault,
             QStringLiteral("the logger's answer to the write failed the frame check (Data Check Error)"));
    if (answer[2] != CmdSaveAck)
        Fail(TExitStatus::LoggerFault,
             QStringLiteral("the logger answered the write with command 0x%1, not with an acknowledgement")
                 .arg(answer[2], 2, 16, QLatin1Char('0')));
}

} // namespace

TWriteOutcome WriteLogger(const TFoundLogger &Logger, const TWriteRequest &Request, TProgressSink &Progress)
{
    TWriteOutcome outcome;
    outcome.Time = QDateTime::currentDateTimeUtc();
    try {
        try {
            outcome.Plan = PlanWrite(Logger.Record, Request.Values, Request.Scopes,
                                     std::chrono::system_clock::time_point(
                                         std::chrono::milliseconds(outcome.Time.toMSecsSinceEpoch())));
        } catch (const EWriteRefused &e) {
            Fail(TExitStatus::BadInput, QString::fromUtf8(e.what()));
        }
        if (outcome.Plan->TripBytes > Offset::WriteTripInfoLength)
            outcome.Warnings << QStringLiteral("the trip information is %1 bytes (a line break counts two); a write "
                                               "carries the first %2")
                                    .arg(outcome.Plan->TripBytes)
                                    .arg(Offset::WriteTripInfoLength);

        outcome.Reached = TWriteStep::Backup;
        outcome.Backup = SaveBackup(BackupDirectory(Request.BackupDir), Logger.Record, Logger.Port, outcome.Time,
                                    Request.Program.toStdString());
        if (Request.BeforeFrame)
            Request.BeforeFrame(outcome);
        outcome.Reached = TWriteStep::Frame;
        Progress.Phase(QStringLiteral("writing..."));
        SendFrame(Logger.Port, outcome.Plan->Frame);

        outcome.Reached = TWriteStep::ReadBack;
        Progress.Phase(QStringLiteral("verifying..."));
        outcome.ReadBack = ReadBack(Logger.Port);

        outcome.Reached = TWriteStep::Verify;
        outcome.Differences = VerifyWrite(*outcome.Plan, *outcome.ReadBack);
        if (!outcome.Differences.empty()) {
            outcome.Status = TExitStatus::LoggerFault;
            QStringList names;
            for (const TSettingDifference &d : outcome.Differences)
                names << QString::fromStdString(d.Name);
            outcome.Failure = QStringLiteral("verify found %1 setting(s) other than written: %2")
                                  .arg(outcome.Differences.size())
                                  .arg(names.join(QStringLiteral(", ")));
            return outcome;
        }
        outcome.Reached = TWriteStep::Done;
    } catch (const EStationError &e) {
        outcome.Status = e.Status();
        outcome.Failure = QString::fromUtf8(e.what());
    }
    return outcome;
}
