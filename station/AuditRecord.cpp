#include "AuditRecord.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

constexpr std::pair<TAuditAction, const char *> ActionNames[] = {
    {TAuditAction::Write, "write"}, {TAuditAction::Restore, "restore"}, {TAuditAction::Batch, "batch"}};

const char *const TimeFormat = "yyyy-MM-dd'T'HH:mm:ss'Z'";

// JSON's spelling of a text. Non-ASCII characters stay as they are (UTF-8),
// so that a trip text reads in the log as on the logger.
void AppendQuoted(QByteArray &out, const QByteArray &utf8)
{
    out += '"';
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20)
                out += "\\u00" + QByteArray::number(u, 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
}

void AppendField(QByteArray &out, const char *key, const QByteArray &json)
{
    if (out.size() > 1)
        out += ',';
    AppendQuoted(out, key);
    out += ':';
    out += json;
}

QByteArray Quoted(const QString &text)
{
    QByteArray out;
    AppendQuoted(out, text.toUtf8());
    return out;
}

QByteArray Differences(const std::vector<TSettingDifference> &list)
{
    QByteArray out = "[";
    for (const TSettingDifference &d : list) {
        if (out.size() > 1)
            out += ',';
        QByteArray item = "{";
        AppendField(item, "name", Quoted(QString::fromStdString(d.Name)));
        AppendField(item, "old", Quoted(QString::fromStdString(d.Old)));
        AppendField(item, "new", Quoted(QString::fromStdString(d.New)));
        out += item + '}';
    }
    return out + ']';
}

// The reader is as strict as the writer: a line that has lost or gained a
// field is no record of this log.
class TFieldReader
{
public:
    explicit TFieldReader(const QJsonObject &object) : FObject(object) {}

    QString Text(const char *key)
    {
        const QJsonValue value = FObject.value(QLatin1String(key));
        if (!value.isString())
            Fail(key, "a text");
        return value.toString();
    }

    qint64 Count(const char *key)
    {
        const QJsonValue value = FObject.value(QLatin1String(key));
        const double number = value.toDouble(-1);
        if (!value.isDouble() || number < 1 || number > 9007199254740992.0 || std::floor(number) != number)
            Fail(key, "a whole number from 1");
        return static_cast<qint64>(number);
    }

    std::vector<TSettingDifference> List(const char *key)
    {
        std::vector<TSettingDifference> list;
        const QJsonValue value = FObject.value(QLatin1String(key));
        if (!value.isArray())
            Fail(key, "a list");
        for (const QJsonValue &item : value.toArray()) {
            const QJsonObject o = item.toObject();
            const QJsonValue name = o.value(QLatin1String("name")), old = o.value(QLatin1String("old")),
                             now = o.value(QLatin1String("new"));
            if (o.size() != 3 || !name.isString() || !old.isString() || !now.isString()) {
                Fail(key, "a list of settings with name, old and new");
                break;
            }
            list.push_back({name.toString().toStdString(), old.toString().toStdString(), now.toString().toStdString()});
        }
        return list;
    }

    void Fail(const char *key, const char *what)
    {
        if (FProblem.isEmpty())
            FProblem = QStringLiteral("%1 is not %2").arg(QLatin1String(key), QLatin1String(what));
    }

    const QString &Problem() const { return FProblem; }

private:
    const QJsonObject &FObject;
    QString FProblem;
};

} // namespace

QString AuditActionName(TAuditAction action)
{
    for (const auto &[a, name] : ActionNames)
        if (a == action)
            return QLatin1String(name);
    return {};
}

QString LoginName()
{
    for (const char *name : {"USER", "LOGNAME", "USERNAME"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            return value;
    }
    return QStringLiteral("unknown");
}

QByteArray AuditLine(const TAuditRecord &r)
{
    QByteArray line = "{";
    AppendField(line, "seq", QByteArray::number(r.Sequence));
    AppendField(line, "time", Quoted(r.Time.toUTC().toString(QLatin1String(TimeFormat))));
    AppendField(line, "time_zone", Quoted(r.TimeZone));
    AppendField(line, "host", Quoted(r.Host));
    AppendField(line, "operator", Quoted(r.Operator));
    AppendField(line, "program", Quoted(r.Program));
    AppendField(line, "action", Quoted(AuditActionName(r.Action)));
    AppendField(line, "port", Quoted(r.Port));
    AppendField(line, "serial", Quoted(r.SerialNumber));
    AppendField(line, "device_id", Quoted(r.DeviceId));
    AppendField(line, "template", Quoted(r.Template));
    AppendField(line, "template_sha256", Quoted(QString::fromLatin1(r.TemplateSha256)));
    AppendField(line, "changes", Differences(r.Changes));
    AppendField(line, "result", r.Verified ? "\"verified\"" : "\"failed\"");
    AppendField(line, "failure", Quoted(r.Failure));
    AppendField(line, "differences", Differences(r.Differences));
    // Last, so that a line reads from what happened rather than from a hash.
    AppendField(line, "prev", Quoted(QString::fromLatin1(r.Previous)));
    return line + '}';
}

std::optional<TAuditRecord> ParseAuditLine(const QByteArray &line, QString *why)
{
    auto fail = [why](const QString &problem) -> std::optional<TAuditRecord> {
        if (why)
            *why = problem;
        return std::nullopt;
    };
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return fail(QStringLiteral("not a JSON object"));
    const QJsonObject object = doc.object();
    if (object.size() != 17)
        return fail(QStringLiteral("has %1 fields instead of 17").arg(object.size()));

    TFieldReader read(object);
    TAuditRecord r;
    r.Sequence = read.Count("seq");
    const QString time = read.Text("time");
    r.Time = QDateTime::fromString(time, QLatin1String(TimeFormat));
    r.Time.setTimeSpec(Qt::UTC);
    if (!r.Time.isValid())
        read.Fail("time", "a UTC time");
    r.TimeZone = read.Text("time_zone");
    r.Host = read.Text("host");
    r.Operator = read.Text("operator");
    r.Program = read.Text("program");
    const QString action = read.Text("action");
    bool known = false;
    for (const auto &[a, name] : ActionNames) {
        if (action == QLatin1String(name)) {
            r.Action = a;
            known = true;
        }
    }
    if (!known)
        read.Fail("action", "write, restore or batch");
    r.Port = read.Text("port");
    r.SerialNumber = read.Text("serial");
    r.DeviceId = read.Text("device_id");
    r.Template = read.Text("template");
    r.TemplateSha256 = read.Text("template_sha256").toLatin1();
    r.Changes = read.List("changes");
    const QString result = read.Text("result");
    if (result != QLatin1String("verified") && result != QLatin1String("failed"))
        read.Fail("result", "verified or failed");
    r.Verified = result == QLatin1String("verified");
    r.Failure = read.Text("failure");
    r.Differences = read.List("differences");
    r.Previous = read.Text("prev").toLatin1();
    if (r.Previous.size() != 64)
        read.Fail("prev", "a SHA-256 in hex");
    if (!read.Problem().isEmpty())
        return fail(read.Problem());
    r.Sha256 = Sha256Hex(line);
    return r;
}

QByteArray Sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QByteArray NoPreviousRecord()
{
    return QByteArray(64, '0');
}
