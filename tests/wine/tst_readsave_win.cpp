#include "Frame.h"
#include "ParameterLayout.h"
#include "ShownWindow.h"
#include "WineStage.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

namespace {

// The driver maps silent emulators as COM10 and COM100 and a sound one as
// COM3: in the registry's order the logger answers on the third port.
const QString LoggerPort = QStringLiteral("COM3");
const QStringList SilentPorts = {QStringLiteral("COM10"), QStringLiteral("COM100")};
constexpr int SearchPeriod = 500;

bool IsWriteFrame(const QByteArray &block)
{
    return block.size() == 204 && block.startsWith(QByteArray::fromHex("AA5595"));
}

} // namespace

// Read and Save through the Windows serial component and the registry's port
// list, against logger emulators on the Linux side of wine. Each function
// runs on ports of its own (CMakeLists.txt).
class TestReadSaveWin : public QObject
{
    Q_OBJECT

private slots:
    void readFindsTheLoggerOnTheThirdPortAndSaveStoresTheFrame()
    {
        QCOMPARE(WineStage::Ports(), (QStringList{LoggerPort} + SilentPorts));
        TShownWindow w;
        w.Window.SetSearchPeriod(SearchPeriod);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(w.Get("imgRead"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.Window.FoundPort(), LoggerPort, 15000);
        // The first probe goes out at the first tick, the third port's at the third.
        QVERIFY2(clock.elapsed() >= 3 * SearchPeriod, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(w.Prompts, QStringList{QStringLiteral("Read Success")});
        QCOMPARE(w.Get<QLineEdit>(QStringLiteral("edtSerialNumber"))->text(), QStringLiteral("A05123456"));
        for (const QString &port : SilentPorts) {
            const QList<QByteArray> probes = WineStage::ReceivedBlocks(port);
            const QByteArray probe(reinterpret_cast<const char *>(ProbeRequest.data()), ProbeRequest.size());
            QVERIFY2(probes.size() == 1 && probes.first() == probe, qPrintable(port));
        }

        const QString trip = QStringLiteral("Wine run, cold chain");
        w.Get<QPlainTextEdit>(QStringLiteral("mmoTripInfo"))->setPlainText(trip);
        QTest::mouseClick(w.Get("imgSave"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 2, 10000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Save Success"));
        // The probe, the write frame, and the probe that reads the logger back.
        const QList<QByteArray> received = WineStage::ReceivedBlocks(LoggerPort);
        QCOMPARE(received.size(), 3);
        QVERIFY(IsWriteFrame(received[1]));
        QVERIFY(received[1].mid(Offset::WriteTripInfo, trip.size()) == trip.toLatin1());
        QVERIFY(received[2] == received[0]);

        // The logger now answers with what it stored.
        w.Get<QPlainTextEdit>(QStringLiteral("mmoTripInfo"))->clear();
        QTest::mouseClick(w.Get("imgRead"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 3, 10000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Read Success"));
        QCOMPARE(w.Get<QPlainTextEdit>(QStringLiteral("mmoTripInfo"))->toPlainText(), trip);
    }

    // While "Data Check Error" from the first port stays open, the search goes
    // on inside it: the logger on the second is read there, before the search
    // reaches the third, and Save goes to it.
    void loggerAnsweringWhileABoxIsOpenIsReadAndSavedTo()
    {
        const QStringList ports = WineStage::Ports();
        QCOMPARE(ports.size(), 3);
        // Long enough for an answer to come before the next tick, even under wine.
        constexpr int period = 2000;
        TShownWindow w;
        int depth = 0;
        QStringList shown;
        Prompt::SetHook([&](const TPromptRequest &request) {
            w.Record(request);
            shown << QStringLiteral("%1 at %2").arg(request.Text).arg(++depth);
            if (request.Text == QLatin1String("Data Check Error")) {
                QEventLoop box;
                QTimer::singleShot(3 * period, &box, &QEventLoop::quit);
                box.exec();
            }
            --depth;
            return true;
        });
        w.Window.SetSearchPeriod(period);
        QTest::mouseClick(w.Get("imgRead"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= 2 && depth == 0, 30000);
        QCOMPARE(shown, (QStringList{QStringLiteral("Data Check Error at 1"), QStringLiteral("Read Success at 2")}));
        QCOMPARE(w.Window.FoundPort(), ports[1]);
        QVERIFY(WineStage::ReceivedBlocks(ports[2]).isEmpty());

        QTest::mouseClick(w.Get("imgSave"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 3, 10000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Save Success"));
        QVERIFY(IsWriteFrame(WineStage::ReceivedBlocks(ports[1]).value(1)));
    }
};

QTEST_MAIN(TestReadSaveWin)
#include "tst_readsave_win.moc"
