// The logger as a whole: its fault names, its life from start to stop and
// from plug to unplug, its log, and what may be asked of it from any thread.
#include "LoggerEmulator.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

namespace {

constexpr std::pair<TFaultMode, std::string_view> FaultNames[] = {
    {TFaultMode::None, "none"},       {TFaultMode::BadCheck, "bad-check"}, {TFaultMode::Split, "split"},
    {TFaultMode::Silent, "silent"},   {TFaultMode::Garbage, "garbage"},    {TFaultMode::Vanish, "vanish"},
    {TFaultMode::Slow, "slow"},       {TFaultMode::Twice, "twice"},        {TFaultMode::Flood, "flood"},
    {TFaultMode::WrongByte, "wrong-byte"}, {TFaultMode::NotStored, "not-stored"},
    {TFaultMode::CutTrip, "cut-trip"},     {TFaultMode::DropPassword, "drop-password"},
    {TFaultMode::WrongIdentity, "wrong-identity"}, {TFaultMode::WrongCalibration, "wrong-calibration"},
};

} // namespace

std::optional<TFaultMode> FaultModeFromName(std::string_view name)
{
    for (const auto &[mode, text] : FaultNames)
        if (text == name)
            return mode;
    return std::nullopt;
}

std::string_view FaultModeName(TFaultMode mode)
{
    for (const auto &[m, text] : FaultNames)
        if (m == mode)
            return text;
    return "none";
}

TLoggerEmulator::TLoggerEmulator(std::string portName)
    : FPortName(std::move(portName)), FRecord(DefaultParameterRecord())
{
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    FClockBase = now + ZoneOffset(FRecord);
    FClockSetAt = TSteadyClock::now();
}

TLoggerEmulator::~TLoggerEmulator()
{
    Stop();
}

bool TLoggerEmulator::Start(std::string *error)
{
    if (FThread.joinable()) {
        if (error)
            *error = "already running";
        return false;
    }
    if (!Open(error))
        return false;
    FThread = std::thread([this] { Serve(); });
    return true;
}

void TLoggerEmulator::Stop()
{
    RequestStop();
    if (FThread.joinable())
        FThread.join();
    Close();
}

void TLoggerEmulator::Unplug()
{
    FUnplugRequested = true;
    RequestStop();
    if (FThread.joinable())
        FThread.join();
    Close();
}

bool TLoggerEmulator::Plug(const std::string &portName, std::string *error)
{
    if (FThread.joinable() || FMaster >= 0) {
        if (error)
            *error = "already plugged in";
        return false;
    }
    if (!portName.empty()) {
        std::lock_guard lock(FMutex);
        FPortName = portName;
    }
    return Start(error);
}

bool TLoggerEmulator::Plugged() const
{
    return FPlugged;
}

void TLoggerEmulator::Log(std::string_view direction, const std::uint8_t *bytes, std::size_t size) const
{
    if (!FLogging)
        return;
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    ::localtime_r(&now.tv_sec, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03ld ", local.tm_hour, local.tm_min, local.tm_sec,
                  now.tv_nsec / 1000000);
    std::string line = std::string(stamp) + FPortName + " " + std::string(direction);
    if (bytes)
        line += " " + std::to_string(size) + ":";
    for (std::size_t i = 0; i < size; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
        line += hex;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string TLoggerEmulator::PortName() const
{
    std::lock_guard lock(FMutex);
    return FPortName;
}

std::string TLoggerEmulator::SlavePath() const
{
    std::lock_guard lock(FMutex);
    return FSlavePath;
}

bool TLoggerEmulator::HungUp() const
{
    return FHungUp;
}

std::vector<TLoggerEmulator::TBytes> TLoggerEmulator::ReceivedFrames() const
{
    std::lock_guard lock(FMutex);
    return FReceived;
}

std::size_t TLoggerEmulator::StoredWrites() const
{
    std::lock_guard lock(FMutex);
    return FStoredWrites;
}

std::size_t TLoggerEmulator::ReadsSinceWrite() const
{
    std::lock_guard lock(FMutex);
    return FReadsSinceWrite;
}

bool TLoggerEmulator::Answering() const
{
    return FAnswering;
}

TFrameBuffer TLoggerEmulator::ParameterRecord() const
{
    std::lock_guard lock(FMutex);
    return FRecord;
}

void TLoggerEmulator::SetParameterRecord(const TFrameBuffer &record)
{
    std::lock_guard lock(FMutex);
    FRecord = record;
    SealRecord(FRecord);
}

void TLoggerEmulator::ChangeLogger(const TFrameBuffer &record)
{
    std::lock_guard lock(FMutex);
    ReplaceLogger(record);
}

void TLoggerEmulator::ChangeLoggerAfterAnswers(std::size_t answers, const TFrameBuffer &record)
{
    std::lock_guard lock(FMutex);
    if (answers == 0) {
        FNewcomer.reset();
        ReplaceLogger(record);
        return;
    }
    // Only the serving thread sees the answers go out: it counts them down
    // and makes the change between two requests.
    FNewcomer = record;
    FAnswersBeforeNewcomer = answers;
}

TLoggerTime TLoggerEmulator::Clock() const
{
    std::lock_guard lock(FMutex);
    return FromSeconds(FClockBase + std::chrono::floor<std::chrono::seconds>(TSteadyClock::now() - FClockSetAt));
}

void TLoggerEmulator::SetFaultMode(TFaultMode mode)
{
    std::lock_guard lock(FMutex);
    FFault = mode;
}

void TLoggerEmulator::SetAnswerDelay(TMilliseconds delay)
{
    std::lock_guard lock(FMutex);
    FAnswerDelay = std::max(delay, TMilliseconds::zero());
}

void TLoggerEmulator::SetLogging(bool on)
{
    FLogging = on;
}
