#include "Comm.h"
#include "ParameterSet.h"
#include "SettingsFile.h"
#include "ShownWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

// Settings files in the window: opening one changes the controls and nothing
// else, a bad one is refused with the message loggerctl prints, and export
// writes what the window shows. CTest runs this in a point and a comma locale.
class TestSettingsFiles : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(FDir.isValid()); }
    void open_data();
    void open();
    void badFileShowsTheCommandLineMessage();
    void exportThenOpenRestoresEverything();
    void droppedFileOpens_data();
    void droppedFileOpens();
    void exportsAndDropsSayWhatTheyDid_data();
    void exportsAndDropsSayWhatTheyDid();

private:
    QString Write(const QString &name, const std::string &text)
    {
        QFile file(FDir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) < 0)
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

    // A file read from another logger: other identity, calibration, interval and
    // alarms, and hidden settings changed too.
    static std::string OtherLogger(TSettingsFileKind kind, const char *serial)
    {
        TParameterSet set;
        set.SetText(Ctl::edtSerialNumber, serial);
        set.SetText(Ctl::edtDeviceID, "CAFE0001");
        set.SetText(Ctl::edtServiceLife, "730");
        set.SetText(Ctl::edtCalibrationTemp, "-0.50");
        set.SetItemIndex(Ctl::cbbLogIntervalM, 15);
        set.SetItemIndex(Ctl::cbbStartMode, 1);
        set.SetItemIndex(Ctl::cbbStopMode, 2);
        set.SetItemIndex(Ctl::cbbPasswordStartup, 1);
        set.SetText(Ctl::edtPassword, "abc123");
        set.SetChecked(Ctl::rbSingleAlarm, true);
        set.SetText(Ctl::edtSingleH1, "8.50");
        TSettingsFile file;
        file.Kind = kind;
        file.Values = CaptureSettings(set, ".");
        return WriteSettingsFile(file);
    }

    QTemporaryDir FDir;
};

namespace {

QString Text(TShownWindow &w, const char *name) { return w.Get<QLineEdit>(QLatin1String(name))->text(); }

} // namespace

void TestSettingsFiles::open_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("fileSerial");
    QTest::addColumn<bool>("identityTaken");

    QTest::newRow("settings of another logger") << int(TSettingsFileKind::Settings) << "B07654321" << false;
    QTest::newRow("settings with this logger's number") << int(TSettingsFileKind::Settings) << "A05123456" << false;
    QTest::newRow("backup of another logger") << int(TSettingsFileKind::Backup) << "B07654321" << false;
    QTest::newRow("backup of this logger") << int(TSettingsFileKind::Backup) << "A05123456" << true;
}

void TestSettingsFiles::open()
{
    QFETCH(int, kind);
    QFETCH(QString, fileSerial);
    QFETCH(bool, identityTaken);

    TShownWindow w;
    w.Get<QLineEdit>(QStringLiteral("edtSerialNumber"))->setText(QStringLiteral("A05123456"));
    w.Get<QLineEdit>(QStringLiteral("edtDeviceID"))->setText(QStringLiteral("1A2B3C4D"));
    const QString decimal = QLocale::system().decimalPoint();
    const QString path =
        Write(QStringLiteral("other.toml"), OtherLogger(TSettingsFileKind(kind), fileSerial.toLatin1().constData()));

    w.Window.OpenSettingsFile(path);

    QCOMPARE(w.LastLook(), QStringLiteral("Prompt, information"));
    QVERIFY2(w.Prompts.last().contains(QLatin1String("nothing is sent to the logger until Save")), qPrintable(w.Prompts.last()));
    QCOMPARE(w.Get<QComboBox>(QStringLiteral("cbbLogIntervalM"))->currentText(), QStringLiteral("15"));
    QCOMPARE(w.Get<QComboBox>(QStringLiteral("cbbStopMode"))->currentIndex(), 2);  // never shown, still set
    QVERIFY(w.Get<QAbstractButton>(QStringLiteral("rbSingleAlarm"))->isChecked());
    QVERIFY(w.Get(QStringLiteral("pnlSingleAlarm"))->isVisible());
    QCOMPARE(Text(w, "edtSingleH1"), QStringLiteral("8") + decimal + QStringLiteral("50"));
    // As if chosen by the user: the rules of the start mode and the password ran.
    QVERIFY(w.Get(QStringLiteral("cbbStartDelayH"))->isEnabled());
    QVERIFY(w.Get(QStringLiteral("edtPassword"))->isEnabled());

    QCOMPARE(Text(w, "edtSerialNumber"), identityTaken ? fileSerial : QStringLiteral("A05123456"));
    QCOMPARE(Text(w, "edtDeviceID"), identityTaken ? QStringLiteral("CAFE0001") : QStringLiteral("1A2B3C4D"));
    QCOMPARE(Text(w, "edtCalibrationTemp"), identityTaken ? QStringLiteral("-0") + decimal + QStringLiteral("50") : QStringLiteral("0"));
    QCOMPARE(w.Window.CommForTests()->Handle(), std::intptr_t(0));  // nothing sent
    // What the file held of identity and calibration but the window left is said.
    QCOMPARE(w.Prompts.last().contains(QLatin1String("left as the logger has them")), !identityTaken);
    if (!identityTaken)
        QVERIFY2(w.Prompts.last().contains(fileSerial == QLatin1String("A05123456")
                                               ? QStringLiteral("only a backup of this logger restores them")
                                               : QStringLiteral("the file is of the logger B07654321")),
                 qPrintable(w.Prompts.last()));
    // Every change is listed, in the box's details where the text would run long.
    QVERIFY2(w.Boxes.last().Detail.contains(QLatin1String("Stop Mode: \"Stop by Button or Software\"")),
             qPrintable(w.Boxes.last().Detail));
}

