#include "AuditTable.h"

#include "PrintableText.h"

#include <QStringList>

#include <algorithm>

namespace {

struct TColumn {
    const char *Title;
    bool Right;  // numbers line up on the right
};

constexpr TColumn Columns[] = {{"#", true},       {"Time (UTC)", false}, {"Serial", false},  {"Device ID", false},
                               {"Action", false}, {"Result", false},     {"Changed", true}, {"Operator", false}};

QString ResultText(const TAuditRecord &r)
{
    switch (r.Kind) {
    case TAuditKind::Intent: return QStringLiteral("UNKNOWN");
    case TAuditKind::Creation: return QStringLiteral("sealed");
    case TAuditKind::Result: break;
    }
    return r.Verified ? QStringLiteral("verified") : QStringLiteral("FAILED");
}

} // namespace

TAuditTable::TAuditTable(const QString &serialNumber) : FSerialNumber(serialNumber)
{
    for (const TColumn &c : Columns)
        FWidths.push_back(qsizetype(qstrlen(c.Title)));
}

bool TAuditTable::Shows(const TAuditRecord &r) const
{
    if (r.Kind == TAuditKind::Intent && !FOpenIntents.count(r.Sequence))
        return false;
    return FSerialNumber.isEmpty() || r.SerialNumber.compare(FSerialNumber, Qt::CaseInsensitive) == 0;
}

QStringList TAuditTable::Cells(const TAuditRecord &r) const
{
    return {QString::number(r.Sequence), r.Time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            PrintableText(r.SerialNumber), PrintableText(r.DeviceId), AuditActionName(r.Action), ResultText(r),
            QString::number(r.Changes.size()), PrintableText(r.Operator)};
}

void TAuditTable::Measure(const TAuditRecord &r)
{
    if (!FSerialNumber.isEmpty() && r.SerialNumber.compare(FSerialNumber, Qt::CaseInsensitive) != 0)
        return;
    const QStringList cells = Cells(r);
    for (std::size_t i = 0; i < FWidths.size(); ++i)
        FWidths[i] = std::max(FWidths[i], cells[qsizetype(i)].size());
}

QString TAuditTable::Line(const QStringList &cells) const
{
    QString text;
    for (std::size_t i = 0; i < FWidths.size(); ++i) {
        const bool last = i + 1 == FWidths.size();
        const QString &cell = cells[qsizetype(i)];
        text += Columns[i].Right ? cell.rightJustified(FWidths[i]) : last ? cell : cell.leftJustified(FWidths[i]);
        if (!last)
            text += QStringLiteral("  ");
    }
    return text + u'\n';
}

QString TAuditTable::Heading() const
{
    QStringList titles;
    for (const TColumn &c : Columns)
        titles << QLatin1String(c.Title);
    return Line(titles);
}

QString TAuditTable::Row(const TAuditRecord &r) const
{
    return Shows(r) ? Line(Cells(r)) : QString();
}

QString FormatAuditTable(const std::vector<TAuditRecord> &records, const QString &serialNumber)
{
    std::set<qint64> open;
    for (const TAuditRecord &r : records) {
        if (r.Kind == TAuditKind::Intent)
            open.insert(r.Sequence);
        else if (r.Kind == TAuditKind::Result)
            open.erase(r.Intent);
    }
    TAuditTable table(serialNumber);
    table.SetOpenIntents(open);
    QString rows;
    for (const TAuditRecord &r : records)
        table.Measure(r);
    for (const TAuditRecord &r : records)
        rows += table.Row(r);
    return rows.isEmpty() ? QString() : table.Heading() + rows;
}
