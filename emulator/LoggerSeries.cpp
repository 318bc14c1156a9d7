#include "LoggerSeries.h"

#include <stdexcept>

std::optional<std::string> NextSerialNumber(std::string_view serial)
{
    if (serial.size() != 9)
        return std::nullopt;
    std::string next(serial);
    for (std::size_t i = next.size(); i-- > 3;) {
        if (next[i] < '0' || next[i] > '9')
            return std::nullopt;
        if (next[i] != '9') {
            ++next[i];
            return next;
        }
        next[i] = '0';
    }
    return std::nullopt;  // the six digits ran out
}

TLoggerSeries::TLoggerSeries(std::string_view firstSerial, std::size_t count)
{
    std::optional<std::string> serial{std::string(firstSerial)};
    for (std::size_t i = 0; i < count; ++i) {
        TFrameBuffer record = DefaultParameterRecord();
        if (!serial || !SetSerialNumber(record, *serial))
            throw std::invalid_argument("no serial number for logger " + std::to_string(i + 1) + " after "
                                        + std::string(firstSerial));
        auto logger = std::make_unique<TLoggerEmulator>();
        logger->SetParameterRecord(record);
        FLoggers.push_back(std::move(logger));
        if (i + 1 < count)
            serial = NextSerialNumber(*serial);
    }
}

std::string TLoggerSeries::SerialNumber(std::size_t i) const
{
    return SerialNumberOf(FLoggers.at(i)->ParameterRecord());
}

void TLoggerSeries::UnplugAll()
{
    for (auto &logger : FLoggers)
        logger->Unplug();
}

TPlugSchedule::TPlugSchedule(TLoggerSeries &series, std::vector<TPlugStep> steps, TReport report)
    : FSeries(series), FSteps(std::move(steps)), FReport(std::move(report))
{
}

TPlugSchedule::~TPlugSchedule()
{
    Stop();
}

void TPlugSchedule::Start()
{
    if (!FThread.joinable())
        FThread = std::thread([this] { Run(); });
}

void TPlugSchedule::Skip()
{
    std::lock_guard lock(FMutex);
    FSkip = true;
    FChanged.notify_all();
}

void TPlugSchedule::Stop()
{
    {
        std::lock_guard lock(FMutex);
        FStop = true;
        FChanged.notify_all();
    }
    if (FThread.joinable())
        FThread.join();
}

bool TPlugSchedule::Finished() const
{
    std::lock_guard lock(FMutex);
    return FFinished;
}

bool TPlugSchedule::Wait(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, timeout, [this] { return FFinished; });
}

std::string TPlugSchedule::Failure() const
{
    std::lock_guard lock(FMutex);
    return FFailure;
}

bool TPlugSchedule::WaitFor(std::chrono::milliseconds time, const std::function<bool()> &done)
{
    // The loggers say nothing when they are written, so a wait looks at
    // them often enough that a tool's pace is not slowed.
    constexpr std::chrono::milliseconds Look{20};
    const bool timed = time.count() > 0;
    const auto end = std::chrono::steady_clock::now() + time;
    std::unique_lock lock(FMutex);
    for (;;) {
        if (FStop || FSkip) {
            FSkip = false;
            return false;
        }
        if (done) {
            lock.unlock();
            const bool isDone = done();
            lock.lock();
            if (isDone)
                return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (timed && now >= end)
            return false;
        if (done)
            FChanged.wait_until(lock, timed ? std::min(now + Look, end) : now + Look);
        else if (timed)
            FChanged.wait_until(lock, end);
        else
            FChanged.wait(lock);
    }
}

void TPlugSchedule::Run()
{
    for (const TPlugStep &step : FSteps) {
        {
            std::lock_guard lock(FMutex);
            if (FStop)
                break;
        }
        switch (step.Action) {
        case TPlugStep::TAction::Plug: {
            TLoggerEmulator &logger = FSeries[step.Logger];
            FWritesAtPlug[step.Logger] = logger.StoredWrites();
            std::string error;
            if (!logger.Plug(step.Port, &error)) {
                std::lock_guard lock(FMutex);
                FFailure = "cannot plug in " + FSeries.SerialNumber(step.Logger) + " on " + step.Port + ": " + error;
                FStop = true;
                break;
            }
            if (FReport)
                FReport(step, logger);
            break;
        }
        case TPlugStep::TAction::Unplug: {
            TLoggerEmulator &logger = FSeries[step.Logger];
            logger.Unplug();
            if (FReport)
                FReport(step, logger);
            break;
        }
        case TPlugStep::TAction::Change: {
            TLoggerEmulator &line = FSeries[step.Line];
            line.ChangeLogger(FSeries[step.Logger].ParameterRecord());
            FWritesAtPlug[step.Line] = 0;
            if (FReport)
                FReport(step, line);
            break;
        }
        case TPlugStep::TAction::WaitWritten: {
            const TLoggerEmulator &logger = FSeries[step.Logger];
            const std::size_t before = FWritesAtPlug[step.Logger];
            // The read-back's last byte on the line is not yet in the tool,
            // and a hang-up drops what it has not taken.
            std::optional<std::chrono::steady_clock::time_point> answered;
            WaitFor(step.Time, [&] {
                const bool done = logger.StoredWrites() > before && logger.ReadsSinceWrite() > 0 && !logger.Answering();
                if (!done)
                    answered.reset();
                else if (!answered)
                    answered = std::chrono::steady_clock::now();
                return done && std::chrono::steady_clock::now() >= *answered + TLoggerEmulator::Linger;
            });
            break;
        }
        case TPlugStep::TAction::Pause:
            WaitFor(step.Time, {});
            break;
        }
    }
    std::lock_guard lock(FMutex);
    FFinished = true;
    FChanged.notify_all();
}
