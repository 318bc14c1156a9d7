#pragma once

#include "Discovery.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// What a batch asks of which port when, and what the answers mean, without
// any port of its own: a port that appears is asked at once, a port that
// keeps failing less and less often, and a logger once taken must go away
// (its port leaves the list, or another serial number answers on it, or
// nothing does) before the next one is taken.
class TLoggerWatch
{
public:
    using TClock = std::chrono::steady_clock;
    using TTime = TClock::time_point;

    // After a failed probe a port waits this long, twice as long after each
    // further one, at most LongestRetry: a port that never answers (another
    // device, an adapter without its logger) is asked a few times a minute.
    static constexpr std::chrono::milliseconds FirstRetry{1000};
    static constexpr std::chrono::milliseconds LongestRetry{8000};
    // How often the logger just handled is asked whether it is still there.
    static constexpr std::chrono::milliseconds StillThereLook{1000};
    // Probes in a row without its answer that count as the logger gone; one
    // lost answer is not enough.
    static constexpr int MissesUntilGone = 2;

    struct TEvent {
        enum class TKind {
            Take,               // configure this logger
            AlreadyConfigured,  // it was configured earlier in this batch; it now waits to go away
            Gone,               // the logger handled last went away
            Denied,             // the user may not open this port; said once while it is listed
        };
        TKind Kind;
        QString Port;
        std::string SerialNumber;
        TFrameBuffer Record {};  // Take only
    };

    // The port list as read now.
    std::vector<TEvent> SetPorts(const QStringList &ports, TTime now);
    // The ports to probe now, in list order: while a logger waits to go away,
    // its port alone.
    QStringList Due(TTime now) const;
    // When Due() next has a port, as far as time alone decides.
    TTime NextDue() const;
    // The answers of a probe of Due()'s ports, which ended at the first sound
    // record or was abandoned: a port still waiting then was not asked long
    // enough, and nothing is held against it.
    std::vector<TEvent> Answered(const TDiscovery &round, TTime now);
    // The logger taken has been handled, configured or not; until it goes
    // away, no other is taken. One configured stays so for the whole batch: if
    // it comes back it is not written again, where one that failed is.
    void Handled(const QString &port, const std::string &serialNumber, bool configured, TTime now);

    bool Waiting() const { return FHandled.has_value(); }

private:
    struct TPortState {
        int Failures = 0;
        TTime Next{};
        bool DeniedTold = false;
    };
    struct THandled {
        QString Port;
        std::string SerialNumber;
        int Misses = 0;
        TTime Next{};
    };

    void Failed(TPortState &state, TTime now);
    void Record(const TPortResult &result, TTime now, bool &taken, std::vector<TEvent> &events);

    QStringList FPorts;
    std::map<QString, TPortState> FStates;
    std::optional<THandled> FHandled;
    std::set<std::string> FConfigured;
};
