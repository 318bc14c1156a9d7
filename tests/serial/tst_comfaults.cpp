#include "CommRecorder.h"
#include "SerialDriver_win.h"
#include "WineStage.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>

using SerialPlatform::DriverCalls;

namespace {

// What the played driver saw: its requests, the event of the last one, whether
// one is held until the port is purged, and the last line state it was given.
std::atomic<int> Requests{0};
std::atomic<HANDLE> RequestEvent{nullptr};
std::atomic<bool> Held{false};
HANDLE Purged = nullptr;
DCB LastState{};

BOOL PendForEver(LPOVERLAPPED overlapped)
{
    ++Requests;
    overlapped->Internal = 0x103; // STATUS_PENDING
    RequestEvent = overlapped->hEvent;
    ::SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

// A request already with the driver when the close purges the port: it fails.
BOOL FailOnPurge()
{
    Held = true;
    ::WaitForSingleObject(Purged, 10000);
    ::SetLastError(ERROR_OPERATION_ABORTED);
    return FALSE;
}

// The driver's calls as a test replaces them, restored when it ends.
struct TPlayedDriver {
    TPlayedDriver()
    {
        Requests = 0;
        RequestEvent = nullptr;
        Held = false;
        Purged = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DriverCalls().PurgeComm = [](HANDLE port, DWORD flags) {
            if (Held)
                ::SetEvent(Purged);
            return ::PurgeComm(port, flags);
        };
    }
    ~TPlayedDriver()
    {
        DriverCalls() = SerialPlatform::TDriverCalls{};
        ::CloseHandle(Purged);
    }
};

QString OpenOnThePair(TComm &comm)
{
    ConfigureLikeTheWindow(comm, WineStage::Ports().value(0));
    return OpenError(comm);
}

} // namespace

// The serial component against a driver played through the calls it makes:
// faults that real drivers show and wine's does not.
class TestComFaults : public QObject {
    Q_OBJECT

private slots:
    void requestOfAClosingPort_data()
    {
        QTest::addColumn<bool>("write");
        QTest::newRow("a read") << false;
        QTest::newRow("a write") << true;
    }
    void cancelTheDriverNeverCompletes_data() { requestOfAClosingPort_data(); }
    void cancelTheDriverNeverCompletes()
    {
        QFETCH(bool, write);
        TPlayedDriver driver;
        DriverCalls().CancelIoEx = [](HANDLE, LPOVERLAPPED) { return TRUE; };
        DriverCalls().ReadFile = [](HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED o) { return PendForEver(o); };
        if (write)
            DriverCalls().WriteFile = [](HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED o) { return PendForEver(o); };
        TComm comm;
        QCOMPARE(OpenOnThePair(comm), QString());
        if (write)
            QVERIFY(comm.SendData("stuck", 5));
        QTRY_COMPARE_WITH_TIMEOUT(Requests.load(), 1 + int(write), 5000);

        QElapsedTimer clock;
        clock.start();
        comm.ClosePort();
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
        // Left to the driver, which may still complete it: its event stays.
        QVERIFY(::SetEvent(RequestEvent.load()));
    }

    void failureRacingTheCloseIsNoHangup_data() { requestOfAClosingPort_data(); }
    void failureRacingTheCloseIsNoHangup()
    {
        QFETCH(bool, write);
        TPlayedDriver driver;
        if (write)
            DriverCalls().WriteFile = [](HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) { return FailOnPurge(); };
        else
            DriverCalls().ReadFile = [](HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) { return FailOnPurge(); };
        TComm comm;
        TRecorder recorder(comm);
        QCOMPARE(OpenOnThePair(comm), QString());
        if (write)
            QVERIFY(comm.SendData("late", 4));
        QTRY_VERIFY_WITH_TIMEOUT(Held.load(), 5000);
        comm.ClosePort();
        QTest::qWait(300);
        QCOMPARE(recorder.Hangups, 0);
    }

    void readEndingEmptyAtOnceWaits()
    {
        TPlayedDriver driver;
        DriverCalls().ReadFile = [](HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED o) {
            ++Requests;
            o->Internal = o->InternalHigh = 0;
            return ::SetEvent(o->hEvent);
        };
        TComm comm;
        TRecorder recorder(comm);
        QCOMPARE(OpenOnThePair(comm), QString());
        QTest::qWait(1000);
        // A pause of 50 ms after each; without one, tens of thousands.
        QVERIFY2(Requests > 0 && Requests < 100, qPrintable(QStringLiteral("%1 reads").arg(Requests.load())));
        comm.ClosePort();
        QCOMPARE(recorder.Hangups, 0);
    }

    void refusedTimeoutsFailTheOpen()
    {
        TComm comm;
        {
            TPlayedDriver driver;
            DriverCalls().SetCommTimeouts = [](HANDLE, LPCOMMTIMEOUTS) { return FALSE; };
            QCOMPARE(OpenOnThePair(comm), QStringLiteral("Can't Open the Port"));
            QCOMPARE(comm.Handle(), std::intptr_t{0});
        }
        QCOMPARE(OpenError(comm), QString());
    }

    void unreadableLineStateIsSetAnyway()
    {
        TPlayedDriver driver;
        DriverCalls().GetCommState = [](HANDLE, LPDCB) { return FALSE; };
        DriverCalls().SetCommState = [](HANDLE port, LPDCB dcb) {
            ++Requests;
            LastState = *dcb;
            return ::SetCommState(port, dcb);
        };
        TComm comm;
        QCOMPARE(OpenOnThePair(comm), QString());
        QCOMPARE(Requests.load(), 1);
        QCOMPARE(LastState.DCBlength, DWORD(sizeof(DCB)));
        QCOMPARE(LastState.BaudRate, DWORD(9600));
        QCOMPARE(int(LastState.ByteSize), 8);
    }
};

QTEST_GUILESS_MAIN(TestComFaults)
#include "tst_comfaults.moc"
