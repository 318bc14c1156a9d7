// Renders the Markdown user manual into the PDF that the window's Help button
// opens: render-manual <manual.md> <Help.pdf>

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace {

constexpr int Resolution = 300;
constexpr qreal BodyPt = 11;
constexpr qreal FooterPt = 8.5;
const QColor HeadingColour(0x1d, 0x4f, 0x91);
const QColor RuleColour(0xb8, 0xc4, 0xd6);
const QColor ShadeColour(0xee, 0xf2, 0xf8);

// Lengths other than font sizes are in device pixels of the PDF.
qreal Pt(qreal points) { return points * Resolution / 72.0; }

QFont BodyFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(BodyPt);
    return font;
}

// The text of one block, without the separator that ends the block before it.
QTextCursor SelectBlock(const QTextBlock &block)
{
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    return cursor;
}

void StyleHeadings(QTextDocument &doc)
{
    static const qreal sizes[] = {0, 22, 15, 12.5, 11, 11, 11};
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level <= 0)
            continue;
        // A size adjustment, even of zero, overrides an explicit point size.
        QList<QTextFragment> fragments;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            fragments << it.fragment();
        for (const QTextFragment &fragment : fragments) {
            QTextCharFormat chars = fragment.charFormat();
            chars.clearProperty(QTextFormat::FontSizeAdjustment);
            chars.setFontPointSize(sizes[qMin(level, 6)]);
            chars.setFontWeight(QFont::Bold);
            chars.setForeground(level <= 2 ? HeadingColour : QColor(Qt::black));
            QTextCursor cursor(&doc);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(chars);
        }

        QTextBlockFormat format;
        format.setTopMargin(Pt(level == 1 ? 0 : level == 2 ? 16 : 10));
        format.setBottomMargin(Pt(level == 1 ? 12 : 5));
        QTextCursor(block).mergeBlockFormat(format);
    }
}

bool IsCode(const QTextBlock &block)
{
    return block.isValid()
           && (block.blockFormat().hasProperty(QTextFormat::BlockCodeFence) || block.blockFormat().nonBreakableLines());
}

void StyleParagraphs(QTextDocument &doc)
{
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if (format.headingLevel() > 0)
            continue;
        QTextCursor cursor(block);
        if (IsCode(block)) {
            // The lines of one code block form one shaded box.
            format.setBackground(ShadeColour);
            format.setLeftMargin(Pt(8));
            format.setTopMargin(IsCode(block.previous()) ? 0 : Pt(4));
            format.setBottomMargin(IsCode(block.next()) ? 0 : Pt(8));
            QTextCharFormat chars;
            chars.setFontPointSize(BodyPt - 1.5);
            SelectBlock(block).mergeCharFormat(chars);
        } else if (block.textList()) {
            format.setBottomMargin(Pt(3));
        } else if (cursor.currentTable()) {
            format.setTopMargin(0);
            format.setBottomMargin(0);
        } else {
            format.setBottomMargin(Pt(6));
            format.setLineHeight(115, QTextBlockFormat::ProportionalHeight);
        }
        cursor.setBlockFormat(format);
    }
}

// Columns share the width by how much text they hold, none narrower than 12 %.
QList<QTextLength> ColumnWidths(const QTextTable &table)
{
    QList<qreal> weights(table.columns(), 0);
    for (int row = 0; row < table.rows(); ++row) {
        for (int column = 0; column < table.columns(); ++column) {
            const QTextTableCell cell = table.cellAt(row, column);
            QTextCursor cursor = cell.firstCursorPosition();
            cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
            weights[column] += std::sqrt(qreal(cursor.selectedText().size()) + 1);
        }
    }
    const qreal total = std::accumulate(weights.begin(), weights.end(), qreal(0));
    QList<qreal> shares;
    for (qreal weight : weights)
        shares << qMax(12.0, 100 * weight / total);
    const qreal sum = std::accumulate(shares.begin(), shares.end(), qreal(0));
    QList<QTextLength> widths;
    for (qreal share : shares)
        widths << QTextLength(QTextLength::PercentageLength, 100 * share / sum);
    return widths;
}

void StyleTables(QTextDocument &doc)
{
    const auto frames = doc.rootFrame()->childFrames();
    for (QTextFrame *frame : frames) {
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        format.setBorder(Pt(0.6));
        format.setBorderBrush(RuleColour);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderCollapse(true);
        format.setCellSpacing(0);
        format.setCellPadding(Pt(3.5));
        format.setHeaderRowCount(1);
        format.setTopMargin(Pt(4));
        format.setBottomMargin(Pt(8));
        format.setColumnWidthConstraints(ColumnWidths(*table));
        table->setFormat(format);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        for (int column = 0; column < table->columns(); ++column) {
            QTextTableCell cell = table->cellAt(0, column);
            QTextCharFormat shade = cell.format();
            shade.setBackground(ShadeColour);
            cell.setFormat(shade);
            QTextCursor text = cell.firstCursorPosition();
            text.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
            text.mergeCharFormat(bold);
        }
    }
}

// Screenshots are wider than the page; shrink them to the text width.
void FitImages(QTextDocument &doc, qreal textWidth)
{
    const qreal widthAt96 = textWidth * 96.0 / Resolution;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QImage picture = doc.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
            if (picture.isNull() || picture.width() <= widthAt96)
                continue;
            image.setWidth(widthAt96);
            image.setHeight(picture.height() * widthAt96 / picture.width());
            QTextCursor cursor(&doc);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
        }
    }
}

