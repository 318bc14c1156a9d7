#include "Image.h"
#include "ParamterFrm.h"
#include "SerialPortList.h"
#include "StationEnvironment.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    PrepareStationEnvironment();
    // Before the application, whose platform looks for the same directory;
    // the window has no console to say more on.
    SettleRuntimeDirectory();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("loggercfg"));
    QApplication::setApplicationVersion(QStringLiteral(LOGGERCFG_VERSION));
    // Lets a Wayland desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(LOGGERCFG_APP_ID));
    QApplication::setWindowIcon(ProgramIcon());
    TParamter Paramter;
    Paramter.show();
    return QApplication::exec();
}
