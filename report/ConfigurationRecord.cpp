#include "ConfigurationRecord.h"

#include "ManualRenderer.h"
#include "RecordContent.h"
#include "WritePlan.h"

#include <QAbstractTextDocumentLayout>
#include <QLocale>
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
// A form of some forty rows: the manual's roomy cells would take two pages.
constexpr qreal CellPaddingPt = 1.2;

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

// Name and value side by side, down the left pair of columns and then down
// the right; values too long for that get a row across the table. A title
// stands in the heading row across the table instead of the column names.
void PairsTable(QTextCursor &cursor, const std::vector<TRecordPair> &all, const QString &title = {})
{
    std::vector<TRecordPair> pairs, longOnes;
    for (const TRecordPair &p : all)
        (p.Value.size() > LongValue ? longOnes : pairs).push_back(p);
    const std::size_t half = (pairs.size() + 1) / 2;
    std::vector<qsizetype> chars(4, 5);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const std::size_t side = i < half ? 0 : 2;
        chars[side] = std::max(chars[side], pairs[i].Name.size());
        chars[side + 1] = std::max(chars[side + 1], pairs[i].Value.size());
    }
    QTextTable *table = InsertTable(cursor, int(half + longOnes.size()) + 1, 4, Widths(chars));
    if (title.isEmpty()) {
        for (int column = 0; column < 4; ++column)
            SetCell(table, 0, column, column % 2 ? QStringLiteral("Value") : QStringLiteral("Setting"));
    } else {
        table->mergeCells(0, 0, 1, 4);
        SetCell(table, 0, 0, title);
    }
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const int row = int(i < half ? i : i - half) + 1;
        const int column = i < half ? 0 : 2;
        SetCell(table, row, column, pairs[i].Name);
        SetCell(table, row, column + 1, pairs[i].Value);
    }
    for (std::size_t i = 0; i < longOnes.size(); ++i) {
        const int row = int(half + i) + 1;
        SetCell(table, row, 0, longOnes[i].Name);
        table->mergeCells(row, 1, 1, 3);
        SetCell(table, row, 1, longOnes[i].Value);
    }
}

// One fact a row, its value across the rest of the table; a hash stays on
// one line, so that it can be copied whole.
void FactsTable(QTextCursor &cursor, const std::vector<TRecordPair> &facts, const TRecordContent *identity = nullptr)
{
    const int first = identity ? 1 : 0;
    QTextTable *table = InsertTable(cursor, int(facts.size()) + first, 4, Widths({14, 26, 14, 26}));
    if (first) {
        SetCell(table, 0, 0, QStringLiteral("Serial Number"));
        SetCell(table, 0, 1, identity->SerialNumber);
        SetCell(table, 0, 2, QStringLiteral("Device ID"));
        SetCell(table, 0, 3, identity->DeviceId);
    }
    for (std::size_t i = 0; i < facts.size(); ++i) {
        const int row = int(i) + first;
        SetCell(table, row, 0, facts[i].Name);
        table->mergeCells(row, 1, 1, 3);
        SetCell(table, row, 1, facts[i].Value);
    }
}

void GridTable(QTextCursor &cursor, const TRecordGrid &grid)
{
    std::vector<qsizetype> widths = {grid.Title.size()};
    for (const QString &row : grid.Rows)
        widths[0] = std::max(widths[0], row.size());
    for (const QString &column : grid.Columns)
        widths.push_back(column.size());
    for (const auto &[at, value] : grid.Cells)
        widths[at.second + 1] = std::max(widths[at.second + 1], value.size());
    QTextTable *table = InsertTable(cursor, int(grid.Rows.size()) + 1, int(grid.Columns.size()) + 1, Widths(widths));
    SetCell(table, 0, 0, grid.Title);
    for (std::size_t c = 0; c < grid.Columns.size(); ++c)
        SetCell(table, 0, int(c) + 1, grid.Columns[c]);
    for (std::size_t r = 0; r < grid.Rows.size(); ++r)
        SetCell(table, int(r) + 1, 0, grid.Rows[r]);
    for (const auto &[at, value] : grid.Cells)
        SetCell(table, int(at.first) + 1, int(at.second) + 1, value);
}

