#include "Image.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QMouseEvent>
#include <QShortcut>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <tuple>
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

// The pictures are named by their format. Left to find the format itself, a
// reader first loads every image plugin to ask it, though Qt reads PNG itself.
QImage ReadPicture(const QString &file)
{
    QImageReader reader(file, QFileInfo(file).suffix().toLatin1());
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    return image.isNull() ? QImage(file) : image;
}

QPixmap ToPixmap(QImage image, qreal ratio)
{
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

// One thread beside the GUI thread decodes the pictures of a window being
// built, in the order they are set, while the GUI thread builds the window's
// controls; the background alone takes as long to decode as the controls take
// to build. The hand-over goes through standard locks, which ThreadSanitizer
// sees, where a Qt pool's, in a library built without it, would have every
// picture reported as a race. A Qt thread rather than a bare one, and ended
// while the application object still stands: reading a picture leaves Qt's
// per-thread state in the thread, and a bare thread ending at the program's
// exit tore that state down after the application had gone, which brought
// the Windows program down as it closed.
class TDecodingThread final : public QThread
{
public:
    ~TDecodingThread() override
    {
        {
            const std::lock_guard lock(FMutex);
            FStopping = true;
            // Nobody waits for a picture any more: a decoding not begun is dropped.
            FTasks.clear();
            FWake.notify_one();
        }
        std::unique_lock lock(FMutex);
        FWake.wait(lock, [this] { return !FRunning; });
        lock.unlock();
        wait();
    }

    void Decode(std::function<void()> task)
    {
        const std::lock_guard lock(FMutex);
        FTasks.push_back(std::move(task));
        if (!FRunning) {
            FRunning = true;
            start();
        }
        FWake.notify_one();
    }

protected:
    void run() override
    {
        std::unique_lock lock(FMutex);
        for (;;) {
            FWake.wait(lock, [this] { return FStopping || !FTasks.empty(); });
            if (FStopping)
                break;
            const std::function<void()> task = std::move(FTasks.front());
            FTasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
        // The last touch of this object's members, under the lock the
        // destructor takes before it frees them.
        FRunning = false;
        FWake.notify_all();
    }

private:
    std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<std::function<void()>> FTasks;
    bool FStopping = false;
    bool FRunning = false;
};

TDecodingThread *DecodingThread = nullptr;

void StopDecoding()
{
    delete std::exchange(DecodingThread, nullptr);
}

void Decode(std::function<void()> task)
{
    if (DecodingThread == nullptr) {
        DecodingThread = new TDecodingThread;
        // Run as the application object is destroyed, before the program exits.
        qAddPostRoutine(StopDecoding);
    }
    DecodingThread->Decode(std::move(task));
}

QString KeyList(const QList<QKeySequence> &keys)
{
    QStringList texts;
    for (const QKeySequence &key : keys)
        texts << key.toString(QKeySequence::NativeText);
    return texts.join(QStringLiteral(", "));
}

} // namespace

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

struct TImage::TDecoding {
    qreal Ratio = 0;      // of the screen it is decoded for
    qreal FileRatio = 1;  // of the file it is decoded from
    std::future<QImage> Image;
};

void TImage::SetPicture(const QString &path)
{
    FPicture = path;
    FPictureRatio = 0;
    FDecoding.reset();
    if (isVisible()) {
        ShowPictureFor(devicePixelRatioF());
        return;
    }
    if (!pixmap().isNull())
        setPixmap(QPixmap());
    // A control that is not hidden itself shows with its window: its picture
    // is decoded meanwhile, for the screen the window is about to show on.
    if (path.isEmpty() || !isVisibleTo(window()))
        return;
    auto decoding = std::make_shared<TDecoding>();
    decoding->Ratio = devicePixelRatioF();
    QString file;
    std::tie(file, decoding->FileRatio) = PictureFile(path, decoding->Ratio);
    auto task = std::make_shared<std::packaged_task<QImage()>>([file] { return ReadPicture(file); });
    decoding->Image = task->get_future();
    Decode([task] { (*task)(); });
    FDecoding = std::move(decoding);
}

QPixmap TImage::LoadPicture(const QString &path, qreal devicePixelRatio)
{
    const auto [file, fileRatio] = PictureFile(path, devicePixelRatio);
    return ToPixmap(ReadPicture(file), fileRatio);
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
    const std::shared_ptr<TDecoding> decoding = std::exchange(FDecoding, nullptr);
    QImage decoded;
    if (decoding && decoding->Ratio == devicePixelRatio) {
        try {
            decoded = decoding->Image.get();
        } catch (const std::future_error &) {
            // The decoding thread ended before it came to this picture.
        }
    }
    if (!decoded.isNull())
        setPixmap(ToPixmap(std::move(decoded), decoding->FileRatio));
    else
        setPixmap(LoadPicture(FPicture, devicePixelRatio));
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
    // picture was set.
    ShowPictureFor(devicePixelRatioF());
    QLabel::paintEvent(event);
}
