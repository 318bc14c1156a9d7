#include "AuditRecord.h"

#include "UserAccount.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstring>

namespace {

constexpr std::pair<TAuditAction, const char *> ActionNames[] = {{TAuditAction::Write, "write"},
                                                                 {TAuditAction::Restore, "restore"},
                                                                 {TAuditAction::Batch, "batch"},
                                                                 {TAuditAction::Create, "create"}};

// "2026-12-08T17:05:00Z", spelt and read by hand: Qt's parser and formatter
// look the local zone up on every call, which a long log pays for a hundred
// thousand times over, and a UTC time has no need of it.
QByteArray TimeText(const QDateTime &time)
{
    const QDateTime utc = time.timeSpec() == Qt::UTC ? time : time.toUTC();
    const QDate d = utc.date();
    const QTime t = utc.time();
    return QByteArray::number(d.year()).rightJustified(4, '0') + '-' + QByteArray::number(d.month()).rightJustified(2, '0')
           + '-' + QByteArray::number(d.day()).rightJustified(2, '0') + 'T'
           + QByteArray::number(t.hour()).rightJustified(2, '0') + ':'
           + QByteArray::number(t.minute()).rightJustified(2, '0') + ':'
           + QByteArray::number(t.second()).rightJustified(2, '0') + 'Z';
}

QDateTime TimeOf(const QString &text)
{
    if (text.size() != 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':'
        || text[16] != u':' || text[19] != u'Z')
        return {};
    const auto number = [&](int at, int digits) {
        int n = 0;
        for (int i = at; i < at + digits; ++i) {
            if (!text[i].isDigit() || text[i].unicode() > '9')
                return -1;
            n = n * 10 + (text[i].unicode() - '0');
        }
        return n;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

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

    qint64 Count(const char *key, qint64 least = 1)
    {
        const QJsonValue value = FObject.value(QLatin1String(key));
        const double number = value.toDouble(-1);
        // Checked before the cast: a number beyond a qint64 would not become one.
        if (!value.isDouble() || number < double(least) || number > 9007199254740992.0 || std::floor(number) != number) {
            Fail(key, least == 0 ? "a whole number from 0" : "a whole number from 1");
            return 0;
        }
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

// The first key of the object's outermost level that stands twice, if any.
// Qt keeps one of the two, so that the record read would not be the bytes
// hashed; the line is refused instead.
QString TwiceKey(const QByteArray &line)
{
    QList<QByteArray> keys;
    int depth = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == '"') {
            QByteArray text;
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\')
                    ++i;
                text += line.mid(i, 1);
            }
            qsizetype next = i + 1;
            while (next < line.size() && (line[next] == ' ' || line[next] == '\t'))
                ++next;
            if (depth == 1 && next < line.size() && line[next] == ':') {
                if (keys.contains(text))
                    return QString::fromUtf8(text);
                keys << text;
            }
        }
    }
    return {};
}

QByteArray ResultText(const TAuditRecord &r)
{
    switch (r.Kind) {
    case TAuditKind::Intent: return "\"intent\"";
    case TAuditKind::Creation: return "\"sealed\"";
    case TAuditKind::Result: break;
    }
    return r.Verified ? "\"verified\"" : "\"failed\"";
}

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
    const QString account = AccountName();
    return account.isEmpty() ? QStringLiteral("unknown") : account;
}

QByteArray UnsealedAuditLine(const TAuditRecord &r)
{
    QByteArray line = "{";
    AppendField(line, "seq", QByteArray::number(r.Sequence));
    AppendField(line, "time", '"' + TimeText(r.Time) + '"');
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
    AppendField(line, "result", ResultText(r));
    AppendField(line, "failure", Quoted(r.Failure));
    AppendField(line, "differences", Differences(r.Differences));
    if (!r.FirstForm)
        AppendField(line, "intent", QByteArray::number(r.Intent));
    // Last, so that a line reads from what happened rather than from a hash.
    AppendField(line, "prev", Quoted(QString::fromLatin1(r.Previous)));
    return line + '}';
}

QByteArray AuditLine(const TAuditRecord &r)
{
    QByteArray line = UnsealedAuditLine(r);
    if (r.Seal.isEmpty() || r.FirstForm)
        return line;
    line.chop(1);
    AppendField(line, "seal", Quoted(QString::fromLatin1(r.Seal)));
    return line + '}';
}

namespace {

// The log's own form read in one pass, field by field in their order, each
// text spelt as the writer spells it: what it takes is exactly what
// AuditLine writes, so no second rendering has to prove it. Anything else is
// left to ParseExplained, which says what is wrong.
class TCanonicalLine
{
public:
    explicit TCanonicalLine(const QByteArray &line) : FAt(line.constData()), FEnd(line.constData() + line.size()) {}

