#include "Verbs.h"

#include "AuditLog.h"
#include "AuditTable.h"
#include "AuditVerify.h"
#include "Console.h"
#include "JsonOutput.h"
#include "PrintableText.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTextStream>

#include <cstdio>
#include <set>

namespace {

// "-" reads the key from stdin, where neither the process list nor the
// shell's history keeps it.
std::optional<QByteArray> KeyOf(const TCommand &Command)
{
    if (Command.Key.isEmpty())
        return std::nullopt;
    QString text = Command.Key;
    if (text == QLatin1String("-")) {
        QTextStream in(stdin);
        text = in.readLine();
    }
    QString why;
    std::optional<QByteArray> key = ParseVerificationKey(text, &why);
    if (!key)
        throw EStationError(TExitStatus::BadInput, QStringLiteral("--key: %1").arg(why).toStdString());
    return key;
}

TAuditCheck Checked(const TCommand &Command, const std::function<void(const TAuditEntry &)> &each = {})
{
    std::optional<QByteArray> key = KeyOf(Command);
    const TAuditCheck check = VerifyAuditLog(Command.File, key, each);
    if (key)
        EraseSecret(*key);
    if (!check.Readable)
        throw EStationError(TExitStatus::BadInput, check.Error.toStdString());
    if (check.Seals == TAuditCheck::TSeals::WrongKey)
        throw EStationError(TExitStatus::BadInput, (Command.File + QStringLiteral(": ") + check.Summary()).toStdString());
    return check;
}

const char *SealsName(TAuditCheck::TSeals seals)
{
    switch (seals) {
    case TAuditCheck::TSeals::NotChecked: return "not checked";
    case TAuditCheck::TSeals::Intact: return "intact";
    case TAuditCheck::TSeals::Broken: return "broken";
    case TAuditCheck::TSeals::None: return "none";
    case TAuditCheck::TSeals::WrongKey: break;
    }
    return "wrong key";
}

// Not-records as verify classes them: torn by a crash, or damaged.
struct TNotRecord {
    qint64 Line;
    QString Problem;
};
constexpr std::size_t NotRecordsKept = 1000;

void ShowJson(const TCommand &Command, const TAuditCheck &check, const std::vector<TNotRecord> &notRecords,
              qint64 moreNotRecords)
{
    std::set<qint64> torn;
    for (const TAuditCheck::TTorn &t : check.Torn)
        torn.insert(t.Line);
    std::set<qint64> open;
    QByteArray intents;
    for (const TAuditCheck::TIntent &i : check.OpenIntents) {
        open.insert(i.Sequence);
        intents += (intents.isEmpty() ? "" : ",") + Json::Number(i.Sequence);
    }
    QByteArray head = "{\"log\":" + Json::Text(Command.File) + ",\"sealed\":" + Json::Bool(check.Sealed)
                      + ",\"check\":{\"clean\":" + Json::Bool(check.Clean()) + ",\"intact\":" + Json::Bool(check.Intact())
                      + ",\"summary\":" + Json::Text(check.Summary()) + ",\"seals\":" + Json::Text(QByteArray(SealsName(check.Seals)))
                      + ",\"records\":" + Json::Number(check.Records) + ",\"last_record\":"
                      + Json::Number(check.LastSequence) + ",\"last_sha256\":" + Json::Text(check.LastSha256) + "}";
    head += ",\"open_intents\":[" + intents + "],\"not_records\":[";
    for (std::size_t i = 0; i < notRecords.size(); ++i)
        head += (i ? "," : "") + QByteArray("{\"line\":") + Json::Number(notRecords[i].Line) + ",\"kind\":"
                + (torn.count(notRecords[i].Line) ? "\"torn\"" : "\"damaged\"") + ",\"problem\":"
                + Json::Text(notRecords[i].Problem) + '}';
    head += "],\"not_records_left_out\":" + Json::Number(moreNotRecords) + ",\"records\":[";
    Console::Data(std::string_view(head.constData(), std::size_t(head.size())));

    // Each record as its very line, the bytes its hash and seal cover.
    QFile file(Command.File);
    if (!file.open(QIODevice::ReadOnly))
        throw EStationError(TExitStatus::BadInput, file.errorString().toStdString());
    TAuditReader reader(file);
    TAuditEntry entry;
    bool first = true;
    while (entry.Line < check.Lines && reader.Next(&entry)) {
        if (!entry.Record || (!Command.Serial.isEmpty()
                              && entry.Record->SerialNumber.compare(Command.Serial, Qt::CaseInsensitive) != 0))
            continue;
        const QByteArray item = QByteArray(first ? "" : ",") + "\n{\"line\":" + Json::Number(entry.Line)
                                + ",\"sha256\":" + Json::Text(entry.Record->Sha256) + ",\"open_intent\":"
                                + Json::Bool(open.count(entry.Record->Sequence) > 0) + ",\"record\":" + entry.Bytes
                                + '}';
        Console::Data(std::string_view(item.constData(), std::size_t(item.size())));
        first = false;
    }
    Console::Data("]}\n");
}

} // namespace

