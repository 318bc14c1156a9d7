#include "AuditLog.h"
#include "E2eSupport.h"
#include "SettingsFile.h"
#include "SettingsIo.h"
#include "Verify.h"

#include <QDir>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QTimer>

Q_DECLARE_METATYPE(TFaultMode)

// The window's Save verified by reading the logger back, its backup and its
// audit record, and the settings files that a Read under way must not
// silently replace.
class TestSaveVerify : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FRuntime = std::make_unique<TPrivateRuntime>();
        QVERIFY(FRuntime->IsValid());
    }
    void cleanup() { FRuntime.reset(); }

    void saveAgainstTestLoggers_data();
    void saveAgainstTestLoggers();
    void pressesDuringTheReadBackAreDropped();
    void fileDuringARead_data();
    void fileDuringARead();
    void windowKeysWhereverTheFocusIs_data();
    void windowKeysWhereverTheFocusIs();
    void brokenStationFileIsSaidAtStartUp();
    void printsTheConfigurationRecordOfTheLastSave();
    void windowAndLoggerctlSealOneLog();

private:
    QString Station(const QString &Text) const
    {
        QDir().mkpath(QFileInfo(FRuntime->StationFile()).absolutePath());
        QFile file(FRuntime->StationFile());
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the station file");
        file.write(Text.toUtf8());
        return FRuntime->StationFile();
    }

    std::unique_ptr<TPrivateRuntime> FRuntime;
};

namespace {

const QString Port = QStringLiteral("ttyE2E_SV");

std::size_t WriteFrames(const TLoggerEmulator &Logger)
{
    std::size_t n = 0;
    for (const auto &block : Logger.ReceivedFrames())
        n += block.size() == FrameBufferSize && block[2] == CmdParameterWrite;
    return n;
}

} // namespace

// A logger that keeps what it is sent, one that acknowledges and keeps
// nothing, one that keeps a byte wrong: "Save Success" for the first alone,
// the setting named otherwise, the focus on it, the controls left as they were.
void TestSaveVerify::saveAgainstTestLoggers_data()
{
    QTest::addColumn<TFaultMode>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");  // empty: where it was
    QTest::addColumn<bool>("verified");

    QTest::newRow("keeps what it is sent") << TFaultMode::None << "Save Success" << "" << true;
    QTest::newRow("acknowledges and keeps nothing")
        << TFaultMode::NotStored
        << "The logger did not keep what was saved. Log Interval: sent { H = \"0\", M = \"15\", S = \"0\" }, the logger "
           "holds { H = \"0\", M = \"5\", S = \"0\" }."
        << "cbbLogIntervalM" << false;
    QTest::newRow("keeps a byte wrong")
        << TFaultMode::WrongByte
        << "The logger did not keep what was saved. Log Interval: sent { H = \"0\", M = \"15\", S = \"0\" }, the logger "
           "holds { H = \"0\", M = \"16\", S = \"0\" }."
        << "cbbLogIntervalM" << false;
}

