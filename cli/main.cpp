#include "Console.h"
#include "Verbs.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    Console::Prepare();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("loggerctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LOGGERCFG_VERSION));
    TContext context;
    context.Program = QStringLiteral("loggerctl " LOGGERCFG_VERSION);
    return RunLoggerctl(QCoreApplication::arguments(), context);
}
