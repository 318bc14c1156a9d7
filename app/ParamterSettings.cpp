#include "ParamterFrm.h"

#include "Guarded.h"
#include "Image.h"
#include "ParamterControls.h"
#include "Prompt.h"
#include "Backup.h"
#include "PrintableText.h"
#include "RecordDecoder.h"
#include "SettingsFile.h"
#include "SettingsIo.h"
#include "StationError.h"
#include "Verify.h"
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
#include <QTimer>

namespace {

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

QString ChangeLine(const TSettingDifference &change)
{
    return QStringLiteral("%1: %2").arg(QString::fromStdString(change.Name), QString::fromStdString(change.New));
}

// Why a drag cannot be dropped as a settings file, or nothing when it can.
QString DropRefusal(const QMimeData *mime)
{
    if (mime == nullptr || !mime->hasUrls())
        return QStringLiteral("Only a settings file can be dropped on the window.");
    if (mime->urls().size() != 1)
        return QStringLiteral("Drop one settings file at a time: %1 files were dropped.").arg(mime->urls().size());
    if (!mime->urls().constFirst().isLocalFile())
        return QStringLiteral("Only a settings file on this computer can be dropped on the window.");
    return QStringLiteral("%1 is not a settings file: their names end with .toml.")
        .arg(QDir::toNativeSeparators(mime->urls().constFirst().toLocalFile()));
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
    AskRecordPath = [this](const QString &Suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Print configuration record"), Suggested,
                                            QStringLiteral("PDF files (*.pdf);;All files (*)"));
    };
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
    if (FSaveStage == TSaveStage::ReadingBack) {
        Prompt::Show(this, TPromptKind::Warning,
                     QStringLiteral("A save is being verified: open the file once it has ended."));
        return;
    }
    // A Read under way would replace the file's values a moment later with
    // the logger's, and a Save would then send those.
    if (ReadInProgress()) {
        tmrRead->stop();
        FReadRequested = false;
        ClosePortAndWait();
        Prompt::Show(this, TPromptKind::Information,
                     QStringLiteral("The search for the logger was stopped to open the file. Press Read to search "
                                    "again; its settings would replace the file's."));
    }
    TSettingsFile settings;
    try {
        settings = LoadSettingsFile(Path);
    } catch (const EStationError &e) {
        Prompt::Show(this, TPromptKind::Warning, QString::fromUtf8(e.what()));
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
    FHaveSettings = true;
    const TSettingValues after = CaptureSettings(*FControls, separator);
    const std::vector<TSettingDifference> changes =
        DiffSettings(CanonicalValues(before), CanonicalValues(after), TScopes::All());
    // What the file holds of identity and calibration but was left as the logger has it.
    const std::vector<TSettingDifference> kept =
        DiffSettings(CanonicalValues(after), CanonicalValues(settings.Values), TScopes::All());
    QStringList left;
    for (const TSettingDifference &d : kept)
        if (Settings().at(SettingIndex(d.Name)).Scope != TSettingScope::Template)
            left << QString::fromStdString(d.Name);

    QString message = changes.empty() ? QStringLiteral("No setting changed: the window already showed these values.")
                                      : QStringLiteral("%1 settings changed; nothing is sent to the logger until Save.")
                                            .arg(changes.size());
    if (!left.isEmpty())
        message += QStringLiteral("\n\nThe file's %1 %2 left as the logger has them: %3.")
                       .arg(left.join(QStringLiteral(", ")),
                            left.size() == 1 ? QStringLiteral("was") : QStringLiteral("were"),
                            serial == ui->edtSerialNumber->text().toStdString()
                                ? QStringLiteral("only a backup of this logger restores them")
                                : QStringLiteral("the file is of the logger %1")
                                      .arg(PrintableText(QString::fromStdString(serial))));
    QStringList lines;
    for (const TSettingDifference &d : changes)
        lines << PrintableText(ChangeLine(d));
    if (!lines.isEmpty())
        message += QStringLiteral("\n\n") + lines.mid(0, 3).join(QLatin1Char('\n'))
                   + (lines.size() > 3 ? QStringLiteral("\n... (the details list every one)") : QString());
    Prompt::Show(this, TPromptKind::Information, message, lines.size() > 3 ? lines.join(QLatin1Char('\n')) : QString());
}

void TParamter::ExportSettings()
{
    // A window that neither read a logger nor opened a file shows only its
    // starting values: a file of them would be taken for a logger's.
    if (!FHaveSettings
        && !Prompt::Show(this, TPromptKind::Confirm,
                         QStringLiteral("Nothing has been read from a logger yet, nor opened from a file: the file will "
                                        "hold the window's starting values and what you typed. Export them all the same?")))
        return;
    const std::string separator = QString(FDecimalSeparator).toStdString();
    TSettingsFile file;
    file.Values = CaptureSettings(*FControls, separator);
    // Settings the logger neither uses nor shows as the window stands (the
    // rows of the alarm mode not in use, say) are written as a read of it
    // gives them, as loggerctl read does, not as some earlier state of the window.
    if (FLastRecord) {
        const std::vector<bool> inUse = SettingsInUse(file.Values);
        const TSettingValues read = RecordSettings(*FLastRecord);
        for (std::size_t i = 0; i < inUse.size(); ++i)
            if (!inUse[i])
                file.Values[i] = read[i];
    }
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
    QString path = AskSettingsPath(true, FSettingsFolder.isEmpty() ? name : FSettingsFolder + QLatin1Char('/') + name);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".toml");
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
        return;
    }
    Prompt::Show(this, TPromptKind::Information,
                 QStringLiteral("The settings were exported to %1.").arg(QDir::toNativeSeparators(path)));
}

