#include "SerialPortList.h"
#include "WineStage.h"

#include <QTest>

// The port list as Windows keeps it, in the registry that wine fills from the
// COM ports the driver mapped.
class TestPortListWin : public QObject
{
    Q_OBJECT

private slots:
    void listsTheRegistryPortsInTheirOrder_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::newRow("empty list") << QStringList();
        QTest::newRow("stale names replaced") << QStringList{QStringLiteral("COM9"), QStringLiteral("COM3")};
    }

    void listsTheRegistryPortsInTheirOrder()
    {
        QFETCH(QStringList, before);
        // Mapped as COM3, COM10, COM100: names past one digit sort as text.
        QCOMPARE(WineStage::Ports().size(), 3);
        QStringList list = before;
        ReadSerialPortList(list);
        QCOMPARE(list, (QStringList{QStringLiteral("COM10"), QStringLiteral("COM100"), QStringLiteral("COM3")}));
    }
};

QTEST_APPLESS_MAIN(TestPortListWin)
#include "tst_portlist_win.moc"
