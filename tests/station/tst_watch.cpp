#include "LoggerWatch.h"

#include "TestSupport.h"

#include <QTest>

// Which ports a batch asks when, and which logger it takes: each row is a
// bench session written as steps, at times in milliseconds from the start.
//   list A B          the port list now holds A and B
//   at 1500           the time is now 1500
//   due A             the ports to ask now ("due" alone: none)
//   probe A=X B=none  what a probe of them found: X is a logger's serial number;
//                     none, damaged, denied, closed (cannot open)
//   abandon A=none    the same, for a probe ended early because the list changed
//   handled A X ok    the logger X taken on A was configured (or: failed)
//   events take:A:X   what the steps since the last "events" said; also
//                     already:A:X, gone:X, denied:A ("events" alone: nothing)
class TestLoggerWatch : public QObject
{
    Q_OBJECT

private slots:
    void session_data();
    void session();
};

namespace {

using TClock = TLoggerWatch::TClock;

TPortResult Result(const QString &port, const QString &answer)
{
    TPortResult result{port};
    if (answer == QLatin1String("none"))
        result.Answer = TPortAnswer::NoAnswer;
    else if (answer == QLatin1String("damaged"))
        result.Answer = TPortAnswer::Damaged;
    else if (answer == QLatin1String("denied"))
        result.Answer = TPortAnswer::Denied;
    else if (answer == QLatin1String("closed"))
        result.Answer = TPortAnswer::CannotOpen;
    else {
        result.Answer = TPortAnswer::Record;
        result.Record = BlankRecord();
        const QByteArray serial = answer.toLatin1();  // A05000001
        result.Record[4] = std::uint8_t(serial[0]);
        result.Record[5] = std::uint8_t(serial.mid(1, 2).toInt());
        std::copy(serial.begin() + 3, serial.end(), result.Record.begin() + 6);
    }
    return result;
}

QString Describe(const TLoggerWatch::TEvent &e)
{
    using TKind = TLoggerWatch::TEvent::TKind;
    const QString serial = QString::fromStdString(e.SerialNumber);
    switch (e.Kind) {
    case TKind::Take: return QStringLiteral("take:%1:%2").arg(e.Port, serial);
    case TKind::AlreadyConfigured: return QStringLiteral("already:%1:%2").arg(e.Port, serial);
    case TKind::Gone: return QStringLiteral("gone:") + serial;
    case TKind::Denied: return QStringLiteral("denied:") + e.Port;
    }
    return {};
}

} // namespace

