#include "Image.h"
#include "ManualPath.h"
#include "ShownWindow.h"
#include "UrlCatcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QOperatingSystemVersion>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestHelp : public QObject
{
    Q_OBJECT

private slots:
    void helpOpensTheManualNextToTheProgram();
    void manualPath_data();
    void manualPath();
    void manualHoldsEveryHeading();
};

void TestHelp::helpOpensTheManualNextToTheProgram()
{
    TShownWindow w;
    TUrlCatcher catcher;
    QTest::mouseClick(w.Get<TImage>("imgHelp"), Qt::LeftButton);

    QCOMPARE(catcher.Opened.size(), 1);
    QVERIFY(catcher.Opened.first().isLocalFile());
    QCOMPARE(catcher.Opened.first().toLocalFile(), QCoreApplication::applicationDirPath() + QStringLiteral("/Help.pdf"));
    QVERIFY(w.Prompts.isEmpty());  // a missing manual is not reported
}

void TestHelp::manualPath_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("expected");

    // Paths relative to a prefix whose bin/ holds the program.
    const QString beside = QStringLiteral("bin/Help.pdf");
    const QString installed = QStringLiteral("share/doc/loggercfg/Help.pdf");
    QTest::newRow("beside the program (the Windows folder, a build tree)") << QStringList{beside} << beside;
    QTest::newRow("beside wins over the installed copy") << QStringList{beside, installed} << beside;
    QTest::newRow("installed by a package") << QStringList{installed} << installed;
    QTest::newRow("neither: beside, and nothing is reported") << QStringList{} << beside;
    QTest::newRow("a folder named Help.pdf is no manual") << QStringList{beside + u'/', installed} << installed;
}

void TestHelp::manualPath()
{
    QFETCH(QStringList, present);
    QFETCH(QString, expected);
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    const QDir root(prefix.path());
    QVERIFY(root.mkpath(QStringLiteral("bin")));
    for (const QString &path : present) {
        if (path.endsWith(u'/')) {
            QVERIFY(root.mkpath(path));
            continue;
        }
        QVERIFY(root.mkpath(QFileInfo(root.filePath(path)).path()));
        QFile file(root.filePath(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(ManualPath(root.filePath(QStringLiteral("bin"))), root.filePath(expected));
}

// The Help.pdf the build put next to the program holds every heading of the
// manual's source (lines in code blocks that start with '#' are no headings).
void TestHelp::manualHoldsEveryHeading()
{
    if (QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows)
        QSKIP("pdftotext is a Linux tool: the Linux build checks the same manual");
    const QString pdf = QStringLiteral(LOGGERCFG_PROGRAM_DIR "/Help.pdf");
    QVERIFY(QFile::exists(pdf));
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY(pdftotext.waitForFinished(30000) && pdftotext.exitStatus() == QProcess::NormalExit && pdftotext.exitCode() == 0);
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput()).replace(QRegularExpression("\\s+"), " ");

    QFile manual(QStringLiteral(LOGGERCFG_MANUAL));
    QVERIFY(manual.open(QIODevice::ReadOnly));
    QStringList headings;
    bool inCode = false;
    for (const QString &line : QString::fromUtf8(manual.readAll()).split(u'\n')) {
        if (line.startsWith(QLatin1String("```")))
            inCode = !inCode;
        else if (!inCode && line.startsWith(u'#'))
            headings << line.section(u' ', 1).trimmed();
    }
    QVERIFY(headings.size() >= 10);
    for (const QString &heading : headings)
        QVERIFY2(text.contains(heading), qPrintable(heading));
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
