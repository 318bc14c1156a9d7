#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

// The tool's end of the line with plain POSIX calls, reading blocks the way the
// tool does: a block ends when the line has been quiet for the interval.
namespace LineClient {

using TBytes = std::vector<std::uint8_t>;
using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct TBlock {
    TBytes Bytes;
    TClock::time_point First, Last;
};

inline int Open(const std::string &path)
{
    return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

inline bool Send(int fd, const TBytes &bytes)
{
    return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

inline int MillisecondsUntil(TClock::time_point t)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(t - TClock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

// Empty when no byte arrives within `wait`.
inline TBlock ReadBlock(int fd, std::chrono::milliseconds wait, std::chrono::milliseconds silence = 200ms)
{
    TBlock block;
    auto deadline = TClock::now() + wait;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, MillisecondsUntil(deadline)) <= 0 || !(p.revents & POLLIN))
            return block;
        std::uint8_t buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return block;
        const auto now = TClock::now();
        if (block.Bytes.empty())
            block.First = now;
        block.Last = now;
        block.Bytes.insert(block.Bytes.end(), buffer, buffer + n);
        deadline = now + silence;
    }
}

// A private runtime directory, so that registrations never touch the user's.
inline void UsePrivateRuntimeDirectory(QTemporaryDir &dir)
{
    QVERIFY(dir.isValid());
    QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0700), 0);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
}

} // namespace LineClient
