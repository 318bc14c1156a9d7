#include "ConfigurationRecord.h"

#include "ManualRenderer.h"
#include "PrintableText.h"
#include "Verify.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <map>

namespace {

// Body sizes tried, largest first, until every table cell keeps to one line
// and the page to one page.
constexpr qreal Sizes[] = {8.5, 8, 7.5, 7, 6.5, 6, 5.5, 5};
// Longer values get a row of their own across the table.
constexpr qsizetype LongValue = 40;

QString Text(const std::string &utf8)
{
    return QString::fromStdString(utf8);
}

QString UtcText(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" UTC");
}

struct TPair {
    QString Name;
    QString Value;
};

// The alarm rows, laid out as the window lays them out: one table per
// panel, a row per threshold, a column per field.
struct TGrid {
    QString Title;
    std::vector<QString> Columns;
    std::vector<QString> Rows;
    std::map<std::pair<std::size_t, std::size_t>, QString> Cells;
};

struct TContent {
    QString Title;
    std::vector<TPair> Facts;  // under the serial number and device ID
    QString SerialNumber, DeviceId;
    std::vector<TPair> Settings, LongSettings;
    std::vector<TGrid> Grids;
};

std::size_t IndexOf(std::vector<QString> &list, const QString &item)
{
    const auto at = std::find(list.begin(), list.end(), item);
    if (at != list.end())
        return std::size_t(at - list.begin());
    list.push_back(item);
    return list.size() - 1;
}

QString DifferencesText(const std::vector<TSettingDifference> &differences)
{
    QStringList items;
    for (const TSettingDifference &d : differences)
        items << QStringLiteral("%1: sent %2, read back %3").arg(Text(d.Name), Text(d.Old), Text(d.New));
    return items.join(QStringLiteral("; "));
}

TContent Content(const TConfigurationRecordData &data)
{
    TContent content;
    const TSettingValues values = RecordSettings(data.Record);
    const auto &settings = Settings();
    QString alarm;
    QString zone;
    for (std::size_t i = 0; i < settings.size(); ++i) {
        const TSetting &s = settings[i];
        const QString value = Text(DisplayValue(s, values[i]));
        if (s.Name == "Serial Number")
            content.SerialNumber = PrintableText(Text(values[i].front()));
        else if (s.Name == "Device ID")
            content.DeviceId = PrintableText(Text(values[i].front()));
        else if (s.Name == "Alarm")
            alarm = Text(values[i].front());
        else if (s.Name == "Time Zone")
            zone = Text(values[i].front());

        if (s.Table.size() == 3) {
            const QString title = Text(s.Table[1]);
            auto grid = std::find_if(content.Grids.begin(), content.Grids.end(),
                                     [&](const TGrid &g) { return g.Title == title; });
            if (grid == content.Grids.end())
                grid = content.Grids.insert(content.Grids.end(), TGrid{title, {}, {}, {}});
            const std::size_t row = IndexOf(grid->Rows, Text(s.Table[2]));
            grid->Cells[{row, IndexOf(grid->Columns, Text(s.Key))}] = value;
        } else {
            (value.size() > LongValue ? content.LongSettings : content.Settings).push_back({Text(s.Name), value});
        }
    }
    // The panel that the logger does not use keeps whatever an earlier
    // setting left in it; the page must not pass that off as in force.
    for (TGrid &grid : content.Grids)
        if (!alarm.isEmpty() && grid.Title != alarm)
            grid.Title += QStringLiteral(" (not in use)");

    content.Title = QStringLiteral("Configuration record %1").arg(content.SerialNumber);
    if (const auto &w = data.Write) {
        content.Facts.push_back({QStringLiteral("Written"),
                                 QStringLiteral("%1, %2 by %3 on %4 through %5, %6")
                                     .arg(UtcText(w->Time), AuditActionName(w->Action), PrintableText(w->Operator),
                                          PrintableText(w->Host), PrintableText(w->Port), PrintableText(w->Program))});
        if (const auto &c = data.ClockSet) {
            const QString clock = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", c->Year, c->Month, c->Day,
                                                    c->Hour, c->Minute, c->Second);
            content.Facts.push_back({QStringLiteral("Clock set"),
                                     QStringLiteral("%1 in %2").arg(clock, w->TimeZone.isEmpty() ? zone : w->TimeZone)});
        }
        QString verify = w->Verified ? QStringLiteral("verified: every setting read back as written")
                                     : QStringLiteral("FAILED: %1").arg(PrintableText(w->Failure));
        if (!w->Differences.empty())
            verify += QStringLiteral(". ") + DifferencesText(w->Differences);
        content.Facts.push_back({QStringLiteral("Verify"), verify});
        if (!w->Template.isEmpty())
            content.Facts.push_back({QStringLiteral("Template"), QStringLiteral("%1, SHA-256 %2")
                                                                     .arg(PrintableText(w->Template),
                                                                          QString::fromLatin1(w->TemplateSha256))});
        content.Facts.push_back({QStringLiteral("Audit record"),
                                 w->Sha256.isEmpty() ? QStringLiteral("none kept")
                                                     : QStringLiteral("%1, SHA-256 %2")
                                                           .arg(w->Sequence)
                                                           .arg(QString::fromLatin1(w->Sha256))});
    } else {
        content.Facts.push_back({QStringLiteral("Read"), QStringLiteral("%1 through %2")
                                                             .arg(UtcText(data.ReadAt), PrintableText(data.Port))});
        content.Facts.push_back({QStringLiteral("Verify"),
                                 QStringLiteral("not written: the settings as the logger holds them")});
    }
    return content;
}