void TestSaveVerify::saveAgainstTestLoggers()
{
    QFETCH(TFaultMode, fault);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(bool, verified);

    const QString folder = FRuntime->FilePath(QStringLiteral("station"));
    Station(QStringLiteral("audit_log = \"%1/audit.jsonl\"\noperator = \"tech1\"\nbackup_folder = \"%1/backups\"\n")
                .arg(folder));
    QVERIFY(QDir().mkpath(folder));
    auto logger = StartLogger(Port);
    const TFrameBuffer before = logger->ParameterRecord();
    TTestWindow w;
    QVERIFY(w.ReadFromLogger());
    logger->SetFaultMode(fault);
    w.Get<QComboBox>(QStringLiteral("cbbLogIntervalM"))->setCurrentIndex(15);
    QWidget *start = w.Get(QStringLiteral("edtServiceLife"));
    start->setFocus();
    const qsizetype shown = w.Prompts.size();

    w.Click("imgSave");
    QTRY_VERIFY_WITH_TIMEOUT(w.Prompts.size() > shown, 10000);
    QCOMPARE(w.Prompts.mid(shown), QStringList{message});
    QCOMPARE(w.LastLook(), verified ? QStringLiteral("Prompt, information") : QStringLiteral("Prompt, warning"));
    QCOMPARE(w.Window.focusWidget(), focus.isEmpty() ? start : w.Get(focus));
    // Not refilled from what the logger holds: Save can be pressed again.
    QCOMPARE(w.Get<QComboBox>(QStringLiteral("cbbLogIntervalM"))->currentIndex(), 15);

    // What the logger held before, in the station's folder, as loggerctl keeps it.
    QVERIFY2(w.Window.LastBackup().startsWith(folder + QStringLiteral("/backups/A05123456-")),
             qPrintable(w.Window.LastBackup()));
    const TSettingsFile backup = LoadSettingsFile(w.Window.LastBackup());
    QCOMPARE(backup.Kind, TSettingsFileKind::Backup);
    QVERIFY(backup.Record == before);

    TAuditContents log;
    QString error;
    QVERIFY2(ReadAuditLog(folder + QStringLiteral("/audit.jsonl"), &log, &error), qPrintable(error));
    // The intent before the frame, the result after it, as loggerctl write --audit keeps them.
    QCOMPARE(log.Records.size(), 2u);
    QCOMPARE(log.Records[0].Kind, TAuditKind::Intent);
    QCOMPARE(log.Records[1].Kind, TAuditKind::Result);
    QCOMPARE(log.Records[1].Intent, log.Records[0].Sequence);
    QCOMPARE(log.Records[1].Verified, verified);
    for (const TAuditRecord &r : log.Records) {
        QCOMPARE(r.Operator, QStringLiteral("tech1"));
        QCOMPARE(r.SerialNumber, QStringLiteral("A05123456"));
        QVERIFY(r.Program.startsWith(QStringLiteral("tst_saveverify")));
    }
    QCOMPARE(log.Records[0].Changes.size(), 1u);
    QCOMPARE(log.Records[0].Changes.front().Name, std::string("Log Interval"));
}

// The read-back of a slow logger takes a while: the window stays responsive,
// and Read and Save pressed meanwhile do nothing.
void TestSaveVerify::pressesDuringTheReadBackAreDropped()
{
    auto logger = StartLogger(Port);
    TTestWindow w;
    QVERIFY(w.ReadFromLogger());
    logger->SetAnswerDelay(std::chrono::milliseconds(1200));
    const qsizetype shown = w.Prompts.size();
    w.Click("imgSave");
    // The acknowledgement, then the read-back's probe.
    QTRY_COMPARE_WITH_TIMEOUT(logger->ReceivedFrames().size(), 3u, 10000);
    w.Click("imgRead");
    w.Click("imgSave");
    QTRY_VERIFY_WITH_TIMEOUT(w.Prompts.size() > shown, 10000);
    QCOMPARE(w.Prompts.mid(shown), QStringList{QStringLiteral("Save Success")});
    QTest::qWait(500);
    QCOMPARE(logger->ReceivedFrames().size(), 3u);
    QCOMPARE(WriteFrames(*logger), 1u);
}

// A file opened, or dropped, while the search is under way stops the search
// and says so: the logger's record never replaces the file's values unseen.
void TestSaveVerify::fileDuringARead_data()
{
    QTest::addColumn<bool>("dropped");
    QTest::newRow("opened") << false;
    QTest::newRow("dropped") << true;
}

