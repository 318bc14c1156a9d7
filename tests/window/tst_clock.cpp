#include "ShownWindow.h"

#include <QComboBox>
#include <QTest>
#include <QTimer>

namespace {

QStringList SystemTime(const TShownWindow &w)
{
    QStringList texts;
    for (const QChar part : QStringLiteral("YMDHNS"))
        texts << w.Get<QComboBox>(QStringLiteral("cbbSystemTime") + part)->currentText();
    return texts;
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

// Times in UTC; the combos' texts as shown, from year to second.
void TestClock::zones_data()
{
    QTest::addColumn<QString>("utc");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QString>("shown");

    QTest::newRow("UTC+00:00 shows UTC, also in summer") << "2024-07-15 12:34:56" << "UTC+00:00" << "2024 7 15 12 34 56";
    QTest::newRow("UTC-03:30") << "2024-07-15 12:34:56" << "UTC-03:30" << "2024 7 15 9 4 56";
    QTest::newRow("across midnight forwards") << "2024-07-15 20:45:00" << "UTC+05:30" << "2024 7 16 2 15 0";
    QTest::newRow("across midnight backwards") << "2024-07-15 02:00:00" << "UTC-05:00" << "2024 7 14 21 0 0";
    QTest::newRow("month end") << "2024-04-30 23:30:00" << "UTC+01:00" << "2024 5 1 0 30 0";
    QTest::newRow("year end") << "2024-12-31 23:59:30" << "UTC+00:30" << "2025 1 1 0 29 30";
    QTest::newRow("back into the old year") << "2025-01-01 01:00:00" << "UTC-12:00" << "2024 12 31 13 0 0";
    QTest::newRow("UTC+14:00 is a day ahead") << "2024-07-15 12:00:00" << "UTC+14:00" << "2024 7 16 2 0 0";
    QTest::newRow("a year past the list leaves the year empty") << "2099-12-31 23:00:00" << "UTC+01:00" << " 1 1 0 0 0";
    QTest::newRow("no zone selected runs on UTC") << "2024-07-15 12:34:56" << "" << "2024 7 15 12 34 56";
}

void TestClock::zones()
{
    QFETCH(QString, utc);
    QFETCH(QString, zone);
    QFETCH(QString, shown);
    TShownWindow w;
    const QDateTime now = QDateTime::fromString(utc + "Z", Qt::ISODate);
    QVERIFY(now.isValid() && now.timeSpec() == Qt::UTC);
    w.Window.CurrentUtc = [now] { return now; };
    auto *zones = w.Get<QComboBox>("cbbTimeZone");
    zones->setCurrentIndex(zones->findText(zone));  // -1 for no zone
    QCOMPARE(zones->currentText(), zone);

    QVERIFY(QMetaObject::invokeMethod(w.Get<QTimer>("tmrSysTime"), "timeout"));
    QCOMPARE(SystemTime(w).join(u' '), shown);
}

// The clock runs by itself, every second, and overwrites what the user picks.
void TestClock::aPickIsReplacedByTheNextTick()
{
    TShownWindow w;
    w.Window.CurrentUtc = [] { return QDateTime(QDate(2030, 3, 10), QTime(8, 0), Qt::UTC); };
    auto *month = w.Get<QComboBox>("cbbSystemTimeM");
    QTRY_COMPARE_WITH_TIMEOUT(month->currentText(), QStringLiteral("3"), 3000);
    month->setCurrentIndex(10);
    QCOMPARE(month->currentText(), QStringLiteral("11"));
    QTRY_COMPARE_WITH_TIMEOUT(month->currentText(), QStringLiteral("3"), 3000);
}

QTEST_MAIN(TestClock)
#include "tst_clock.moc"
