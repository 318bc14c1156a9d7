#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

// Tells the parent on standard output when the window's first frame has been
// painted, with the peak memory so far, and ends the program. The report waits
// for the queue to drain so that the whole first frame is composed and flushed.
class TFirstFrame : public QObject {
public:
    explicit TFirstFrame(QWidget &window)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !FSeen) {
            FSeen = true;
            QMetaObject::invokeMethod(this, &TFirstFrame::Report, Qt::QueuedConnection);
        }
        return false;
    }

private:
    static long PeakResidentKiB()
    {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0)
                return std::atol(line.c_str() + 6);
        return -1;
    }

    void Report()
    {
        std::printf("shown %ld\n", PeakResidentKiB());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    bool FSeen = false;
};
