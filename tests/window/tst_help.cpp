#include "Image.h"
#include "ShownWindow.h"

#include <QDesktopServices>
#include <QFile>
#include <QOperatingSystemVersion>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

class TUrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> Opened;

public slots:
    void Open(const QUrl &url) { Opened << url; }
};

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

private slots:
    void helpOpensTheManualNextToTheProgram();
    void manualHoldsEveryHeading();
};

void TestHelp::helpOpensTheManualNextToTheProgram()
{
    TShownWindow w;
    TUrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    QTest::mouseClick(w.Get<TImage>("imgHelp"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QCOMPARE(catcher.Opened.size(), 1);
    QVERIFY(catcher.Opened.first().isLocalFile());
    QCOMPARE(catcher.Opened.first().toLocalFile(), QCoreApplication::applicationDirPath() + QStringLiteral("/Help.pdf"));
    QVERIFY(w.Prompts.isEmpty());  // a missing manual is not reported
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
