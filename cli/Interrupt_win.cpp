#include "Interrupt.h"

#include <QWinEventNotifier>

#include <atomic>

#include <windows.h>

namespace {

// The system calls the handler on a thread of its own; an event handle
// brings the press to the event loop.
std::atomic<HANDLE> Pressed{nullptr};
std::atomic<int> Presses{0};

BOOL WINAPI OnConsoleControl(DWORD Type)
{
    if (Type != CTRL_C_EVENT && Type != CTRL_BREAK_EVENT)
        return FALSE;
    // The second press goes on to the system's handler, which ends the program.
    if (Presses.fetch_add(1) > 0)
        return FALSE;
    if (const HANDLE event = Pressed.load())
        ::SetEvent(event);
    return TRUE;
}

} // namespace

class TInterrupt::TPlatform
{
public:
    explicit TPlatform(TInterrupt &Owner)
    {
        const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!event)
            return;
        Presses = 0;
        Pressed = event;
        FNotifier = std::make_unique<QWinEventNotifier>(event);
        QObject::connect(FNotifier.get(), &QWinEventNotifier::activated, [this, &Owner] {
            FNotifier->setEnabled(false);
            Owner.Arrived();
        });
        ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    }

    ~TPlatform()
    {
        if (!FNotifier)
            return;
        ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
        const HANDLE event = Pressed.exchange(nullptr);
        FNotifier.reset();
        ::CloseHandle(event);
    }

private:
    std::unique_ptr<QWinEventNotifier> FNotifier;
};

TInterrupt::TInterrupt(std::function<void()> OnInterrupt)
    : FOnInterrupt(std::move(OnInterrupt)), FPlatform(std::make_unique<TPlatform>(*this))
{
}

TInterrupt::~TInterrupt() = default;
