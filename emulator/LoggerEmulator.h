#pragma once

#include "LoggerRecord.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Ways to misbehave on purpose, so that the tool's handling of a bad line can
// be tried. Each applies to every answer until it is changed.
enum class TFaultMode {
    None,
    BadCheck,  // the check byte is off by one
    Split,     // a pause after byte 100, long enough to cut the answer in two blocks
    Silent,    // requests are taken in but never answered
    Garbage,   // random bytes instead of the answer
    Vanish,    // the next request hangs up the line for good
    Slow,      // a long gap between bytes, yet short enough to stay one block
    Twice,     // the answer again after a pause, so that the tool sees it as a second block
    Flood,     // 64 KiB of random bytes instead of the answer, as fast as the line takes them
    // Faults of the logger's memory rather than of the line: probes are
    // answered as usual, and a write is acknowledged as usual, but
    WrongByte,         // one byte of it is stored wrong: the log interval's minutes one higher
    NotStored,         // nothing of it is stored, the clock included
    CutTrip,           // the trip text is cut after its first CutTripKept bytes
    DropPassword,      // the password is stored as six zero bytes
    WrongIdentity,     // the device ID's last byte is stored one higher
    WrongCalibration,  // the temperature calibration's fraction is stored one higher, 255 wrapping to 0
};

// How much of a written trip text a logger with the CutTrip fault keeps.
constexpr std::size_t CutTripKept = 40;

std::optional<TFaultMode> FaultModeFromName(std::string_view name);
std::string_view FaultModeName(TFaultMode mode);

// A logger at the far end of a pseudo-terminal registered in the port map.
// Either Start() it on its own thread, or Open(), Serve() on the calling thread
// and Close(). Accessors, setters and RequestStop() may be called from any
// thread while it serves. A logger started on its own thread can be unplugged
// and plugged in again, on the same port name or another, like a logger on a
// USB cable; it keeps its settings and its clock meanwhile.
class TLoggerEmulator
{
public:
    using TBytes = std::vector<std::uint8_t>;
    using TMilliseconds = std::chrono::milliseconds;

    static constexpr std::string_view DefaultPortName = "ttyLOGGER0";
    // Read the line as the tool does: a block ends when the line has been quiet this long.
    static constexpr TMilliseconds SilenceInterval{200};
    // 10 bits a byte (start, 8 data, stop) at 9600 baud.
    static constexpr std::chrono::microseconds ByteTime{1042};
    static constexpr TMilliseconds DefaultAnswerDelay{50};
    static constexpr std::size_t SplitAfter = 100;
    static constexpr TMilliseconds SplitPause{300};
    static constexpr TMilliseconds SlowByteTime{150};
    static constexpr TMilliseconds TwicePause{500};
    static constexpr std::size_t FloodSize = 64 * 1024;
    // How often a line that took no more bytes is tried again, in case the
    // pseudo-terminal never says it has room.
    static constexpr TMilliseconds FullLineRetry{20};
    // Bytes still travelling when a line closes are lost, so the emulator waits
    // this long after its last byte before it hangs up on a stop.
    static constexpr TMilliseconds Linger{200};

    explicit TLoggerEmulator(std::string portName = std::string(DefaultPortName));
    ~TLoggerEmulator();
    TLoggerEmulator(const TLoggerEmulator &) = delete;
    TLoggerEmulator &operator=(const TLoggerEmulator &) = delete;

    bool Start(std::string *error = nullptr);
    void Stop();

    // Pulls the cable: the line hangs up at once, bytes on their way are
    // lost, and the port's registration goes.
    void Unplug();
    // Start() on portName, or on the last name when it is empty.
    bool Plug(const std::string &portName = {}, std::string *error = nullptr);
    bool Plugged() const;

    bool Open(std::string *error = nullptr);
    // Serves until RequestStop() or a vanish fault.
    void Serve();
    // Safe in a signal handler.
    void RequestStop() noexcept;
    void Close();

    std::string PortName() const;
    std::string SlavePath() const;
    bool HungUp() const;