bool TParamter::FilterSettingsDrop(QEvent *event)
{
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove && event->type() != QEvent::Drop)
        return false;
    auto *drop = static_cast<QDropEvent *>(event);
    // Text dropped on an edit or the memo is its own; files are the window's.
    if (!drop->mimeData()->hasUrls())
        return false;
    const QString path = DraggedSettingsFile(drop->mimeData());
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() != QEvent::Drop)
        return true;
    // A refused drop says why, rather than the file just bouncing back.
    if (path.isEmpty())
        Guarded(this, [this, refusal = DropRefusal(drop->mimeData())] {
            Prompt::Show(this, TPromptKind::Warning, refusal);
        });
    else
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
    menu.addAction(QStringLiteral("Print configuration record..."), this,
                   [this] { Guarded(this, [this] { PrintConfigurationRecord(); }); });
    menu.addSeparator();
    // Where every Save keeps what it replaces, and records itself.
    QString backups;
    try {
        backups = QDir::toNativeSeparators(BackupDirectory(FStation.BackupDir));
    } catch (const EStationError &) {
        backups = QStringLiteral("(none: no home folder)");
    }
    menu.addAction(QStringLiteral("Backups: %1").arg(backups))->setEnabled(false);
    menu.addAction(FStation.AuditLog.isEmpty()
                       ? QStringLiteral("Audit log: none")
                       : QStringLiteral("Audit log: %1").arg(QDir::toNativeSeparators(FStation.AuditLog)))
        ->setEnabled(false);
    menu.addAction(QStringLiteral("Open backups..."), this, [this] { Guarded(this, [this] { OpenBackups(); }); });
    menu.exec(event->globalPos());
}

// The file dialog in the backup folder: a backup opened there restores the
// identity and calibration of the logger it belongs to, as Ctrl+O does.
void TParamter::OpenBackups()
{
    const QString folder = BackupDirectory(FStation.BackupDir);
    const QString path = AskSettingsPath(false, folder);
    if (!path.isEmpty())
        OpenSettingsFile(path);
}
