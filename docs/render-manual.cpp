// Renders the Markdown user manual into the PDF that the window's Help button
// opens: render-manual <manual.md> <Help.pdf>

#include "ManualRenderer.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    const bool platformGiven = qEnvironmentVariableIsSet("QT_QPA_PLATFORM")
                               || std::any_of(argv, argv + argc, [](const char *a) { return qstrcmp(a, "-platform") == 0; });
    if (!platformGiven)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: render-manual <manual.md> <output.pdf>\n");
        return 2;
    }
    QFile input(args.at(1));
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "render-manual: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }

    TManualRenderer renderer(args.at(2));
    QTextDocument &doc = renderer.Document();
    doc.setBaseUrl(QUrl::fromLocalFile(QFileInfo(args.at(1)).absolutePath() + QLatin1Char('/')));
    doc.setMarkdown(QString::fromUtf8(input.readAll()), QTextDocument::MarkdownDialectGitHub);
    renderer.Layout();
    QString error;
    if (!renderer.Write(&error)) {
        std::fprintf(stderr, "render-manual: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
