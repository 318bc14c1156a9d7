#include "PrivateRuntime.h"
#include "LoggerEmulator.h"
#include "PortMap.h"
#include "SerialPortList.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>

namespace {

// The names of `list` that are among `names`, in list order: the machine's own
// serial ports may stand between them.
QStringList Among(QStringList list, const QStringList &names)
{
    list.removeIf([&names](const QString &name) { return !names.contains(name); });
    return list;
}

void RegisterStubs(const QStringList &names)
{
    for (const QString &name : names)
        QVERIFY(PortMap::Register(name, QStringLiteral("/dev/null")));
}

} // namespace

class TstPortList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(FRuntime.IsValid());
    }

    void cleanup()
    {
        for (const QString &name : PortMap::RegisteredNames())
            PortMap::Unregister(name);
    }

    void sortsCaseInsensitivelyWithoutNumberOrder_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("registered");
        QTest::addColumn<QStringList>("expected");
        struct TRow {
            const char *Name;
            QStringList Registered, Expected;
        };
        const TRow rows[] = {
            {"COM10 before COM2", {"COM2", "COM10", "COM1"}, {"COM1", "COM10", "COM2"}},
            {"ttyUSB10 before ttyUSB2", {"ttyUSB2", "ttyUSB10"}, {"ttyUSB10", "ttyUSB2"}},
            {"case ignored", {"gamma", "Beta", "alpha"}, {"alpha", "Beta", "gamma"}},
            {"names equal but for case in a fixed order", {"port", "PORT", "Port"}, {"PORT", "Port", "port"}},
        };
        // The C locale compares code points; a real one goes through the collation tables.
        for (const char *locale : {"C", "en_US", "de_DE"})
            for (const TRow &row : rows)
                QTest::addRow("%s: %s", locale, row.Name) << QString(locale) << row.Registered << row.Expected;
    }

    void sortsCaseInsensitivelyWithoutNumberOrder()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, registered);
        QFETCH(QStringList, expected);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        RegisterStubs(registered);
        QStringList list;
        ReadSerialPortList(list);
        QLocale::setDefault(before);
        QCOMPARE(Among(list, registered), expected);
    }

    void skipsWhatCannotBeOpened_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::addColumn<bool>("othersMayWrite");
        QTest::newRow("link whose device is gone") << true << false;
        QTest::newRow("map that other users can write") << false << true;
    }

    void skipsWhatCannotBeOpened()
    {
        QFETCH(bool, dangling);
        QFETCH(bool, othersMayWrite);

        const QString dir = PortMap::Directory();
        QVERIFY(!dir.isEmpty());
        QVERIFY(PortMap::Register("ttyPLANTED", dangling ? FRuntime.FilePath(QStringLiteral("gone")) : QStringLiteral("/dev/null")));
        if (othersMayWrite)
            QCOMPARE(::chmod(QFile::encodeName(dir).constData(), 0777), 0);

        QStringList list;
        ReadSerialPortList(list);
        if (othersMayWrite)
            QCOMPARE(::chmod(QFile::encodeName(dir).constData(), 0700), 0);
        QVERIFY(!list.contains("ttyPLANTED"));
    }

    void emulatorIsListedWhileItRuns()
    {
        RegisterStubs({"ttyA0", "ttyZ0"});
        TLoggerEmulator emulator;
        QVERIFY(emulator.Start());

        QStringList list{"stale"};
        ReadSerialPortList(list);
        QVERIFY(!list.contains("stale"));
        QCOMPARE(Among(list, {"ttyA0", "ttyLOGGER0", "ttyZ0"}), (QStringList{"ttyA0", "ttyLOGGER0", "ttyZ0"}));

        emulator.Stop();
        ReadSerialPortList(list);
        QVERIFY(!list.contains("ttyLOGGER0"));
        QVERIFY(list.contains("ttyZ0"));
    }

private:
    TPrivateRuntime FRuntime;
};

QTEST_GUILESS_MAIN(TstPortList)
#include "tst_portlist.moc"
