#include "ParamterFrm.h"

#include "AboutUnt.h"
#include "Comm.h"
#include "Image.h"
#include "ManualPath.h"
#include "ParamterControls.h"
#include "Prompt.h"
#include "ZoneClock.h"
#include "ui_ParamterFrm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>
#include <QWindow>

namespace {

void ShowPressed(TImage *pressed)
{
    pressed->show();
    pressed->raise();
}

} // namespace

void TParamter::imgReadMouseDown() { ShowPressed(ui->imgRead0); }
void TParamter::imgSaveMouseDown() { ShowPressed(ui->imgSave0); }
void TParamter::imgBackMouseDown() { ShowPressed(ui->imgBack0); }

void TParamter::imgMinClick()
{
    showMinimized();
}

void TParamter::imgCloseClick()
{
    if (!ConfirmQuit())
        return;
    FCloseConfirmed = true;
    close();
}

// Asks, then lets go of the port; true when the program is to end.
bool TParamter::ConfirmQuit()
{
    if (!Prompt::Show(this, TPromptKind::Confirm, QStringLiteral("Are you sure you want to quit the system?")))
        return false;
    ClosePortAndWait();
    return true;
}

void TParamter::closeEvent(QCloseEvent *event)
{
    // A close from the window manager (Alt+F4, the taskbar) asks like the close button.
    if (!FCloseConfirmed)
        FCloseConfirmed = ConfirmQuit();
    event->setAccepted(FCloseConfirmed);
}

void TParamter::imgAboutClick()
{
    TAboutFrm about(this);
    // The overlay dims the background and the image buttons; the groups stay
    // above it, in their own order.
    ui->imgTran->show();
    ui->imgTran->raise();
    for (QGroupBox *group : findChildren<QGroupBox *>(Qt::FindDirectChildrenOnly))
        group->raise();
    about.exec();
    ui->imgTran->hide();
}

void TParamter::imgHelpClick()
{
    // Nothing is reported when the manual is missing or no viewer can open it.
    QDesktopServices::openUrl(QUrl::fromLocalFile(ManualPath(QCoreApplication::applicationDirPath())));
}

void TParamter::img1MouseMove(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QEventPoint &point = event->points().first();
    if (point.pressTimestamp() != FDragPressTime) {
        // Each press starts one drag. Where the window manager offers no
        // move-by-mouse (a bare X server has none), the window follows the
        // mouse itself, anchored where the button went down.
        FDragPressTime = point.pressTimestamp();
        FDragging = !(windowHandle() && windowHandle()->startSystemMove());
        FDragOffset = point.globalPressPosition().toPoint() - pos();
    }
    if (FDragging)
        move(event->globalPosition().toPoint() - FDragOffset);
}

void TParamter::tmrSysTimeTimer()
{
    // The true UTC plus the zone's offset: the local clock corrected by the
    // zone's standard bias alone runs an hour off in summer. One reading serves
    // date and time alike, so the two cannot straddle midnight.
    const auto utc = std::chrono::system_clock::time_point(std::chrono::milliseconds(CurrentUtc().toMSecsSinceEpoch()));
    SetSystemTime(*FControls, ZoneClock(utc, ui->cbbTimeZone->currentIndex()));
}
