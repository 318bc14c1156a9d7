#include "E2eSupport.h"
#include "ParameterLayout.h"
#include "SettingsFile.h"

#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

// The window and loggerctl are two faces of one parameter model: settings
// exported from the window and written by loggerctl reach a logger byte for
// byte as the window's own Save sends them, and read back as the same file.
// CTest runs this in a point and a comma locale.
class TestFilesRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void windowFileLoggerFile();
};

namespace {

struct TRun {
    int Status = -1;
    QString Out, Err;
};

TRun Loggerctl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(LOGGERCTL), arguments);
    TRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.Status = process.exitCode();
    run.Out = QString::fromUtf8(process.readAllStandardOutput());
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TFrameBuffer LastWriteFrame(const TLoggerEmulator &logger)
{
    TFrameBuffer frame {};
    for (const auto &block : logger.ReceivedFrames())
        if (block.size() == frame.size() && block[2] == CmdParameterWrite)
            std::copy(block.begin(), block.end(), frame.begin());
    return frame;
}

// Everything a save writes but the logger's new clock.
QString Parameters(const TFrameBuffer &frame)
{
    QByteArray bytes(reinterpret_cast<const char *>(frame.data()), int(frame.size()));
    bytes.replace(int(Offset::SystemTime), 6, QByteArray(6, 0));
    return QString::fromLatin1(bytes.mid(4, 198).toHex(' '));
}

TSettingValues ReadFile(const QString &text)
{
    return ReadSettingsFile(text.toStdString(), "file").Values;
}

} // namespace

void TestFilesRoundTrip::windowFileLoggerFile()
{
    TPrivateRuntime runtime;
    QTemporaryDir files;
    QVERIFY(files.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(files.filePath(QStringLiteral("data"))));
    const QString decimal = QLocale::system().decimalPoint();
    auto first = StartLogger(TestPortPrefix + QStringLiteral("1"));

    TTestWindow w;
    QVERIFY(w.ReadFromLogger());
    // Every byte of the frame chosen by what the window shows: a start time,
    // a password and the single-alarm rows; hidden settings changed from code.
    w.Get<QComboBox>(QStringLiteral("cbbStartMode"))->setCurrentIndex(2);
    w.Get<QComboBox>(QStringLiteral("cbbStartTimeY"))->setCurrentIndex(9);
    w.Get<QComboBox>(QStringLiteral("cbbStartTimeS"))->setCurrentIndex(45);
    w.Get<QComboBox>(QStringLiteral("cbbLogIntervalM"))->setCurrentIndex(30);
    w.Get<QComboBox>(QStringLiteral("cbbTimeZone"))->setCurrentIndex(31);
    w.Get<QComboBox>(QStringLiteral("cbbStopMode"))->setCurrentIndex(1);
    w.Get<QComboBox>(QStringLiteral("cbbPasswordStartup"))->setCurrentIndex(1);
    w.Get<QLineEdit>(QStringLiteral("edtPassword"))->setText(QStringLiteral("Zz9Yy8"));
    w.Get<QLineEdit>(QStringLiteral("edtSingleL1"))->setText(QStringLiteral("-12") + decimal + QStringLiteral("50"));
    w.Get<QComboBox>(QStringLiteral("cbbSingleL1"))->setCurrentIndex(1);

    w.Click("imgSave");
    QTRY_COMPARE_WITH_TIMEOUT(w.Prompts.last(), QStringLiteral("Save Success"), 10000);
    const TFrameBuffer saved = LastWriteFrame(*first);

    const QString path = files.filePath(QStringLiteral("exported.toml"));
    w.Window.AskSettingsPath = [&](bool, const QString &) { return path; };
    w.Window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.Window));
    QTest::keyClick(&w.Window, Qt::Key_E, Qt::ControlModifier);
    QFile exported(path);
    QVERIFY2(exported.open(QIODevice::ReadOnly), qPrintable(w.Prompts.join(QLatin1Char('|'))));
    const QString text = QString::fromUtf8(exported.readAll());
    QVERIFY2(text.contains(QLatin1String("\"-12.50\"")), "a point in the file, whatever the locale");

    // A second logger fresh from the box takes the file as a template.
    auto second = StartLogger(TestPortPrefix + QStringLiteral("2"));
    const QString port = QString::fromStdString(second->PortName());
    const TRun write = Loggerctl({QStringLiteral("write"), path, QStringLiteral("--port"), port});
    QVERIFY2(write.Status == 0, qPrintable(write.Err));
    QCOMPARE(Parameters(LastWriteFrame(*second)), Parameters(saved));

    const TRun read = Loggerctl({QStringLiteral("read"), QStringLiteral("--port"), port});
    QVERIFY2(read.Status == 0, qPrintable(read.Err));
    QCOMPARE(ReadFile(read.Out), ReadFile(text));
}

QTEST_MAIN(TestFilesRoundTrip)
#include "tst_filesroundtrip.moc"
