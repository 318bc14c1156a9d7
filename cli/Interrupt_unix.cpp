#include "Interrupt.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The handler may only write a byte: the event loop on the other end of the
// pipe does the rest.
volatile std::sig_atomic_t WakeFd = -1;

extern "C" void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    if (WakeFd >= 0 && ::write(WakeFd, &byte, 1) < 0) {
        // a full pipe already holds a wake-up
    }
    errno = saved;
}

constexpr int Signals[] = {SIGINT, SIGTERM};

} // namespace

class TInterrupt::TPlatform
{
public:
    explicit TPlatform(TInterrupt &Owner)
    {
        if (::pipe2(FPipe, O_NONBLOCK | O_CLOEXEC) != 0)
            return;  // then Ctrl+C ends the program as it always would
        WakeFd = FPipe[1];
        FNotifier = std::make_unique<QSocketNotifier>(FPipe[0], QSocketNotifier::Read);
        QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this, &Owner] {
            char bytes[16];
            while (::read(FPipe[0], bytes, sizeof bytes) > 0) {
            }
            Owner.Arrived();
        });
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        // The second signal finds the system's own action again.
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        for (std::size_t i = 0; i < std::size(Signals); ++i)
            ::sigaction(Signals[i], &action, &FPrevious[i]);
    }

    ~TPlatform()
    {
        if (!FNotifier)
            return;
        for (std::size_t i = 0; i < std::size(Signals); ++i)
            ::sigaction(Signals[i], &FPrevious[i], nullptr);
        WakeFd = -1;
        FNotifier.reset();
        ::close(FPipe[0]);
        ::close(FPipe[1]);
    }

private:
    int FPipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> FNotifier;
    struct sigaction FPrevious[std::size(Signals)] {};
};

TInterrupt::TInterrupt(std::function<void()> OnInterrupt)
    : FOnInterrupt(std::move(OnInterrupt)), FPlatform(std::make_unique<TPlatform>(*this))
{
}

TInterrupt::~TInterrupt() = default;
