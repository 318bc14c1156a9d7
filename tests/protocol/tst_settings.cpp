#include "CheckCases.h"
#include "Convert.h"
#include "ParameterChecks.h"
#include "ParameterLayout.h"
#include "SettingsFile.h"
#include "StationFile.h"
#include "TestSupport.h"
#include "Verify.h"
#include "WriteFrame.h"

#include <QTest>

// Settings as a file: what the window shows goes out and comes back unchanged,
// a bad file is refused with its line and key, and a write is judged on what
// a read shows.
class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void checksThroughTheParameterSet();
    void fileRoundTrip_data();
    void fileRoundTrip();
    void badFile_data();
    void badFile();
    void stationFile_data();
    void stationFile();
};

namespace {

const char *const Configured =
    "edtSerialNumber=A05123456; edtDeviceID=1A2B3C4D; edtServiceLife=365; cbbLogIntervalM=5; "
    "cbbStartMode=Timing; cbbStartTimeY=2027; cbbStartTimeM=12; cbbStartTimeD=31; cbbStartTimeH=23; "
    "cbbStartTimeN=59; cbbStartTimeS=30; cbbTimeZone=UTC+08:00; rbSingleAlarm=on; edtSingleH1=8.00; "
    "edtSingleL1=2.00; edtSingleHumidityH1=80.00; edtSingleHumidityL1=20.00; mmoTripInfo=Cold chain shipment";

TSettingValues Capture(const char *notation, const std::string &separator = ".")
{
    TFakeControls controls;
    controls.Apply(notation);
    return CaptureSettings(controls, separator);
}

std::string ConfiguredFile()
{
    TSettingsFile file;
    file.Port = "ttyUSB0";
    file.ReadAt = "2026-12-08T17:05:00Z";
    file.Program = "loggerctl 1.0.0";
    file.Values = Capture(Configured);
    return WriteSettingsFile(file);
}

// Every character the logger can hold in its trip information but the line
// breaks, which the memo keeps only in pairs.
std::string AllTripCharacters(int first, int last)
{
    std::u32string chars;
    for (int ch = first; ch <= last; ++ch)
        if (ch != '\r' && ch != '\n')
            chars += static_cast<char32_t>(ch);
    return CharsToUtf8(chars);
}

int LineOf(const std::string &text, const std::string &needle)
{
    const std::size_t at = text.find(needle);
    return at == std::string::npos ? -1 : 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
}

} // namespace

void TestSettings::checksThroughTheParameterSet()
{
    for (const TCheckCase &row : CheckCases()) {
        TFakeControls controls;
        controls.Apply(row.Settings);
        const auto failure = FirstFailedCheck(controls);
        QVERIFY2(failure.has_value() == (row.Message != nullptr), row.Name);
        if (failure)
            QCOMPARE(failure->Message, std::string(row.Message));
    }
}

void TestSettings::fileRoundTrip_data()
{
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("trip");  // set as it is: the notation cannot hold every character

    QTest::newRow("configured, point") << "." << Configured << "";
    QTest::newRow("configured, comma locale") << "," << Configured << "";
    QTest::newRow("multiple alarm with rows off, hidden settings changed")
        << ","
        << "rbMultipleAlarm=on; chkTemperatureH3=off; chkHumidityL1=off; edtTemperatureH2=-10,05; "
           "cbbTemperatureH2=Cumulative; cbbTemperatureH2H=23; cbbTemperatureH2S=59; cbbProbeMode=External; "
           "cbbCycleSwitch=Closed; cbbStopMode=Stop by Button or Software; cbbTemporaryPDFStartup=Enable; "
           "cbbPasswordStartup=Enable; edtPassword=Ab12cd; edtCalibrationTemp=-1,50; rbF=on; cbbLogIntervalS=50" << "";
    QTest::newRow("lists left empty by a read") << "." << "cbbLogIntervalS=<none>; cbbSingleL1H=<none>; cbbTimeZone=<none>" << "";
    QTest::newRow("quotes, backslashes, line breaks")
        << "." << "mmoTripInfo=say \"hi\" \\ there\r\nsecond line\r\n; edtPassword=\"\\\"\\\"" << "";
    // In three rows: the field holds 100 bytes.
    for (const auto &[first, last] : {std::pair{0x01, 0x5F}, std::pair{0x60, 0xBF}, std::pair{0xC0, 0xFF}})
        QTest::addRow("every trip byte %02X..%02X", first, last)
            << "." << "" << QString::fromStdString(AllTripCharacters(first, last));
    QTest::newRow("every serial number byte")
        << "." << ("edtSerialNumber=" + CharsToUtf8(U"\x01\x7F\x80\x9F\xA0\xFF=\t ")).c_str() << "";
}