QString PlainLogNotice(const QString &Log)
{
    return QStringLiteral("%1 is a new audit log, a plain chain: whoever can write it can change a record and chain "
                          "it again unseen; loggerctl audit init makes a sealed one")
        .arg(QDir::toNativeSeparators(Log));
}

TExitStatus RunAuditInit(const TCommand &Command, TContext &Context)
{
    TAuditRecord creation;
    creation.Host = QSysInfo::machineHostName();
    creation.Operator = Command.Operator.isEmpty() ? LoginName() : Command.Operator;
    creation.Program = Context.Program;
    QString error;
    std::optional<QByteArray> key = CreateSealedAuditLog(Command.File, &creation, &error);
    if (!key)
        throw EStationError(TExitStatus::BadInput, error.toStdString());
    Console::Data((VerificationKeyText(*key) + QLatin1Char('\n')).toStdString());
    EraseSecret(*key);
    Console::Message(QStringLiteral("made the sealed audit log %1, its seal file %2 beside it. The line above is its "
                                    "verification key, shown this once: keep it away from this computer, on paper or "
                                    "in the quality system. Whoever holds it can verify the log, and could also seal "
                                    "records in it.")
                         .arg(QDir::toNativeSeparators(Command.File),
                              QDir::toNativeSeparators(SealFilePath(Command.File))));
    return TExitStatus::Success;
}

TExitStatus RunAuditVerify(const TCommand &Command, TContext &)
{
    const TAuditCheck check = Checked(Command);
    Console::Data((Command.File + QStringLiteral(": ") + check.Summary() + QLatin1Char('\n')).toStdString());
    // The hash to keep elsewhere: records cut from the end of a plain chain
    // leave a chain that holds, and only this shows them missing.
    if (check.Intact() && check.LastSequence > 0)
        Console::Data(QStringLiteral("last record %1, SHA-256 %2\n")
                          .arg(check.LastSequence)
                          .arg(QString::fromLatin1(check.LastSha256))
                          .toStdString());
    return check.Clean() ? TExitStatus::Success : TExitStatus::LoggerFault;
}

TExitStatus RunAuditShow(const TCommand &Command, TContext &)
{
    TAuditTable table(Command.Serial);
    std::vector<TNotRecord> notRecords;
    qint64 moreNotRecords = 0;
    const TAuditCheck check = Checked(Command, [&](const TAuditEntry &entry) {
        if (entry.Record)
            table.Measure(*entry.Record);
        else if (notRecords.size() < NotRecordsKept)
            notRecords.push_back({entry.Line, entry.Problem});
        else
            ++moreNotRecords;
    });
    if (Command.Json) {
        ShowJson(Command, check, notRecords, moreNotRecords);
        return TExitStatus::Success;
    }

    std::set<qint64> open;
    for (const TAuditCheck::TIntent &i : check.OpenIntents)
        open.insert(i.Sequence);
    table.SetOpenIntents(open);
    QFile file(Command.File);
    if (!file.open(QIODevice::ReadOnly))
        throw EStationError(TExitStatus::BadInput, file.errorString().toStdString());
    TAuditReader reader(file);
    TAuditEntry entry;
    bool any = false;
    // Only the lines verify saw: what an append adds meanwhile waits for the next look.
    while (entry.Line < check.Lines && reader.Next(&entry)) {
        if (!entry.Record || !table.Shows(*entry.Record))
            continue;
        if (!any)
            Console::Data(table.Heading().toStdString());
        any = true;
        Console::Data(table.Row(*entry.Record).toStdString());
    }
    if (!any)
        Console::Message(Command.Serial.isEmpty()
                             ? QStringLiteral("%1 holds no records").arg(Command.File)
                             : QStringLiteral("%1 holds no records of %2").arg(Command.File, PrintableText(Command.Serial)));
    for (const TNotRecord &line : notRecords)
        Console::Warning(QStringLiteral("%1:%2: not a record: %3").arg(Command.File).arg(line.Line).arg(line.Problem));
    if (!check.Clean())
        Console::Warning(QStringLiteral("%1: %2").arg(Command.File, check.Summary()));
    return TExitStatus::Success;
}
