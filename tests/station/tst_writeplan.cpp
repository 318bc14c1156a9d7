#include "Backup.h"
#include "StationError.h"
#include "ParameterLayout.h"
#include "RecordDecoder.h"
#include "SettingsIo.h"
#include "TestSupport.h"
#include "Verify.h"
#include "WriteFrame.h"
#include "WritePlan.h"

#include <QDir>
#include <QSysInfo>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// What a write sends, what its verify expects, what diff shows and where the
// backup goes: worked out from a record and a file, without any port.
class TestWritePlan : public QObject
{
    Q_OBJECT

private slots:
    void planWrite_data();
    void planWrite();
    void tripBytes_data();
    void tripBytes();
    void diff_data();
    void diff();
    void backupFileName_data();
    void backupFileName();
    void backupsNeverReplaceEachOther();
};

namespace {

using namespace std::chrono;

const char *const LoggerHolds =
    "edtSerialNumber=A05123456; edtDeviceID=1A2B3C4D; edtServiceLife=365; cbbLogIntervalM=5; "
    "cbbStartMode=Timing; cbbStartTimeY=2027; cbbStartTimeM=12; cbbStartTimeD=31; cbbStartTimeH=23; "
    "cbbStartTimeN=59; cbbStartTimeS=30; cbbTimeZone=UTC+08:00; rbSingleAlarm=on; edtSingleH1=8.00; "
    "edtSingleL1=2.00; edtSingleHumidityH1=80.00; edtSingleHumidityL1=20.00; mmoTripInfo=Cold chain";

// 2026-12-08 01:00:00 UTC
const system_clock::time_point Now = sys_days(year{2026} / 12 / 8) + hours(1);

TFrameBuffer Record()
{
    TFakeControls logger;
    logger.Apply(LoggerHolds);
    logger.Apply("cbbSystemTimeY=2026");
    TFrameBuffer frame {};
    EncodeWriteFrame(frame, logger, ".");
    return StoredRecord(frame, BlankRecord());
}

// The logger's settings with Changes made, as a file read from it and edited.
TSettingValues FileFrom(const TFrameBuffer &Record, const QString &Changes)
{
    TFakeControls file;
    file.SetText(Ctl::edtSerialNumber, SerialNumberText(Record));
    DecodeParameterRecord(Record, file, ".");
    file.Apply(Changes.toStdString());
    return CaptureSettings(file, ".");
}

TScopes Scopes(const QString &Names)
{
    return {Names.contains(QLatin1String("identity")), Names.contains(QLatin1String("calibration"))};
}

QStringList Names(const std::vector<TSettingDifference> &Differences)
{
    QStringList names;
    for (const TSettingDifference &d : Differences)
        names << QString::fromStdString(d.Name);
    return names;
}

} // namespace

void TestWritePlan::planWrite_data()
{
    QTest::addColumn<QString>("changes");  // made in the file read from the logger
    QTest::addColumn<QString>("scopes");
    QTest::addColumn<QString>("bytes");    // of the frame; empty when the write is refused
    QTest::addColumn<QString>("message");  // the refusal

    const QString identityEtc =
        "edtSerialNumber=B99887766; edtDeviceID=FFFFFFFF; edtCalibrationTemp=1.50; cbbLogIntervalM=15";
    QTest::newRow("a template keeps identity and calibration")
        << identityEtc << "" << "4: 41 05 31 32 33 34 35 36 00; 13: 1A 2B 3C 4D; 38: 00 00 00; 18: 0F" << "";
    QTest::newRow("--with-identity") << identityEtc << "identity"
                                     << "4: 42 63 38 38 37 37 36 36 00; 13: FF FF FF FF; 38: 00 00 00" << "";
    QTest::newRow("--with-calibration") << identityEtc << "calibration" << "4: 41 05; 38: 00 01 32" << "";
    // Right Now sends no start time: the logger keeps the one it holds, not the file's.
    QTest::newRow("bytes the settings leave out keep the logger's")
        << "cbbStartMode=Right Now; cbbStartTimeY=2020; cbbStartTimeM=1" << "" << "23: 00; 24: 1B 0C 1F 17 3B 1E" << "";
    QTest::newRow("the clock in the file's zone, across midnight")
        << "cbbTimeZone=UTC-03:30" << "" << "34: 01 03 1E; 52: 1A 0C 07 15 1E 00" << "";
    QTest::newRow("a failed check: its message, no frame") << "edtServiceLife=  " << "" << ""
                                                           << "The Service Life can not be empty";
    QTest::newRow("checks run on the file over the logger") << "edtSerialNumber=B9988776" << "identity" << ""
                                                            << "The Serial Number can not be empty and the Serial Number length is 9";
    QTest::newRow("a list left empty does not convert") << "cbbLogIntervalS=<none>" << "" << ""
                                                        << "'' is not a valid integer value";
}