    std::optional<TAuditRecord> Read()
    {
        TAuditRecord r;
        r.Sequence = Number("{\"seq\":", 1);
        r.Time = TimeOf(Text(",\"time\":"));
        r.TimeZone = Text(",\"time_zone\":");
        r.Host = Text(",\"host\":");
        r.Operator = Text(",\"operator\":");
        r.Program = Text(",\"program\":");
        const QString action = Text(",\"action\":");
        r.Port = Text(",\"port\":");
        r.SerialNumber = Text(",\"serial\":");
        r.DeviceId = Text(",\"device_id\":");
        r.Template = Text(",\"template\":");
        r.TemplateSha256 = Latin1(",\"template_sha256\":");
        r.Changes = List(",\"changes\":");
        const QString result = Text(",\"result\":");
        r.Failure = Text(",\"failure\":");
        r.Differences = List(",\"differences\":");
        r.FirstForm = !Ahead(",\"intent\":");
        if (!r.FirstForm)
            r.Intent = Number(",\"intent\":", 0);
        r.Previous = Latin1(",\"prev\":");
        if (!r.FirstForm && Ahead(",\"seal\":"))
            r.Seal = Latin1(",\"seal\":");
        Take("}");
        if (!FOk || FAt != FEnd || !r.Time.isValid() || r.Previous.size() != 64 || (!r.Seal.isEmpty() && r.Seal.size() != 64))
            return std::nullopt;
        bool known = false;
        for (const auto &[a, name] : ActionNames)
            if (action == QLatin1String(name)) {
                r.Action = a;
                known = true;
            }
        r.Verified = result == QLatin1String("verified");
        if (result == QLatin1String("intent"))
            r.Kind = TAuditKind::Intent;
        else if (result == QLatin1String("sealed"))
            r.Kind = TAuditKind::Creation;
        else if (!r.Verified && result != QLatin1String("failed"))
            return std::nullopt;
        if (!known || (r.Kind == TAuditKind::Creation) != (r.Action == TAuditAction::Create)
            || (r.Kind != TAuditKind::Result && r.FirstForm))
            return std::nullopt;
        return r;
    }

private:
    bool Ahead(const char *literal) const
    {
        const std::size_t n = std::strlen(literal);
        return std::size_t(FEnd - FAt) >= n && std::memcmp(FAt, literal, n) == 0;
    }

    void Take(const char *literal)
    {
        if (FOk && Ahead(literal))
            FAt += std::strlen(literal);
        else
            FOk = false;
    }

    // As QByteArray::number writes it: no sign, no leading zero, at most 2^53.
    qint64 Number(const char *key, qint64 least)
    {
        Take(key);
        const char *start = FAt;
        qint64 n = 0;
        while (FOk && FAt < FEnd && *FAt >= '0' && *FAt <= '9' && FAt - start < 16)
            n = n * 10 + (*FAt++ - '0');
        if (FAt == start || (*start == '0' && FAt - start > 1) || n < least || n > (qint64(1) << 53))
            FOk = false;
        return n;
    }

    QByteArray Bytes(const char *key)
    {
        Take(key);
        Take("\"");
        QByteArray out;
        bool wide = false;
        while (FOk && FAt < FEnd && *FAt != '"') {
            const auto c = static_cast<unsigned char>(*FAt);
            if (c < 0x20) {
                FOk = false;
            } else if (c != '\\') {
                // Runs of plain bytes in one piece.
                const char *run = FAt;
                while (FAt < FEnd && *FAt != '"' && *FAt != '\\' && static_cast<unsigned char>(*FAt) >= 0x20) {
                    wide |= static_cast<unsigned char>(*FAt) >= 0x80;
                    ++FAt;
                }
                out.append(run, FAt - run);
            } else if (FEnd - FAt >= 2 && std::strchr("\"\\nrt", FAt[1]) && FAt[1] != 0) {
                const char e = FAt[1];
                out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
                FAt += 2;
            } else if (FEnd - FAt >= 6 && std::memcmp(FAt, "\\u00", 4) == 0) {
                // The writer escapes other control characters only, in lower-case hex.
                const auto hex = [](char h) { return h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : 99; };
                const int value = hex(FAt[4]) * 16 + hex(FAt[5]);
                if (value >= 0x20 || value == '\n' || value == '\r' || value == '\t')
                    FOk = false;
                out += char(value);
                FAt += 6;
            } else {
                FOk = false;
            }
        }
        Take("\"");
        // Bytes that are no UTF-8 would come back otherwise from a text.
        if (FOk && wide && QString::fromUtf8(out).toUtf8() != out)
            FOk = false;
        return out;
    }

