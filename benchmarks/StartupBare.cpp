// The least a Qt program does to show a window of loggercfg's size: the yardstick
// for loggercfg's start-up.
#include "FirstFrame.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setFixedSize(1388, 789);
    TFirstFrame firstFrame(window);
    window.show();
    return QApplication::exec();
}
