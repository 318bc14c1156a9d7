#include "InputFilter.h"
#include "SerialTermios_unix.h"
#include "SerialTestSupport.h"

#include <QTest>

using SerialPlatform::TLineSettings;

Q_DECLARE_METATYPE(TLineSettings)
Q_DECLARE_METATYPE(TInputFilterOptions)

namespace {

template<typename F>
TLineSettings With(F change)
{
    TLineSettings s;
    s.Outx_XonXoffFlow = false;
    s.Inx_XonXoffFlow = false;
    change(s);
    return s;
}

// What a terminal looks like before anybody has configured it.
termios Cooked()
{
    termios t{};
    t.c_iflag = ICRNL | IXON | IXANY | BRKINT | ISTRIP | INLCR | IGNCR | IGNPAR;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | CSTOPB | CRTSCTS | HUPCL;
    ::cfsetispeed(&t, B38400);
    ::cfsetospeed(&t, B38400);
    return t;
}

termios SlaveSettings(const TPtyPair &pty)
{
    // The master answers with the settings of its slave.
    termios t{};
    ::tcgetattr(pty.Master(), &t);
    return t;
}

uint SlaveSpeed(const TPtyPair &pty)
{
    const termios t = SlaveSettings(pty);
    return uint(::cfgetospeed(&t));
}

constexpr tcflag_t CflagsChecked = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CREAD | CLOCAL;
constexpr tcflag_t IflagsChecked = IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR | ISTRIP | ICRNL | INLCR | IGNCR | BRKINT;

} // namespace

class TestCommSettings : public QObject {
    Q_OBJECT

private slots:
    void compose_data();
    void compose();
    void baudRates_data();
    void baudRates();
    void appliedOnOpen();
    void unchangedValueAppliesNothing();
    void parityWaitsForNextApplication();
    void inputFilter_data();
    void inputFilter();
};

void TestCommSettings::compose_data()
{
    QTest::addColumn<TLineSettings>("settings");
    QTest::addColumn<uint>("cflags");
    QTest::addColumn<uint>("iflags");
    QTest::addColumn<bool>("complete");

    const uint base = CREAD | CLOCAL;
    QTest::newRow("window's line: 8N1, no flow control") << With([](TLineSettings &) {}) << (base | CS8) << 0u
                                                          << true;
    QTest::newRow("odd") << With([](TLineSettings &s) { s.Parity = TParity::Odd; }) << (base | CS8 | PARENB | PARODD)
                         << 0u << true;
    QTest::newRow("even") << With([](TLineSettings &s) { s.Parity = TParity::Even; }) << (base | CS8 | PARENB) << 0u
                          << true;
    QTest::newRow("mark") << With([](TLineSettings &s) { s.Parity = TParity::Mark; })
                          << (base | CS8 | PARENB | PARODD | CMSPAR) << 0u << true;
    QTest::newRow("space") << With([](TLineSettings &s) { s.Parity = TParity::Space; })
                           << (base | CS8 | PARENB | CMSPAR) << 0u << true;
    QTest::newRow("7 data bits") << With([](TLineSettings &s) { s.ByteSize = TByteSize::_7; }) << (base | CS7) << 0u
                                 << true;
    QTest::newRow("6 data bits") << With([](TLineSettings &s) { s.ByteSize = TByteSize::_6; }) << (base | CS6) << 0u
                                 << true;
    QTest::newRow("two stop bits") << With([](TLineSettings &s) { s.StopBits = TStopBits::_2; })
                                   << (base | CS8 | CSTOPB) << 0u << true;
    QTest::newRow("1.5 stop bits with 5-bit bytes") << With([](TLineSettings &s) {
        s.ByteSize = TByteSize::_5;
        s.StopBits = TStopBits::_1_5;
    }) << (base | CS5 | CSTOPB) << 0u << true;
    // Refused, so the old setting of the cooked terminal stays.
    QTest::newRow("1.5 stop bits with 8-bit bytes refused")
        << With([](TLineSettings &s) { s.StopBits = TStopBits::_1_5; }) << (base | CS8 | CSTOPB) << 0u << false;
    QTest::newRow("CTS output flow") << With([](TLineSettings &s) { s.Outx_CtsFlow = true; })
                                     << (base | CS8 | CRTSCTS) << 0u << true;
    QTest::newRow("RTS handshake") << With([](TLineSettings &s) { s.RtsControl = TRtsControl::RtsHandshake; })
                                   << (base | CS8 | CRTSCTS) << 0u << true;
    QTest::newRow("RTS while sending is no handshake")
        << With([](TLineSettings &s) { s.RtsControl = TRtsControl::RtsTransmissionAvailable; }) << (base | CS8) << 0u
        << true;
    QTest::newRow("XON/XOFF out") << With([](TLineSettings &s) { s.Outx_XonXoffFlow = true; }) << (base | CS8)
                                  << uint(IXON) << true;
    QTest::newRow("XON/XOFF in") << With([](TLineSettings &s) { s.Inx_XonXoffFlow = true; }) << (base | CS8)
                                 << uint(IXOFF) << true;
    QTest::newRow("parity checking marks bad bytes") << With([](TLineSettings &s) { s.ParityCheck = true; })
                                                     << (base | CS8) << uint(INPCK | PARMRK) << true;
}

