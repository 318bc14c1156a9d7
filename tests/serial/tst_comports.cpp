#include "CommRecorder.h"
#include "Frame.h"
#include "SerialDcb_win.h"
#include "SerialPlatform.h"
#include "WineStage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using SerialPlatform::TLineSettings;

Q_DECLARE_METATYPE(TLineSettings)

namespace {

// Mapped by the wine driver: logger emulators on names that CreateFile opens only
// through the device namespace, and a null-modem pair whose ends are both ours.
const QStringList LoggerPorts = {QStringLiteral("COM10"), QStringLiteral("COM100")};
const QString PairA = QStringLiteral("COM2");
const QString PairB = QStringLiteral("COM7");

// The DCB's flag word, as the bits the logger's line settings are defined by.
quint32 FlagWord(const DCB &dcb)
{
    quint32 flags = 0;
    std::memcpy(&flags, reinterpret_cast<const char *>(&dcb) + offsetof(DCB, BaudRate) + sizeof dcb.BaudRate,
                sizeof flags);
    return flags;
}

// A write frame built from a record, as the window would send it back.
QByteArray WriteFrameFrom(QByteArray record)
{
    record[2] = char(CmdParameterWrite);
    record[3] = char(WriteFrameDataCount);
    record[FrameCheckOffset] =
        char(FrameCheckByte(reinterpret_cast<const std::uint8_t *>(record.constData()), int(FrameCheckOffset) - 1));
    return record;
}

bool UnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

// The serial component on Win32, under wine, against logger emulators on the
// Linux side and a null-modem pair.
class TestComPorts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(WineStage::Ports(), (LoggerPorts + QStringList{PairA, PairB}));
    }

    void devicePath_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::newRow("one digit") << "COM2" << R"(\\.\COM2)";
        QTest::newRow("two digits fail without the namespace") << "COM10" << R"(\\.\COM10)";
        QTest::newRow("already in the namespace") << R"(\\.\COM100)" << R"(\\.\COM100)";
    }
    void devicePath()
    {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QCOMPARE(SerialPlatform::DevicePath(name), path);
    }

    void composeDcb_data()
    {
        QTest::addColumn<TLineSettings>("settings");
        QTest::addColumn<uint>("flags");
        QTest::addColumn<int>("byteSize");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stopBits");

        const auto with = [](auto change) {
            TLineSettings s;
            change(s);
            return s;
        };
        // Binary, DTR and RTS raised, transmit continues after XOFF.
        QTest::newRow("the window's 8N1") << TLineSettings() << 0x1091u << 8 << 0 << 0;
        QTest::newRow("XON/XOFF both ways") << with([](TLineSettings &s) {
            s.Outx_XonXoffFlow = s.Inx_XonXoffFlow = true;
        }) << 0x1391u << 8 << 0 << 0;
        QTest::newRow("DTR and RTS handshakes, CTS and DSR flow") << with([](TLineSettings &s) {
            s.DtrControl = TDtrControl::DtrHandshake;
            s.RtsControl = TRtsControl::RtsHandshake;
            s.Outx_CtsFlow = s.Outx_DsrFlow = s.DsrSensitivity = true;
        }) << 0x20EDu << 8 << 0 << 0;
        QTest::newRow("lines low, RTS while sending") << with([](TLineSettings &s) {
            s.DtrControl = TDtrControl::DtrDisable;
            s.RtsControl = TRtsControl::RtsTransmissionAvailable;
            s.TxContinueOnXoff = false;
        }) << 0x3001u << 8 << 0 << 0;
        QTest::newRow("parity checked and replaced, nulls dropped, 7M1.5") << with([](TLineSettings &s) {
            s.ParityCheck = s.ReplaceWhenParityError = s.IgnoreNullChar = true;
            s.Parity = TParity::Mark;
            s.ByteSize = TByteSize::_7;
            s.StopBits = TStopBits::_1_5;
        }) << 0x1C93u << 7 << 3 << 1;
    }
    void composeDcb()
    {
        QFETCH(TLineSettings, settings);
        QFETCH(uint, flags);
        QFETCH(int, byteSize);
        QFETCH(int, parity);
        QFETCH(int, stopBits);
        // A port left with abort-on-error and odd flags by its last user.
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.fAbortOnError = TRUE;
        dcb.fDsrSensitivity = TRUE;
        dcb.EofChar = 0x1A;
        SerialPlatform::ComposeDcb(settings, dcb);
        QCOMPARE(FlagWord(dcb), quint32(flags));
        QCOMPARE(int(dcb.ByteSize), byteSize);
        QCOMPARE(int(dcb.Parity), parity);
        QCOMPARE(int(dcb.StopBits), stopBits);
        QCOMPARE(int(dcb.EofChar), 0x1A);
        QCOMPARE(dcb.DCBlength, DWORD(sizeof dcb));
    }

    void composeTimeouts_data()
    {
        QTest::addColumn<QList<uint>>("given");
        QTest::addColumn<QList<uint>>("driver");
        QTest::newRow("the window's interval") << QList<uint>{200, 0, 0, 0, 0} << QList<uint>{200, 0, 0, 0, 0};
        QTest::newRow("totals and write limits") << QList<uint>{0, 2, 250, 3, 40} << QList<uint>{0, 2, 250, 3, 40};
        // Regression: a read that returns at once, empty, would spin the reader.
        QTest::newRow("return at once waits for the first byte")
            << QList<uint>{MAXDWORD, 0, 0, 0, 0} << QList<uint>{MAXDWORD, MAXDWORD, MAXDWORD - 1, 0, 0};
    }
    void composeTimeouts()
    {
        QFETCH(QList<uint>, given);
        QFETCH(QList<uint>, driver);
        const COMMTIMEOUTS t =
            SerialPlatform::ComposeTimeouts({given[0], given[1], given[2], given[3], given[4]}, COMMTIMEOUTS{9, 9, 9, 9, 9});
        QCOMPARE((QList<uint>{uint(t.ReadIntervalTimeout), uint(t.ReadTotalTimeoutMultiplier),
                              uint(t.ReadTotalTimeoutConstant), uint(t.WriteTotalTimeoutMultiplier),
                              uint(t.WriteTotalTimeoutConstant)}),
                 driver);
    }

    void openFailures()
    {
        SerialPlatform::TOpenFailure failure = SerialPlatform::TOpenFailure::None;
        QVERIFY(!SerialPlatform::TPort::Open(SerialPlatform::DevicePath(QStringLiteral("COM99")), &failure));
        QCOMPARE(failure, SerialPlatform::TOpenFailure::Missing);
        // Devices and files that CreateFile opens as readily as a port.
        QTemporaryDir dir;
        QFile plain(dir.filePath(QStringLiteral("plain-file")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        for (const QString &other : {QStringLiteral("NUL"), QDir::toNativeSeparators(plain.fileName())}) {
            failure = SerialPlatform::TOpenFailure::None;
            QVERIFY(!SerialPlatform::TPort::Open(SerialPlatform::DevicePath(other), &failure));
            QCOMPARE(failure, SerialPlatform::TOpenFailure::NotSerial);
        }

        TComm comm;
        ConfigureLikeTheWindow(comm, QStringLiteral("COM99"));
        QCOMPARE(OpenError(comm), QStringLiteral("Can't Open the Port"));
        QCOMPARE(OpenFailureKind(comm), QStringLiteral("no such port"));
        QCOMPARE(comm.Handle(), std::intptr_t{0});
        comm.SetCommName(LoggerPorts.first());
        QCOMPARE(OpenError(comm), QString());
    }

    void openCloseAndExclusiveUse_data()
    {
        QTest::addColumn<QString>("port");
        for (const QString &port : LoggerPorts)
            QTest::newRow(qPrintable(port)) << port;
    }
    void openCloseAndExclusiveUse()
    {
        QFETCH(QString, port);
        TComm first, second;
        ConfigureLikeTheWindow(first, port);
        ConfigureLikeTheWindow(second, port);
        QVERIFY(!first.SendData("x", 1));
        QCOMPARE(OpenError(first), QString());
        const std::intptr_t handle = first.Handle();
        QVERIFY(handle != 0);
        QCOMPARE(OpenError(first), QStringLiteral("This serial port already opened"));
        QCOMPARE(first.Handle(), handle);
        QVERIFY(!first.SendData("x", 0));

        // Another program's port answers access denied: in use, never a right the user lacks.
        SerialPlatform::TOpenFailure failure = SerialPlatform::TOpenFailure::None;
        const bool shared = SerialPlatform::TPort::Open(SerialPlatform::DevicePath(port), &failure) != nullptr;
        if (!shared) {
            QCOMPARE(failure, SerialPlatform::TOpenFailure::InUse);
            QCOMPARE(OpenError(second), QStringLiteral("Can't Open the Port"));
            QCOMPARE(OpenFailureKind(second), QStringLiteral("in use"));
        }

        first.ClosePort();
        first.ClosePort();
        QCOMPARE(first.Handle(), std::intptr_t{0});
        QVERIFY(!first.SendData("x", 1));
        QCOMPARE(OpenError(second), QString());
        if (shared && UnderWine())
            QSKIP("wine lets a second CreateFile share a COM port opened for exclusive use");
        QVERIFY2(!shared, "a second open shared the port");
    }

    void lineEventsWatched()
    {
        TComm sender, receiver;
        TRecorder recorder(receiver);
        receiver.OnReceiveError = [](TComm *, std::uint32_t) {};
        ConfigureLikeTheWindow(sender, PairA);
        ConfigureLikeTheWindow(receiver, PairB);
        QCOMPARE(OpenError(sender), QString());
        QCOMPARE(OpenError(receiver), QString());
        QVERIFY(sender.SendData("watched", 7));
        QTRY_VERIFY_WITH_TIMEOUT(!recorder.Blocks.isEmpty() || recorder.Hangups > 0, 5000);
        if (recorder.Hangups > 0 && UnderWine())
            QSKIP("wine fails WaitCommEvent on a pseudo-terminal, which has no modem lines");
        QCOMPARE(recorder.Hangups, 0);
        QCOMPARE(recorder.Blocks.first(), QByteArray("watched"));
    }

    void probeThenSave_data() { openCloseAndExclusiveUse_data(); }
    void probeThenSave()
    {
        QFETCH(QString, port);
        TComm comm;
        TRecorder recorder(comm);
        ConfigureLikeTheWindow(comm, port);
        QCOMPARE(OpenError(comm), QString());
        // Once when the writer first finds its queue empty, nothing was sent yet.
        QTRY_COMPARE_WITH_TIMEOUT(recorder.SendEmpty, 1, 3000);
        QTest::qWait(100);
        QCOMPARE(recorder.SendEmpty, 1);

        QVERIFY(comm.SendData(ProbeRequest.data(), std::uint16_t(ProbeRequest.size())));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.Blocks.size(), 1, 5000);
        QTest::qWait(400);
        QCOMPARE(recorder.Blocks.size(), 1);
        const QByteArray record = recorder.Blocks.first();
        QCOMPARE(record.size(), qsizetype(FrameBufferSize));
        QVERIFY(CheckFrame(reinterpret_cast<const std::uint8_t *>(record.constData()), std::size_t(record.size())));
        QCOMPARE(std::uint8_t(record[2]), CmdParameterRecord);

        const QByteArray frame = WriteFrameFrom(record);
        QVERIFY(comm.SendData(frame.constData(), std::uint16_t(frame.size())));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.Blocks.size(), 2, 5000);
        QCOMPARE(recorder.Blocks.last(), QByteArray::fromHex("AA 55 15 01 00 16 AA"));
        QCOMPARE(recorder.SendEmpty, 3);
        QCOMPARE(recorder.Hangups, 0);
    }

    void blocksOverTheLine_data() { AddBlockRows(); }
    void blocksOverTheLine()
    {
        QFETCH(int, intervalMs);
        QFETCH(QList<int>, chunks);
        QFETCH(int, pauseMs);
        QFETCH(QList<qsizetype>, expected);

        TComm sender, receiver;
        TRecorder recorder(receiver);
        ConfigureLikeTheWindow(sender, PairA);
        ConfigureLikeTheWindow(receiver, PairB, std::uint32_t(intervalMs));
        QCOMPARE(OpenError(sender), QString());
        QCOMPARE(OpenError(receiver), QString());
        QByteArray sent;
        for (int i = 0; i < chunks.size(); ++i) {
            if (i > 0)
                QTest::qWait(pauseMs);
            const QByteArray chunk = Pattern(chunks[i]);
            sent += chunk;
            QVERIFY(sender.SendData(chunk.constData(), std::uint16_t(chunk.size())));
        }
        QTRY_VERIFY_WITH_TIMEOUT(recorder.Joined().size() >= sent.size(), 15000);
        QTest::qWait(intervalMs + 200);
        QCOMPARE(recorder.Sizes(), expected);
        QCOMPARE(recorder.Joined(), sent);
        QVERIFY(recorder.ZeroAfterEveryBlock);
    }

    void nextBlockArrivesInsideAHandlersLoop()
    {
        TComm sender, receiver;
        ConfigureLikeTheWindow(sender, PairA);
        ConfigureLikeTheWindow(receiver, PairB);
        QCOMPARE(OpenError(sender), QString());
        QCOMPARE(OpenError(receiver), QString());
        const QStringList arrivals = BlocksAroundANestedLoop(receiver, [&](const QByteArray &bytes) {
            return sender.SendData(bytes.constData(), std::uint16_t(bytes.size()));
        });
        QCOMPARE(arrivals, (QStringList{QStringLiteral("first at 1"), QStringLiteral("second at 2")}));
    }

    void closeWithAWritePending()
    {
        // Nobody reads the far end, so the writer's last write stays pending;
        // the close must end it without waiting for the line.
        TComm sender;
        TRecorder recorder(sender);
        ConfigureLikeTheWindow(sender, PairA);
        QCOMPARE(OpenError(sender), QString());
        const QByteArray block = Pattern(65535);
        for (int i = 0; i < 4; ++i)
            QVERIFY(sender.SendData(block.constData(), std::uint16_t(block.size())));
        QTest::qWait(300);
        QElapsedTimer clock;
        clock.start();
        sender.ClosePort();
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(OpenError(sender), QString());
    }
};

QTEST_GUILESS_MAIN(TestComPorts)
#include "tst_comports.moc"
