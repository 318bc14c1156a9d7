// loggercfg's own start-up, ended by its first frame.
#include "FirstFrame.h"
#include "ParamterFrm.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("loggercfg"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/skin/icon.png")));
    TParamter Paramter;
    TFirstFrame firstFrame(Paramter);
    Paramter.show();
    return QApplication::exec();
}
