#include "Image.h"

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
