#include "SerialPortList.h"
#include "WineStage.h"

#include <QTest>

#include <windows.h>

namespace {

const QStringList Mapped = {QStringLiteral("COM10"), QStringLiteral("COM100"), QStringLiteral("COM3")};

// A value of the test's own under SERIALCOMM, removed again when it ends.
class TExtraValue
{
public:
    TExtraValue(const QString &name, const QString &data) : FName(name)
    {
        if (FName.isEmpty())
            return;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_SET_VALUE, &key)
            != ERROR_SUCCESS)
            return;
        const std::wstring text = data.toStdWString();
        FAdded = RegSetValueExW(key, reinterpret_cast<const wchar_t *>(FName.utf16()), 0, REG_SZ,
                                reinterpret_cast<const BYTE *>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)))
                 == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~TExtraValue()
    {
        if (FAdded)
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM",
                               reinterpret_cast<const wchar_t *>(FName.utf16()));
    }
    bool Usable() const { return FName.isEmpty() || FAdded; }

private:
    QString FName;
    bool FAdded = false;
};

} // namespace

// The port list as Windows keeps it, in the registry that wine fills from the
// COM ports the driver mapped: COM3, COM10 and COM100.
class TestPortListWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(WineStage::Ports().size(), 3);
    }

    void listsTheRegistryPortsInTheirOrder_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("extraName");
        QTest::addColumn<QString>("extraData");
        QTest::addColumn<QStringList>("expected");
        const QStringList stale = {QStringLiteral("COM9"), QStringLiteral("COM3")};
        // Names past one digit sort as text.
        QTest::newRow("empty list filled") << QStringList() << QString() << QString() << Mapped;
        QTest::newRow("stale names replaced") << stale << QString() << QString() << Mapped;
        QTest::newRow("lower-case name among them, case ignored")
            << stale << QStringLiteral("\\Device\\Extra") << QStringLiteral("com2")
            << QStringList{QStringLiteral("COM10"), QStringLiteral("COM100"), QStringLiteral("com2"), QStringLiteral("COM3")};
        // Regression: the name came with the terminator and what followed it.
        QTest::newRow("value with more after a terminator")
            << stale << QStringLiteral("\\Device\\Nul") << QStringLiteral("COM6") + QChar(0) + QStringLiteral("junk")
            << Mapped + QStringList{QStringLiteral("COM6")};
        // A value the buffers cannot hold ends the walk: the list stays as it was
        // rather than losing the ports after it.
        QTest::newRow("value longer than its buffer")
            << stale << QStringLiteral("\\Device\\Long") << QString(300, u'X') << stale;
        QTest::newRow("name longer than its buffer")
            << stale << QString(300, u'N') << QStringLiteral("COM4") << stale;
    }

    void listsTheRegistryPortsInTheirOrder()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, extraName);
        QFETCH(QString, extraData);
        QFETCH(QStringList, expected);
        const TExtraValue extra(extraName, extraData);
        QVERIFY(extra.Usable());
        QStringList list = before;
        ReadSerialPortList(list);
        QCOMPARE(list, expected);
    }
};

QTEST_APPLESS_MAIN(TestPortListWin)
#include "tst_portlist_win.moc"