void TestCommSettings::compose()
{
    QFETCH(TLineSettings, settings);
    QFETCH(uint, cflags);
    QFETCH(uint, iflags);
    QFETCH(bool, complete);

    termios t = Cooked();
    QCOMPARE(SerialPlatform::ComposeTermios(settings, t), complete);
    QCOMPARE(uint(t.c_cflag & CflagsChecked), cflags);
    QCOMPARE(uint(t.c_iflag & IflagsChecked), iflags);
    // Raw whatever else is asked for.
    QCOMPARE(uint(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)), 0u);
    QCOMPARE(uint(t.c_oflag & OPOST), 0u);
    QCOMPARE(int(t.c_cc[VMIN]), 1);
    QCOMPARE(int(t.c_cc[VTIME]), 0);
    QCOMPARE(int(t.c_cc[VSTART]), int(settings.XonChar));
    QCOMPARE(int(t.c_cc[VSTOP]), int(settings.XoffChar));
}

void TestCommSettings::baudRates_data()
{
    QTest::addColumn<uint>("rate");
    QTest::addColumn<uint>("speed");
    QTest::addColumn<bool>("complete");
    QTest::newRow("9600") << 9600u << uint(B9600) << true;
    QTest::newRow("115200") << 115200u << uint(B115200) << true;
    QTest::newRow("300") << 300u << uint(B300) << true;
    QTest::newRow("unknown rate keeps the old one") << 14400u << uint(B38400) << false;
    QTest::newRow("zero keeps the old one") << 0u << uint(B38400) << false;
}

void TestCommSettings::baudRates()
{
    QFETCH(uint, rate);
    QFETCH(uint, speed);
    QFETCH(bool, complete);
    termios t = Cooked();
    QCOMPARE(SerialPlatform::ComposeTermios(With([rate](TLineSettings &s) { s.BaudRate = rate; }), t), complete);
    QCOMPARE(uint(::cfgetospeed(&t)), speed);
    QCOMPARE(uint(::cfgetispeed(&t)), speed);
}

void TestCommSettings::appliedOnOpen()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    termios cooked = Cooked();
    ::tcsetattr(pty.Master(), TCSANOW, &cooked);

    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.SetStopBits(TStopBits::_2);
    comm.SetXoffChar(0x23);
    comm.OpenPort();

    // A pseudo-terminal ignores data size and parity; the rest shows.
    const termios t = SlaveSettings(pty);
    QCOMPARE(uint(::cfgetospeed(&t)), uint(B9600));
    QVERIFY(t.c_cflag & CSTOPB);
    QVERIFY(!(t.c_cflag & CRTSCTS));
    QCOMPARE(uint(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP)), 0u);
    QCOMPARE(uint(t.c_lflag & (ICANON | ECHO | ISIG)), 0u);
    QCOMPARE(int(t.c_cc[VSTOP]), 0x23);
}

