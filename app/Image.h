#pragma once

#include <QKeySequence>
#include <QLabel>
#include <QList>
#include <QPixmap>
#include <QString>

#include "skin/pngruns.h"

// An image control: shows a picture (stretched to its size) and reports clicks,
// mouse-downs and mouse moves. A click is a press and release of the left button
// on the same image; a mouse-down is reported for any button.
class QIcon;

// The program's icon: its skin picture, read as the image controls read theirs,
// for the densest screen.
QIcon ProgramIcon();

// A picture read by its file's format: a skin picture from the runs it
// carries, any other by the reader for its suffix. Left to find the format
// itself, a reader first loads every image plugin installed to ask it, though
// Qt reads PNG itself.
QImage ReadPicture(const QString &file);

class TImage : public QLabel
{
    Q_OBJECT
    // A picture given by its path rather than as a pixmap, so that the control
    // can pick the variant drawn for the density of the screen it is on, and
    // decode it only for a control that is shown: a button the window hides
    // or the overlay may never be needed.
    Q_PROPERTY(QString picture READ Picture WRITE SetPicture)

public:
    explicit TImage(QWidget *parent = nullptr);

    QString Picture() const { return FPicture; }
    void SetPicture(const QString &path);
    // Whether the picture has been read for the screen the control is on: not
    // before the control is first shown or painted.
    bool PictureRead() const { return FPictureRatio != 0; }

    // The picture at path as drawn for a screen of the given device pixel
    // ratio: its "@2x" file where the screen is denser than 1 and one exists.
    static QPixmap LoadPicture(const QString &path, qreal devicePixelRatio);

    // Makes the image a button for the keyboard and for screen readers: each
    // of keys acts as a click while the image's window is active, and the
    // tooltip names the action and its keys. desktopKeys are keys that the
    // desktop already handles (Alt+F4); they are named, not bound.
    void MakeButton(const QString &name, const QString &description, const QList<QKeySequence> &keys,
                    const QList<QKeySequence> &desktopKeys = {});
    bool IsButton() const { return FButton; }
    // A click from the keyboard: the pressed look first, as a mouse press
    // shows it, then the click, once the look has had time to be seen.
    void ClickByKey();
    // Whether a key or a screen reader may press the image now: it is shown,
    // and no modal box but its own window's is up.
    bool TakesPresses() const;

signals:
    void Click();
    void MouseDown(Qt::MouseButton button);
    void MouseMove(QMouseEvent *event);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void ShowPictureFor(qreal devicePixelRatio);
    void PaintRects(const QRect &area);
    // The control's size in the pixels of a screen of the given ratio.
    QSize DeviceSize(qreal devicePixelRatio) const;

    bool FLeftPressed = false;
    bool FButton = false;
    bool FKeyClickPending = false;
    QString FPicture;
    qreal FPictureRatio = 0;
    // An opaque picture shown at its own size, as rectangles; otherwise the
    // label's pixmap shows the picture.
    skin::TPictureRects FRects;
};
