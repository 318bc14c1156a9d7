#include "RecordContent.h"

#include "PrintableText.h"
#include "Verify.h"

#include <QStringList>

#include <algorithm>
#include <set>

namespace {

const QString NoneSelected = QStringLiteral("(none selected)");
const QString Empty = QStringLiteral("(empty)");

QString Text(const std::string &utf8)
{
    return QString::fromStdString(utf8);
}

QString UtcText(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" UTC");
}

// Settings the logger keeps and a save sends back, which the window never
// shows: a reviewer sees them apart, as the manual lists them.
const std::set<std::string> &KeptSettings()
{
    static const std::set<std::string> kept = {"Probe Mode",       "Cycle Switch",           "Stop Mode",
                                               "Temporary PDF Startup", "Password Startup", "Password",
                                               "Calibration Temperature", "Calibration Humidity",
                                               "Trip Information"};
    return kept;
}

QString UnitOf(const TSetting &s, const QString &tempUnit)
{
    const std::string row = s.Table.size() == 3 ? s.Table[2] : s.Name;
    if (row.starts_with("Temperature") || s.Name == "Calibration Temperature")
        return tempUnit;
    if (row.starts_with("Humidity") || s.Name == "Calibration Humidity")
        return QStringLiteral("%RH");
    return {};
}

QString Part(const std::string &value)
{
    return value.empty() ? QStringLiteral("?") : Text(value);
}

QString Padded(const std::string &value)
{
    return value.empty() ? QStringLiteral("??") : Text(value).rightJustified(2, u'0');
}

QString ValueText(const TSetting &s, const TSettingValue &v, const QString &tempUnit)
{
    switch (s.Kind) {
    case TSettingKind::Switch: return v.front() == "true" ? QStringLiteral("on") : QStringLiteral("off");
    case TSettingKind::OneOf: return v.front().empty() ? NoneSelected : Text(v.front());
    case TSettingKind::Text: {
        const QString text = PrintableText(Text(v.front()));
        if (text.isEmpty())
            return Empty;
        if (s.Name == "Service Life")
            return text + QStringLiteral(" days");
        const QString unit = UnitOf(s, tempUnit);
        return unit.isEmpty() ? text : text + u' ' + unit;
    }
    case TSettingKind::Choice: break;
    }
    if (s.Parts.size() == 1)
        return v.front().empty() ? NoneSelected : Text(v.front());
    if (s.Parts.size() == 6)  // a date and time: Y, M, D, H, N, S
        return QStringLiteral("%1-%2-%3 %4:%5:%6")
            .arg(Part(v[0]), Padded(v[1]), Padded(v[2]), Padded(v[3]), Padded(v[4]), Padded(v[5]));
    QStringList parts;
    for (std::size_t p = 0; p < s.Parts.size() && p < v.size(); ++p) {
        const std::string &key = s.Parts[p].Key;
        parts << Part(v[p]) + (key == "H" ? QStringLiteral(" h") : key == "M" ? QStringLiteral(" min") : QStringLiteral(" s"));
    }
    return parts.join(u' ');
}

// A text as the settings file quotes it, without the quotes.
std::string Unquoted(const std::string &quoted)
{
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"')
        return quoted;
    std::string out;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '\\' && i + 2 < quoted.size()) {
            c = quoted[++i];
            if (c == 'n')
                c = '\n';
            else if (c == 'r')
                c = '\r';
            else if (c == 't')
                c = '\t';
            else if (c == 'u' && i + 4 < quoted.size()) {
                out += QString(QChar(char16_t(std::stoi(quoted.substr(i + 1, 4), nullptr, 16)))).toStdString();
                i += 4;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString DifferencesText(const std::vector<TSettingDifference> &differences, const QString &tempUnit)
{
    QStringList items;
    for (const TSettingDifference &d : differences)
        items << QStringLiteral("%1: sent %2, read back %3")
                     .arg(Text(d.Name), PeopleValue(d.Name, d.Old, tempUnit), PeopleValue(d.Name, d.New, tempUnit));
    return items.join(QStringLiteral("; "));
}

std::size_t IndexOf(std::vector<QString> &list, const QString &item)
{
    const auto at = std::find(list.begin(), list.end(), item);
    if (at != list.end())
        return std::size_t(at - list.begin());
    list.push_back(item);
    return list.size() - 1;
}

QString ColumnTitle(const std::string &key)
{
    if (key == "on")
        return QStringLiteral("On");
    if (key == "Temperature/Humidity")
        return QStringLiteral("Threshold");
    return Text(key);
}

void AddFacts(TRecordContent &content, const TConfigurationRecordData &data, const QString &zone, const QString &unit)
{
    const auto &w = data.Write;
    if (!w) {
        content.Facts.push_back({QStringLiteral("Read"), QStringLiteral("%1 through %2")
                                                             .arg(UtcText(data.ReadAt), PrintableText(data.Port))});
        content.Facts.push_back({QStringLiteral("Verify"),
                                 QStringLiteral("not written: the settings as the logger holds them")});
        return;
    }
    content.Facts.push_back({QStringLiteral("Written"),
                             QStringLiteral("%1, %2 by %3 on %4 through %5, %6")
                                 .arg(UtcText(w->Time), AuditActionName(w->Action), PrintableText(w->Operator),
                                      PrintableText(w->Host), PrintableText(w->Port), PrintableText(w->Program))});
    if (const auto &c = data.ClockSet) {
        const QString clock = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", c->Year, c->Month, c->Day, c->Hour,
                                                c->Minute, c->Second);
        // The record carries no clock: what was sent is all that can be said.
        content.Facts.push_back({QStringLiteral("Clock sent"),
                                 QStringLiteral("%1 in %2; a logger cannot report its clock, so it is not verified")
                                     .arg(clock, w->TimeZone.isEmpty() ? zone : w->TimeZone)});
    }
    QString verify = w->Verified ? QStringLiteral("verified: every setting read back as asked")
                                 : QStringLiteral("FAILED: %1").arg(PrintableText(w->Failure));
    if (!w->Differences.empty())
        verify += QStringLiteral(". ") + DifferencesText(w->Differences, unit);
    content.Facts.push_back({QStringLiteral("Verify"), verify});
    if (!w->Template.isEmpty())
        content.Facts.push_back({QStringLiteral("Template"), QStringLiteral("%1, SHA-256 %2")
                                                                 .arg(PrintableText(w->Template),
                                                                      QString::fromLatin1(w->TemplateSha256))});

    if (w->Sha256.isEmpty()) {
        content.Audit.push_back({QStringLiteral("Audit record"), QStringLiteral("none kept")});
        return;
    }
    content.Audit.push_back({QStringLiteral("Audit log"), PrintableText(data.AuditLog)});
    content.Audit.push_back({QStringLiteral("Audit record"),
                             w->Intent > 0 ? QStringLiteral("%1, the result of intent %2").arg(w->Sequence).arg(w->Intent)
                                           : QString::number(w->Sequence)});
    content.Audit.push_back({QStringLiteral("Seal"), w->Seal.isEmpty()
                                                         ? QStringLiteral("none: a plain chain, not sealed")
                                                         : QStringLiteral("sealed at step %1").arg(w->Sequence)});
    content.Audit.push_back({QStringLiteral("SHA-256 to keep"), QString::fromLatin1(w->Sha256)});
}

} // namespace