void TestWritePlan::planWrite()
{
    QFETCH(QString, changes);
    QFETCH(QString, scopes);
    QFETCH(QString, bytes);
    QFETCH(QString, message);

    const TFrameBuffer record = Record();
    const TSettingValues file = FileFrom(record, changes);
    try {
        const TWritePlan plan = PlanWrite(record, file, Scopes(scopes), Now);
        QVERIFY2(!bytes.isEmpty(), "the write was not refused");
        const std::string differing = CompareBytes(plan.Frame, bytes.toStdString());
        QVERIFY2(differing.empty(), differing.c_str());
        QVERIFY(CheckFrame(plan.Frame.data(), plan.Frame.size()));
        QCOMPARE(plan.Frame[2], CmdParameterWrite);
        // A logger that stored the frame passes the verify.
        QVERIFY(VerifyWrite(plan, StoredRecord(plan.Frame, record)).empty());
    } catch (const EWriteRefused &e) {
        QVERIFY2(bytes.isEmpty(), e.what());
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
}

// What the warning about a trip information too long for a write counts.
void TestWritePlan::tripBytes_data()
{
    QTest::addColumn<QString>("trip");
    QTest::addColumn<int>("bytes");
    QTest::newRow("one line") << "Cold chain" << 10;
    QTest::newRow("a line break counts two") << "two\nlines" << 10;
    QTest::newRow("a character beyond ASCII counts one") << QString::fromUtf8("\xC2\xB0""C") << 2;
    QTest::newRow("one more than a write carries") << QString(95, u'x') << 95;
}

void TestWritePlan::tripBytes()
{
    QFETCH(QString, trip);
    QFETCH(int, bytes);
    const TFrameBuffer record = Record();
    TSettingValues file = FileFrom(record, "");
    file.at(SettingIndex("Trip Information")).front() = trip.toStdString();
    const TWritePlan plan = PlanWrite(record, file, {}, Now);
    QCOMPARE(plan.TripBytes, std::size_t(bytes));
    // The frame carries the first 94 of them.
    const std::size_t sent = std::min<std::size_t>(plan.TripBytes, Offset::WriteTripInfoLength);
    QVERIFY(plan.Frame[Offset::WriteTripInfo + sent - 1] != 0);
    QVERIFY(sent == Offset::WriteTripInfoLength || plan.Frame[Offset::WriteTripInfo + sent] == 0);
}

void TestWritePlan::diff_data()
{
    QTest::addColumn<QString>("changes");
    QTest::addColumn<QString>("scopes");
    QTest::addColumn<QStringList>("differences");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("the logger's own settings") << "" << "" << QStringList{} << "";
    QTest::newRow("a threshold in another form is the same value") << "edtSingleH1=8.0; edtSingleL1=2" << ""
                                                                    << QStringList{} << "";
    QTest::newRow("by name") << "cbbLogIntervalM=15; mmoTripInfo=Warm chain" << ""
                             << QStringList{"Log Interval", "Trip Information"} << "";
    QTest::newRow("identity left out of a template") << "edtSerialNumber=B99887766" << "" << QStringList{} << "";
    QTest::newRow("identity asked for") << "edtSerialNumber=B99887766" << "identity" << QStringList{"Serial Number"}
                                        << "";
    // Compared as a read would show them afterwards: a read of Right Now shows
    // no start time, whatever the logger keeps of it.
    QTest::newRow("as a read shows it: Right Now has no start time")
        << "cbbStartMode=Right Now; cbbStartTimeY=2020" << "" << QStringList{"Start Mode", "Start Time"} << "";
    QTest::newRow("a file that cannot be written: the values, and why")
        << "cbbLogIntervalS=<none>; edtServiceLife=" << "" << QStringList{"Service Life", "Log Interval"}
        << "The Service Life can not be empty";
}

void TestWritePlan::diff()
{
    QFETCH(QString, changes);
    QFETCH(QString, scopes);
    QFETCH(QStringList, differences);
    QFETCH(QString, refusal);

    const TFrameBuffer record = Record();
    const TDiffResult result = DiffWithLogger(record, FileFrom(record, changes), Scopes(scopes), Now);
    QCOMPARE(Names(result.Differences), differences);
    QCOMPARE(QString::fromStdString(result.WriteRefusal.value_or("")), refusal);
    for (const TSettingDifference &d : result.Differences)
        QVERIFY(d.Old != d.New);
}

void TestWritePlan::backupFileName_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("name");

    QTest::newRow("a serial number") << "A05123456" << "A05123456-20261208T010000Z.toml";
    QTest::newRow("a path cannot be made of it") << "A/../\\:x" << "A_..___x-20261208T010000Z.toml";
    QTest::newRow("control and Latin-1 characters") << QString::fromUtf8("A\x01\xC3\xA9 9") << "A___9-20261208T010000Z.toml";
    QTest::newRow("a leading dot would hide the file") << ".A" << "_.A-20261208T010000Z.toml";
    QTest::newRow("an empty serial number") << "" << "_-20261208T010000Z.toml";
}

