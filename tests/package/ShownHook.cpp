// A Qt plugin that the package tests load into an installed loggercfg, which
// takes no command line and has no test switch: QT_PLUGIN_PATH names the
// folder holding generic/ with this plugin, QT_QPA_GENERIC_PLUGINS=shownhook
// loads it, the same way on Linux and under wine. Once the platform has put
// the first top-level window on screen, it reports the window and where the
// Help button sends the user, then ends the program. The report goes to the
// file named by SHOWN_HOOK_REPORT, one line at a time, since a Windows GUI
// program has no standard output to speak of.

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGenericPlugin>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>

namespace {

void Say(const QString &line)
{
    QFile report(qEnvironmentVariable("SHOWN_HOOK_REPORT"));
    if (report.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        report.write((line + u'\n').toUtf8());
}

class TShownWatcher : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Expose, not Show: a widget is shown before the platform has a
        // surface for it, and start-up can still fail in between.
        if (!FSeen && event->type() == QEvent::Expose) {
            const auto *window = qobject_cast<QWindow *>(watched);
            if (window && window->isExposed()) {
                FSeen = true;
                QTimer::singleShot(0, this, &TShownWatcher::Report);
            }
        }
        return false;
    }

public slots:
    void Open(const QUrl &url) { FOpened << url; }

private:
    void Report()
    {
        QWidget *main = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible())
                main = widget;
        }
        if (!main) {
            Say(QStringLiteral("no visible window"));
            QCoreApplication::exit(3);
            return;
        }
        Say(QStringLiteral("window %1 %2x%3")
                .arg(QLatin1String(main->metaObject()->className()))
                .arg(main->width())
                .arg(main->height()));

        QWidget *help = main->findChild<QWidget *>(QStringLiteral("imgHelp"));
        if (!help) {
            Say(QStringLiteral("no Help button"));
            QCoreApplication::exit(3);
            return;
        }
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open");
        const QPointF centre = QRectF(help->rect()).center();
        const QPointF global = help->mapToGlobal(centre);
        QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(help, &press);
        QCoreApplication::sendEvent(help, &release);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        for (const QUrl &url : FOpened) {
            const QString path = url.toLocalFile();
            Say(QStringLiteral("help %1 %2").arg(path, QFileInfo(path).isFile() ? QStringLiteral("exists")
                                                                              : QStringLiteral("missing")));
        }
        if (FOpened.isEmpty())
            Say(QStringLiteral("help opened nothing"));
        QCoreApplication::exit(0);
    }

    bool FSeen = false;
    QList<QUrl> FOpened;
};

} // namespace

class TShownHookPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "shownhook.json")

public:
    // The application owns and deletes what a generic plugin creates.
    QObject *create(const QString &, const QString &) override
    {
        auto *watcher = new TShownWatcher;
        qApp->installEventFilter(watcher);
        Say(QStringLiteral("loaded"));
        return watcher;
    }
};

#include "ShownHook.moc"
