#include "Comm.h"
#include "E2eSupport.h"
#include "PortMap.h"
#include "RefusingPort.h"

#include <QFile>
#include <QScopeGuard>

#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

// The name of the group that owns the device, as `ls -l` shows it.
QString DeviceGroup(const QString &path)
{
    struct stat device {};
    if (::stat(QFile::encodeName(path).constData(), &device) != 0)
        return {};
    const group *entry = ::getgrgid(device.st_gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(device.st_gid);
}

// Long enough for the logger's answer to arrive within its port's period.
constexpr int SearchPeriodMs = 800;

} // namespace

// On Linux a user outside the serial ports' group sees every port refused and
// the search end in silence; the window tells them why, once per Read.
class TestPermission : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Root opens any device, so a refusal is tested as somebody else.
        QVERIFY2(::geteuid() != 0, "the test runs as root although main() gave up root");
    }

    void deniedPortsAreNamedOnce_data()
    {
        // Each port: d refused for lack of permission, m missing, b held by
        // another program, L a logger.
        QTest::addColumn<QString>("ports");
        QTest::addColumn<int>("reads");
        QTest::addColumn<QStringList>("named");
        QTest::newRow("one port refused, read twice") << "d" << 2 << QStringList{"ttyE2E_0"};
        QTest::newRow("refused among missing") << "dmd" << 1 << QStringList{"ttyE2E_0", "ttyE2E_2"};
        QTest::newRow("in use stays silent") << "b" << 1 << QStringList{};
        QTest::newRow("missing stays silent") << "m" << 1 << QStringList{};
        QTest::newRow("a logger answers elsewhere") << "dL" << 1 << QStringList{};
    }

    void deniedPortsAreNamedOnce()
    {
        QFETCH(QString, ports);
        QFETCH(int, reads);
        QFETCH(QStringList, named);
        TPrivateRuntime runtime;
        QVERIFY(runtime.IsValid());

        std::vector<std::unique_ptr<TRefusingPort>> refusing;
        std::vector<std::unique_ptr<TLoggerEmulator>> loggers;
        TComm holder;
        QStringList names;
        for (qsizetype i = 0; i < ports.size(); ++i) {
            const QString name = TestPortPrefix + QStringLiteral("_%1").arg(i);
            names << name;
            switch (ports.at(i).toLatin1()) {
            case 'd':
                refusing.push_back(std::make_unique<TRefusingPort>());
                QVERIFY(PortMap::Register(name, refusing.back()->Path()));
                break;
            case 'b':
                loggers.push_back(StartLogger(name, TFaultMode::Silent));
                holder.SetCommName(name);
                holder.OpenPort();
                break;
            case 'L':
                loggers.push_back(StartLogger(name));
                break;
            default:
                break;
            }
        }

        TTestWindow w;
        w.Window.ReadPortList = [names](QStringList &list) { list = names; };
        w.Window.SetSearchPeriod(SearchPeriodMs);
        const int searchMs = int(ports.size() + 1) * (SearchPeriodMs + 100);
        for (int read = 1; read <= reads; ++read) {
            w.Click("imgRead");
            // Past the end of the list, and two more ticks that must show nothing more.
            QTest::qWait(searchMs + 2 * SearchPeriodMs);
            if (ports.contains(u'L'))
                break;
            const qsizetype expected = named.isEmpty() ? 0 : read;
            QCOMPARE(w.Boxes.size(), expected);
            if (named.isEmpty())
                continue;
            QCOMPARE(w.LastLook(), QStringLiteral("Prompt, warning"));
            const QString text = w.Prompts.last();
            for (const QString &name : names)
                QCOMPARE(text.contains(name), named.contains(name));
            // The group to join is the one the refused device belongs to;
            // here not the usual dialout.
            const QString group = DeviceGroup(refusing.front()->Path());
            QVERIFY(group != QLatin1String("dialout"));
            QVERIFY2(text.contains(QStringLiteral("\"%1\" group").arg(group))
                         && text.contains(QStringLiteral("usermod -aG %1 ").arg(group)),
                     qPrintable(text));
            QVERIFY(!text.contains(QStringLiteral("dialout")));
        }
        if (ports.contains(u'L'))
            QCOMPARE(w.Prompts, QStringList{QStringLiteral("Read Success")});
        if (holder.Handle() != 0)
            holder.ClosePort();
    }

    // The refusal changes nothing else: a save to such a port reports the
    // failed open as before.
    void saveToARefusedPortSaysItCannotOpen()
    {
        TPrivateRuntime runtime;
        TRefusingPort port;
        TComm comm;
        comm.SetCommName(port.Path());
        try {
            comm.OpenPort();
            QFAIL("the refused port opened");
        } catch (const ECommsAccessDenied &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Can't Open the Port"));
        }
    }
};

int main(int argc, char *argv[])
{
    RunWithoutRoot(argc, argv);
    QApplication application(argc, argv);
    TestPermission test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_permission.moc"