    QString Text(const char *key) { return QString::fromUtf8(Bytes(key)); }

    QByteArray Latin1(const char *key)
    {
        const QString text = Text(key);
        const QByteArray latin1 = text.toLatin1();
        if (QString::fromLatin1(latin1) != text)
            FOk = false;
        return latin1;
    }

    std::vector<TSettingDifference> List(const char *key)
    {
        std::vector<TSettingDifference> list;
        Take(key);
        Take("[");
        while (FOk && !Ahead("]")) {
            if (!list.empty())
                Take(",");
            TSettingDifference d;
            d.Name = Bytes("{\"name\":").toStdString();
            d.Old = Bytes(",\"old\":").toStdString();
            d.New = Bytes(",\"new\":").toStdString();
            Take("}");
            list.push_back(std::move(d));
        }
        Take("]");
        return list;
    }

    const char *FAt;
    const char *FEnd;
    bool FOk = true;
};

std::optional<TAuditRecord> ParseExplained(const QByteArray &line, QString *why)
{
    // A key given twice passes for one field less, or for another spelling:
    // said as what it is.
    auto fail = [why, &line](const QString &problem) -> std::optional<TAuditRecord> {
        if (why) {
            const QString twice = line.size() <= MaxAuditLineBytes ? TwiceKey(line) : QString();
            *why = twice.isEmpty() ? problem : QStringLiteral("has the key \"%1\" twice").arg(twice);
        }
        return std::nullopt;
    };
    if (line.size() > MaxAuditLineBytes)
        return fail(QStringLiteral("longer than %1 KiB").arg(MaxAuditLineBytes / 1024));
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return fail(QStringLiteral("not a JSON object"));
    const QJsonObject object = doc.object();
    TAuditRecord r;
    r.FirstForm = !object.contains(QLatin1String("intent"));
    const bool sealed = object.contains(QLatin1String("seal"));
    const qsizetype fields = r.FirstForm ? 17 : sealed ? 19 : 18;
    if (object.size() != fields)
        return fail(QStringLiteral("has %1 fields instead of %2").arg(object.size()).arg(fields));

    TFieldReader read(object);
    r.Sequence = read.Count("seq");
    const QString time = read.Text("time");
    r.Time = TimeOf(time);
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
    r.Verified = result == QLatin1String("verified");
    if (result == QLatin1String("intent"))
        r.Kind = TAuditKind::Intent;
    else if (result == QLatin1String("sealed"))
        r.Kind = TAuditKind::Creation;
    else if (!r.Verified && result != QLatin1String("failed"))
        read.Fail("result", "verified, failed, intent or sealed");
    if ((r.Kind == TAuditKind::Creation) != (r.Action == TAuditAction::Create))
        read.Fail("result", "sealed where the action is create, and only there");
    if (r.Kind != TAuditKind::Result && r.FirstForm)
        read.Fail("intent", "a field of this record");
    r.Failure = read.Text("failure");
    r.Differences = read.List("differences");
    if (!r.FirstForm)
        r.Intent = read.Count("intent", 0);
    r.Previous = read.Text("prev").toLatin1();
    if (r.Previous.size() != 64)
        read.Fail("prev", "a SHA-256 in hex");
    if (sealed) {
        r.Seal = read.Text("seal").toLatin1();
        if (r.Seal.size() != 64)
            read.Fail("seal", "an HMAC-SHA256 in hex");
    }
    if (!read.Problem().isEmpty())
        return fail(read.Problem());
    // Whatever JSON allows beyond the log's own spelling (spaces, escapes
    // spelt otherwise, another order) would let two lines that read alike
    // hash apart, or one hash stand for a record read otherwise.
    if (AuditLine(r) != line)
        return fail(QStringLiteral("not in the log's own form (its fields out of order, spaced or spelt otherwise)"));
    r.Sha256 = Sha256Hex(line);
    return r;
}

} // namespace

std::optional<TAuditRecord> ParseAuditLine(const QByteArray &line, QString *why)
{
    if (line.size() <= MaxAuditLineBytes) {
        if (std::optional<TAuditRecord> r = TCanonicalLine(line).Read()) {
            r->Sha256 = Sha256Hex(line);
            return r;
        }
    }
    // Either reading refuses what the other does, so the explaining one
    // never takes a line the fast one left.
    QString problem;
    if (ParseExplained(line, &problem) || problem.isEmpty())
        problem = QStringLiteral("not in the log's own form (its fields out of order, spaced or spelt otherwise)");
    if (why)
        *why = problem;
    return std::nullopt;
}

QByteArray Sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QByteArray NoPreviousRecord()
{
    return QByteArray(64, '0');
}
