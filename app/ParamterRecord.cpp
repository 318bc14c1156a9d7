#include "ParamterFrm.h"

#include "ConfigurationRecord.h"
#include "Prompt.h"
#include "RecordDecoder.h"
#include "SaveAttempt.h"
#include "WritePlan.h"

#include <QDir>
#include <QFileInfo>

// The page loggerctl prints, of the logger as the window last read it: after
// a Save that was read back, the page of that write, with its audit record
// where the station keeps a log; else the logger as it stands.
void TParamter::PrintConfigurationRecord()
{
    if (!FLastRecord) {
        Prompt::Show(this, TPromptKind::Warning,
                     QStringLiteral("Nothing has been read from a logger yet: press Read first. The configuration "
                                    "record shows what the logger holds."));
        return;
    }
    std::optional<TConfigurationRecordData> data;
    if (FLastSave && FLastSave->Write.Outcome.ReadBack == FLastRecord)
        data = ConfigurationRecordOf(FLastSave->Logger, FLastSave->Write, FLastSave->Audit, LocalePaper());
    if (!data) {
        data.emplace();
        data->Record = *FLastRecord;
        data->Port = FFoundPort;
        data->ReadAt = FLastRecordAt;
        data->Paper = LocalePaper();
    }
    const QString name =
        ConfigurationRecordFileName(QString::fromStdString(SerialNumberText(data->Record)), data->ReadAt);
    QString path = AskRecordPath(FSettingsFolder.isEmpty() ? name : FSettingsFolder + QLatin1Char('/') + name);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    FSettingsFolder = QFileInfo(path).absolutePath();
    QString error;
    if (!WriteConfigurationRecord(*data, path, &error)) {
        Prompt::Show(this, TPromptKind::Warning, error);
        return;
    }
    Prompt::Show(this, TPromptKind::Information,
                 QStringLiteral("The configuration record was printed to %1.").arg(QDir::toNativeSeparators(path)));
}
