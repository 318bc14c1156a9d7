#include "Console.h"
#include "GuiApplication.h"
#include "StationEnvironment.h"
#include "SerialPortList.h"
#include "Verbs.h"

int main(int argc, char *argv[])
{
    PrepareStationEnvironment();
    Console::Prepare();
    // Before the application, whose platform looks for the same directory.
    const QString portMapProblem = SettleRuntimeDirectory();
    const auto application = MakeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("loggerctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LOGGERCFG_VERSION));
    TContext context;
    context.Program = QStringLiteral("loggerctl " LOGGERCFG_VERSION);
    context.PortMapProblem = portMapProblem;
    return RunLoggerctl(QCoreApplication::arguments(), context);
}