void TestLoggerWatch::session_data()
{
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("a port that appears is asked at once") << QStringList{"list A", "due A", "list A B", "due A B"};
    QTest::newRow("a port that keeps failing is asked less and less often")
        << QStringList{"list A",    "probe A=none", "at 999",       "due",          "at 1000",  "due A",
                       "probe A=damaged", "at 2999",  "due",          "at 3000",      "due A",    "probe A=closed",
                       "at 7000",  "due A",        "probe A=none", "at 14999",     "due",      "at 15000",
                       "due A",    "probe A=none", "at 23000",     "due A",        "events"};
    QTest::newRow("a port that comes back is asked at once")
        << QStringList{"list A", "probe A=none", "list", "at 10", "list A", "due A"};
    QTest::newRow("the first logger in the list's order is taken")
        << QStringList{"list A B", "probe A=A05000001 B=A05000002", "events take:A:A05000001"};
    QTest::newRow("a logger left plugged in is not written again")
        << QStringList{"list A",  "probe A=A05000001", "events take:A:A05000001", "handled A A05000001 ok", "due",
                       "at 1000", "due A",             "probe A=A05000001",       "events",
                       "at 1999", "due",               "at 2000",                 "due A"};
    QTest::newRow("unplugged: its port leaves the list, and the next one is taken")
        << QStringList{"list A",      "probe A=A05000001", "handled A A05000001 ok", "list",
                       "events take:A:A05000001 gone:A05000001", "list A", "due A", "probe A=A05000002",
                       "events take:A:A05000002"};
    QTest::newRow("another logger on the same cable is taken at once")
        << QStringList{"list A", "probe A=A05000001", "handled A A05000001 ok", "at 1000", "probe A=A05000002",
                       "events take:A:A05000001 gone:A05000001 take:A:A05000002"};
    QTest::newRow("one lost answer is not a logger gone, two are")
        << QStringList{"list A",   "probe A=A05000001", "handled A A05000001 ok", "at 1000", "probe A=none",
                       "events take:A:A05000001", "at 2000", "due A", "probe A=none", "events gone:A05000001",
                       "due",      "at 3000",           "due A"};
    QTest::newRow("a logger configured earlier is not written again when it comes back")
        << QStringList{"list A", "probe A=A05000001", "handled A A05000001 ok", "list", "list A",
                       "probe A=A05000001", "events take:A:A05000001 gone:A05000001 already:A:A05000001", "due",
                       "at 1000", "due A"};
    QTest::newRow("a logger that failed is tried again when it comes back")
        << QStringList{"list A", "probe A=A05000001", "handled A A05000001 failed", "list", "list A",
                       "probe A=A05000001", "events take:A:A05000001 gone:A05000001 take:A:A05000001"};
    QTest::newRow("while a logger waits to go away no other port is asked; then the next is taken")
        << QStringList{"list A B", "probe A=A05000001 B=A05000002", "handled A A05000001 ok", "at 5000", "due A",
                       "list B",   "due B",                         "probe B=A05000002",
                       "events take:A:A05000001 gone:A05000001 take:B:A05000002"};
    QTest::newRow("a port cut short by another's answer is held nothing against")
        << QStringList{"list A B", "probe A=none B=A05000002", "handled B A05000002 ok", "list A", "due A",
                       "events take:B:A05000002 gone:A05000002"};
    // The fault: a silent port held the probe for its whole answer time and
    // the next logger waited three seconds for it; the round now ends when
    // the list changes, and the silent port is no worse off for it.
    QTest::newRow("a probe abandoned for a new port holds nothing against the silent one")
        << QStringList{"list S", "abandon S=none", "list S A", "due S A", "probe S=none A=A05000001",
                       "events take:A:A05000001"};
    QTest::newRow("an abandoned probe is not a lost answer of the logger waiting to go away")
        << QStringList{"list A", "probe A=A05000001", "handled A A05000001 ok", "at 1000", "abandon A=none",
                       "due A", "probe A=none", "events take:A:A05000001", "at 2000", "probe A=none",
                       "events gone:A05000001"};
    QTest::newRow("a refused port is named once")
        << QStringList{"list A", "probe A=denied", "at 1000", "probe A=denied", "events denied:A"};
    QTest::newRow("unplugged while it was written: gone already")
        << QStringList{"list A", "probe A=A05000001", "list", "handled A A05000001 ok", "list A", "due A"};
}

void TestLoggerWatch::session()
{
    QFETCH(QStringList, steps);

    TLoggerWatch watch;
    const TClock::time_point start = TClock::now();
    TClock::time_point now = start;
    QStringList events;
    const auto said = [&events](const std::vector<TLoggerWatch::TEvent> &list) {
        for (const auto &e : list)
            events << Describe(e);
    };
    for (const QString &step : steps) {
        QStringList words = step.split(u' ', Qt::SkipEmptyParts);
        const QString verb = words.takeFirst();
        if (verb == QLatin1String("list")) {
            said(watch.SetPorts(words, now));
        } else if (verb == QLatin1String("at")) {
            now = start + std::chrono::milliseconds(words.first().toInt());
        } else if (verb == QLatin1String("due")) {
            QVERIFY2(watch.Due(now) == words, qPrintable(step + QStringLiteral(": due ") + watch.Due(now).join(u' ')));
        } else if (verb == QLatin1String("probe") || verb == QLatin1String("abandon")) {
            TDiscovery round;
            round.Abandoned = verb == QLatin1String("abandon");
            for (const QString &word : words)
                round.Ports.push_back(Result(word.section(u'=', 0, 0), word.section(u'=', 1)));
            said(watch.Answered(round, now));
        } else if (verb == QLatin1String("handled")) {
            watch.Handled(words[0], words[1].toStdString(), words[2] == QLatin1String("ok"), now);
        } else if (verb == QLatin1String("events")) {
            QCOMPARE(events, words);
            events.clear();
        } else {
            QFAIL(qPrintable(QStringLiteral("no such step: ") + step));
        }
    }
}

QTEST_APPLESS_MAIN(TestLoggerWatch)
#include "tst_watch.moc"
