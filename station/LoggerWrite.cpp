#include "LoggerWrite.h"

#include "Backup.h"
#include "Discovery.h"
#include "LoggerLine.h"
#include "PrintableText.h"
#include "ProgressSink.h"
#include "RecordDecoder.h"
#include "Verify.h"

namespace {

// The logger answers a write within moments; a few seconds is plenty.
constexpr std::chrono::milliseconds AckLimit{3000};

[[noreturn]] void Fail(TExitStatus Status, const QString &Message)
{
    throw EStationError(Status, Message.toStdString());
}

// One exchange with a logger already found: a port that cannot be opened any
// more is the logger gone, not a logger never found.
TBlock ExchangeWithFound(const QString &Port, const std::uint8_t *Bytes, std::size_t Length,
                         std::chrono::milliseconds Limit, const QString &Consequence)
{
    try {
        return Exchange(Port, Bytes, Length, Limit, TLineUse::FoundLogger);
    } catch (const EStationError &e) {
        Fail(TExitStatus::LoggerFault, QString::fromUtf8(e.what()) + QStringLiteral("; ") + Consequence);
    }
}

std::string DeviceId(const TFrameBuffer &Record)
{
    return RecordSettings(Record).at(SettingIndex("Device ID")).front();
}

// The logger on the port now, read again just before the frame goes out: a
// logger changed on a cable that stays plugged in would otherwise be sent
// the first one's settings, identity and calibration among them.
void ConfirmSameLogger(const TFoundLogger &Logger, TWriteOutcome &Outcome)
{
    const QString nothing = QStringLiteral("nothing was written");
    const TBlock answer =
        ExchangeWithFound(Logger.Port, ProbeRequest.data(), ProbeRequest.size(), AnswerLimit, nothing);
    if (answer.empty())
        Fail(TExitStatus::LoggerFault,
             QStringLiteral("the logger on %1 did not answer when read again before the write; %2").arg(Logger.Port, nothing));
    if (JudgeAnswer(answer) != TPortAnswer::Record)
        Fail(TExitStatus::LoggerFault,
             QStringLiteral("the logger on %1 answered with a damaged frame when read again before the write; %2")
                 .arg(Logger.Port, nothing));
    TFrameBuffer now {};
    std::copy(answer.begin(), answer.end(), now.begin());
    if (SerialNumberText(now) != SerialNumberText(Logger.Record) || DeviceId(now) != DeviceId(Logger.Record)) {
        Outcome.Newcomer = now;
        Fail(TExitStatus::LoggerFault, QStringLiteral("another logger answers on %1: %2, where %3 was read; %4")
                                           .arg(Logger.Port, LoggerName(now), LoggerName(Logger.Record), nothing));
    }
    if (now != Logger.Record)
        Fail(TExitStatus::LoggerFault,
             QStringLiteral("the logger %1 on %2 holds other settings than when it was read; %3: read it again")
                 .arg(LoggerName(now), Logger.Port, nothing));
}

void SendFrame(const QString &Port, const TFrameBuffer &Frame)
{
    const TBlock answer = ExchangeWithFound(Port, Frame.data(), Frame.size(), AckLimit, QStringLiteral("nothing was written"));
    const QString unknown = QStringLiteral("it may hold the new settings or the old ones: read it to see which");
    if (answer.empty())
        Fail(TExitStatus::LoggerFault, QStringLiteral("the logger on %1 did not acknowledge the write; %2").arg(Port, unknown));
    if (!CheckFrame(answer.data(), answer.size()))
        Fail(TExitStatus::LoggerFault,
             QStringLiteral("the logger's answer to the write failed the frame check (Data Check Error); %1").arg(unknown));
    if (answer[2] != CmdSaveAck)
        Fail(TExitStatus::LoggerFault,
             QStringLiteral("the logger answered the write with command 0x%1, not with an acknowledgement; %2")
                 .arg(answer[2], 2, 16, QLatin1Char('0'))
                 .arg(unknown));
}

TWritePlan Plan(const TFoundLogger &Logger, const TWriteRequest &Request, const QDateTime &Time)
{
    const auto utc = std::chrono::system_clock::time_point(std::chrono::milliseconds(Time.toMSecsSinceEpoch()));
    if (Request.RestoreRecord)
        return PlanRestore(Logger.Record, *Request.RestoreRecord, utc);
    return PlanWrite(Logger.Record, Request.Values, Request.Scopes, utc);
}

} // namespace

QString LoggerName(const TFrameBuffer &Record)
{
    return PrintableText(QStringLiteral("%1 (device ID %2)")
                             .arg(QString::fromStdString(SerialNumberText(Record)),
                                  QString::fromStdString(DeviceId(Record))));
}

TWriteOutcome WriteLogger(const TFoundLogger &Logger, const TWriteRequest &Request, TProgressSink &Progress)
{
    TWriteOutcome outcome;
    outcome.Time = QDateTime::currentDateTimeUtc();
    try {
        try {
            outcome.Plan = Plan(Logger, Request, outcome.Time);
        } catch (const EWriteRefused &e) {
            outcome.RefusedSetting = e.Setting();
            Fail(TExitStatus::BadInput, QString::fromUtf8(e.what()));
        }
        for (const std::string &note : outcome.Plan->Notes)
            outcome.Notes << QString::fromStdString(note);

        outcome.Reached = TWriteStep::Backup;
        outcome.Backup = SaveBackup(BackupDirectory(Request.BackupDir), Logger.Record, Logger.Port, outcome.Time,
                                    Request.Program.toStdString());
        outcome.Reached = TWriteStep::Confirm;
        Progress.Phase(QStringLiteral("reading the logger again..."));
        ConfirmSameLogger(Logger, outcome);

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
            outcome.Failure = QStringLiteral("verify found %1 setting(s) other than asked: %2")
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
