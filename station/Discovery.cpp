#include "Discovery.h"

#include "EventWait.h"
#include "LoggerLine.h"

#include <algorithm>
#include <memory>

TPortAnswer JudgeAnswer(const std::vector<std::uint8_t> &Block)
{
    if (!CheckFrame(Block.data(), Block.size()))
        return TPortAnswer::Damaged;
    if (Block[2] != CmdParameterRecord)
        return TPortAnswer::OtherFrame;
    return Block.size() == FrameBufferSize ? TPortAnswer::Record : TPortAnswer::Damaged;
}

namespace {

TPortAnswer NotOpened(TOpenResult Result)
{
    switch (Result) {
    case TOpenResult::Denied: return TPortAnswer::Denied;
    case TOpenResult::InUse: return TPortAnswer::InUse;
    case TOpenResult::Missing: return TPortAnswer::Missing;
    case TOpenResult::NotSerial: return TPortAnswer::NotSerial;
    case TOpenResult::Opened:
    case TOpenResult::Failed: break;
    }
    return TPortAnswer::CannotOpen;
}

} // namespace

QString CannotOpenText(const TPortResult &Result)
{
    for (const TOpenResult failure : {TOpenResult::Denied, TOpenResult::InUse, TOpenResult::Missing,
                                      TOpenResult::NotSerial, TOpenResult::Failed})
        if (NotOpened(failure) == Result.Answer)
            return OpenFailureText(Result.Port, failure);
    return {};
}

const TPortResult *TDiscovery::Found() const
{
    const auto it = std::find_if(Ports.begin(), Ports.end(),
                                 [](const TPortResult &p) { return p.Answer == TPortAnswer::Record; });
    return it == Ports.end() ? nullptr : &*it;
}

QStringList TDiscovery::With(TPortAnswer Answer) const
{
    QStringList names;
    for (const TPortResult &p : Ports)
        if (p.Answer == Answer)
            names << p.Port;
    return names;
}

TDiscovery ProbePorts(const QStringList &Ports, TProbeEnd End, std::chrono::milliseconds Limit,
                      const std::function<bool()> &Abandon, std::chrono::milliseconds StartLimit)
{
    using TClock = std::chrono::steady_clock;
    const auto start = TClock::now();
    TEventWait wait;
    std::vector<std::unique_ptr<TLoggerLine>> lines;
    TDiscovery result;
    for (const QString &port : Ports) {
        lines.push_back(std::make_unique<TLoggerLine>(port, wait));
        TPortResult entry{port};
        if (const TOpenResult opened = lines.back()->Open(); opened != TOpenResult::Opened)
            entry.Answer = NotOpened(opened);
        result.Ports.push_back(entry);
    }
    const auto open = [&](std::size_t i) { return lines[i]->IsOpen(); };

    TEventWait::Pause(TLoggerLine::SettleWait);
    bool anyProbe = false;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (open(i))
            anyProbe |= lines[i]->Send(ProbeRequest.data(), ProbeRequest.size());
    const auto sent = TClock::now();

    // The first block of a port is its answer, whatever it holds.
    const auto settled = [&] {
        bool all = true;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!open(i))
                continue;
            const auto &answer = lines[i]->Answer();
            if (!answer && !lines[i]->HungUp())
                all = false;
            else if (End == TProbeEnd::FirstRecord && answer && JudgeAnswer(*answer) == TPortAnswer::Record)
                return true;
        }
        return all;
    };
    // Once the start limit has passed, a port on which nothing has begun to
    // come is silent and closed; one that cannot tell keeps the whole limit.
    const auto closeSilent = [&] {
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (open(i) && !lines[i]->Answer() && !lines[i]->HungUp()
                && lines[i]->Receiving() == TReceiving::Quiet)
                lines[i]->Close();
    };

    constexpr std::chrono::milliseconds AbandonLook{100};
    const auto deadline = sent + Limit;
    const auto startBy = sent + std::min(StartLimit, Limit);
    bool startPassed = StartLimit >= Limit;
    while (anyProbe) {
        auto until = startPassed ? deadline : startBy;
        if (Abandon)
            until = std::min(until, TClock::now() + AbandonLook);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - TClock::now());
        if (wait.Until(settled, std::max(left, std::chrono::milliseconds::zero())))
            break;
        const auto now = TClock::now();
        if (now >= deadline)
            break;
        if (!startPassed && now >= startBy) {
            startPassed = true;
            closeSilent();
            continue;
        }
        if (Abandon && Abandon()) {
            result.Abandoned = true;
            break;
        }
    }
    result.Searched = std::chrono::steady_clock::now() - start;

    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!open(i))
            continue;
        TPortResult &entry = result.Ports[i];
        if (const auto &answer = lines[i]->Answer()) {
            entry.Answer = JudgeAnswer(*answer);
            if (entry.Answer == TPortAnswer::Record)
                std::copy(answer->begin(), answer->end(), entry.Record.begin());
        }
        lines[i]->Close();
    }
    if (!lines.empty())
        TEventWait::Pause(TLoggerLine::SettleWait);
    return result;
}