void TestWritePlan::backupFileName()
{
    QFETCH(QString, serial);
    QFETCH(QString, name);
    QCOMPARE(BackupFileName(serial.toStdString(), QDateTime::fromMSecsSinceEpoch(
                                                     duration_cast<milliseconds>(Now.time_since_epoch()).count(),
                                                     Qt::UTC)),
             name);
}

void TestWritePlan::backupsNeverReplaceEachOther()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("new/backups"));
    const QDateTime at = QDateTime(QDate(2026, 12, 8), QTime(17, 5), Qt::UTC);
    const TFrameBuffer first = Record();
    TFrameBuffer second = first;
    PatchBytes(second, "18: 0F");
    SealFrame(second);

    const QString a = SaveBackup(folder, first, QStringLiteral("ttyUSB0"), at, "loggerctl test");
    const QString b = SaveBackup(folder, second, QStringLiteral("ttyUSB0"), at, "loggerctl test");
    QCOMPARE(QFileInfo(a).fileName(), QStringLiteral("A05123456-20261208T170500Z.toml"));
    QCOMPARE(QFileInfo(b).fileName(), QStringLiteral("A05123456-20261208T170500Z-2.toml"));
    // Windows keeps a user's application data private by the folder's own rights;
    // Qt reads those as permissions open to everyone.
    if (QSysInfo::productType() != QLatin1String("windows"))
        QCOMPARE(QFile::permissions(folder) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());

    for (const auto &[path, record] : {std::pair{a, first}, std::pair{b, second}}) {
        const TSettingsFile backup = LoadSettingsFile(path);
        QCOMPARE(backup.Kind, TSettingsFileKind::Backup);
        QCOMPARE(backup.Values, RecordSettings(record));
        QCOMPARE(backup.Port, std::string("ttyUSB0"));
        QCOMPARE(backup.ReadAt, std::string("2026-12-08T17:05:00Z"));
    }

    // A folder that cannot be made stops the write before anything is sent.
    QFile blocker(dir.filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        SaveBackup(dir.filePath(QStringLiteral("file/backups")), first, QStringLiteral("ttyUSB0"), at, "test");
        QFAIL("a backup went into a folder inside a file");
    } catch (const EStationError &e) {
        QCOMPARE(e.Status(), TExitStatus::BadInput);
        QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("nothing was written to the logger")), e.what());
    }
}

QTEST_APPLESS_MAIN(TestWritePlan)
#include "tst_writeplan.moc"
