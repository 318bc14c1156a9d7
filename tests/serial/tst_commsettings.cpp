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
    change(s);
    return s;
}

termios SlaveSettings(const TPtyPair &pty)
{
    termios t{};
    ::tcgetattr(pty.Master(), &t);  // the master answers for its slave
    return t;
}

speed_t SlaveSpeed(const TPtyPair &pty)
{
    const termios t = SlaveSettings(pty);
    return ::cfgetospeed(&t);
}

} // namespace

class TestCommSettings : public QObject {
    Q_OBJECT

private slots:
    void compose_data();
    void compose();
    void reapplyRules();
    void inputFilter_data();
    void inputFilter();
};

void TestCommSettings::compose_data()
{
    QTest::addColumn<TLineSettings>("settings");
    QTest::addColumn<uint>("cflags");
    QTest::addColumn<uint>("iflags");
    QTest::addColumn<bool>("complete");

    const uint line = CREAD | CLOCAL | CS8;
    QTest::newRow("the window's 8N1") << TLineSettings() << line << 0u << true;
    QTest::newRow("XON/XOFF both ways") << With([](TLineSettings &s) {
        s.Outx_XonXoffFlow = s.Inx_XonXoffFlow = true;
    }) << line << uint(IXON | IXOFF) << true;
    QTest::newRow("mark") << With([](TLineSettings &s) { s.Parity = TParity::Mark; })
                          << (line | PARENB | PARODD | CMSPAR) << 0u << true;
    QTest::newRow("space, 7 bits") << With([](TLineSettings &s) {
        s.Parity = TParity::Space;
        s.ByteSize = TByteSize::_7;
    }) << uint(CREAD | CLOCAL | CS7 | PARENB | CMSPAR) << 0u << true;
    QTest::newRow("1.5 stop bits with 5-bit bytes") << With([](TLineSettings &s) {
        s.ByteSize = TByteSize::_5;
        s.StopBits = TStopBits::_1_5;
    }) << uint(CREAD | CLOCAL | CS5 | CSTOPB) << 0u << true;
    // Refused: the old stop bits of the cooked terminal stay.
    QTest::newRow("1.5 stop bits with 8-bit bytes refused")
        << With([](TLineSettings &s) { s.StopBits = TStopBits::_1_5; }) << (line | CSTOPB) << 0u << false;
    QTest::newRow("unknown baud rate refused") << With([](TLineSettings &s) { s.BaudRate = 14400; }) << line
                                               << 0u << false;
    QTest::newRow("RTS handshake") << With([](TLineSettings &s) { s.RtsControl = TRtsControl::RtsHandshake; })
                                   << (line | CRTSCTS) << 0u << true;
    QTest::newRow("parity checking marks bad bytes") << With([](TLineSettings &s) { s.ParityCheck = true; })
                                                     << line << uint(INPCK | PARMRK) << true;
}

void TestCommSettings::compose()
{
    QFETCH(TLineSettings, settings);
    QFETCH(uint, cflags);
    QFETCH(uint, iflags);
    QFETCH(bool, complete);

    // A cooked terminal, so that every flag left over shows.
    termios t{};
    t.c_iflag = ICRNL | IXANY | BRKINT | ISTRIP | INLCR | IGNCR | IGNPAR;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cflag = CS6 | PARENB | CSTOPB | CRTSCTS;
    ::cfsetospeed(&t, B38400);

    QCOMPARE(SerialPlatform::ComposeTermios(settings, t), complete);
    QCOMPARE(uint(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CREAD | CLOCAL)), cflags);
    QCOMPARE(uint(t.c_iflag & (IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR | ISTRIP | ICRNL | INLCR | IGNCR)),
             iflags);
    QCOMPARE(uint(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)), 0u);
    QCOMPARE(uint(t.c_oflag & OPOST), 0u);
    QCOMPARE(::cfgetospeed(&t), speed_t(settings.BaudRate == 9600 ? B9600 : B38400));
    QCOMPARE(int(t.c_cc[VSTART]), 0x11);
    QCOMPARE(int(t.c_cc[VSTOP]), 0x13);
}

// A pseudo-terminal ignores data size and parity enable but keeps the rest.
void TestCommSettings::reapplyRules()
{
    TPtyPair pty;
    TComm comm;
    ConfigureLikeTheWindow(comm, pty.SlavePath);
    comm.OpenPort();
    const std::intptr_t handle = comm.Handle();

    // Somebody else changes the speed under the component: an assignment of the
    // value it already has must not undo that, a new value applies everything.
    termios t = SlaveSettings(pty);
    ::cfsetospeed(&t, B4800);
    ::tcsetattr(pty.Master(), TCSANOW, &t);
    comm.SetBaudRate(9600);
    comm.SetReadIntervalTimeout(55);
    QCOMPARE(SlaveSpeed(pty), speed_t(B4800));

    // Parity and the name are only stored.
    comm.SetParity(TParity::Odd);
    comm.SetCommName(QStringLiteral("/dev/loggercfg-elsewhere"));
    QVERIFY(!(SlaveSettings(pty).c_cflag & PARODD));
    QCOMPARE(comm.Handle(), handle);

    comm.SetXonChar(0x21);
    t = SlaveSettings(pty);
    QCOMPARE(::cfgetospeed(&t), speed_t(B9600));
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

    TInputFilterOptions marked;
    marked.Marked = true;
    TInputFilterOptions replacing = marked;
    replacing.ReplaceErrors = true;
    replacing.ReplacedChar = '?';

    QTest::newRow("bad byte passed on") << marked << QByteArray("A\xFF\x00X", 4) << QList<int>{4} << QByteArray("AX");
    QTest::newRow("bad byte replaced") << replacing << QByteArray("A\xFF\x00X", 4) << QList<int>{4}
                                       << QByteArray("A?");
    QTest::newRow("break arrives as zero") << marked << QByteArray("\xFF\x00\x00", 3) << QList<int>{3}
                                           << QByteArray(1, '\0');
    QTest::newRow("mark split over three reads") << replacing << QByteArray("A\xFF\x00XB", 5) << QList<int>{2, 1, 2}
                                                 << QByteArray("A?B");
    QTest::newRow("doubled 0xFF split over two reads") << marked << QByteArray("\xFF\xFF\x42", 3)
                                                       << QList<int>{1, 2} << QByteArray("\xFF\x42");
    // Cannot come from the driver; losing a byte would be worse than passing it.
    QTest::newRow("stray byte after 0xFF kept") << marked << QByteArray("\xFF\x41") << QList<int>{2}
                                                << QByteArray("\xFF\x41");
}

void TestCommSettings::inputFilter()
{
    QFETCH(TInputFilterOptions, options);
    QFETCH(QByteArray, input);
    QFETCH(QList<int>, reads);
    QFETCH(QByteArray, expected);

    TInputFilter filter;
    QByteArray output;
    for (qsizetype at = 0; const int size : reads) {
        QByteArray chunk = input.mid(at, size);
        at += size;
        output += chunk.left(qsizetype(filter.Apply(reinterpret_cast<std::uint8_t *>(chunk.data()),
                                                    std::size_t(chunk.size()), options)));
    }
    QCOMPARE(output, expected);
}

QTEST_GUILESS_MAIN(TestCommSettings)
#include "tst_commsettings.moc"
