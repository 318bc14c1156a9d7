#include "LoggerLine.h"

#include "DeniedPortsAdvice.h"
#include "EventWait.h"
#include "StationError.h"

namespace {
constexpr std::uint32_t LineBaudRate = 9600;
constexpr std::uint32_t FrameSilenceMs = 200;
} // namespace

TLoggerLine::TLoggerLine(const QString &Port, TEventWait &Wait)
    : FPort(Port), FWait(Wait)
{
    // The window's component differs from a new one only in its flow control.
    FComm.SetOutx_XonXoffFlow(false);
    FComm.SetInx_XonXoffFlow(false);
    FComm.SetCommName(Port);
    FComm.SetBaudRate(LineBaudRate);
    FComm.SetReadIntervalTimeout(FrameSilenceMs);
    FComm.SetWatchReceiving(true);
    FComm.OnReceiveData = [this](TComm *, const std::uint8_t *Buffer, std::uint16_t Length) {
        if (!FListening || FAnswer)
            return;
        FAnswer = TBlock(Buffer, Buffer + Length);
        FWait.Wake();
    };
    FComm.OnRequestHangup = [this](TComm *) {
        FHungUp = true;
        FWait.Wake();
    };
}

TLoggerLine::~TLoggerLine()
{
    Close();
}

TOpenResult TLoggerLine::Open()
{
    FAnswer.reset();
    FHungUp = false;
    try {
        FComm.OpenPort();
    } catch (const ECommsAccessDenied &) {
        return TOpenResult::Denied;
    } catch (const ECommsPortInUse &) {
        return TOpenResult::InUse;
    } catch (const ECommsNoSuchPort &) {
        return TOpenResult::Missing;
    } catch (const ECommsNotSerialPort &) {
        return TOpenResult::NotSerial;
    } catch (const ECommsError &) {
        return TOpenResult::Failed;
    }
    FListening = true;
    return TOpenResult::Opened;
}

bool TLoggerLine::IsOpen() const
{
    return FComm.Handle() != 0;
}

bool TLoggerLine::Send(const std::uint8_t *Bytes, std::size_t Length)
{
    return IsOpen() && FComm.SendData(Bytes, static_cast<std::uint16_t>(Length));
}

void TLoggerLine::Close()
{
    FListening = false;
    if (FComm.Handle() != 0)
        FComm.ClosePort();
}

QString OpenFailureText(const QString &Port, TOpenResult Result)
{
    switch (Result) {
    case TOpenResult::Opened: break;
    case TOpenResult::Denied: return QStringLiteral("%1: permission denied").arg(Port);
    case TOpenResult::InUse: return QStringLiteral("%1 is in use by another program").arg(Port);
    case TOpenResult::Missing: return QStringLiteral("there is no port %1").arg(Port);
    case TOpenResult::NotSerial: return QStringLiteral("%1 is not a serial port").arg(Port);
    case TOpenResult::Failed: return QStringLiteral("cannot open %1").arg(Port);
    }
    return {};
}

TBlock Exchange(const QString &Port, const std::uint8_t *Request, std::size_t Length,
                std::chrono::milliseconds Limit, TLineUse Use)
{
    TEventWait wait;
    TLoggerLine line(Port, wait);
    if (const TOpenResult opened = line.Open(); opened != TOpenResult::Opened) {
        // A logger that answered a moment ago was found: "no logger found"
        // would tell a script that nothing happened, while a write may
        // already have reached it.
        if (Use == TLineUse::FoundLogger)
            throw EStationError(TExitStatus::LoggerFault,
                                QStringLiteral("the logger on %1 went away: %2")
                                    .arg(Port, OpenFailureText(Port, opened))
                                    .toStdString());
        if (opened == TOpenResult::Denied)
            throw EStationError(TExitStatus::NoLogger, DeniedPortsAdvice({Port}).toStdString());
        throw EStationError(TExitStatus::NoLogger, OpenFailureText(Port, opened).toStdString());
    }
    TEventWait::Pause(TLoggerLine::SettleWait);
    if (line.Send(Request, Length))
        wait.Until([&] { return line.Answer().has_value() || line.HungUp(); }, Limit);
    TBlock answer = line.Answer().value_or(TBlock{});
    line.Close();
    TEventWait::Pause(TLoggerLine::SettleWait);
    return answer;
}
