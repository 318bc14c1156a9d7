#pragma once

#include <QLabel>

// An image control: shows a picture (stretched to its size) and reports clicks,
// mouse-downs and mouse moves. A click is a press and release of the left button
// on the same image; a mouse-down is reported for any button.
class TImage : public QLabel
{
    Q_OBJECT

public:
    explicit TImage(QWidget *parent = nullptr);

signals:
    void Click();
    void MouseDown(Qt::MouseButton button);
    void MouseMove(QMouseEvent *event);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    bool FLeftPressed = false;
};
