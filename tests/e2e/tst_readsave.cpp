#include "Comm.h"
#include "E2eSupport.h"
#include "LoggerRecord.h"

#include <QAbstractButton>

#include <algorithm>
#include <QComboBox>
#include <QLineEdit>
#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

struct TBlock {
    std::uint8_t Sign, Whole, Fraction, Type, H, M, S;
};
constexpr TBlock Off {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

void Put(TFrameBuffer &record, std::size_t offset, std::initializer_list<std::uint8_t> bytes)
{
    std::copy(bytes.begin(), bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutBlock(TFrameBuffer &record, std::size_t offset, const TBlock &b)
{
    Put(record, offset, {b.Sign, b.Whole, b.Fraction, b.Type, b.H, b.M, b.S});
}

void PutText(TFrameBuffer &record, std::size_t offset, std::size_t size, const char *text)
{
    std::fill_n(record.begin() + static_cast<std::ptrdiff_t>(offset), size, 0);
    std::copy(text, text + std::strlen(text), record.begin() + static_cast<std::ptrdiff_t>(offset));
}

// Parameter sets a logger may hold. Bytes that a setting leaves out of the write
// frame (start time for "Right Now", the password when it is off) are zero, as a
// logger that was only ever written by this tool holds them.
TFrameBuffer SingleAlarmCelsius()
{
    TFrameBuffer r = DefaultParameterRecord();
    Put(r, 23, {0, 0, 0, 0, 0, 0, 0});  // right now
    Put(r, 45, {0, 0, 0, 0, 0, 0, 0});  // no password
    PutBlock(r, 153, {1, 10, 5, 0, 0, 30, 0});     // -10.05, binary
    PutBlock(r, 167, {0, 25, 30, 1, 1, 0, 10});    // 25.30
    PutBlock(r, 188, {0, 20, 0, 0, 0, 0, 0});
    PutBlock(r, 195, {0, 85, 50, 1, 2, 15, 0});
    SealRecord(r);
    return r;
}

TFrameBuffer MultipleAlarmFahrenheitTiming()
{
    TFrameBuffer r = DefaultParameterRecord();
    Put(r, 17, {1, 30, 20});                       // 1 h 30 min 20 s
    Put(r, 22, {0x11, 2, 26, 12, 31, 23, 59, 30}); // stop by either; timing 2026-12-31 23:59:30
    Put(r, 33, {1, 1, 5, 30});                     // °F, UTC-05:30
    Put(r, 38, {1, 0, 50, 0, 2, 5});               // calibration -0.50, 2.05
    Put(r, 45, {1});
    PutText(r, 46, 6, "Ab12cd");
    PutText(r, 52, 100, "Vaccine run 7\r\nKeep upright");
    r[152] = 1;
    PutBlock(r, 153, {1, 0x10, 0x05, 1, 0x01, 0x30, 0x00}); // BCD -10.05, 1 h 30 min
    PutBlock(r, 160, {1, 0x20, 0x50, 0, 0x00, 0x05, 0x30}); // L2 on
    PutBlock(r, 167, {0, 0x45, 0x00, 0, 0x00, 0x00, 0x00});
    PutBlock(r, 174, Off);
    PutBlock(r, 181, {0, 0x60, 0x25, 1, 0x12, 0x00, 0x00}); // H3 on
    PutBlock(r, 188, {0, 0x20, 0x00, 0, 0x00, 0x10, 0x00});
    PutBlock(r, 195, Off);
    SealRecord(r);
    return r;
}

TFrameBuffer DelayedNoAlarm()
{
    TFrameBuffer r = SingleAlarmCelsius();
    Put(r, 23, {1, 0, 0, 0, 2, 15, 0});  // delayed 2 h 15 min
    // A save in "No Alarm" sends only the switch; the blocks keep what this run
    // last sent, nothing yet.
    std::fill(r.begin() + 152, r.begin() + 202, 0);
    SealRecord(r);
    return r;
}

bool SameParameters(const TFrameBuffer &a, const TFrameBuffer &b)
{
    // Offsets 4 to 201: everything but the frame's header, check and end bytes.
    return std::equal(a.begin() + 4, a.begin() + 202, b.begin() + 4);
}

template<typename It>
QString Hex(It first, std::size_t count)
{
    QByteArray bytes;
    for (std::size_t i = 0; i < count; ++i, ++first)
        bytes += char(*first);
    return QString::fromLatin1(bytes.toHex(' '));
}

QString Hex(const TFrameBuffer &r)
{
    return Hex(r.begin(), r.size());
}

// The far end of a pseudo-terminal, for the window to open by its path.
class TFarEnd
{
public:
    TFarEnd()
        : FFd(::posix_openpt(O_RDWR | O_NOCTTY))
    {
        if (FFd < 0 || ::grantpt(FFd) != 0 || ::unlockpt(FFd) != 0)
            qFatal("no pseudo-terminal");
        // Held open here too, so that the line does not hang up whenever the window closes the port.
        FNear = ::open(::ptsname(FFd), O_RDWR | O_NOCTTY);
    }
    ~TFarEnd()
    {
        ::close(FNear);
        ::close(FFd);
    }

    QString Path() const { return QString::fromLocal8Bit(::ptsname(FFd)); }

    // Up to `count` bytes, whatever has come within two seconds.
    TLoggerEmulator::TBytes Read(std::size_t count)
    {
        TLoggerEmulator::TBytes bytes;
        QElapsedTimer clock;
        clock.start();
        while (bytes.size() < count && clock.elapsed() < 2000) {
            pollfd p {FFd, POLLIN, 0};
            if (::poll(&p, 1, 0) <= 0) {
                QTest::qWait(5);  // the window's timers and threads go on meanwhile
                continue;
            }
            std::uint8_t buf[256];
            const ssize_t n = ::read(FFd, buf, std::min(sizeof buf, count - bytes.size()));
            if (n > 0)
                bytes.insert(bytes.end(), buf, buf + n);
        }
        return bytes;
    }

private:
    int FFd;
    int FNear;
};

} // namespace

Q_DECLARE_METATYPE(TFrameBuffer)

// Read, Save and Read again against a logger that stores what it is sent: the
// logger must end up with the very parameter set it started with, and the window
// must show the same values after the second read.
class TestReadSave : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<TFrameBuffer>("record");
        QTest::newRow("single alarm, celsius, right now") << SingleAlarmCelsius();
        QTest::newRow("multiple alarm, fahrenheit, timing, password") << MultipleAlarmFahrenheitTiming();
        QTest::newRow("no alarm, delayed start") << DelayedNoAlarm();
    }

    void roundTrip()
    {
        QFETCH(TFrameBuffer, record);
        TPrivateRuntime runtime;
        auto logger = StartLogger(QStringLiteral("ttyE2E_A"));
        logger->SetParameterRecord(record);

        TTestWindow w;
        w.Window.SetSearchPeriod(300);
        w.Click("imgRead");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts, QStringList{QStringLiteral("Read Success")}, 10000);
        QCOMPARE(w.LastLook(), QStringLiteral("Prompt, information"));
        auto afterRead = w.Snapshot();

        w.Click("imgSave");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 2, 10000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Save Success"));
        QCOMPARE(w.LastLook(), QStringLiteral("Prompt, information"));
        QVERIFY2(SameParameters(logger->ParameterRecord(), record),
                 qPrintable(Hex(record) + QStringLiteral("\n") + Hex(logger->ParameterRecord())));

        w.Click("imgRead");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 3, 10000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Read Success"));
        auto afterSecondRead = w.Snapshot();
        for (auto *values : {&afterRead, &afterSecondRead})
            std::erase_if(*values, [](const auto &entry) { return entry.first.startsWith(QLatin1String("cbbSystemTime")); });
        QCOMPARE(afterSecondRead, afterRead);
    }

    void saveSetsTheLoggerClockFromTheSelectedZone()
    {
        TPrivateRuntime runtime;
        auto logger = StartLogger(QStringLiteral("ttyE2E_A"));
        TTestWindow w;
        const QDateTime fixed(QDate(2026, 12, 31), QTime(23, 0, 0), Qt::UTC);
        w.Window.CurrentUtc = [fixed] { return fixed; };
        w.Window.SetSearchPeriod(300);
        w.Click("imgRead");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 1, 10000);
        // The emulator's logger lives in UTC+08:00: the clock crosses into the new year.
        QTRY_COMPARE_WITH_TIMEOUT(w.Get<QComboBox>(QStringLiteral("cbbSystemTimeY"))->currentText(), QStringLiteral("2027"), 3000);
        w.Click("imgSave");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 2, 10000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Save Success"));
        const TLoggerTime clock = logger->Clock();
        QCOMPARE(clock.Year, 2027);
        QCOMPARE(clock.Month, 1);
        QCOMPARE(clock.Day, 1);
        QCOMPARE(clock.Hour, 7);
    }

    void saveWithoutReadCannotOpenThePort()
    {
        TPrivateRuntime runtime;
        auto logger = StartLogger(QStringLiteral("ttyE2E_A"));
        TTestWindow w;
        w.Get<QLineEdit>(QStringLiteral("edtSerialNumber"))->setText(QStringLiteral("A05123456"));
        w.Get<QLineEdit>(QStringLiteral("edtDeviceID"))->setText(QStringLiteral("0A1B2C3D"));
        w.Get<QLineEdit>(QStringLiteral("edtServiceLife"))->setText(QStringLiteral("365"));
        w.Get<QComboBox>(QStringLiteral("cbbLogIntervalM"))->setCurrentIndex(5);
        w.Click("imgSave");
        QCOMPARE(w.Prompts, QStringList{QStringLiteral("Can't Open the Port")});
        QCOMPARE(w.LastLook(), QCoreApplication::applicationName() + QStringLiteral(", critical"));
        QTest::qWait(500);
        QVERIFY(logger->ReceivedFrames().empty());
    }

    // Each character of a text is its byte, both ways: what the logger holds in
    // its serial number, password and trip information comes back unchanged,
    // for every byte a character may be (0 ends a text; CR and LF in the trip
    // information are its line breaks, sent as CR LF). The records go straight
    // to the window and the saves to a bare pseudo-terminal, so that the many
    // rounds cost no logger's answers.
    void everyTextByteComesBack()
    {
        TFarEnd far;
        TTestWindow w;
        w.Window.ReadPortList = [&far](QStringList &list) { list = {far.Path()}; };
        w.Window.SetSearchPeriod(10);
        w.Click("imgRead");
        QVERIFY(far.Read(ProbeRequest.size()).size() == ProbeRequest.size());

        std::vector<std::uint8_t> any, trip;
        for (int b = 1; b <= 0xFF; ++b) {
            any.push_back(std::uint8_t(b));
            if (b != '\r' && b != '\n')
                trip.push_back(std::uint8_t(b));
        }
        const auto take = [](const std::vector<std::uint8_t> &from, std::size_t first, std::size_t count) {
            std::vector<std::uint8_t> part;
            for (std::size_t k = 0; k < count; ++k)
                part.push_back(from[(first + k) % from.size()]);
            return part;
        };

        // The password's six characters are the slowest to run through all bytes.
        for (std::size_t round = 0; round * 6 < any.size(); ++round) {
            const auto serial = take(any, round * 7, 7);
            const auto password = take(any, round * 6, 6);
            const auto tripText = take(trip, round * 94, 94);
            TFrameBuffer r = SingleAlarmCelsius();
            r[4] = serial[0];
            r[5] = 5;
            std::copy(serial.begin() + 1, serial.end(), r.begin() + 6);
            r[45] = 1;
            std::copy(password.begin(), password.end(), r.begin() + 46);
            std::fill_n(r.begin() + 52, 100, 0);
            std::copy(tripText.begin(), tripText.end(), r.begin() + 52);
            SealRecord(r);

            w.Prompts.clear();
            w.Window.ReceiveForTests(r.data(), std::uint16_t(r.size()));
            w.Click("imgSave");
            QCOMPARE(w.Prompts, QStringList{QStringLiteral("Read Success")});
            const TLoggerEmulator::TBytes sent = far.Read(r.size());
            QCOMPARE(sent.size(), r.size());
            QCOMPARE(Hex(sent.begin() + 4, 8), Hex(r.begin() + 4, 8));
            QCOMPARE(Hex(sent.begin() + 46, 6), Hex(r.begin() + 46, 6));
            QCOMPARE(Hex(sent.begin() + 58, 94), Hex(tripText.begin(), 94));
        }
    }

    // A save that could not open the port sent nothing, so the bytes that the
    // next save carries over are still those of the save before it.
    void failedOpenKeepsTheCarriedOverBytes()
    {
        TPrivateRuntime runtime;
        auto logger = StartLogger(QStringLiteral("ttyE2E_A"));
        TTestWindow w;
        QVERIFY(w.ReadFromLogger());
        const auto save = [&w](const char *thresholds) {
            const QStringList values = QString::fromLatin1(thresholds).split(u' ');
            const char *const edits[] = {"edtSingleH1", "edtSingleL1", "edtSingleHumidityH1", "edtSingleHumidityL1"};
            for (int i = 0; i < 4; ++i)
                w.Get<QLineEdit>(QLatin1String(edits[i]))->setText(values.value(i));
            w.Click("imgSave");
        };

        w.Get<QAbstractButton>(QStringLiteral("rbSingleAlarm"))->setChecked(true);
        save("8 2 80 20");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 2, 10000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Save Success"));
        const auto lastWrite = [&] {
            const auto frames = logger->ReceivedFrames();
            return *std::find_if(frames.rbegin(), frames.rend(), [](const auto &f) { return f.size() == 204u; });
        };
        const TLoggerEmulator::TBytes sent = lastWrite();

        TComm holder;
        holder.SetCommName(QStringLiteral("ttyE2E_A"));
        holder.OpenPort();
        save("30 -30 99 1");
        QCOMPARE(w.Prompts.last(), QStringLiteral("Can't Open the Port"));
        holder.ClosePort();

        w.Get<QAbstractButton>(QStringLiteral("rbNoAlarm"))->setChecked(true);
        w.Click("imgSave");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 4, 10000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Save Success"));
        const TLoggerEmulator::TBytes last = lastWrite();
        QCOMPARE(last[152], std::uint8_t(0));
        QCOMPARE(Hex(last.begin() + 153, 49), Hex(sent.begin() + 153, 49));
    }

    void badCheckAcknowledgementIsNoSuccess()
    {
        TPrivateRuntime runtime;
        auto logger = StartLogger(QStringLiteral("ttyE2E_A"));
        TTestWindow w;
        QVERIFY(w.ReadFromLogger());
        logger->SetFaultMode(TFaultMode::BadCheck);
        w.Click("imgSave");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 2, 10000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Data Check Error"));
        QCOMPARE(w.LastLook(), QStringLiteral("Prompt, warning"));
        QTest::qWait(500);
        QCOMPARE(w.Prompts.size(), 2);
    }

    void secondSaveReopensThePort()
    {
        TPrivateRuntime runtime;
        auto logger = StartLogger(QStringLiteral("ttyE2E_A"));
        TTestWindow w;
        QVERIFY(w.ReadFromLogger());
        logger->SetFaultMode(TFaultMode::Silent);
        w.Click("imgSave");
        QVERIFY(w.Window.CommForTests()->Handle() != 0);
        // Longer than the logger's silence interval, or it sees one long block.
        QTest::qWait(500);
        w.Click("imgSave");
        QTRY_COMPARE_WITH_TIMEOUT(logger->ReceivedFrames().size(), 3u, 5000);
        QCOMPARE(w.Prompts.size(), 1);
        QVERIFY(w.Window.CommForTests()->Handle() != 0);
    }
};

QTEST_MAIN(TestReadSave)
#include "tst_readsave.moc"