void TestSettingsFiles::badFileShowsTheCommandLineMessage()
{
    std::string text = OtherLogger(TSettingsFileKind::Settings, "B07654321");
    text.replace(text.find("\"Delayed\""), 9, "\"Later\"");
    const QString path = Write(QStringLiteral("bad.toml"), text);
    std::string expected;
    try {
        ReadSettingsFile(text, QDir::toNativeSeparators(path).toStdString());
    } catch (const ESettingsFileError &e) {
        expected = e.what();
    }
    QVERIFY(!expected.empty());

    TShownWindow w;
    w.Window.OpenSettingsFile(path);
    QCOMPARE(w.Prompts, QStringList{QString::fromStdString(expected)});
    QCOMPARE(w.LastLook(), QStringLiteral("Prompt, warning"));
    QCOMPARE(w.Get<QComboBox>(QStringLiteral("cbbStartMode"))->currentIndex(), 0);  // nothing applied

    w.Window.OpenSettingsFile(FDir.filePath(QStringLiteral("missing.toml")));
    // The reason is the system's own words, in its language.
    const QString missing = QDir::toNativeSeparators(FDir.filePath(QStringLiteral("missing.toml")));
    QVERIFY2(w.Prompts.last().startsWith(missing + QStringLiteral(": ")) && w.Prompts.last().size() > missing.size() + 4,
             qPrintable(w.Prompts.last()));
}

void TestSettingsFiles::exportThenOpenRestoresEverything()
{
    const QString decimal = QLocale::system().decimalPoint();
    TShownWindow w;
    w.Get<QLineEdit>(QStringLiteral("edtSerialNumber"))->setText(QStringLiteral("A05123456"));
    w.Get<QLineEdit>(QStringLiteral("edtCalibrationHumidity"))->setText(QStringLiteral("2") + decimal + QStringLiteral("05"));
    w.Get<QComboBox>(QStringLiteral("cbbTimeZone"))->setCurrentIndex(40);
    w.Get<QAbstractButton>(QStringLiteral("rbF"))->setChecked(true);
    w.Get<QLineEdit>(QStringLiteral("edtSingleL1"))->setText(QStringLiteral("-1.5"));  // as typed
    const QString path = FDir.filePath(QStringLiteral("exported.toml"));
    w.Window.AskSettingsPath = [&](bool save, const QString &suggested) {
        return save && suggested.endsWith(QLatin1String("A05123456.toml")) ? path : QString();
    };
    w.Window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.Window));
    QTest::keyClick(&w.Window, Qt::Key_E, Qt::ControlModifier);
    QVERIFY2(QFile::exists(path), qPrintable(w.Prompts.join(QLatin1Char('|'))));
    // Nothing read yet: the window asks first, and says where it wrote.
    QCOMPARE(w.Prompts.size(), 2);
    QVERIFY(w.Prompts.first().startsWith(QLatin1String("Nothing has been read from a logger yet")));
    QCOMPARE(w.Prompts.last(), QStringLiteral("The settings were exported to %1.").arg(QDir::toNativeSeparators(path)));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const TSettingsFile read = ReadSettingsFile(file.readAll().toStdString(), "exported.toml");
    QCOMPARE(read.Values[SettingIndex("Calibration Humidity")].front(), std::string("2.05"));
    QCOMPARE(read.Values[SettingIndex("Single Alarm / Temperature L1:Below / Temperature/Humidity")].front(),
             std::string("-1.5"));

    TShownWindow fresh;
    fresh.Window.AskSettingsPath = [&](bool save, const QString &) { return save ? QString() : path; };
    fresh.Get<QLineEdit>(QStringLiteral("edtSerialNumber"))->setText(QStringLiteral("A05123456"));
    fresh.Window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&fresh.Window));
    QTest::keyClick(&fresh.Window, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(fresh.Get<QComboBox>(QStringLiteral("cbbTimeZone"))->currentIndex(), 40);
    QVERIFY(fresh.Get<QAbstractButton>(QStringLiteral("rbF"))->isChecked());
    QCOMPARE(Text(fresh, "edtSingleL1"), QStringLiteral("-1") + decimal + QStringLiteral("5"));
    // A settings file is a template: the calibration stays as this window has it.
    QCOMPARE(Text(fresh, "edtCalibrationHumidity"), QStringLiteral("0"));
}

