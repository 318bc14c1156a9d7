// loggercfg's own start-up, ended by its first frame.
#include "FirstFrame.h"
#include "Image.h"
#include "ParamterFrm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("loggercfg"));
    QApplication::setWindowIcon(ProgramIcon());
    TParamter Paramter;
    TFirstFrame firstFrame(Paramter);
    Paramter.show();
    return QApplication::exec();
}
