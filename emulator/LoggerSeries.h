#pragma once

#include "LoggerEmulator.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Loggers prepared in series: several emulated loggers with serial numbers
// counting up, plugged in and unplugged over time as a technician does at the
// bench, on one port name or on several.

// The serial number after this one: its last six characters counted up as a
// number (A05123456, A05123457...). None past A05999999 or for a serial
// number whose last six characters are not digits.
std::optional<std::string> NextSerialNumber(std::string_view serial);

class TLoggerSeries
{
public:
    // Throws std::invalid_argument when the serial numbers run out or the
    // first is no serial number.
    TLoggerSeries(std::string_view firstSerial, std::size_t count);

    std::size_t Size() const { return FLoggers.size(); }
    TLoggerEmulator &operator[](std::size_t i) { return *FLoggers.at(i); }
    const TLoggerEmulator &operator[](std::size_t i) const { return *FLoggers.at(i); }
    std::string SerialNumber(std::size_t i) const;

    // Unplugs every logger.
    void UnplugAll();

private:
    std::vector<std::unique_ptr<TLoggerEmulator>> FLoggers;
};

// One step of the technician's work.
struct TPlugStep {
    enum class TAction {
        Plug,         // Logger on Port
        Unplug,       // Logger
        Change,       // Logger in place of the one answering on Line, whose line stays plugged in
        WaitWritten,  // until Logger has stored a write and answered the read-back after it
        Pause,
    };
    TAction Action;
    std::size_t Logger = 0;
    std::string Port;
    std::size_t Line = 0;
    // Pause: how long. WaitWritten: at most this long. Zero waits until the
    // schedule is skipped on (or, for WaitWritten, the logger is written).
    std::chrono::milliseconds Time{0};

    static TPlugStep PlugIn(std::size_t logger, std::string port) { return {TAction::Plug, logger, std::move(port)}; }
    static TPlugStep Unplugging(std::size_t logger) { return {TAction::Unplug, logger, {}}; }
    // The line of logger `line` goes on; logger `logger`'s settings answer on
    // it, and a WaitWritten for `line` waits for a write to them.
    static TPlugStep Changing(std::size_t line, std::size_t logger)
    {
        return {TAction::Change, logger, {}, line};
    }
    static TPlugStep WaitWritten(std::size_t logger, std::chrono::milliseconds most = {})
    {
        return {TAction::WaitWritten, logger, {}, 0, most};
    }
    static TPlugStep Pause(std::chrono::milliseconds time) { return {TAction::Pause, 0, {}, 0, time}; }
};

// Runs the steps over a series on a thread of its own, so that a test can
// drive the tool while the loggers come and go. Each step that plugs or
// unplugs is reported to the callback on that thread (the program prints it).
class TPlugSchedule
{
public:
    using TReport = std::function<void(const TPlugStep &, const TLoggerEmulator &)>;

    TPlugSchedule(TLoggerSeries &series, std::vector<TPlugStep> steps, TReport report = {});
    ~TPlugSchedule();
    TPlugSchedule(const TPlugSchedule &) = delete;
    TPlugSchedule &operator=(const TPlugSchedule &) = delete;

    void Start();
    // Cuts the wait or pause in progress short, as a technician who does not
    // wait for the usual time; the next step follows at once.
    void Skip();
    // Ends the schedule; the loggers stay as they are.
    void Stop();
    bool Finished() const;
    // Waits until the last step has run or Stop(); false after timeout.
    bool Wait(std::chrono::milliseconds timeout);
    // Why a logger could not be plugged in, which ends the schedule; empty
    // while all goes well. A wait that runs out is no failure: a test looks
    // at what the loggers stored.
    std::string Failure() const;

private:
    void Run();
    // Until done() or the time runs out, a skip or a stop; true when done() was.
    bool WaitFor(std::chrono::milliseconds time, const std::function<bool()> &done);

    TLoggerSeries &FSeries;
    const std::vector<TPlugStep> FSteps;
    const TReport FReport;
    std::thread FThread;

    mutable std::mutex FMutex;  // guards what follows
    std::condition_variable FChanged;
    bool FSkip = false;
    bool FStop = false;
    bool FFinished = false;
    std::string FFailure;
    std::map<std::size_t, std::size_t> FWritesAtPlug;  // used by the schedule's thread only
};
