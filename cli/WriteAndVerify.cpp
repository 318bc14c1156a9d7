#include "WriteAndVerify.h"

#include "Backup.h"
#include "Console.h"
#include "Discovery.h"
#include "LoggerLine.h"
#include "ParameterLayout.h"
#include "Progress.h"
#include "RecordDecoder.h"
#include "WritePlan.h"

namespace {

// The logger answers a write within moments; a few seconds is plenty.
constexpr std::chrono::milliseconds AckLimit{3000};

[[noreturn]] void Fail(TExitStatus Status, const QString &Message)
{
    throw ECtlError(Status, Message.toStdString());
}

void SendFrame(const QString &Port, const TFrameBuffer &Frame, const QString &Backup)
{
    const QString kept = QStringLiteral("; what it held before is in %1").arg(Backup);
    const TBlock answer = Exchange(Port, Frame.data(), Frame.size(), AckLimit);
    if (answer.empty())
        Fail(TExitStatus::LoggerFault, QStringLiteral("the logger on %1 did not acknowledge the write").arg(Port) + kept);
    if (!CheckFrame(answer.data(), answer.size()))
        Fail(TExitStatus::LoggerFault,
             QStringLiteral("the logger's answer to the write failed the frame check (Data Check Error)") + kept);
    if (answer[2] != CmdSaveAck)
        Fail(TExitStatus::LoggerFault,
             QStringLiteral("the logger answered the write with command 0x%1, not with an acknowledgement")
                     .arg(answer[2], 2, 16, QLatin1Char('0'))
                 + kept);
}

} // namespace

TExitStatus WriteAndVerify(const TFoundLogger &Logger, const TWriteRequest &Request, TContext &Context)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const TWritePlan plan = PlanWrite(Logger.Record, Request.Values, Request.Scopes,
                                      std::chrono::system_clock::time_point(std::chrono::milliseconds(now.toMSecsSinceEpoch())));
    if (plan.TripBytes > Offset::WriteTripInfoLength)
        Console::Warning(QStringLiteral("the trip information is %1 bytes (a line break counts two); a write carries "
                                        "the first %2")
                             .arg(plan.TripBytes)
                             .arg(Offset::WriteTripInfoLength));

    const QString backup = SaveBackup(BackupDirectory(Request.BackupDir), Logger.Record, Logger.Port, now,
                                      Context.Program.toStdString());
    Context.Progress->Phase(QStringLiteral("writing..."));
    SendFrame(Logger.Port, plan.Frame, backup);

    Context.Progress->Phase(QStringLiteral("verifying..."));
    const std::vector<TSettingDifference> differences = VerifyWrite(plan, ReadBack(Logger.Port));
    const QString serial = QString::fromStdString(SerialNumberText(Logger.Record));
    if (!differences.empty()) {
        for (const TSettingDifference &d : differences)
            Console::Message(QStringLiteral("%1: expected %2, read back %3")
                                 .arg(QString::fromStdString(d.Name), QString::fromStdString(d.Old),
                                      QString::fromStdString(d.New)));
        Console::Message(QStringLiteral("verify failed: the logger %1 on %2 holds %3 setting(s) other than written; "
                                        "what it held before is in %4")
                             .arg(serial, Logger.Port)
                             .arg(differences.size())
                             .arg(backup));
        return TExitStatus::LoggerFault;
    }
    Console::Message(QStringLiteral("wrote %1 to the logger %2 on %3 and verified every setting; backup %4")
                         .arg(Request.FileName, serial, Logger.Port, backup));
    return TExitStatus::Success;
}
