#include "Image.h"

#include "skin/pngruns.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResource>
#include <QShortcut>
#include <QTimer>

#include <utility>

namespace {

constexpr int KeyClickMs = 100;

// An image button as screen readers see it: a push button whose press action
// is the keyboard's click.
class TImageButtonAccessible : public QAccessibleWidget
{
public:
    explicit TImageButtonAccessible(TImage *image)
        : QAccessibleWidget(image, QAccessible::Button)
    {
    }

    QStringList actionNames() const override
    {
        if (!static_cast<const TImage *>(widget())->TakesPresses())
            return {};
        return {pressAction()};
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction())
            static_cast<TImage *>(widget())->ClickByKey();
    }
};

QAccessibleInterface *ImageButtonAccessible(const QString &className, QObject *object)
{
    if (className != QLatin1String("TImage"))
        return nullptr;
    auto *image = static_cast<TImage *>(object);
    return image->IsButton() ? new TImageButtonAccessible(image) : nullptr;
}

// The file that holds the picture at path for a screen of the given ratio,
// and the ratio that file is drawn for. Qt's own look-up of "@Nx" files
// serves icons, not pixmaps; and it only knows whole ratios, so a 1.5 screen
// gets the 2x picture, scaled down.
std::pair<QString, qreal> PictureFile(const QString &path, qreal devicePixelRatio)
{
    if (devicePixelRatio > 1) {
        QString dense = path;
        const qsizetype dot = dense.lastIndexOf(QLatin1Char('.'));
        dense.insert(dot < 0 ? dense.size() : dot, QStringLiteral("@2x"));
        if (QFile::exists(dense))
            return {dense, 2};
    }
    return {path, 1};
}

// The picture in file, drawn for screens of the given ratio, as a pixmap.
QPixmap PixmapOf(const QString &file, qreal fileRatio)
{
    QPixmap pixmap = QPixmap::fromImage(ReadPicture(file));
    pixmap.setDevicePixelRatio(fileRatio);
    return pixmap;
}

QString KeyList(const QList<QKeySequence> &keys)
{
    QStringList texts;
    for (const QKeySequence &key : keys)
        texts << key.toString(QKeySequence::NativeText);
    return texts.join(QStringLiteral(", "));
}

} // namespace

QImage ReadPicture(const QString &file)
{
    const QResource resource(file);
    if (resource.isValid()) {
        const QImage runs = skin::ImageFromRuns(resource.uncompressedData());
        if (!runs.isNull())
            return runs;
    }
    QImageReader reader(file, QFileInfo(file).suffix().toLatin1());
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    return image.isNull() ? QImage(file) : image;
}

TImage::TImage(QWidget *parent)
    : QLabel(parent)
{
    setScaledContents(true);
    setMouseTracking(true);
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(ImageButtonAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
}

void TImage::MakeButton(const QString &name, const QString &description, const QList<QKeySequence> &keys,
                        const QList<QKeySequence> &desktopKeys)
{
    FButton = true;
    setAccessibleName(name);
    setAccessibleDescription(description);
    const QString named = KeyList(keys + desktopKeys);
    setToolTip(named.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, named));
    for (const QKeySequence &key : keys) {
        // A shortcut follows its image: it sleeps while the image is hidden.
        auto *shortcut = new QShortcut(key, this);
        // A held key is one click, not one every repeat.
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, &TImage::ClickByKey);
    }
}

bool TImage::TakesPresses() const
{
    if (!isVisible())
        return false;
    const QWidget *modal = QApplication::activeModalWidget();
    return modal == nullptr || modal == window();
}

void TImage::ClickByKey()
{
    // A screen reader can press what the user cannot: a hidden image, or the
    // main window's buttons behind a box.
    if (FKeyClickPending || !TakesPresses())
        return;
    FKeyClickPending = true;
    emit MouseDown(Qt::NoButton);
    QTimer::singleShot(KeyClickMs, this, [this] {
        FKeyClickPending = false;
        // A box that opened meanwhile runs this timer in its own event loop:
        // the click would run inside it, and whatever the box's opener does
        // when it closes would undo it (a Save inside "Read Success" has its
        // port closed under it). The click is dropped; its pressed look stays,
        // as after a mouse press released elsewhere.
        if (TakesPresses())
            emit Click();
    });
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
    FRects = {};
    if (isVisible())
        ShowPictureFor(devicePixelRatioF());
    else if (!pixmap().isNull())
        setPixmap(QPixmap());
}

QPixmap TImage::LoadPicture(const QString &path, qreal devicePixelRatio)
{
    const auto [file, fileRatio] = PictureFile(path, devicePixelRatio);
    return PixmapOf(file, fileRatio);
}

QIcon ProgramIcon()
{
    return QIcon(TImage::LoadPicture(QStringLiteral(":/skin/icon.png"), qApp->devicePixelRatio()));
}

void TImage::ShowPictureFor(qreal devicePixelRatio)
{
    if (FPicture.isEmpty() || devicePixelRatio == FPictureRatio)
        return;
    FPictureRatio = devicePixelRatio;
    // An opaque picture that fills the control pixel for pixel is painted as
    // the rectangles it is made of: the background's bitmap would be as large
    // as the window's own, and filling it was most of the first frame's
    // picture work. Any other picture is scaled to the control, as a pixmap.
    const auto [file, fileRatio] = PictureFile(FPicture, devicePixelRatio);
    skin::TPictureRects rects;
    if (fileRatio == devicePixelRatio && hasScaledContents()) {
        if (const QResource resource(file); resource.isValid())
            rects = skin::RectsFromRuns(resource.uncompressedData());
    }
    if (!rects.Size.isEmpty() && rects.Size == DeviceSize(devicePixelRatio)) {
        FRects = std::move(rects);
        setPixmap(QPixmap());
        update();
        return;
    }
    FRects = {};
    setPixmap(PixmapOf(file, fileRatio));
}

QSize TImage::DeviceSize(qreal devicePixelRatio) const
{
    return (QSizeF(size()) * devicePixelRatio).toSize();
}

void TImage::showEvent(QShowEvent *event)
{
    // Shown, the control knows its screen: the picture is decoded once, for
    // that screen's density, before the first paint.
    ShowPictureFor(devicePixelRatioF());
    QLabel::showEvent(event);
}

void TImage::paintEvent(QPaintEvent *event)
{
    // The window may have moved to a screen of another density since the
    // picture was set, or the control may have another size.
    const qreal ratio = devicePixelRatioF();
    if (!FRects.Size.isEmpty() && FRects.Size != DeviceSize(ratio))
        FPictureRatio = 0;
    ShowPictureFor(ratio);
    if (FRects.Size.isEmpty())
        QLabel::paintEvent(event);
    else
        PaintRects(event->rect());
}

void TImage::PaintRects(const QRect &area)
{
    QPainter painter(this);
    // The rectangles are in the picture's pixels, which are the screen's.
    painter.scale(1 / FPictureRatio, 1 / FPictureRatio);
    const QRect pixels = QRectF(QPointF(area.topLeft()) * FPictureRatio, QSizeF(area.size()) * FPictureRatio)
                             .toAlignedRect();
    for (const skin::TColourRect &rect : std::as_const(FRects.Rects)) {
        // In the order of their top rows: none further down reaches the area.
        if (rect.Rect.top() > pixels.bottom())
            break;
        const QRect part = rect.Rect.intersected(pixels);
        if (!part.isEmpty())
            painter.fillRect(part, QColor::fromRgb(rect.Colour));
    }
}