void TestSettingsFiles::droppedFileOpens_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("on the background") << "img1";
    QTest::newRow("on an edit, which would paste its name") << "edtServiceLife";
}

void TestSettingsFiles::droppedFileOpens()
{
    QFETCH(QString, target);
    const QString path = Write(QStringLiteral("dropped.toml"), OtherLogger(TSettingsFileKind::Settings, "B07654321"));
    TShownWindow w;
    QWidget *on = w.Get(target);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    // The window hears of drops on its background; an edit's go through the window's filter.
    QWidget *receiver = target == QLatin1String("img1") ? static_cast<QWidget *>(&w.Window) : on;
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &drop);
    QVERIFY2(drop.isAccepted(), qPrintable(w.Prompts.join(QLatin1Char('|'))));
    QCOMPARE(Text(w, "edtServiceLife"), QStringLiteral("730"));
}

// An export says where it wrote, a name without an extension gets ".toml",
// and a drop that cannot be taken says why.
void TestSettingsFiles::exportsAndDropsSayWhatTheyDid_data()
{
    QTest::addColumn<QString>("action");  // "export NAME", or "drop NAME NAME..."
    QTest::addColumn<QString>("message");
    QTest::newRow("export without an extension") << "export shipment" << "The settings were exported to %1/shipment.toml.";
    QTest::newRow("drop of two files") << "drop a.toml b.toml" << "Drop one settings file at a time: 2 files were dropped.";
    QTest::newRow("drop of a file that is no settings file") << "drop notes.txt" << "%1/notes.txt is not a settings file";
}

void TestSettingsFiles::exportsAndDropsSayWhatTheyDid()
{
    QFETCH(QString, action);
    QFETCH(QString, message);
    const QStringList words = action.split(u' ');
    message = QDir::toNativeSeparators(message.replace(QLatin1String("%1"), FDir.path()));
    TShownWindow w;
    w.Window.OpenSettingsFile(Write(QStringLiteral("other.toml"), OtherLogger(TSettingsFileKind::Settings, "B07654321")));
    w.Prompts.clear();
    if (words[0] == QLatin1String("export")) {
        w.Window.AskSettingsPath = [&](bool save, const QString &) { return save ? FDir.filePath(words[1]) : QString(); };
        w.Window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.Window));
        QTest::keyClick(&w.Window, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(QFile::exists(FDir.filePath(words[1] + QStringLiteral(".toml"))));
    } else {
        QList<QUrl> urls;
        for (const QString &name : words.mid(1))
            urls << QUrl::fromLocalFile(FDir.filePath(name));
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w.Window, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w.Window, &drop);
    }
    QCOMPARE(w.Prompts.size(), 1);
    QVERIFY2(w.Prompts[0].startsWith(message), qPrintable(w.Prompts[0]));
}

QTEST_MAIN(TestSettingsFiles)
#include "tst_settingsfiles.moc"