QList<QTextLength> Widths(const std::vector<qsizetype> &chars)
{
    qreal total = 0;
    for (qsizetype c : chars)
        total += qreal(c + 2);
    QList<QTextLength> widths;
    for (qsizetype c : chars)
        widths << QTextLength(QTextLength::PercentageLength, 100 * qreal(c + 2) / total);
    return widths;
}

void SetCell(QTextTable *table, int row, int column, const QString &text)
{
    table->cellAt(row, column).firstCursorPosition().insertText(text);
}

QTextTable *InsertTable(QTextCursor &cursor, int rows, int columns, const QList<QTextLength> &widths)
{
    QTextTableFormat format;
    format.setColumnWidthConstraints(widths);
    QTextTable *table = cursor.insertTable(rows, columns, format);
    cursor.movePosition(QTextCursor::End);
    return table;
}

void Heading(QTextCursor &cursor, int level, const QString &text)
{
    QTextBlockFormat format;
    format.setHeadingLevel(level);
    cursor.setBlockFormat(format);
    cursor.insertText(text);
    cursor.insertBlock(QTextBlockFormat());
}

void Build(QTextDocument &doc, const TContent &content)
{
    // A trip text of escapes has no blank to break at.
    QTextOption option = doc.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc.setDefaultTextOption(option);
    QTextCursor cursor(&doc);
    QTextBlockFormat title;
    title.setHeadingLevel(1);
    cursor.setBlockFormat(title);
    cursor.insertText(content.Title);
    cursor.insertBlock(QTextBlockFormat());

    QTextTable *facts = InsertTable(cursor, int(content.Facts.size()) + 1, 4, Widths({14, 26, 14, 26}));
    SetCell(facts, 0, 0, QStringLiteral("Serial Number"));
    SetCell(facts, 0, 1, content.SerialNumber);
    SetCell(facts, 0, 2, QStringLiteral("Device ID"));
    SetCell(facts, 0, 3, content.DeviceId);
    for (std::size_t i = 0; i < content.Facts.size(); ++i) {
        const int row = int(i) + 1;
        SetCell(facts, row, 0, content.Facts[i].Name);
        facts->mergeCells(row, 1, 1, 3);
        SetCell(facts, row, 1, content.Facts[i].Value);
    }

    Heading(cursor, 2, QStringLiteral("Settings"));
    // Down the left pair of columns, then down the right.
    const std::size_t half = (content.Settings.size() + 1) / 2;
    std::vector<qsizetype> chars(4, 5);
    for (std::size_t i = 0; i < content.Settings.size(); ++i) {
        const std::size_t side = i < half ? 0 : 2;
        chars[side] = std::max(chars[side], content.Settings[i].Name.size());
        chars[side + 1] = std::max(chars[side + 1], content.Settings[i].Value.size());
    }
    QTextTable *pairs =
        InsertTable(cursor, int(half + content.LongSettings.size()) + 1, 4, Widths(chars));
    for (int column = 0; column < 4; ++column)
        SetCell(pairs, 0, column, column % 2 ? QStringLiteral("Value") : QStringLiteral("Setting"));
    for (std::size_t i = 0; i < content.Settings.size(); ++i) {
        const int row = int(i < half ? i : i - half) + 1;
        const int column = i < half ? 0 : 2;
        SetCell(pairs, row, column, content.Settings[i].Name);
        SetCell(pairs, row, column + 1, content.Settings[i].Value);
    }
    for (std::size_t i = 0; i < content.LongSettings.size(); ++i) {
        const int row = int(half + i) + 1;
        SetCell(pairs, row, 0, content.LongSettings[i].Name);
        pairs->mergeCells(row, 1, 1, 3);
        SetCell(pairs, row, 1, content.LongSettings[i].Value);
    }

    for (const TGrid &grid : content.Grids) {
        std::vector<qsizetype> widths = {grid.Title.size()};
        for (const QString &row : grid.Rows)
            widths[0] = std::max(widths[0], row.size());
        for (const QString &column : grid.Columns)
            widths.push_back(column.size());
        for (const auto &[at, value] : grid.Cells)
            widths[at.second + 1] = std::max(widths[at.second + 1], value.size());
        QTextTable *table =
            InsertTable(cursor, int(grid.Rows.size()) + 1, int(grid.Columns.size()) + 1, Widths(widths));
        SetCell(table, 0, 0, grid.Title);
        for (std::size_t c = 0; c < grid.Columns.size(); ++c)
            SetCell(table, 0, int(c) + 1, grid.Columns[c]);
        for (std::size_t r = 0; r < grid.Rows.size(); ++r)
            SetCell(table, int(r) + 1, 0, grid.Rows[r]);
        for (const auto &[at, value] : grid.Cells)
            SetCell(table, int(at.first) + 1, int(at.second) + 1, value);
    }
}

