#include "EventWait.h"

#include <QDeadlineTimer>
#include <QTimer>

bool TEventWait::Until(const std::function<bool()> &Done, std::chrono::milliseconds Limit)
{
    const QDeadlineTimer deadline(Limit);
    while (!Done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(std::chrono::ceil<std::chrono::milliseconds>(deadline.remainingTimeAsDuration()));
        FLoop = &loop;
        loop.exec();
        FLoop = nullptr;
    }
    return true;
}

void TEventWait::Wake()
{
    if (FLoop)
        FLoop->quit();
}

void TEventWait::Pause(std::chrono::milliseconds Span)
{
    QEventLoop loop;
    QTimer::singleShot(Span, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
