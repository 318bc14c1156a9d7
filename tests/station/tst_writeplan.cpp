#include "Backup.h"
#include "DurableFile.h"
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

#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#endif

// What a write sends, what its verify expects, what diff shows and where the
// backup goes: worked out from a record and a file, without any port.
class TestWritePlan : public QObject
{
    Q_OBJECT

private slots:
    void planWrite_data();
    void planWrite();
    void verify_data();
    void verify();
    void restoreBytes();
    void diff_data();
    void diff();
    void backupFileName_data();
    void backupFileName();
    void backupsNeverReplaceEachOther();
    void backupInterruptedLeavesNoFile();
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
    TFrameBuffer record = StoredRecord(frame, BlankRecord());
    // A calibration stored as hundredths byte 150, which no text the window
    // writes gives: it does not survive a decode and an encode.
    PatchBytes(record, "40: 96");
    SealFrame(record);
    return record;
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
        << identityEtc << "" << "4: 41 05 31 32 33 34 35 36 00; 13: 1A 2B 3C 4D; 38: 00 00 96; 18: 0F" << "";
    QTest::newRow("--with-identity") << identityEtc << "identity"
                                     << "4: 42 63 38 38 37 37 36 36 00; 13: FF FF FF FF; 38: 00 00 96" << "";
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
    QTest::newRow("identity kept is not checked") << "edtSerialNumber=B9988776" << "" << "4: 41 05" << "";
    // Refused, where the logger would otherwise hold something else than asked.
    QTest::newRow("a list left empty would be written as some item") << "cbbSingleH1=<none>" << "" << ""
        << "is left empty, and a write would store some item in its place: choose one";
    QTest::newRow("a part left empty") << "cbbLogIntervalS=<none>" << "" << ""
                                       << "S: is left empty, and a write would store some item in its place: choose one";
    QTest::newRow("a list the write does not send may be empty")
        << "cbbStartMode=Right Now; cbbStartTimeM=<none>" << "" << "23: 00" << "";
    QTest::newRow("multiple alarm with H3, H2 and L2 off reads back as single")
        << "rbMultipleAlarm=on; edtTemperatureH1=25.50; edtTemperatureL1=2.00; chkTemperatureH3=off; "
           "chkTemperatureH2=off; chkTemperatureL2=off; chkHumidityH1=off; chkHumidityL1=off"
        << "" << "" << "Multiple Alarm needs Temperature H3, H2 or L2 switched on";
    QTest::newRow("a threshold beyond its byte") << "edtSingleH1=300" << "" << ""
                                                 << "The Temperature H1 must lie between -255.99 and 255.99";
    QTest::newRow("a multiple-alarm threshold beyond its two digits")
        << "rbMultipleAlarm=on; chkTemperatureH3=on; edtTemperatureH3=100; chkTemperatureH2=off; edtTemperatureH1=25.50; "
           "edtTemperatureL1=2; chkTemperatureL2=off; chkHumidityH1=off; chkHumidityL1=off"
        << "" << "" << "The Temperature H3 must lie between -99.99 and 99.99";
    QTest::newRow("a calibration written beyond its byte") << "edtCalibrationTemp=256" << "calibration" << ""
                                                           << "The Calibration Temperature must lie between";
    QTest::newRow("a third decimal") << "edtSingleL1=2.005" << "" << "" << "The Temperature L1 has more than two decimals";
    QTest::newRow("trip information longer than the frame")
        << QStringLiteral("mmoTripInfo=%1").arg(QString(95, u'x')) << "" << ""
        << "The Trip Information is 95 bytes long (a line break counts two); the logger takes 94";
    QTest::newRow("a character the logger cannot store") << QString::fromUtf8("mmoTripInfo=2 \xE2\x82\xAC") << ""
                                                         << "" << "The Trip Information holds a character the logger cannot store";
    QTest::newRow("a start time that does not exist") << "cbbStartTimeM=2; cbbStartTimeD=31" << "" << ""
                                                      << "The Start Time 2027-02-31 does not exist";
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
    } catch (const EWriteRefused &e) {
        QVERIFY2(bytes.isEmpty(), e.what());
        QVERIFY2(QString::fromUtf8(e.what()).startsWith(message), e.what());
        // The file's check passes or fails alike before any logger is met.
        const auto early = FileWriteRefusal(file, Scopes(scopes));
        QVERIFY2(early && QString::fromUtf8(early->what()).startsWith(message), e.what());
    }
}

