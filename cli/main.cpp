#include "Console.h"
#include "GuiApplication.h"
#include "StationEnvironment.h"
#include "Verbs.h"

int main(int argc, char *argv[])
{
    PrepareStationEnvironment();
    Console::Prepare();
    const auto application = MakeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("loggerctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LOGGERCFG_VERSION));
    TContext context;
    context.Program = QStringLiteral("loggerctl " LOGGERCFG_VERSION);
    return RunLoggerctl(QCoreApplication::arguments(), context);
}
