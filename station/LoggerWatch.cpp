#include "LoggerWatch.h"

#include "RecordDecoder.h"

#include <algorithm>

std::vector<TLoggerWatch::TEvent> TLoggerWatch::SetPorts(const QStringList &ports, TTime now)
{
    std::vector<TEvent> events;
    // A port that left the list starts afresh when it comes back: it is a
    // device plugged in anew.
    for (auto it = FStates.begin(); it != FStates.end();)
        it = ports.contains(it->first) ? std::next(it) : FStates.erase(it);
    for (const QString &port : ports)
        if (!FStates.count(port))
            FStates[port].Next = now;
    if (FHandled && !ports.contains(FHandled->Port)) {
        events.push_back({TEvent::TKind::Gone, FHandled->Port, FHandled->SerialNumber});
        FHandled.reset();
    }
    FPorts = ports;
    return events;
}

QStringList TLoggerWatch::Due(TTime now) const
{
    if (FHandled)
        return now >= FHandled->Next ? QStringList{FHandled->Port} : QStringList{};
    QStringList due;
    for (const QString &port : FPorts)
        if (FStates.at(port).Next <= now)
            due << port;
    return due;
}

TLoggerWatch::TTime TLoggerWatch::NextDue() const
{
    if (FHandled)
        return FHandled->Next;
    TTime next = TTime::max();
    for (const QString &port : FPorts)
        next = std::min(next, FStates.at(port).Next);
    return next;
}

void TLoggerWatch::Failed(TPortState &state, TTime now)
{
    ++state.Failures;
    auto wait = FirstRetry;
    for (int i = 1; i < state.Failures && wait < LongestRetry; ++i)
        wait *= 2;
    state.Next = now + std::min(wait, LongestRetry);
}

void TLoggerWatch::Record(const TPortResult &result, TTime now, bool &taken, std::vector<TEvent> &events)
{
    // The first logger in list order is taken; any other waits for its turn
    // and is asked again once this one has gone.
    if (taken || FHandled)
        return;
    taken = true;
    const std::string serial = SerialNumberText(result.Record);
    if (FConfigured.count(serial)) {
        events.push_back({TEvent::TKind::AlreadyConfigured, result.Port, serial});
        FHandled = THandled{result.Port, serial, 0, now + StillThereLook};
        return;
    }
    events.push_back({TEvent::TKind::Take, result.Port, serial, result.Record});
}

std::vector<TLoggerWatch::TEvent> TLoggerWatch::Answered(const TDiscovery &round, TTime now)
{
    std::vector<TEvent> events;
    const bool cutShort = round.Found() != nullptr || round.Abandoned;
    bool taken = false;
    for (const TPortResult &result : round.Ports) {
        const auto state = FStates.find(result.Port);
        if (state == FStates.end())
            continue;  // left the list while it was asked
        const bool record = result.Answer == TPortAnswer::Record;
        if (result.Answer == TPortAnswer::NoAnswer && round.Abandoned)
            continue;  // asked again at once

        if (FHandled && result.Port == FHandled->Port) {
            if (record && SerialNumberText(result.Record) == FHandled->SerialNumber) {
                FHandled->Misses = 0;
                FHandled->Next = now + StillThereLook;
                continue;
            }
            if (!record && ++FHandled->Misses < MissesUntilGone) {
                FHandled->Next = now + StillThereLook;
                continue;
            }
            events.push_back({TEvent::TKind::Gone, FHandled->Port, FHandled->SerialNumber});
            FHandled.reset();
            // Another logger on the same cable is taken at once.
        }

        if (record) {
            state->second.Failures = 0;
            state->second.Next = now;
            Record(result, now, taken, events);
            continue;
        }
        if (result.Answer == TPortAnswer::NoAnswer && cutShort)
            continue;  // not asked long enough to count
        Failed(state->second, now);
        if (result.Answer == TPortAnswer::Denied && !state->second.DeniedTold) {
            state->second.DeniedTold = true;
            events.push_back({TEvent::TKind::Denied, result.Port, {}});
        }
    }
    return events;
}

void TLoggerWatch::Handled(const QString &port, const std::string &serialNumber, bool configured, TTime now)
{
    if (configured)
        FConfigured.insert(serialNumber);
    FHandled = THandled{port, serialNumber, 0, now + StillThereLook};
    // Unplugged while it was written: gone already.
    if (!FPorts.contains(port))
        FHandled.reset();
}
