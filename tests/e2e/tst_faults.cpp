#include "Comm.h"
#include "FaultSupport.h"

#include <algorithm>

// A logger or a line that misbehaves must cost the user nothing but the
// message the fault deserves: the window stays responsive, keeps the values it
// holds, leaves no thread busy, and reads again once a sound logger is there.

namespace {

enum class TAction { Search, Read, Save };

const QString PortA = QStringLiteral("ttyE2E_A");
const QString PortB = QStringLiteral("ttyE2E_B");

// Caption and icon of each message these faults may bring.
QString LookOf(const QString &message)
{
    if (message == QLatin1String("Data Check Error"))
        return QStringLiteral("Prompt, warning");
    if (message == QLatin1String("Can't Open the Port"))
        return QCoreApplication::applicationName() + QStringLiteral(", critical");
    return QStringLiteral("Prompt, information");
}

// A flood arrives in reads of at most 2048 bytes.
constexpr int FloodBlocks = int(TLoggerEmulator::FloodSize / 2048);

} // namespace

Q_DECLARE_METATYPE(TFaultMode)
Q_DECLARE_METATYPE(TAction)

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void faultCostsOnlyItsMessage_data()
    {
        QTest::addColumn<TFaultMode>("fault");
        QTest::addColumn<bool>("held");          // another program has the logger's port open
        QTest::addColumn<TAction>("action");     // Read and Save follow a good read
        QTest::addColumn<int>("boxOpenMs");      // how long each message box stays open
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("minBoxes");
        QTest::addColumn<int>("maxBoxes");
        QTest::addColumn<QString>("recoverAs");  // where a sound logger answers afterwards

        const auto none = TFaultMode::None;
        const QString checkError = QStringLiteral("Data Check Error");
        const QString noMessage;

        QTest::newRow("garbage during a search")
            << TFaultMode::Garbage << false << TAction::Search << 0 << checkError << 1 << 1 << PortA;
        // The box holds the port open until the second half has come.
        QTest::newRow("split answer to a read")
            << TFaultMode::Split << false << TAction::Read << 2000 << checkError << 2 << 2 << PortA;
        // Blocks already received when the port closes are still delivered.
        QTest::newRow("flood in answer to a read")
            << TFaultMode::Flood << false << TAction::Read << 0 << checkError << 1 << FloodBlocks << PortA;
        QTest::newRow("flood in answer to a save")
            << TFaultMode::Flood << false << TAction::Save << 0 << checkError << 1 << FloodBlocks << PortA;
        QTest::newRow("flood while the box is open")
            << TFaultMode::Flood << false << TAction::Read << 500 << checkError << 1 << FloodBlocks << PortA;
        QTest::newRow("vanishes during a search")
            << TFaultMode::Vanish << false << TAction::Search << 0 << noMessage << 0 << 0 << PortB;
        QTest::newRow("vanishes during a read")
            << TFaultMode::Vanish << false << TAction::Read << 0 << noMessage << 0 << 0 << PortA;
        QTest::newRow("vanishes during a save")
            << TFaultMode::Vanish << false << TAction::Save << 0 << noMessage << 0 << 0 << PortB;
        QTest::newRow("port held during the search")
            << none << true << TAction::Search << 0 << noMessage << 0 << 0 << PortA;
        QTest::newRow("port held at save")
            << none << true << TAction::Save << 0 << QStringLiteral("Can't Open the Port") << 1 << 1 << PortA;
        // With the box open the port is still open when the repeat comes.
        QTest::newRow("answers a read twice")
            << TFaultMode::Twice << false << TAction::Read << 2000 << QStringLiteral("Read Success") << 2 << 2 << PortA;
        // The repeated acknowledgement runs into the read-back's answer, which
        // then fails its check: the save is not verified, never a success. The
        // read-back's own repeat may follow, a record nothing waits for: a Read's.
        QTest::newRow("answers a save twice")
            << TFaultMode::Twice << false << TAction::Save << 2000 << QStringLiteral("Data Check Error|Read Success") << 1
            << 2 << PortA;
    }

    void faultCostsOnlyItsMessage()
    {
        QFETCH(TFaultMode, fault);
        QFETCH(bool, held);
        QFETCH(TAction, action);
        QFETCH(int, boxOpenMs);
        QFETCH(QString, message);
        QFETCH(int, minBoxes);
        QFETCH(int, maxBoxes);
        QFETCH(QString, recoverAs);

        TPrivateRuntime runtime;
        auto logger = StartLogger(PortA);
        TFaultWindow w;
        w.Window.SetSearchPeriod(300);
        if (action != TAction::Search)
            QVERIFY(w.ReadFromLogger());
        const auto before = w.Values();
        w.Prompts.clear();

        TComm holder;
        if (held) {
            holder.SetCommName(PortA);
            holder.OpenPort();
        }
        logger->SetFaultMode(fault);
        {
            TStallWatch stalls;
            w.BoxOpenMs = boxOpenMs;
            w.Click(action == TAction::Save ? "imgSave" : "imgRead");
            // Quiet for longer than any answer takes to come.
            QVERIFY(w.PromptsSettle(1500, 30000));
            w.BoxOpenMs = 0;
            // Each block costs the fixed 100 ms wait, a flood's nested boxes all of
            // them at once; a worker that will not stop would cost 10 s.
            QVERIFY2(stalls.Longest() < 8000, qPrintable(QStringLiteral("%1 ms").arg(stalls.Longest())));
        }

        const QString shown = w.Prompts.join(QStringLiteral(" | "));
        QVERIFY2(w.Prompts.size() >= minBoxes && w.Prompts.size() <= maxBoxes, qPrintable(shown));
        // "A|B": the boxes in this order, as far as they came; else every box
        // says the message.
        if (message.contains(u'|'))
            QCOMPARE(w.Prompts, message.split(u'|').mid(0, w.Prompts.size()));
        else
            QVERIFY2(std::all_of(w.Prompts.begin(), w.Prompts.end(), [&](const QString &p) { return p == message; }),
                     qPrintable(shown));
        if (!w.Prompts.isEmpty())
            QCOMPARE(w.LastLook(), LookOf(w.Prompts.last()));
        QCOMPARE(w.Values(), before);
        const qint64 cpu = CpuWhileWaiting(1000);
        QVERIFY2(cpu < 100, qPrintable(QStringLiteral("%1 ms of CPU in 1 s").arg(cpu)));

        if (fault == TFaultMode::Vanish) {
            QTRY_VERIFY_WITH_TIMEOUT(logger->HungUp(), 5000);
            if (action != TAction::Search) {
                w.Prompts.clear();
                w.Click("imgSave");
                QCOMPARE(w.Prompts, QStringList{QStringLiteral("Can't Open the Port")});
                QCOMPARE(w.Values(), before);
            }
            logger.reset();
            logger = StartLogger(recoverAs);
        } else {
            logger->SetFaultMode(TFaultMode::None);
        }
        holder.ClosePort();

        w.Prompts.clear();
        QVERIFY2(w.ReadFromLogger(), qPrintable(w.Prompts.join(QStringLiteral(" | "))));
        QCOMPARE(w.Window.FoundPort(), recoverAs);
        if (action == TAction::Search)
            return;
        QCOMPARE(w.Values(), before);
        if (action != TAction::Save)
            return;
        w.Click("imgSave");
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 2, 10000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Save Success"));
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
