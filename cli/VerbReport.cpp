#include "Verbs.h"

#include "ConfigurationRecord.h"
#include "Console.h"
#include "PrintableText.h"
#include "Progress.h"
#include "RecordDecoder.h"

#include <QDir>

TExitStatus RunReport(const TCommand &Command, TContext &Context)
{
    const TFoundLogger logger = FindLogger(Command.Port, Context.Candidates, *Context.Progress);
    TConfigurationRecordData data;
    data.Record = logger.Record;
    data.Port = logger.Port;
    data.ReadAt = QDateTime::currentDateTimeUtc();
    data.Paper = Command.Paper.isEmpty() ? LocalePaper() : *PaperNamed(Command.Paper);
    const QString serial = QString::fromStdString(SerialNumberText(logger.Record));
    const QString path = Command.Output.isEmpty() ? ConfigurationRecordFileName(serial, data.ReadAt) : Command.Output;
    Context.Progress->Phase(QStringLiteral("printing..."));
    QString error;
    if (!WriteConfigurationRecord(data, path, &error))
        throw EStationError(TExitStatus::BadInput, error.toStdString());
    Console::Message(QStringLiteral("printed the configuration record of the logger %1 on %2 into %3")
                         .arg(PrintableText(serial), logger.Port, QDir::toNativeSeparators(path)));
    return TExitStatus::Success;
}
