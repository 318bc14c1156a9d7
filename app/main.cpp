#include "ParamterFrm.h"
#include "StationEnvironment.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    PrepareStationEnvironment();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("loggercfg"));
    QApplication::setApplicationVersion(QStringLiteral(LOGGERCFG_VERSION));
    // Lets a Wayland desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(LOGGERCFG_APP_ID));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/skin/icon.png")));
    TParamter Paramter;
    Paramter.show();
    return QApplication::exec();
}