// Bottom of the first line of a block, or of the first body row of a table:
// what must share a page with the heading above it.
qreal FirstLineBottom(QAbstractTextDocumentLayout *layout, const QTextFrame::iterator &it)
{
    if (auto *table = qobject_cast<QTextTable *>(it.currentFrame())) {
        const int row = qMin(1, table->rows() - 1);
        qreal bottom = layout->frameBoundingRect(table).top();
        for (int column = 0; column < table->columns(); ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            bottom = qMax(bottom, layout->blockBoundingRect(cell.lastCursorPosition().block()).bottom());
        }
        return bottom;
    }
    const QRectF rect = layout->blockBoundingRect(it.currentBlock());
    return rect.top() + qMin(rect.height(), Pt(BodyPt * 3));
}

qreal Top(QAbstractTextDocumentLayout *layout, const QTextFrame::iterator &it)
{
    return it.currentFrame() ? layout->frameBoundingRect(it.currentFrame()).top()
                             : layout->blockBoundingRect(it.currentBlock()).top();
}

qreal Bottom(QAbstractTextDocumentLayout *layout, const QTextFrame::iterator &it)
{
    return it.currentFrame() ? layout->frameBoundingRect(it.currentFrame()).bottom()
                             : layout->blockBoundingRect(it.currentBlock()).bottom();
}

// A heading moves to the next page when what follows it starts there, and a
// table when its heading row would stand alone at the foot of a page. A table
// that the layout pushes to a new page by itself is given an explicit break as
// well: the layout's own push misplaces the text of its heading row.
void KeepTogether(QTextDocument &doc, qreal pageHeight)
{
    QAbstractTextDocumentLayout *layout = doc.documentLayout();
    const auto pageOf = [&](qreal y) { return int(std::floor(y / pageHeight)); };
    bool afterHeading = false;
    qreal previousBottom = 0;
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        const bool heading = !it.currentFrame() && it.currentBlock().blockFormat().headingLevel() > 1;
        auto next = it;
        ++next;
        bool moved = false;
        if (heading && !next.atEnd() && pageOf(Top(layout, it)) != pageOf(FirstLineBottom(layout, next) - 1)) {
            QTextBlockFormat format;
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(it.currentBlock()).mergeBlockFormat(format);
            moved = true;
        } else if (auto *table = qobject_cast<QTextTable *>(it.currentFrame()); table && !afterHeading) {
            const int page = pageOf(Top(layout, it));
            if (page != pageOf(FirstLineBottom(layout, it) - 1) || page != pageOf(previousBottom)) {
                QTextTableFormat format = table->format();
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                table->setFormat(format);
                moved = true;
            }
        }
        // The incremental relayout after a page break leaves later blocks
        // unpainted or misplaced; lay the whole document out again.
        if (moved)
            doc.markContentsDirty(0, doc.characterCount());
        afterHeading = heading;
        previousBottom = Bottom(layout, it);
    }
    doc.markContentsDirty(0, doc.characterCount());
}

QString DocumentTitle(const QTextDocument &doc)
{
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() == 1)
            return block.text();
    return QStringLiteral("Manual");
}

} // namespace

int main(int argc, char *argv[])
{
    const bool platformGiven = qEnvironmentVariableIsSet("QT_QPA_PLATFORM")
                               || std::any_of(argv, argv + argc, [](const char *a) { return qstrcmp(a, "-platform") == 0; });
    if (!platformGiven)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: render-manual <manual.md> <output.pdf>\n");
        return 2;
    }
    QFile input(args.at(1));
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "render-manual: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }

    QTextDocument doc;
    doc.setDefaultFont(BodyFont());
    doc.setDocumentMargin(0);
    doc.setBaseUrl(QUrl::fromLocalFile(QFileInfo(args.at(1)).absolutePath() + QLatin1Char('/')));
    doc.setMarkdown(QString::fromUtf8(input.readAll()), QTextDocument::MarkdownDialectGitHub);

    QPdfWriter writer(args.at(2));
    writer.setResolution(Resolution);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(20, 18, 20, 16), QPageLayout::Millimeter);
    writer.setTitle(DocumentTitle(doc));
    writer.setCreator(QStringLiteral("loggercfg"));

    QPainter painter;
    if (!painter.begin(&writer)) {
        std::fprintf(stderr, "render-manual: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }

    const QFont footerFont = [] {
        QFont font = BodyFont();
        font.setPointSizeF(FooterPt);
        return font;
    }();
    const qreal footerHeight = Pt(FooterPt * 3);
    const QSizeF body(writer.width(), writer.height() - footerHeight);

    doc.documentLayout()->setPaintDevice(&writer);
    StyleHeadings(doc);
    StyleParagraphs(doc);
    StyleTables(doc);
    FitImages(doc, body.width());
    doc.setPageSize(body);
    KeepTogether(doc, body.height());

    const QString title = DocumentTitle(doc);
    const int pages = doc.pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.save();
        painter.translate(0, -page * body.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(QPointF(0, page * body.height()), body);
        painter.setClipRect(context.clip);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();

        const QRectF footer(0, writer.height() - footerHeight * 0.6, writer.width(), footerHeight * 0.6);
        painter.setPen(QPen(RuleColour, Pt(0.5)));
        painter.drawLine(footer.topLeft(), footer.topRight());
        painter.setPen(QColor(0x5a, 0x64, 0x72));
        painter.setFont(footerFont);
        painter.drawText(footer, Qt::AlignLeft | Qt::AlignBottom, title);
        painter.drawText(footer, Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages));
    }
    return painter.end() ? 0 : 1;
}