    // Every block received so far, sound or not, in arrival order.
    std::vector<TBytes> ReceivedFrames() const;
    // Write frames stored, and probes answered since the last of them: a
    // tool that verifies reads the logger back after it wrote.
    std::size_t StoredWrites() const;
    std::size_t ReadsSinceWrite() const;
    // An answer is on its way: counted above, not yet all on the line.
    bool Answering() const;

    TFrameBuffer ParameterRecord() const;
    void SetParameterRecord(const TFrameBuffer &record);
    // Another logger on the same line, as when the logger on an adapter is
    // changed while the adapter stays plugged in and registered: from the next
    // request on, the answers are the other logger's, its clock runs from the
    // computer's, and the counts of writes and reads start again.
    void ChangeLogger(const TFrameBuffer &record);
    // The same change, once this logger has answered `answers` more probes:
    // the last of them still answered by this logger, every request after it
    // by the other. A probe counts when an answer goes out, sound or not; a
    // silent logger answers none. A later call replaces a change still to
    // come; with no answers to wait for, it is ChangeLogger(record).
    void ChangeLoggerAfterAnswers(std::size_t answers, const TFrameBuffer &record);

    // The logger's running clock, which a parameter write sets. The record has no
    // field for it, so this is the only way to see it.
    TLoggerTime Clock() const;

    void SetFaultMode(TFaultMode mode);
    void SetAnswerDelay(TMilliseconds delay);
    // Every frame in both directions, in hex with a time stamp, on stderr.
    void SetLogging(bool on);

private:
    using TSteadyClock = std::chrono::steady_clock;

    struct TAnswer {
        TBytes Bytes;
        std::vector<TSteadyClock::time_point> Due;
        std::size_t Next = 0;
        bool Pending() const { return Next < Bytes.size(); }
    };

    bool HandleRequest(const TBytes &request, TAnswer &answer, TSteadyClock::time_point now);
    // Both with FMutex held.
    void StoreWrite(const TFrameBuffer &frame, TFaultMode fault, TSteadyClock::time_point now);
    void ReplaceLogger(const TFrameBuffer &record);
    void Schedule(TAnswer &answer, TBytes bytes, TFaultMode fault, TSteadyClock::time_point start);
    int TrackOpeners(int openers);
    void HangUp();
    void Unregister();
    void Log(std::string_view direction, const std::uint8_t *bytes, std::size_t size) const;
    void CloseDescriptors();

    std::string FPortName;       // changed under FMutex, and only while unplugged
    std::string FSlavePath;      // written by Open() only, before serving starts
    int FMaster = -1;
    int FSlave = -1;             // held so that the master never sees a hang-up between the tool's opens
    int FInotify = -1;
    int FWakeRead = -1;
    std::atomic<int> FWakeWrite{-1};  // read by RequestStop(), maybe in a signal handler
    std::atomic<bool> FStopRequested{false};
    std::atomic<bool> FUnplugRequested{false};
    std::atomic<bool> FHungUp{false};
    std::atomic<bool> FPlugged{false};
    // Set with the counters, under FMutex, so that whoever sees a request
    // counted sees its answer on the way.
    std::atomic<bool> FAnswering{false};
    std::atomic<bool> FLogging{false};
    std::thread FThread;
    std::mt19937 FRandom{std::random_device{}()};

    mutable std::mutex FMutex;   // guards everything below
    bool FRegistered = false;
    std::vector<TBytes> FReceived;
    std::size_t FStoredWrites = 0;
    std::size_t FReadsSinceWrite = 0;
    TFrameBuffer FRecord;
    std::chrono::sys_seconds FClockBase{};
    TSteadyClock::time_point FClockSetAt{};
    TFaultMode FFault = TFaultMode::None;
    std::optional<TFrameBuffer> FNewcomer;  // the logger that takes the line over after
    std::size_t FAnswersBeforeNewcomer = 0;  // this many more answers
    TMilliseconds FAnswerDelay = DefaultAnswerDelay;
};