void TestSaveVerify::fileDuringARead()
{
    QFETCH(bool, dropped);
    auto logger = StartLogger(Port);
    TSettingsFile file;
    TFrameBuffer other = logger->ParameterRecord();
    other[18] = 30;  // a 30-minute interval
    SealRecord(other);
    file.Values = RecordSettings(other);
    const QString path = FRuntime->FilePath(QStringLiteral("thirty.toml"));
    SaveTextFile(path, WriteSettingsFile(file));

    TTestWindow w;
    w.Window.SetSearchPeriod(3000);  // the first tick asks the logger after 3 s
    w.Click("imgRead");
    if (dropped) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w.Window, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w.Window, &drop);
    } else {
        w.Window.OpenSettingsFile(path);
    }
    QCOMPARE(w.Prompts.size(), 2);
    QVERIFY2(w.Prompts[0].startsWith(QLatin1String("The search for the logger was stopped to open the file.")),
             qPrintable(w.Prompts[0]));
    QVERIFY2(w.Prompts[1].contains(QLatin1String("settings changed; nothing is sent to the logger until Save.")),
             qPrintable(w.Prompts[1]));
    QTest::qWait(4000);
    QCOMPARE(w.Prompts.size(), 2);
    QCOMPARE(w.Get<QComboBox>(QStringLiteral("cbbLogIntervalM"))->currentIndex(), 30);
    QVERIFY(logger->ReceivedFrames().empty());
}

// Ctrl+E exports and Ctrl+A selects all, whichever control has the focus.
void TestSaveVerify::windowKeysWhereverTheFocusIs_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("an edit") << "edtServiceLife";
    QTest::newRow("a number's edit") << "edtCalibrationTemp";
    QTest::newRow("the memo") << "mmoTripInfo";
    QTest::newRow("a list") << "cbbTimeZone";
    QTest::newRow("a radio button") << "rbC";
}

void TestSaveVerify::windowKeysWhereverTheFocusIs()
{
    QFETCH(QString, control);
    auto logger = StartLogger(Port);
    TTestWindow w;
    QVERIFY(w.ReadFromLogger());
    int asked = 0;
    w.Window.AskSettingsPath = [&](bool save, const QString &) {
        asked += save;
        return QString();
    };
    QWidget *focus = w.Get(control);
    focus->setEnabled(true);
    focus->setFocus();
    w.Window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.Window));
    QTest::keyClick(focus, Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(asked, 1);
    if (auto *edit = qobject_cast<QLineEdit *>(focus)) {
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(edit->selectedText(), edit->text());
        QVERIFY(!edit->text().isEmpty());
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(focus)) {
        QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(memo->textCursor().selectedText(), memo->toPlainText());
    }
}

void TestSaveVerify::brokenStationFileIsSaidAtStartUp()
{
    const QString path = Station(QStringLiteral("audit-log = \"x\"\n"));
    TTestWindow w;
    QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.size(), 1, 5000);
    QVERIFY2(w.Prompts[0].startsWith(QDir::toNativeSeparators(path) + QStringLiteral(":1: audit-log: unknown key")),
             qPrintable(w.Prompts[0]));
    QCOMPARE(w.LastLook(), QStringLiteral("Prompt, warning"));
    QVERIFY(w.Window.Station().AuditLog.isEmpty());
}

// The window prints the page loggerctl prints: after a Save that was read
// back, that write's, with the audit record the station keeps.
void TestSaveVerify::printsTheConfigurationRecordOfTheLastSave()
{
    const QString folder = FRuntime->FilePath(QStringLiteral("station"));
    QVERIFY(QDir().mkpath(folder));
    Station(QStringLiteral("audit_log = \"%1/audit.jsonl\"\noperator = \"tech1\"\n").arg(folder));
    auto logger = StartLogger(Port);
    TTestWindow w;
    const QString pdf = FRuntime->FilePath(QStringLiteral("record"));
    w.Window.AskRecordPath = [&](const QString &) { return pdf; };
    QVERIFY(w.ReadFromLogger());
    w.Get<QComboBox>(QStringLiteral("cbbLogIntervalM"))->setCurrentIndex(15);
    w.Click("imgSave");
    QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.last(), QStringLiteral("Save Success"), 10000);

    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5), w.Window.mapToGlobal(QPoint(5, 5)));
    QTimer::singleShot(0, &w.Window, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        for (QAction *action : menu ? menu->actions() : QList<QAction *>{})
            if (action->text() == QLatin1String("Print configuration record..."))
                action->trigger();
        if (menu)
            menu->close();
    });
    QApplication::sendEvent(&w.Window, &request);
    QTRY_VERIFY_WITH_TIMEOUT(w.Prompts.last().startsWith(QLatin1String("The configuration record was printed to")), 10000);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf + QStringLiteral(".pdf"), QStringLiteral("-")});
    QVERIFY(text.waitForFinished());
    const QString page = QString::fromUtf8(text.readAllStandardOutput());
    for (const char *part : {"Configuration record A05123456", "tech1", "0 h 15 min 0 s", "Audit record",
                             "verified: every setting read back as asked"})
        QVERIFY2(page.contains(QLatin1String(part)), part);
}