QString PeopleValue(const std::string &name, const std::string &display, const QString &tempUnit)
{
    const auto &settings = Settings();
    const auto setting = std::find_if(settings.begin(), settings.end(), [&](const TSetting &s) { return s.Name == name; });
    if (setting == settings.end())
        return Text(display);
    TSettingValue value;
    if (setting->Kind == TSettingKind::Switch) {
        value = {display};
    } else if (setting->Kind == TSettingKind::Choice && setting->Parts.size() > 1) {
        // { H = "0", M = "15", S = "0" }: the quoted texts in order.
        for (std::size_t at = display.find('"'); at != std::string::npos; at = display.find('"', at)) {
            std::size_t end = at + 1;
            while (end < display.size() && display[end] != '"')
                end += display[end] == '\\' ? 2 : 1;
            value.push_back(Unquoted(display.substr(at, end - at + 1)));
            at = end + 1;
        }
        if (value.size() != setting->Parts.size())
            return Text(display);
    } else {
        value = {Unquoted(display)};
    }
    return ValueText(*setting, value, tempUnit);
}

TRecordContent RecordContent(const TConfigurationRecordData &data)
{
    TRecordContent content;
    const TSettingValues values = RecordSettings(data.Record);
    const auto first = [&](const char *name) { return Text(values[SettingIndex(name)].front()); };
    const QString unit = first("Temp. Unit");
    const QString alarm = first("Alarm");
    const QString start = first("Start Mode");
    content.SerialNumber = PrintableText(first("Serial Number"));
    content.DeviceId = PrintableText(first("Device ID"));
    content.Title = QStringLiteral("Configuration record %1").arg(content.SerialNumber);

    const auto &settings = Settings();
    std::map<QString, bool> rowOff;  // a row of the multiple alarm switched off
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const TSetting &s = settings[i];
        if (s.Scope == TSettingScope::Identity)
            continue;
        const QString value = ValueText(s, values[i], unit);
        if (s.Table.size() == 3) {
            // The other panel keeps whatever an earlier setting left in it;
            // the page must not pass that off as in force.
            const QString panel = Text(s.Table[1]);
            if (!alarm.isEmpty() && panel != alarm)
                continue;
            auto grid = std::find_if(content.Grids.begin(), content.Grids.end(),
                                     [&](const TRecordGrid &g) { return g.Title == panel; });
            if (grid == content.Grids.end())
                grid = content.Grids.insert(content.Grids.end(), TRecordGrid{panel, {}, {}, {}});
            const QString row = Text(s.Table[2]);
            if (s.Key == "on")
                rowOff[panel + row] = values[i].front() != "true";
            const bool off = rowOff[panel + row] && s.Key != "on";
            grid->Cells[{IndexOf(grid->Rows, row), IndexOf(grid->Columns, ColumnTitle(s.Key))}] =
                off ? QStringLiteral("-") : value;
        } else if (KeptSettings().count(s.Name)) {
            content.Kept.push_back({Text(s.Name), value});
        } else if ((s.Name == "Start Time" && start != QLatin1String("Timing"))
                   || (s.Name == "Start Delay" && start != QLatin1String("Delayed"))) {
            continue;  // not used by the start mode in force
        } else {
            content.Settings.push_back({Text(s.Name), value});
        }
    }
    AddFacts(content, data, first("Time Zone"), unit);

    const QString configurer = data.Write ? PrintableText(data.Write->Operator) : QString();
    content.Signatures = {
        {QStringLiteral("Configured by"), configurer,
         QStringLiteral("I prepared this logger with the settings recorded here, and the result of the verify is the "
                        "one the program reported to me.")},
        {QStringLiteral("Checked by"), QString(),
         QStringLiteral("I compared the settings recorded here with those the shipment requires, and they agree.")},
    };
    return content;
}