// Whether every cell of one column keeps to one line: a value broken over
// two would read as two.
bool CellsKeepToOneLine(QTextDocument &doc)
{
    for (QTextFrame *frame : doc.rootFrame()->childFrames()) {
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table)
            continue;
        for (int row = 0; row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                if (cell.columnSpan() > 1 || cell.column() != column)
                    continue;
                const int last = cell.lastCursorPosition().position();
                for (QTextBlock b = cell.firstCursorPosition().block(); b.isValid() && b.position() <= last;
                     b = b.next())
                    if (b.layout() && b.layout()->lineCount() > 1)
                        return false;
            }
        }
    }
    return true;
}

} // namespace

bool WriteConfigurationRecord(const TConfigurationRecordData &data, const QString &pdfPath, QString *error)
{
    // Without a font the page comes out blank, which would pass for a record.
    if (!QFontMetricsF(TManualRenderer::Font(Sizes[0])).inFont(u'A')) {
        if (error)
            *error = QStringLiteral("cannot print the configuration record: no font is installed");
        return false;
    }
    const TContent content = Content(data);
    std::optional<qreal> onePage;
    for (const qreal size : Sizes) {
        TManualRenderer renderer(pdfPath, TPrintStyle{size, QMarginsF(18, 15, 18, 12)});
        Build(renderer.Document(), content);
        if (renderer.Layout() != 1)
            continue;
        if (CellsKeepToOneLine(renderer.Document()))
            return renderer.Write(error);
        if (!onePage)
            onePage = size;
    }
    // Cells that break are better than a second page, which could be lost.
    if (onePage) {
        TManualRenderer renderer(pdfPath, TPrintStyle{*onePage, QMarginsF(18, 15, 18, 12)});
        Build(renderer.Document(), content);
        renderer.Layout();
        return renderer.Write(error);
    }
    if (error)
        *error = QStringLiteral("the configuration record of %1 does not fit one page").arg(content.SerialNumber);
    return false;
}

QString ConfigurationRecordFileName(const QString &serialNumber, const QDateTime &time)
{
    QString name;
    for (const QChar c : serialNumber)
        name += (c.isLetterOrNumber() && c.unicode() < 0x80) || c == u'-' ? c : u'_';
    return name + time.toUTC().toString(QStringLiteral("-yyyyMMdd'T'HHmmss'Z.pdf'"));
}
