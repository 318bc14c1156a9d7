#include "AuditTable.h"

#include "PrintableText.h"

#include <QStringList>

#include <algorithm>

namespace {

struct TColumn {
    QString Title;
    bool Right;  // numbers line up on the right
};

} // namespace

QString FormatAuditTable(const std::vector<TAuditRecord> &records, const QString &serialNumber)
{
    const std::vector<TColumn> columns = {
        {QStringLiteral("#"), true},        {QStringLiteral("Time (UTC)"), false}, {QStringLiteral("Serial"), false},
        {QStringLiteral("Device ID"), false}, {QStringLiteral("Action"), false},   {QStringLiteral("Result"), false},
        {QStringLiteral("Changed"), true},  {QStringLiteral("Operator"), false},
    };
    std::vector<QStringList> rows;
    for (const TAuditRecord &r : records) {
        if (!serialNumber.isEmpty() && r.SerialNumber.compare(serialNumber, Qt::CaseInsensitive) != 0)
            continue;
        rows.push_back({QString::number(r.Sequence), r.Time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                        PrintableText(r.SerialNumber), PrintableText(r.DeviceId), AuditActionName(r.Action),
                        r.Verified ? QStringLiteral("verified") : QStringLiteral("FAILED"),
                        QString::number(r.Changes.size()), PrintableText(r.Operator)});
    }
    if (rows.empty())
        return {};

    std::vector<qsizetype> widths;
    for (const TColumn &c : columns)
        widths.push_back(c.Title.size());
    for (const QStringList &row : rows)
        for (std::size_t i = 0; i < columns.size(); ++i)
            widths[i] = std::max(widths[i], row[qsizetype(i)].size());

    const auto line = [&](const QStringList &cells) {
        QString text;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const bool last = i + 1 == columns.size();
            const QString &cell = cells[qsizetype(i)];
            text += columns[i].Right ? cell.rightJustified(widths[i]) : last ? cell : cell.leftJustified(widths[i]);
            if (!last)
                text += QStringLiteral("  ");
        }
        return text + u'\n';
    };
    QStringList titles;
    for (const TColumn &c : columns)
        titles << c.Title;
    QString table = line(titles);
    for (const QStringList &row : rows)
        table += line(row);
    return table;
}