void TestSettings::fileRoundTrip()
{
    QFETCH(QString, separator);
    QFETCH(QString, settings);
    QFETCH(QString, trip);

    TFakeControls window;
    window.Apply(settings.toStdString());
    if (!trip.isEmpty())
        window.SetText(Ctl::mmoTripInfo, trip.toStdString());
    // Every byte a logger may hold goes through the file and back: a backup
    // keeps what the logger held, which typing could not always give.
    TSettingsFile file;
    file.Kind = TSettingsFileKind::Backup;
    file.Values = CaptureSettings(window, separator.toStdString());
    const std::string text = WriteSettingsFile(file);

    const TSettingsFile read = ReadSettingsFile(text, "test.toml");
    QCOMPARE(read.Values, file.Values);
    QCOMPARE(WriteSettingsFile(read), text);

    // The file laid over a window that shows something else gives the same
    // frame as the window it came from, byte for byte.
    TFakeControls other;
    other.Apply("cbbStartMode=Delayed; rbNoAlarm=on; edtSingleH1=99; mmoTripInfo=other; cbbTimeZone=UTC-03:30");
    ApplySettings(other, read.Values, TScopes::All(), separator.toStdString());
    for (const char *clock : {"cbbSystemTimeY=2026", "cbbSystemTimeM=12", "cbbSystemTimeD=8"}) {
        window.Apply(clock);
        other.Apply(clock);
    }
    TFrameBuffer expected {}, got {};
    try {
        EncodeWriteFrame(expected, window, separator.toStdString());
    } catch (const EConvertError &) {
        return;  // a window that cannot be saved has no frame to compare
    }
    EncodeWriteFrame(got, other, separator.toStdString());
    QCOMPARE(got, expected);
    // As if the user had chosen each value: the rules have run.
    QCOMPARE(other.Enabled(TEnableSwitch::StartTime), other.ItemIndex(Ctl::cbbStartMode) == 2);
    QCOMPARE(other.Enabled(TEnableSwitch::Password), other.ItemIndex(Ctl::cbbPasswordStartup) != 0);
    QCOMPARE(other.Visible(Ctl::pnlSingleAlarm), other.Checked(Ctl::rbSingleAlarm));
}

void TestSettings::badFile_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("marker");  // the line the message names holds it
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown key") << "\"Start Mode\" =" << "\"Start Mod\" = \"Timing\"\n\"Start Mode\" ="
                                 << "\"Start Mod\"" << "\"Device Info\".\"Start Mod\": unknown key in [\"Device Info\"]";
    QTest::newRow("unknown table") << "[calibration]" << "[calibrations]" << "[calibrations]"
                                   << "calibrations: unknown key";
    QTest::newRow("missing key") << "\"Service Life\" = \"365\"  # days\n" << "" << "[\"Device Info\"]"
                                 << "\"Device Info\".\"Service Life\": missing from [\"Device Info\"]";
    QTest::newRow("value outside its list") << "\"Start Mode\" = \"Timing\"" << "\"Start Mode\" = \"Later\""
                                            << "\"Later\""
                                            << "\"Start Mode\": \"Later\" is not one of \"Right Now\", \"Delayed\", \"Timing\"";
    QTest::newRow("part outside its list") << "M = \"5\", S = \"0\"" << "M = \"61\", S = \"0\"" << "\"61\""
                                           << "\"Log Interval\": M: \"61\" is not one of \"0\" to \"60\"";
    QTest::newRow("unknown part") << "M = \"5\", S = \"0\"" << "M = \"5\", X = \"0\"" << "X = "
                                  << "\"Log Interval\".X: unknown key";
    // What the window's typing rules would not let a user type.
    QTest::newRow("five digits of service life in a box of four") << "\"365\"" << "\"12345\"" << "\"12345\""
        << "\"Service Life\": \"12345\" is not a number of up to 4 digits, as the window takes it";
    QTest::newRow("a password's character the window would not take") << "Password = \"\"" << "Password = \"ab#d12\""
                                                                      << "ab#d12" << "is not up to 6 letters and digits";
    QTest::newRow("blanks around a number") << "\"8.00\"" << "\" 8.00\"" << "\" 8.00\"" << "is not a number such as";
    QTest::newRow("trip information longer than a write carries")
        << "\"Cold chain shipment\"" << QStringLiteral("\"%1\"").arg(QString(95, u'x')) << "xxxx"
        << "is 95 bytes long (a line break counts two); a write carries 94";
    QTest::newRow("a third decimal would be lost") << "\"8.00\"" << "\"8.005\"" << "8.005"
                                                   << "has more than two decimals";
    QTest::newRow("threshold beyond a byte") << "\"8.00\"" << "\"256\"" << "\"256\"" << "is outside -255.99 to 255.99";
    QTest::newRow("a number, not a text") << "\"365\"" << "365" << "365" << "\"Service Life\": is not a text in quotes";
    QTest::newRow("a character the logger cannot store") << "\"Cold chain shipment\"" << "\"Cold chain €\"" << "€"
                                                          << "the logger stores only characters U+0001 to U+00FF";
    QTest::newRow("broken file") << "\"Start Mode\" = \"Timing\"" << "\"Start Mode\" = \"Timing" << "\"Start Mode\""
                                 << "not a TOML file";
    QTest::newRow("newer format") << "format = 1" << "format = 2" << "format = 2"
                                  << "format: format 2 is newer than this loggercfg reads (format 1)";
    // Regression: toml++ named a quoted key twice over, as '"SeService Life" '.
    QTest::newRow("a quoted key given twice is named once")
        << "\"Service Life\" = \"365\"  # days\n" << "\"Service Life\" = \"365\"  # days\n\"Service Life\" = \"366\"\n"
        << "\"Service Life\" = \"366\"" << "\"Device Info\".\"Service Life\": given twice, first on line 25";
    QTest::newRow("a part given twice") << "M = \"5\", S = \"0\"" << "M = \"5\", \"M\" = \"6\", S = \"0\""
                                        << "\"M\" = \"6\"" << "\"Log Setting\".\"Log Interval\".M: given twice";
    QTest::newRow("no format") << "format = 1\n" << "" << "# Data logger" << "format: missing";
    // Inputs that once broke the parser's own assumptions, aborting a build
    // with assertions on: each must be an ordinary refusal.
    for (const char *header : {"[[[1]]]", "[[[a]]]", "[[[]]", "[[="})
        QTest::newRow(header) << "format = 1" << QStringLiteral("format = 1\n%1").arg(QLatin1String(header))
                              << QString::fromLatin1(header) << "not a TOML file";
    QTest::newRow("a letter right after a value") << "format = 1" << "format = 1\u00E9" << "format = 1"
                                                  << "not a TOML file";
    QTest::newRow("a non-breaking space after a value") << "format = 1" << "format = 1\u00A0" << "format = 1"
                                                        << "not a TOML file";
    QTest::newRow("a letter after a line-ending backslash")
        << "format = 1" << "format = 1\ns = \"\"\"\\\n\u00A7\"\"\"" << "s = " << "s: unknown key";
    QTest::newRow("an array going on with a brace") << "format = 1" << "format = 1\na = [}" << "a = ["
                                                     << "not a TOML file";
    QTest::newRow("a date, a space, a digit, a line end") << "format = 1" << "format = 1\nt=2025-12-0= 2" << "t=2025"
                                                           << "not a TOML file";
    QTest::newRow("a date-time whose time is no digit") << "format = 1" << "format = 1\nt = 2026-12-08T:15"
                                                        << "t = 2026" << "not a TOML file";
}