// One station, two faces, one sealed log: the window's Save and a loggerctl
// write in between Saves append to the same chain, each sealed in its turn.
void TestSaveVerify::windowAndLoggerctlSealOneLog()
{
    const QString folder = FRuntime->FilePath(QStringLiteral("station"));
    QVERIFY(QDir().mkpath(folder));
    const QString log = folder + QStringLiteral("/audit.jsonl");
    Station(QStringLiteral("audit_log = \"%1\"\noperator = \"tech1\"\nbackup_folder = \"%2/backups\"\n").arg(log, folder));
    const auto loggerctl = [](const QStringList &arguments) {
        QProcess process;
        process.start(QStringLiteral(LOGGERCTL), arguments);
        if (!process.waitForFinished(60000))
            process.kill();
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
    };
    const auto [made, key] = loggerctl({QStringLiteral("audit"), QStringLiteral("init"), log});
    QVERIFY2(made == 0, qPrintable(key));

    auto logger = StartLogger(Port);
    TTestWindow w;
    QVERIFY(w.ReadFromLogger());
    w.Get<QComboBox>(QStringLiteral("cbbLogIntervalM"))->setCurrentIndex(15);
    w.Click("imgSave");
    QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.last(), QStringLiteral("Save Success"), 10000);

    TSettingsFile file;
    file.Values = RecordSettings(logger->ParameterRecord());
    std::string text = WriteSettingsFile(file);
    QVERIFY(text.find("M = \"15\"") != std::string::npos);
    text.replace(text.find("M = \"15\""), 8, "M = \"20\"");
    const QString settings = folder + QStringLiteral("/twenty.toml");
    SaveTextFile(settings, text);
    const auto [wrote, said] = loggerctl({QStringLiteral("write"), settings, QStringLiteral("--port"), Port});
    QVERIFY2(wrote == 0, qPrintable(said));

    w.Get<QComboBox>(QStringLiteral("cbbLogIntervalM"))->setCurrentIndex(25);
    const qsizetype shown = w.Prompts.size();
    w.Click("imgSave");
    QTRY_VERIFY_WITH_TIMEOUT(w.Prompts.size() > shown, 10000);
    QCOMPARE(w.Prompts.last(), QStringLiteral("Save Success"));

    // The key's first line alone: the advice went to stderr, read with it here.
    const auto [checked, verdict] = loggerctl({QStringLiteral("audit"), QStringLiteral("verify"), log,
                                               QStringLiteral("--key"), key.section(u'\n', 0, 0).trimmed()});
    QVERIFY2(checked == 0 && verdict.contains(QLatin1String("chain and seals intact, 7 records")), qPrintable(verdict));
    TAuditContents contents;
    QString error;
    QVERIFY2(ReadAuditLog(log, &contents, &error), qPrintable(error));
    QStringList programs;
    for (const TAuditRecord &r : contents.Records)
        programs << r.Program.section(u' ', 0, 0);
    QCOMPARE(programs, (QStringList{"loggerctl", "tst_saveverify", "tst_saveverify", "loggerctl", "loggerctl",
                                    "tst_saveverify", "tst_saveverify"}));
}

QTEST_MAIN(TestSaveVerify)
#include "tst_saveverify.moc"
