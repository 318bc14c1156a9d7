#pragma once

#include "BenchFigures.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace Bench {

inline TClock::duration ProcessCpu()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// Voluntary context switches of every thread alive now, by thread id: each is a
// sleep the thread chose, so each later increase is one wake-up.
inline std::map<int, long> VoluntarySwitches()
{
    std::map<int, long> switches;
    DIR *dir = ::opendir("/proc/self/task");
    while (const dirent *entry = dir ? ::readdir(dir) : nullptr) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream status(std::string("/proc/self/task/") + entry->d_name + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                switches[std::atoi(entry->d_name)] = std::atol(line.c_str() + line.find(':') + 1);
                break;
            }
        }
    }
    if (dir)
        ::closedir(dir);
    return switches;
}

// Time one thread of this process has spent on a CPU, kernel time included.
inline TClock::duration ThreadCpu(int tid)
{
    std::ifstream schedstat("/proc/self/task/" + std::to_string(tid) + "/schedstat");
    long long ns = 0;
    schedstat >> ns;
    return std::chrono::nanoseconds(ns);
}
inline TClock::duration ThreadsCpu(const std::vector<int> &tids)
{
    TClock::duration total{};
    for (int tid : tids)
        total += ThreadCpu(tid);
    return total;
}

// Wake-ups between two samples; a thread that appeared in between counts from 0.
inline long WakeupsBetween(const std::map<int, long> &before, const std::map<int, long> &after,
                           const std::vector<int> *only = nullptr)
{
    long total = 0;
    for (const auto &[tid, count] : after) {
        if (only && std::find(only->begin(), only->end(), tid) == only->end())
            continue;
        const auto earlier = before.find(tid);
        total += count - (earlier == before.end() ? 0 : earlier->second);
    }
    return total;
}

// A pseudo-terminal whose slave the reader under test opens; the master is the
// far end, in raw mode so that nothing is echoed or translated.
class TPty {
public:
    TPty()
    {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        char name[128] = {};
        if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0
            || ::ptsname_r(FMaster, name, sizeof name) != 0)
            throw EBenchFailure("cannot create a pseudo-terminal");
        termios t{};
        ::tcgetattr(FMaster, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(FMaster, TCSANOW, &t);
        FSlavePath = name;
    }
    ~TPty() { CloseMaster(); }
    TPty(const TPty &) = delete;
    TPty &operator=(const TPty &) = delete;

    int Master() const { return FMaster; }
    const std::string &SlavePath() const { return FSlavePath; }
    void CloseMaster()
    {
        if (FMaster >= 0)
            ::close(FMaster);
        FMaster = -1;
    }

private:
    int FMaster = -1;
    std::string FSlavePath;
};

// The same bytes on both sides of a flood, so that a lost or reordered byte shows.
inline std::vector<std::uint8_t> FloodPattern(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = 0x9E3779B9u;
    for (auto &b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return bytes;
}

} // namespace Bench
