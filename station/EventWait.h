#pragma once

#include <QEventLoop>

#include <chrono>
#include <functional>

// The serial component reports on the event loop of the thread that owns it,
// so every wait of loggerctl runs that loop instead of sleeping.
class TEventWait
{
public:
    // Runs the loop until Done() holds after a Wake(), or until Limit has passed;
    // the result is Done()'s.
    bool Until(const std::function<bool()> &Done, std::chrono::milliseconds Limit);
    // Called by a handler that changed what Done() looks at.
    void Wake();

    // Runs the loop for a fixed time: the line's settling waits.
    static void Pause(std::chrono::milliseconds Span);

private:
    QEventLoop *FLoop = nullptr;
};
