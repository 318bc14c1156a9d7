#include "Image.h"

#include <QFile>
#include <QMouseEvent>

TImage::TImage(QWidget *parent)
    : QLabel(parent)
{
    setScaledContents(true);
    setMouseTracking(true);
}

void TImage::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        FLeftPressed = true;
    emit MouseDown(event->button());
}

void TImage::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool click = FLeftPressed && rect().contains(event->position().toPoint());
    FLeftPressed = false;
    if (click)
        emit Click();
}

void TImage::mouseMoveEvent(QMouseEvent *event)
{
    emit MouseMove(event);
}

void TImage::SetPicture(const QString &path)
{
    FPicture = path;
    FPictureRatio = 0;
    ShowPictureFor(devicePixelRatioF());
}

QPixmap TImage::LoadPicture(const QString &path, qreal devicePixelRatio)
{
    // Qt's own look-up of "@Nx" files serves icons, not pixmaps; and it only
    // knows whole ratios, so a 1.5 screen gets the 2x picture, scaled down.
    if (devicePixelRatio > 1) {
        QString dense = path;
        const qsizetype dot = dense.lastIndexOf(QLatin1Char('.'));
        dense.insert(dot < 0 ? dense.size() : dot, QStringLiteral("@2x"));
        if (QFile::exists(dense)) {
            QPixmap pixmap(dense);
            pixmap.setDevicePixelRatio(2);
            return pixmap;
        }
    }
    return QPixmap(path);
}

void TImage::ShowPictureFor(qreal devicePixelRatio)
{
    if (FPicture.isEmpty() || devicePixelRatio == FPictureRatio)
        return;
    FPictureRatio = devicePixelRatio;
    setPixmap(LoadPicture(FPicture, devicePixelRatio));
}

void TImage::paintEvent(QPaintEvent *event)
{
    // The window may have moved to a screen of another density since the
    // picture was set.
    ShowPictureFor(devicePixelRatioF());
    QLabel::paintEvent(event);
}
