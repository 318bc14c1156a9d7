#include "Image.h"
#include "ShownWindow.h"

#include <QDesktopServices>
#include <QFile>
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

QString Run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList ManualHeadings()
{
    QFile manual(QStringLiteral(LOGGERCFG_MANUAL));
    if (!manual.open(QIODevice::ReadOnly))
        qFatal("cannot read the manual");
    QStringList headings;
    bool inCode = false;
    for (const QString &line : QString::fromUtf8(manual.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("```")))
            inCode = !inCode;
        else if (!inCode && line.startsWith(QLatin1Char('#')))
            headings << line.section(QLatin1Char(' '), 1).trimmed();
    }
    return headings;
}

const QString HelpPdf = QStringLiteral(LOGGERCFG_PROGRAM_DIR "/Help.pdf");

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

void TestHelp::manualHoldsEveryHeading()
{
    QVERIFY(QFile::exists(HelpPdf));
    const QStringList headings = ManualHeadings();
    QVERIFY(headings.size() >= 10);
    const QString text = Run(QStringLiteral("pdftotext"), {HelpPdf, QStringLiteral("-")})
                             .replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
    for (const QString &heading : headings)
        QVERIFY2(text.contains(heading), qPrintable(heading));
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