// Printed name, signature and date for each role, with room to write, and
// below each what the signature means, written out.
void SignOff(QTextCursor &cursor, const std::vector<TRecordSignature> &signatures)
{
    QTextTable *table = InsertTable(cursor, 2 * int(signatures.size()) + 1, 4, Widths({14, 22, 22, 22}));
    const QStringList titles = {QStringLiteral("Sign-off"), QStringLiteral("Printed name"), QStringLiteral("Signature"),
                                QStringLiteral("Date and time")};
    for (int c = 0; c < 4; ++c)
        SetCell(table, 0, c, titles[c]);
    for (std::size_t i = 0; i < signatures.size(); ++i) {
        const int row = 2 * int(i) + 1;
        SetCell(table, row, 0, signatures[i].Role);
        SetCell(table, row, 1, signatures[i].Name);
        // Room for a hand: a line more under the signature.
        table->cellAt(row, 2).firstCursorPosition().insertBlock();
        table->mergeCells(row + 1, 0, 1, 4);
        SetCell(table, row + 1, 0, QStringLiteral("Meaning: ") + signatures[i].Meaning);
    }
}

void Build(QTextDocument &doc, const TRecordContent &content)
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

    std::vector<TRecordPair> facts = content.Facts;
    facts.insert(facts.end(), content.Audit.begin(), content.Audit.end());
    FactsTable(cursor, facts, &content);
    Heading(cursor, 2, QStringLiteral("Settings"));
    PairsTable(cursor, content.Settings);
    for (const TRecordGrid &grid : content.Grids)
        GridTable(cursor, grid);
    PairsTable(cursor, content.Kept, QStringLiteral("Kept by the logger and sent back, not shown in the window"));
    SignOff(cursor, content.Signatures);
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
    const TRecordContent content = RecordContent(data);
    const QPageSize::PageSizeId page = data.Paper == TPaper::Letter ? QPageSize::Letter : QPageSize::A4;
    std::optional<qreal> onePage;
    for (const qreal size : Sizes) {
        TManualRenderer renderer(pdfPath, TPrintStyle{size, QMarginsF(18, 15, 18, 12), page, CellPaddingPt});
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
        TManualRenderer renderer(pdfPath, TPrintStyle{*onePage, QMarginsF(18, 15, 18, 12), page, CellPaddingPt});
        Build(renderer.Document(), content);
        renderer.Layout();
        return renderer.Write(error);
    }
    if (error)
        *error = QStringLiteral("the configuration record of %1 does not fit one page").arg(content.SerialNumber);
    return false;
}

TPaper LocalePaper()
{
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? TPaper::Letter : TPaper::A4;
}

std::optional<TPaper> PaperNamed(const QString &name)
{
    if (name.compare(QLatin1String("a4"), Qt::CaseInsensitive) == 0)
        return TPaper::A4;
    if (name.compare(QLatin1String("letter"), Qt::CaseInsensitive) == 0)
        return TPaper::Letter;
    return std::nullopt;
}

std::optional<TConfigurationRecordData> ConfigurationRecordOf(const TFoundLogger &Logger, const TAuditedWrite &Write,
                                                              const TAuditRequest &Audit, TPaper Paper)
{
    const TWriteOutcome &outcome = Write.Outcome;
    if (!outcome.ReadBack || !outcome.Plan)
        return std::nullopt;
    TConfigurationRecordData data;
    data.Record = *outcome.ReadBack;
    data.Port = Logger.Port;
    data.ReadAt = QDateTime::currentDateTimeUtc();
    data.Write = Write.Result ? *Write.Result : AuditRecordOf(Logger, outcome, Audit);
    if (!Write.Result)
        data.Write->Sha256.clear();
    data.AuditLog = Write.Result ? Audit.Log : QString();
    data.ClockSet = FrameClock(outcome.Plan->Frame);
    data.Paper = Paper;
    return data;
}

QString ConfigurationRecordFileName(const QString &serialNumber, const QDateTime &time)
{
    QString name;
    for (const QChar c : serialNumber)
        name += (c.isLetterOrNumber() && c.unicode() < 0x80) || c == u'-' ? c : u'_';
    return name + time.toUTC().toString(QStringLiteral("-yyyyMMdd'T'HHmmss'Z.pdf'"));
}
