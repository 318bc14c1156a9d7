#include "ParamterFrm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("loggercfg"));
    TParamter Paramter;
    Paramter.show();
    return QApplication::exec();
}
