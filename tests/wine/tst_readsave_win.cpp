#include "Frame.h"
#include "ParameterLayout.h"
#include "ShownWindow.h"
#include "WineStage.h"

#include <QElapsedTimer>
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
// list, against logger emulators on the Linux side of wine.
class TestReadSaveWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(WineStage::Ports(), (QStringList{LoggerPort} + SilentPorts));
    }

    void readFindsTheLoggerOnTheThirdPortAndSaveStoresTheFrame()
    {
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
        const QList<QByteArray> received = WineStage::ReceivedBlocks(LoggerPort);
        QCOMPARE(received.size(), 2);
        QVERIFY(IsWriteFrame(received.last()));
        QVERIFY(received.last().mid(Offset::WriteTripInfo, trip.size()) == trip.toLatin1());

        // The logger now answers with what it stored.
        w.Get<QPlainTextEdit>(QStringLiteral("mmoTripInfo"))->clear();
        QTest::mouseClick(w.Get("imgRead"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 3, 10000);
        QCOMPARE(w.Prompts.last(), QStringLiteral("Read Success"));
        QCOMPARE(w.Get<QPlainTextEdit>(QStringLiteral("mmoTripInfo"))->toPlainText(), trip);
    }
};

QTEST_MAIN(TestReadSaveWin)
#include "tst_readsave_win.moc"
