#include "Image.h"
#include "ShownWindow.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

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

QString Simplified(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
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
    void manualIsReadableA4();
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
    const QString text = Simplified(Run(QStringLiteral("pdftotext"), {HelpPdf, QStringLiteral("-")}));
    for (const QString &heading : headings)
        QVERIFY2(text.contains(heading), qPrintable(heading));
}

// Body text of about 11 points on A4 pages: the words' boxes are measured.
void TestHelp::manualIsReadableA4()
{
    const QString info = Run(QStringLiteral("pdfinfo"), {HelpPdf});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+595[.\\d]* x 84[12][.\\d]* pts"))), qPrintable(info));

    const QString boxes = Run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), HelpPdf, QStringLiteral("-")});
    const QRegularExpression word(QStringLiteral("yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\""));
    QList<double> heights;
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const auto match = it.next();
        heights << match.captured(2).toDouble() - match.captured(1).toDouble();
    }
    QVERIFY(heights.size() > 1000);
    std::sort(heights.begin(), heights.end());
    const double median = heights.at(heights.size() / 2);
    QVERIFY2(median > 9 && median < 16, qPrintable(QString::number(median)));
    QVERIFY2(heights.last() > 1.6 * median, "headings are larger than the body");
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
