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

TBlock Exchange(const QString &Port, const std::uint8_t *Request, std::size_t Length,
                std::chrono::milliseconds Limit)
{
    TEventWait wait;
    TLoggerLine line(Port, wait);
    switch (line.Open()) {
    case TOpenResult::Opened: break;
    case TOpenResult::Denied:
        throw EStationError(TExitStatus::NoLogger, DeniedPortsAdvice({Port}).toStdString());
    case TOpenResult::Failed:
        throw EStationError(TExitStatus::NoLogger,
                        "cannot open " + Port.toStdString() + ": it is missing or another program uses it");
    }
    TEventWait::Pause(TLoggerLine::SettleWait);
    if (line.Send(Request, Length))
        wait.Until([&] { return line.Answer().has_value() || line.HungUp(); }, Limit);
    TBlock answer = line.Answer().value_or(TBlock{});
    line.Close();
    TEventWait::Pause(TLoggerLine::SettleWait);
    return answer;
}
