#pragma once

#include "E2eSupport.h"
#include "Prompt.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <ctime>

// CPU time of the whole process, all threads, in milliseconds.
inline qint64 ProcessCpuMs()
{
    timespec t {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// CPU the process uses while its event loop serves whatever is due for `ms`.
inline qint64 CpuWhileWaiting(int ms)
{
    const qint64 before = ProcessCpuMs();
    QTest::qWait(ms);
    return ProcessCpuMs() - before;
}

// The longest time the UI thread went without serving its event loop, nested
// loops of message boxes included.
class TStallWatch
{
public:
    TStallWatch()
    {
        FSince.start();
        QObject::connect(&FTick, &QTimer::timeout, &FTick, [this] {
            FLongest = std::max(FLongest, FSince.restart());
        });
        FTick.start(20);
    }

    qint64 Longest() const { return std::max(FLongest, FSince.elapsed()); }

private:
    QTimer FTick;
    QElapsedTimer FSince;
    qint64 FLongest = 0;
};

// The window whose message boxes may stay open a while, as when a person reads
// them before pressing OK. Meanwhile the box's own loop goes on serving timer
// ticks and received blocks, as a modal box does.
class TFaultWindow : public TTestWindow
{
public:
    TFaultWindow()
    {
        Prompt::SetHook([this](const TPromptRequest &request) {
            Record(request);
            if (BoxOpenMs > 0) {
                QEventLoop box;
                QTimer::singleShot(BoxOpenMs, &box, &QEventLoop::quit);
                box.exec();
            }
            return true;
        });
    }

    // The parameter values; the clock runs on by itself and is left out.
    std::map<QString, QString> Values() const
    {
        auto values = Snapshot();
        std::erase_if(values, [](const auto &entry) { return entry.first.startsWith(QLatin1String("cbbSystemTime")); });
        return values;
    }

    // Waits until no message has come for `quietMs`; false if that never happens
    // within `limitMs`.
    bool PromptsSettle(int quietMs, int limitMs)
    {
        QElapsedTimer total;
        total.start();
        QElapsedTimer quiet;
        quiet.start();
        qsizetype seen = Prompts.size();
        while (total.elapsed() < limitMs) {
            QTest::qWait(50);
            if (Prompts.size() != seen) {
                seen = Prompts.size();
                quiet.restart();
            } else if (quiet.elapsed() >= quietMs) {
                return true;
            }
        }
        return false;
    }

    int BoxOpenMs = 0;
};
