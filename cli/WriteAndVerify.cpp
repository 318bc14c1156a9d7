#include "WriteAndVerify.h"

#include "AuditLog.h"
#include "WriteAuditing.h"
#include "Backup.h"
#include "Console.h"
#include "Discovery.h"
#include "LoggerLine.h"
#include "ParameterLayout.h"
#include "Progress.h"
#include "RecordDecoder.h"

namespace {

// The logger answers a write within moments; a few seconds is plenty.
constexpr std::chrono::milliseconds AckLimit{3000};

[[noreturn]] void Fail(TExitStatus Status, const QString &Message)
{
    throw ECtlError(Status, Message.toStdString());
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

TWriteOutcome WriteLogger(const TFoundLogger &Logger, const TWriteRequest &Request, TContext &Context)
{
    TWriteOutcome outcome;
    outcome.Time = QDateTime::currentDateTimeUtc();
    try {
        outcome.Plan = PlanWrite(Logger.Record, Request.Values, Request.Scopes,
                                 std::chrono::system_clock::time_point(
                                     std::chrono::milliseconds(outcome.Time.toMSecsSinceEpoch())));
        if (outcome.Plan->TripBytes > Offset::WriteTripInfoLength)
            Console::Warning(QStringLiteral("the trip information is %1 bytes (a line break counts two); a write "
                                            "carries the first %2")
                                 .arg(outcome.Plan->TripBytes)
                                 .arg(Offset::WriteTripInfoLength));

        outcome.Reached = TWriteStep::Backup;
        outcome.Backup = SaveBackup(BackupDirectory(Request.BackupDir), Logger.Record, Logger.Port, outcome.Time,
                                    Context.Program.toStdString());
        outcome.Reached = TWriteStep::Frame;
        Context.Progress->Phase(QStringLiteral("writing..."));
        SendFrame(Logger.Port, outcome.Plan->Frame);

        outcome.Reached = TWriteStep::ReadBack;
        Context.Progress->Phase(QStringLiteral("verifying..."));
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
    } catch (const ECtlError &e) {
        outcome.Status = e.Status();
        outcome.Failure = QString::fromUtf8(e.what());
    }
    return outcome;
}

void PrintDifferences(const std::vector<TSettingDifference> &Differences)
{
    for (const TSettingDifference &d : Differences)
        Console::Message(QStringLiteral("%1: expected %2, read back %3")
                             .arg(QString::fromStdString(d.Name), QString::fromStdString(d.Old),
                                  QString::fromStdString(d.New)));
}

TExitStatus WriteAndVerify(const TFoundLogger &Logger, const TWriteRequest &Request, const TAuditRequest &Audit,
                           TContext &Context)
{
    const TWriteOutcome outcome = WriteLogger(Logger, Request, Context);
    if (!outcome.Sent())
        throw ECtlError(outcome.Status, outcome.Failure.toStdString());

    const QString serial = QString::fromStdString(SerialNumberText(Logger.Record));
    if (outcome.Reached == TWriteStep::Frame)
        Console::Message(outcome.Failure + QStringLiteral("; what it held before is in %1").arg(outcome.Backup));
    else if (outcome.Reached == TWriteStep::ReadBack)
        Console::Message(outcome.Failure);
    else if (outcome.Reached == TWriteStep::Verify) {
        PrintDifferences(outcome.Differences);
        Console::Message(QStringLiteral("verify failed: the logger %1 on %2 holds %3 setting(s) other than written; "
                                        "what it held before is in %4")
                             .arg(serial, Logger.Port)
                             .arg(outcome.Differences.size())
                             .arg(outcome.Backup));
    } else {
        Console::Message(QStringLiteral("wrote %1 to the logger %2 on %3 and verified every setting; backup %4")
                             .arg(Request.FileName, serial, Logger.Port, outcome.Backup));
    }

    if (!Audit.Log.isEmpty()) {
        TAuditRecord record = AuditRecordOf(Logger, outcome, Audit);
        QString error;
        if (!AppendAuditRecord(Audit.Log, &record, &error)) {
            Console::Message(AuditLostText(Audit.Log, error));
            return TExitStatus::LoggerFault;
        }
        Console::Message(QStringLiteral("audit record %1 appended to %2").arg(record.Sequence).arg(Audit.Log));
    }
    return outcome.Status;
}
