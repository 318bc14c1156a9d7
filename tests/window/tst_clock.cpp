#include "ShownWindow.h"

#include <QComboBox>
#include <QTest>
#include <QTimer>

namespace {

const char *const SystemTimeCombos[] = {"cbbSystemTimeY", "cbbSystemTimeM", "cbbSystemTimeD",
                                        "cbbSystemTimeH", "cbbSystemTimeN", "cbbSystemTimeS"};

QDateTime Utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

QStringList SystemTime(const TShownWindow &w)
{
    QStringList texts;
    for (const char *name : SystemTimeCombos)
        texts << w.Get<QComboBox>(QString::fromLatin1(name))->currentText();
    return texts;
}

void Tick(const TShownWindow &w)
{
    QVERIFY(QMetaObject::invokeMethod(w.Get<QTimer>("tmrSysTime"), "timeout"));
}

} // namespace

class TestClock : public QObject
{
    Q_OBJECT

private slots:
    void zones_data();
    void zones();
    void aPickIsReplacedByTheNextTick();
};

void TestClock::zones_data()
{
    QTest::addColumn<QDateTime>("utc");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QStringList>("shown");  // year, month, day, hour, minute, second

    QTest::newRow("UTC+00:00 shows UTC, also in summer")
        << Utc(2024, 7, 15, 12, 34, 56) << "UTC+00:00" << QStringList{"2024", "7", "15", "12", "34", "56"};
    QTest::newRow("UTC+08:00") << Utc(2024, 7, 15, 12, 34, 56) << "UTC+08:00"
                               << QStringList{"2024", "7", "15", "20", "34", "56"};
    QTest::newRow("UTC-03:30") << Utc(2024, 7, 15, 12, 34, 56) << "UTC-03:30"
                               << QStringList{"2024", "7", "15", "9", "4", "56"};
    QTest::newRow("across midnight forwards") << Utc(2024, 7, 15, 20, 45, 0) << "UTC+05:30"
                                              << QStringList{"2024", "7", "16", "2", "15", "0"};
    QTest::newRow("across midnight backwards") << Utc(2024, 7, 15, 2, 0, 0) << "UTC-05:00"
                                               << QStringList{"2024", "7", "14", "21", "0", "0"};
    QTest::newRow("month end") << Utc(2024, 4, 30, 23, 30, 0) << "UTC+01:00"
                               << QStringList{"2024", "5", "1", "0", "30", "0"};
    QTest::newRow("leap day") << Utc(2024, 2, 28, 22, 0, 0) << "UTC+02:00"
                              << QStringList{"2024", "2", "29", "0", "0", "0"};
    QTest::newRow("year end") << Utc(2024, 12, 31, 23, 59, 30) << "UTC+00:30"
                              << QStringList{"2025", "1", "1", "0", "29", "30"};
    QTest::newRow("back into the old year") << Utc(2025, 1, 1, 1, 0, 0) << "UTC-12:00"
                                            << QStringList{"2024", "12", "31", "13", "0", "0"};
    QTest::newRow("UTC+14:00 is a day ahead") << Utc(2024, 7, 15, 12, 0, 0) << "UTC+14:00"
                                              << QStringList{"2024", "7", "16", "2", "0", "0"};
    QTest::newRow("a year past the list leaves the year empty")
        << Utc(2099, 12, 31, 23, 0, 0) << "UTC+01:00" << QStringList{"", "1", "1", "0", "0", "0"};
    QTest::newRow("no zone selected runs on UTC") << Utc(2024, 7, 15, 12, 34, 56) << ""
                                                  << QStringList{"2024", "7", "15", "12", "34", "56"};
}

void TestClock::zones()
{
    QFETCH(QDateTime, utc);
    QFETCH(QString, zone);
    QFETCH(QStringList, shown);
    TShownWindow w;
    w.Window.CurrentUtc = [utc] { return utc; };
    auto *zones = w.Get<QComboBox>("cbbTimeZone");
    zones->setCurrentIndex(zones->findText(zone));  // -1 for no zone
    QCOMPARE(zones->currentText(), zone);

    Tick(w);
    QCOMPARE(SystemTime(w), shown);
}

// The clock runs by itself, every second, and overwrites what the user picks.
void TestClock::aPickIsReplacedByTheNextTick()
{
    TShownWindow w;
    w.Window.CurrentUtc = [] { return Utc(2030, 3, 10, 8, 0, 0); };
    auto *month = w.Get<QComboBox>("cbbSystemTimeM");
    QTRY_COMPARE_WITH_TIMEOUT(month->currentText(), QStringLiteral("3"), 3000);
    month->setCurrentIndex(10);
    QCOMPARE(month->currentText(), QStringLiteral("11"));
    QTRY_COMPARE_WITH_TIMEOUT(month->currentText(), QStringLiteral("3"), 3000);
}

QTEST_MAIN(TestClock)
#include "tst_clock.moc"