// What verify says of a logger that answers with the record the row writes
// out, after a write of the row's changes: the settings named differ.
void TestWritePlan::verify_data()
{
    QTest::addColumn<QString>("changes");
    QTest::addColumn<QString>("held");  // the logger's record, patched
    QTest::addColumn<QStringList>("named");

    QTest::newRow("holds what was asked") << "cbbLogIntervalM=15; edtSingleH1=25.5" << "18: 0F; 167: 00 19 32"
                                          << QStringList{};
    QTest::newRow("kept nothing") << "cbbLogIntervalM=15" << "" << QStringList{"Log Interval"};
    QTest::newRow("a threshold's hundredths wrong") << "edtSingleH1=25.5" << "167: 00 19 33"
                                                    << QStringList{"Single Alarm / Temperature H1:Over / Temperature/Humidity"};
    QTest::newRow("its own identity changed") << "" << "16: 4E" << QStringList{"Device ID"};
    QTest::newRow("a setting the mode does not use is not compared")
        << "cbbStartMode=Delayed; cbbStartDelayH=2" << "23: 01; 27: 02; 28: 00; 24: 00" << QStringList{};
    QTest::newRow("calibration kept by its bytes, not its text")
        << "" << "40: 0F" << QStringList{"Calibration Temperature"};
    QTest::newRow("the trip text cut") << "mmoTripInfo=Warm chain" << "52: 57 61 72 6D 00"
                                       << QStringList{"Trip Information"};
    QTest::newRow("another alarm mode read back")
        << "rbMultipleAlarm=on; chkTemperatureH3=off; chkTemperatureH2=on; edtTemperatureH2=30; edtTemperatureH1=25.50; "
           "edtTemperatureL1=2; chkTemperatureL2=off; chkHumidityH1=off; chkHumidityL1=off"
        << "" << QStringList{"Alarm"};
}

void TestWritePlan::verify()
{
    QFETCH(QString, changes);
    QFETCH(QString, held);
    QFETCH(QStringList, named);
    const TFrameBuffer record = Record();
    const TWritePlan plan = PlanWrite(record, FileFrom(record, changes), {}, Now);
    TFrameBuffer readBack = record;
    PatchBytes(readBack, held.toStdString());
    SealFrame(readBack);
    const QStringList differing = Names(VerifyWrite(plan, readBack));
    QVERIFY2(differing.mid(0, named.size()) == named, qPrintable(differing.join(QStringLiteral(", "))));
    if (named.isEmpty())
        QCOMPARE(differing, QStringList{});
}

// A backup's record goes back byte for byte, those no setting shows among them.
void TestWritePlan::restoreBytes()
{
    TFrameBuffer backup = Record();
    // The reserved byte, and a block that single alarm never uses, its first
    // byte still the one that says so.
    PatchBytes(backup, "12: 07; 161: 05 05 05 05 05 05");
    SealFrame(backup);
    TFrameBuffer now = Record();
    PatchBytes(now, "18: 0F");
    SealFrame(now);
    const TWritePlan plan = PlanRestore(now, backup, Now);
    const std::string differing = CompareBytes(plan.Frame, "12: 07; 18: 05; 160: FF 05 05 05 05 05 05; 58: 43 6F 6C 64");
    QVERIFY2(differing.empty(), differing.c_str());
    QVERIFY(CheckFrame(plan.Frame.data(), plan.Frame.size()));
    QCOMPARE(plan.Notes.size(), std::size_t(1));
    QVERIFY2(plan.Notes.front().ends_with("record offsets 12, 161-166"), plan.Notes.front().c_str());
    // A logger that dropped the hidden byte is no restore.
    TFrameBuffer readBack = backup;
    PatchBytes(readBack, "12: 00");
    SealFrame(readBack);
    QCOMPARE(Names(VerifyWrite(plan, readBack)), QStringList{"record byte 12"});
    QVERIFY(VerifyWrite(plan, backup).empty());
}

// What the warning about a trip information too long for a write counts.
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
    // A start time is neither sent nor read with Right Now.
    QTest::newRow("only what a read shows: Right Now has no start time")
        << "cbbStartMode=Right Now; cbbStartTimeY=2020" << "" << QStringList{"Start Mode"} << "";
    QTest::newRow("a file that cannot be written: the values, and why")
        << "cbbLogIntervalS=<none>; edtServiceLife=" << "" << QStringList{"Service Life", "Log Interval"}
        << "S: is left empty, and a write would store some item in its place: choose one";
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
        QVERIFY(backup.Record == record);
        QCOMPARE(backup.Port, std::string("ttyUSB0"));
        QCOMPARE(backup.ReadAt, std::string("2026-12-08T17:05:00Z"));
        // It holds the logger's password: the user's alone.
        if (QSysInfo::productType() != QLatin1String("windows"))
            QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                                  | QFileDevice::WriteUser),
                     QFileDevice::Permissions());
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

// A crash after the backup's temporary file was written and before it got its
// name leaves no file under the name, and the backups before it as they were.
void TestWritePlan::backupInterruptedLeavesNoFile()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QDateTime at = QDateTime(QDate(2026, 12, 8), QTime(17, 5), Qt::UTC);
    const QString kept = SaveBackup(dir.path(), Record(), QStringLiteral("ttyUSB0"), at, "test");
    const QByteArray before = [&] { QFile f(kept); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    const pid_t child = ::fork();
    if (child == 0) {
        DurableWriteInterruption = [] { ::_exit(0); };
        SaveBackup(dir.path(), Record(), QStringLiteral("ttyUSB0"), at, "test");
        ::_exit(1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.toml")}, QDir::Files),
             QStringList{QFileInfo(kept).fileName()});
    QFile f(kept);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
#else
    QSKIP("a crash is played by fork(), which Windows lacks");
#endif
}

QTEST_APPLESS_MAIN(TestWritePlan)
#include "tst_writeplan.moc"
