#include "Comm.h"
#include "E2eSupport.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QScopeGuard>
#include <QTimer>

// Finding the logger: the walk through the port list, what each kind of port
// costs, and the messages a person sees.
class TestDiscovery : public QObject
{
    Q_OBJECT

private slots:
    // The ports are probed in the port list's order, which compares names as
    // text: ttyE2E1, ttyE2E10, ttyE2E2. The test runs in a real locale, as
    // people do: the C locale compares code points whatever the collation's mode.
    void findsTheLoggerOnTheThirdPort()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
        TPrivateRuntime runtime;
        auto logger = StartLogger(QStringLiteral("ttyE2E2"));
        auto silent = StartLogger(QStringLiteral("ttyE2E10"), TFaultMode::Silent);
        auto held = StartLogger(QStringLiteral("ttyE2E1"), TFaultMode::Silent);

        // Another program has the first port: the window cannot open it.
        TComm holder;
        holder.SetCommName(QStringLiteral("ttyE2E1"));
        holder.OpenPort();

        TTestWindow w;
        w.Window.SetSearchPeriod(400);
        w.Click("imgRead");
        QTRY_COMPARE_WITH_TIMEOUT(w.Window.FoundPort(), QStringLiteral("ttyE2E2"), 15000);

        QCOMPARE(w.Prompts, QStringList{QStringLiteral("Read Success")});
        QVERIFY(!w.Window.ReadTimerForTests()->isActive());
        QCOMPARE(w.Get<QLineEdit>(QStringLiteral("edtSerialNumber"))->text(), QStringLiteral("A05123456"));
        QVERIFY(!w.Get<QLineEdit>(QStringLiteral("edtDeviceID"))->text().isEmpty());
        QVERIFY(held->ReceivedFrames().empty());
        QCOMPARE(silent->ReceivedFrames().size(), 1u);
        QCOMPARE(logger->ReceivedFrames().size(), 1u);
        QVERIFY(logger->ReceivedFrames().front() == TLoggerEmulator::TBytes(ProbeRequest.begin(), ProbeRequest.end()));
        // The port is closed after every block.
        QTRY_COMPARE(w.Window.CommForTests()->Handle(), std::intptr_t(0));
        holder.ClosePort();
    }

    void badCheckAnswerIsReportedAndTheSearchGoesOn()
    {
        TPrivateRuntime runtime;
        auto broken = StartLogger(QStringLiteral("ttyE2E_A"), TFaultMode::BadCheck);
        auto logger = StartLogger(QStringLiteral("ttyE2E_B"));

        TTestWindow w;
        w.Window.SetSearchPeriod(1500);
        w.Click("imgRead");
        QTRY_COMPARE_WITH_TIMEOUT(w.Window.FoundPort(), QStringLiteral("ttyE2E_B"), 15000);
        QCOMPARE(w.Prompts, (QStringList{QStringLiteral("Data Check Error"), QStringLiteral("Read Success")}));
        QCOMPARE(w.Boxes.first().Icon, QMessageBox::Warning);
        QCOMPARE(w.Boxes.first().Caption, QStringLiteral("Prompt"));
        QCOMPARE(w.LastLook(), QStringLiteral("Prompt, information"));
    }

    void emptyListReportsNoDeviceAndStartsNoTimer()
    {
        TPrivateRuntime runtime;
        TTestWindow w;
        w.Click("imgRead");
        QCOMPARE(w.Prompts, QStringList{QStringLiteral("No device detected!")});
        QCOMPARE(w.LastLook(), QStringLiteral("Prompt, warning"));
        QVERIFY(!w.Window.ReadTimerForTests()->isActive());
    }

    void readAfterFoundProbesOnceAtOnce()
    {
        TPrivateRuntime runtime;
        auto logger = StartLogger(QStringLiteral("ttyE2E_A"));
        TTestWindow w;
        w.Window.SetSearchPeriod(300);
        w.Click("imgRead");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 1, 10000);

        // What the user typed gives way to what the logger holds.
        auto *serial = w.Get<QLineEdit>(QStringLiteral("edtSerialNumber"));
        serial->setText(QStringLiteral("B99999999"));
        QElapsedTimer clock;
        clock.start();
        w.Click("imgRead");
        QVERIFY(!w.Window.ReadTimerForTests()->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 2, 5000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Read Success"));
        QCOMPARE(serial->text(), QStringLiteral("A05123456"));
        QCOMPARE(logger->ReceivedFrames().size(), 2u);
        // No timer period went by: the probe went out at once.
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    }

    // The last port answers only after the search ran past the end of the list:
    // its record still counts, from the port that is open, and the next Read
    // asks that port at once.
    void lateAnswerFromTheLastPort()
    {
        TPrivateRuntime runtime;
        auto silent = StartLogger(QStringLiteral("ttyE2E_A"), TFaultMode::Silent);
        auto logger = StartLogger(QStringLiteral("ttyE2E_B"));
        logger->SetAnswerDelay(TLoggerEmulator::TMilliseconds(1500));
        TTestWindow w;
        w.Window.SetSearchPeriod(300);
        w.Click("imgRead");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts, QStringList{QStringLiteral("Read Success")}, 10000);
        QCOMPARE(w.Window.FoundPort(), QStringLiteral("ttyE2E_B"));
        QVERIFY(!w.Get<QLineEdit>(QStringLiteral("edtDeviceID"))->text().isEmpty());
        QCOMPARE(silent->ReceivedFrames().size(), 1u);

        logger->SetAnswerDelay(TLoggerEmulator::TMilliseconds(0));
        w.Click("imgRead");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 2, 3000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Read Success"));
        QCOMPARE(logger->ReceivedFrames().size(), 2u);
        QCOMPARE(silent->ReceivedFrames().size(), 1u);
    }

    // Read during a search, and again after the search ran past the end of the
    // list, starts over at the first port one full period later; the ticks past
    // the end send nothing.
    void readRestartsTheSearch()
    {
        TPrivateRuntime runtime;
        auto first = StartLogger(QStringLiteral("ttyE2E_A"), TFaultMode::Silent);
        auto second = StartLogger(QStringLiteral("ttyE2E_B"), TFaultMode::Silent);
        TTestWindow w;
        constexpr int period = 600;
        w.Window.SetSearchPeriod(period);
        const auto probes = [&] { return std::pair{first->ReceivedFrames().size(), second->ReceivedFrames().size()}; };

        w.Click("imgRead");
        QTRY_COMPARE_WITH_TIMEOUT(probes(), std::pair(1ul, 0ul), 5000);
        QElapsedTimer clock;
        clock.start();
        w.Click("imgRead");
        QTRY_COMPARE_WITH_TIMEOUT(probes().first, 2ul, 5000);
        QCOMPARE(probes().second, 0ul);
        QVERIFY2(clock.elapsed() >= period - 50, qPrintable(QString::number(clock.elapsed())));

        QTRY_COMPARE_WITH_TIMEOUT(probes().second, 1ul, 5000);
        QTest::qWait(3 * period);
        QCOMPARE(probes(), std::pair(2ul, 1ul));
        QVERIFY(w.Window.ReadTimerForTests()->isActive());

        clock.restart();
        w.Click("imgRead");
        QTRY_COMPARE_WITH_TIMEOUT(probes(), std::pair(3ul, 1ul), 5000);
        QVERIFY2(clock.elapsed() >= period - 50, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(w.Prompts.isEmpty());
    }

    void searchRunsOnTheRealThreeSecondPeriod()
    {
        TPrivateRuntime runtime;
        auto logger = StartLogger(QStringLiteral("ttyE2E_A"));
        TTestWindow w;
        QElapsedTimer clock;
        clock.start();
        w.Click("imgRead");
        QTest::qWait(2500);
        QVERIFY(logger->ReceivedFrames().empty());
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts, QStringList{QStringLiteral("Read Success")}, 10000);
        QVERIFY(clock.elapsed() >= 3000);
    }

    void splitAnswerFailsTheCheckBlockByBlock()
    {
        TPrivateRuntime runtime;
        auto logger = StartLogger(QStringLiteral("ttyE2E_A"), TFaultMode::Split);
        TTestWindow w;
        w.Window.SetSearchPeriod(300);
        w.Click("imgRead");
        QTRY_VERIFY_WITH_TIMEOUT(!w.Prompts.isEmpty(), 10000);
        QCOMPARE(w.Prompts.first(), QStringLiteral("Data Check Error"));
        QVERIFY(w.Window.FoundPort().isEmpty());
        QVERIFY(w.Get<QLineEdit>(QStringLiteral("edtSerialNumber"))->text().isEmpty());
    }
};

QTEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
