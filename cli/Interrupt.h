#pragma once

#include <functional>
#include <memory>

// Ctrl+C as an event of the event loop rather than the end of the program,
// so that a batch stops between loggers, never in the middle of a write, and
// leaves with its summary. On Linux SIGINT and SIGTERM, on Windows Ctrl+C and
// Ctrl+Break. A second one ends the program at once, as it would without.
// One at a time; the program's own handling comes back when it goes.
class TInterrupt
{
public:
    // OnInterrupt runs on the thread that made this, from its event loop.
    explicit TInterrupt(std::function<void()> OnInterrupt);
    ~TInterrupt();
    TInterrupt(const TInterrupt &) = delete;
    TInterrupt &operator=(const TInterrupt &) = delete;

    bool Requested() const { return FRequested; }

private:
    class TPlatform;

    void Arrived();

    std::function<void()> FOnInterrupt;
    bool FRequested = false;
    std::unique_ptr<TPlatform> FPlatform;
};
