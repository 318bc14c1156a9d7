#include "ParamterFrm.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("loggercfg"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/skin/icon.png")));
    TParamter Paramter;
    Paramter.show();
    return QApplication::exec();
}