void TestCommSettings::unchangedValueAppliesNothing()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();

    // Somebody else changes the line under the component.
    termios t = SlaveSettings(pty);
    ::cfsetospeed(&t, B4800);
    ::cfsetispeed(&t, B4800);
    ::tcsetattr(pty.Master(), TCSANOW, &t);

    comm.SetBaudRate(9600);
    QCOMPARE(SlaveSpeed(pty), uint(B4800));
    comm.SetBaudRate(19200);
    QCOMPARE(SlaveSpeed(pty), uint(B19200));

    // Time-outs are no line settings.
    comm.SetBaudRate(9600);
    ::tcsetattr(pty.Master(), TCSANOW, &t);
    comm.SetReadIntervalTimeout(55);
    QCOMPARE(SlaveSpeed(pty), uint(B4800));
}

void TestCommSettings::parityWaitsForNextApplication()
{
    TPtyPair pty;
    QVERIFY(pty.Valid());
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();
    const std::intptr_t handle = comm.Handle();

    comm.SetParity(TParity::Odd);
    comm.SetCommName(QStringLiteral("/dev/loggercfg-elsewhere"));
    QVERIFY(!(SlaveSettings(pty).c_cflag & PARODD));
    QCOMPARE(comm.Handle(), handle);

    comm.SetXonChar(0x21);
    const termios t = SlaveSettings(pty);
    QVERIFY(t.c_cflag & PARODD);
    QCOMPARE(int(t.c_cc[VSTART]), 0x21);
    QVERIFY(comm.SendData("same port", 9));
    QCOMPARE(pty.Read(9), QByteArray("same port"));
}

void TestCommSettings::inputFilter_data()
{
    QTest::addColumn<TInputFilterOptions>("options");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<int>>("reads");
    QTest::addColumn<QByteArray>("expected");

    TInputFilterOptions none;
    TInputFilterOptions marked;
    marked.Marked = true;
    TInputFilterOptions replacing = marked;
    replacing.ReplaceErrors = true;
    replacing.ReplacedChar = '?';
    TInputFilterOptions noNulls;
    noNulls.IgnoreNull = true;

    const QList<int> whole;
    QTest::newRow("untouched without options") << none << QByteArray("\xFF\x00\x41\x00", 4) << whole
                                               << QByteArray("\xFF\x00\x41\x00", 4);
    QTest::newRow("doubled 0xFF made single") << marked << QByteArray("\xFF\xFF\x41", 3) << whole
                                              << QByteArray("\xFF\x41", 2);
    QTest::newRow("bad byte passed on") << marked << QByteArray("\x41\xFF\x00\x58", 4) << whole << QByteArray("AX");
    QTest::newRow("bad byte replaced") << replacing << QByteArray("\x41\xFF\x00\x58", 4) << whole << QByteArray("A?");
    QTest::newRow("break arrives as zero") << marked << QByteArray("\xFF\x00\x00", 3) << whole
                                           << QByteArray("\x00", 1);
    QTest::newRow("nulls dropped") << noNulls << QByteArray("\x00\x41\x00\x42\x00", 5) << whole << QByteArray("AB");
    QTest::newRow("mark split over three reads") << replacing << QByteArray("\x41\xFF\x00\x58\x42", 5)
                                                 << QList<int>{2, 1, 2} << QByteArray("A?B");
    QTest::newRow("doubled 0xFF split over two reads") << marked << QByteArray("\xFF\xFF\x42", 3)
                                                       << QList<int>{1, 2} << QByteArray("\xFF\x42", 2);
    // Cannot come from the driver; losing a byte would be worse than passing it.
    QTest::newRow("stray byte after 0xFF kept") << marked << QByteArray("\xFF\x41", 2) << whole
                                                << QByteArray("\xFF\x41", 2);
}

void TestCommSettings::inputFilter()
{
    QFETCH(TInputFilterOptions, options);
    QFETCH(QByteArray, input);
    QFETCH(QList<int>, reads);
    QFETCH(QByteArray, expected);
    if (reads.isEmpty())
        reads << int(input.size());

    TInputFilter filter;
    QByteArray output;
    qsizetype at = 0;
    for (const int size : reads) {
        QByteArray chunk = input.mid(at, size);
        at += size;
        const std::size_t kept =
            filter.Apply(reinterpret_cast<std::uint8_t *>(chunk.data()), std::size_t(chunk.size()), options);
        output += chunk.left(qsizetype(kept));
    }
    QCOMPARE(output, expected);
}

QTEST_GUILESS_MAIN(TestCommSettings)
#include "tst_commsettings.moc"
