#include "ParamterFrm.h"

#include "Image.h"
#include "ui_ParamterFrm.h"

void TParamter::InstallKeyboardAccess()
{
    ui->imgRead->MakeButton(QStringLiteral("Read"),
                            QStringLiteral("Finds the logger on the serial ports and reads its settings"),
                            {QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::Key_F5)});
    ui->imgSave->MakeButton(QStringLiteral("Save"),
                            QStringLiteral("Checks the settings and writes them to the logger"),
                            {QKeySequence(Qt::CTRL | Qt::Key_S)});
    ui->imgBack->MakeButton(QStringLiteral("Back"), QStringLiteral("Closes the port and ends the program"), {});
    ui->imgAbout->MakeButton(QStringLiteral("About"), QStringLiteral("Shows the program's name and version"), {});
    ui->imgHelp->MakeButton(QStringLiteral("Help"), QStringLiteral("Opens the user manual"),
                            {QKeySequence(Qt::Key_F1)});
    // The desktop minimises and closes the window with its own keys; closing
    // that way asks first, as the close button does.
    ui->imgMin->MakeButton(QStringLiteral("Minimise"), QStringLiteral("Minimises the window"), {});
    ui->imgClose->MakeButton(QStringLiteral("Close"), QStringLiteral("Asks, then ends the program"), {},
                             {QKeySequence(Qt::ALT | Qt::Key_F4)});
}