void TestSettings::badFile()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, marker);
    QFETCH(QString, message);

    std::string text = ConfiguredFile();
    const std::size_t at = text.find(from.toStdString());
    QVERIFY2(at != std::string::npos, qPrintable(from));
    text.replace(at, from.toStdString().size(), to.toStdString());
    const int line = LineOf(text, marker.toStdString());
    QVERIFY(line > 0);

    try {
        ReadSettingsFile(text, "test.toml");
        QFAIL("the file was accepted");
    } catch (const ESettingsFileError &e) {
        const QString got = QString::fromUtf8(e.what());
        QVERIFY2(got.startsWith(QStringLiteral("test.toml:%1: ").arg(line)), qPrintable(got));
        QVERIFY2(got.contains(message), qPrintable(got));
    }
}


// The station's own file: each key read, a misspelt or mistyped one refused
// with the file and the line.
void TestSettings::stationFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("read");  // audit log | operator | backup folder, or the message
    QTest::newRow("empty: every default") << "" << "||";
    QTest::newRow("every key") << "audit_log = \"/srv/audit.jsonl\"\noperator = \"tech1\"\nbackup_folder = \"b\"\n"
                               << "/srv/audit.jsonl|tech1|b";
    QTest::newRow("a misspelt key") << "operator = \"x\"\naudit-log = \"a\"\n"
                                    << "station.toml:2: audit-log: unknown key (audit_log, operator and backup_folder are known)";
    QTest::newRow("a number for a text") << "operator = 7\n" << "station.toml:1: operator: is not a text in quotes";
    QTest::newRow("broken") << "operator = \"x\n" << "station.toml:1: not a TOML file";
}

void TestSettings::stationFile()
{
    QFETCH(QString, text);
    QFETCH(QString, read);
    try {
        const TStationFile station = ReadStationFile(text.toStdString(), "station.toml");
        QCOMPARE(QString::fromStdString(station.AuditLog + "|" + station.Operator + "|" + station.BackupFolder), read);
    } catch (const ESettingsFileError &e) {
        QVERIFY2(QString::fromUtf8(e.what()).startsWith(read), e.what());
    }
}

QTEST_APPLESS_MAIN(TestSettings)
#include "tst_settings.moc"
