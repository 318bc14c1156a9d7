#include "ParamterFrm.h"

#include "Guarded.h"
#include "Image.h"
#include "ParamterControls.h"
#include "Prompt.h"
#include "SettingsFile.h"
#include "ui_ParamterFrm.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QSaveFile>
#include <QShortcut>

namespace {

constexpr int ListedChanges = 12;

QString SettingsFilter() { return QStringLiteral("Logger settings (*.toml);;All files (*)"); }

// The one local .toml file a drag carries, or nothing.
QString DraggedSettingsFile(const QMimeData *mime)
{
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1)
        return {};
    const QUrl url = mime->urls().constFirst();
    if (!url.isLocalFile() || !url.toLocalFile().endsWith(QLatin1String(".toml"), Qt::CaseInsensitive))
        return {};
    return url.toLocalFile();
}

QString ChangesText(const std::vector<TSettingDifference> &changes)
{
    if (changes.empty())
        return QStringLiteral("No setting changed: the window already showed these values.");
    QStringList lines;
    for (std::size_t i = 0; i < changes.size() && i < ListedChanges; ++i)
        lines << QStringLiteral("%1: %2").arg(QString::fromStdString(changes[i].Name),
                                              QString::fromStdString(changes[i].New));
    if (changes.size() > ListedChanges)
        lines << QStringLiteral("and %1 more").arg(changes.size() - ListedChanges);
    return QStringLiteral("%1 settings changed; nothing is sent to the logger until Save.\n\n%2")
        .arg(changes.size())
        .arg(lines.join(QLatin1Char('\n')));
}

} // namespace

QString TParamter::AskSettingsPathWithDialog(bool Save, const QString &Suggested)
{
    return Save ? QFileDialog::getSaveFileName(this, QStringLiteral("Export settings"), Suggested, SettingsFilter())
                : QFileDialog::getOpenFileName(this, QStringLiteral("Open settings"), Suggested, SettingsFilter());
}

void TParamter::InstallSettingsActions()
{
    AskSettingsPath = [this](bool Save, const QString &Suggested) { return AskSettingsPathWithDialog(Save, Suggested); };
    auto *open = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    open->setAutoRepeat(false);
    connect(open, &QShortcut::activated, this, [this] { Guarded(this, [this] { OpenSettings(); }); });
    auto *save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this);
    save->setAutoRepeat(false);
    connect(save, &QShortcut::activated, this, [this] { Guarded(this, [this] { ExportSettings(); }); });
    setAcceptDrops(true);
}

void TParamter::OpenSettings()
{
    const QString path = AskSettingsPath(false, FSettingsFolder);
    if (!path.isEmpty())
        OpenSettingsFile(path);
}

void TParamter::OpenSettingsFile(const QString &Path)
{
    FSettingsFolder = QFileInfo(Path).absolutePath();
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly)) {
        Prompt::Show(this, TPromptKind::Warning,
                     QStringLiteral("%1: cannot be read: %2").arg(QDir::toNativeSeparators(Path), file.errorString()));
        return;
    }
    const QByteArray text = file.readAll();
    TSettingsFile settings;
    try {
        settings = ReadSettingsFile(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                                    QDir::toNativeSeparators(Path).toStdString());
    } catch (const ESettingsFileError &e) {
        Prompt::Show(this, TPromptKind::Warning, QString::fromStdString(e.what()));
        return;
    }

    // A file taken from another logger must not give this one its identity or
    // calibration; a backup of this very logger restores them.
    const std::string separator = QString(FDecimalSeparator).toStdString();
    const TSettingValues before = CaptureSettings(*FControls, separator);
    const std::string serial = settings.Values[SettingIndex("Serial Number")].front();
    const bool ownBackup = settings.Kind == TSettingsFileKind::Backup
                           && serial == ui->edtSerialNumber->text().toStdString();
    const TScopes scopes = ownBackup ? TScopes::All() : TScopes{};
    ApplySettings(*FControls, settings.Values, scopes, separator);
    const TSettingValues after = CaptureSettings(*FControls, separator);
    Prompt::Show(this, TPromptKind::Information, ChangesText(DiffSettings(before, after, TScopes::All())));
}

void TParamter::ExportSettings()
{
    const std::string separator = QString(FDecimalSeparator).toStdString();
    TSettingsFile file;
    file.Values = CaptureSettings(*FControls, separator);
    // A file that could not be opened again is not written.
    const auto &settings = Settings();
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (const auto problem = SettingValueProblem(settings[i], file.Values[i])) {
            Prompt::Show(this, TPromptKind::Warning,
                         QStringLiteral("The settings cannot be exported: %1: %2")
                             .arg(QString::fromStdString(settings[i].Name), QString::fromStdString(*problem)));
            return;
        }
    }

    const QString serial = ui->edtSerialNumber->text();
    const QString name = (serial.isEmpty() ? QStringLiteral("settings") : serial) + QStringLiteral(".toml");
    const QString path = AskSettingsPath(true, FSettingsFolder.isEmpty() ? name : FSettingsFolder + QLatin1Char('/') + name);
    if (path.isEmpty())
        return;
    FSettingsFolder = QFileInfo(path).absolutePath();

    file.Program = (QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion())
                       .trimmed()
                       .toStdString();
    if (!FFoundPort.isEmpty() && FReadAt.isValid()) {
        file.Port = FFoundPort.toStdString();
        file.ReadAt = FReadAt.toString(Qt::ISODate).toStdString();
    }
    const std::string text = WriteSettingsFile(file);
    // Written whole or not at all: a half-written file would be worse than none.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), static_cast<qint64>(text.size())) < 0
        || !out.commit()) {
        Prompt::Show(this, TPromptKind::Warning,
                     QStringLiteral("%1: cannot be written: %2").arg(QDir::toNativeSeparators(path), out.errorString()));
    }
}

bool TParamter::FilterSettingsDrop(QEvent *event)
{
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove && event->type() != QEvent::Drop)
        return false;
    auto *drop = static_cast<QDropEvent *>(event);
    const QString path = DraggedSettingsFile(drop->mimeData());
    if (path.isEmpty())
        return false;
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop)
        Guarded(this, [this, path] { OpenSettingsFile(path); });
    return true;
}

void TParamter::dragEnterEvent(QDragEnterEvent *event)
{
    FilterSettingsDrop(event);
}

void TParamter::dragMoveEvent(QDragMoveEvent *event)
{
    FilterSettingsDrop(event);
}

void TParamter::dropEvent(QDropEvent *event)
{
    FilterSettingsDrop(event);
}

// The keys are not everyone's way: a right click on the window offers the same two actions.
void TParamter::contextMenuEvent(QContextMenuEvent *event)
{
    // The image buttons keep their own meaning for a right press.
    if (auto *image = qobject_cast<TImage *>(childAt(event->pos())); image && image != ui->img1)
        return;
    QMenu menu(this);
    menu.addAction(QStringLiteral("Open settings..."), QKeySequence(Qt::CTRL | Qt::Key_O), this,
                   [this] { Guarded(this, [this] { OpenSettings(); }); });
    menu.addAction(QStringLiteral("Export settings..."), QKeySequence(Qt::CTRL | Qt::Key_E), this,
                   [this] { Guarded(this, [this] { ExportSettings(); }); });
    menu.exec(event->globalPos());
}
