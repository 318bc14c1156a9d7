#include "Comm.h"
#include "E2eSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {

constexpr int Cycles = 200;
constexpr double AllowedGrowthMiB = 4;

qsizetype Entries(const char *directory)
{
    return QDir(QLatin1String(directory)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size();
}

double ResidentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> pages = statm.readAll().split(' ');
    return pages.value(1).toDouble() * double(::sysconf(_SC_PAGESIZE)) / (1024 * 1024);
}

struct TUsage {
    qsizetype Descriptors;
    qsizetype Threads;
    double Resident;
};

TUsage Usage()
{
    return {Entries("/proc/self/fd"), Entries("/proc/self/task"), ResidentMiB()};
}

} // namespace

// Many Read and Save cycles in one run of the window, as a day at a packing
// station brings: each cycle must give back every descriptor and thread it
// takes, and memory must not creep.
class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void readAndSaveCycles()
    {
        TPrivateRuntime runtime;
        auto logger = StartLogger(QStringLiteral("ttyE2E_A"));
        logger->SetAnswerDelay(TLoggerEmulator::TMilliseconds(0));
        TTestWindow w;
        QVERIFY(w.ReadFromLogger());
        TComm *comm = w.Window.CommForTests();
        QTRY_COMPARE(comm->Handle(), std::intptr_t(0));
        const TUsage before = Usage();

        // On a busy machine the emulator, a thread of this process, may now and
        // then pause longer than the line's 200 ms silence in the middle of an
        // answer, which the window rightly reports as damaged. Such a step is
        // repeated once the rest of the answer has come and gone.
        int damaged = 0;
        const auto step = [&](const char *image, const QString &message) {
            for (int attempt = 0; attempt < 3; ++attempt) {
                w.Prompts.clear();
                w.Boxes.clear();
                w.Click(image);
                if (!QTest::qWaitFor([&] { return !w.Prompts.isEmpty(); }, 10000))
                    return false;
                if (w.Prompts == QStringList{message})
                    return true;
                if (w.Prompts.count(QStringLiteral("Data Check Error")) != w.Prompts.size())
                    return false;
                ++damaged;
                QTest::qWait(1000);
            }
            return false;
        };
        const auto shown = [&w](int cycle) {
            return QStringLiteral("cycle %1: %2").arg(cycle).arg(w.Prompts.join(QStringLiteral(" | "))).toLocal8Bit();
        };
        for (int cycle = 0; cycle < Cycles; ++cycle) {
            QVERIFY2(step("imgRead", QStringLiteral("Read Success")), shown(cycle).constData());
            QVERIFY2(step("imgSave", QStringLiteral("Save Success")), shown(cycle).constData());
            QTRY_COMPARE(comm->Handle(), std::intptr_t(0));
        }
        qInfo("soak_damaged_answers %d of %d", damaged, 2 * Cycles);
        QVERIFY(damaged <= Cycles / 20);

        // Worker threads end shortly after the port closes. Fewer threads than
        // before is no fault: threads left from start-up may end meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(Usage().Threads <= before.Threads, 5000);
        const TUsage after = Usage();
        qInfo("soak_descriptors %lld before, %lld after", qint64(before.Descriptors), qint64(after.Descriptors));
        qInfo("soak_threads %lld before, %lld after", qint64(before.Threads), qint64(after.Threads));
        qInfo("soak_resident %.1f MiB before, %.1f MiB after %d cycles", before.Resident, after.Resident, Cycles);
        QVERIFY(after.Descriptors <= before.Descriptors);
        QVERIFY2(after.Resident - before.Resident <= AllowedGrowthMiB,
                 qPrintable(QStringLiteral("grew %1 MiB").arg(after.Resident - before.Resident)));
        QCOMPARE(logger->ReceivedFrames().size(), std::size_t(1 + 2 * Cycles + damaged));
    }
};

int main(int argc, char **argv)
{
    // A cycle takes over a second of the window's fixed waits and the line's
    // silences: more than QTest allows one test function by default.
    qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(20 * 60 * 1000));
    QApplication app(argc, argv);
    TestSoak test;
    return QTest::qExec(&test, argc, argv);
}
#include "Soak.moc"
