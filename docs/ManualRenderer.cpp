#include "ManualRenderer.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <cmath>
#include <numeric>

namespace {

constexpr int Resolution = 300;
// The sizes below are for this body size and scale with the style's.
constexpr qreal BasePt = 11;
constexpr qreal FooterPt = 8.5;
const QColor HeadingColour(0x1d, 0x4f, 0x91);
const QColor RuleColour(0xb8, 0xc4, 0xd6);
const QColor ShadeColour(0xee, 0xf2, 0xf8);
const QColor FooterColour(0x5a, 0x64, 0x72);

// The text of one block, without the separator that ends the block before it.
QTextCursor SelectBlock(const QTextBlock &block)
{
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    return cursor;
}

bool IsCode(const QTextBlock &block)
{
    return block.isValid()
           && (block.blockFormat().hasProperty(QTextFormat::BlockCodeFence) || block.blockFormat().nonBreakableLines());
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

} // namespace

TManualRenderer::TManualRenderer(const QString &pdfPath, const TPrintStyle &style)
    : FStyle(style), FScale(style.BodyPt / BasePt), FPath(pdfPath), FWriter(pdfPath)
{
    FWriter.setResolution(Resolution);
    FWriter.setPageSize(QPageSize(FStyle.Page));
    FWriter.setPageMargins(FStyle.MarginsMm, QPageLayout::Millimeter);
    FWriter.setCreator(QStringLiteral("loggercfg"));
    FDoc.setDefaultFont(Font(FStyle.BodyPt));
    FDoc.setDocumentMargin(0);
    FFooterHeight = Pt(FooterPt * 3);
}

// Lengths other than font sizes are in device pixels of the PDF.
qreal TManualRenderer::Pt(qreal points) const
{
    return points * FScale * Resolution / 72.0;
}

QFont TManualRenderer::Font(qreal points)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

qreal TManualRenderer::TextWidth() const
{
    return FWriter.width();
}

void TManualRenderer::StyleHeadings()
{
    static const qreal sizes[] = {0, 22, 15, 12.5, 11, 11, 11};
    for (QTextBlock block = FDoc.begin(); block.isValid(); block = block.next()) {
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
            chars.setFontPointSize(sizes[qMin(level, 6)] * FScale);
            chars.setFontWeight(QFont::Bold);
            chars.setForeground(level <= 2 ? HeadingColour : QColor(Qt::black));
            QTextCursor cursor(&FDoc);
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

void TManualRenderer::StyleParagraphs()
{
    for (QTextBlock block = FDoc.begin(); block.isValid(); block = block.next()) {
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
            chars.setFontPointSize(FStyle.BodyPt - 1.5 * FScale);
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

void TManualRenderer::StyleTables()
{
    const auto frames = FDoc.rootFrame()->childFrames();
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
        format.setCellPadding(Pt(FStyle.CellPaddingPt));
        format.setHeaderRowCount(1);
        format.setTopMargin(Pt(4));
        format.setBottomMargin(Pt(8));
        // A table built with widths of its own keeps them.
        if (format.columnWidthConstraints().isEmpty())
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
void TManualRenderer::FitImages()
{
    const qreal widthAt96 = TextWidth() * 96.0 / Resolution;
    for (QTextBlock block = FDoc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QImage picture = FDoc.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
            if (picture.isNull() || picture.width() <= widthAt96)
                continue;
            image.setWidth(widthAt96);
            image.setHeight(picture.height() * widthAt96 / picture.width());
            QTextCursor cursor(&FDoc);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
        }
    }
}

// A heading moves to the next page when what follows it starts there, and a
// table when its heading row would stand alone at the foot of a page. A table
// that the layout pushes to a new page by itself is given an explicit break as
// well: the layout's own push misplaces the text of its heading row.
void TManualRenderer::KeepTogether(qreal pageHeight)
{
    QAbstractTextDocumentLayout *layout = FDoc.documentLayout();
    const auto pageOf = [&](qreal y) { return int(std::floor(y / pageHeight)); };
    // Bottom of the first line of a block, or of the first body row of a
    // table: what must share a page with the heading above it.
    const auto firstLineBottom = [&](const QTextFrame::iterator &it) {
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
        return rect.top() + qMin(rect.height(), Pt(BasePt * 3));
    };
    bool afterHeading = false;
    qreal previousBottom = 0;
    for (auto it = FDoc.rootFrame()->begin(); !it.atEnd(); ++it) {
        const bool heading = !it.currentFrame() && it.currentBlock().blockFormat().headingLevel() > 1;
        auto next = it;
        ++next;
        bool moved = false;
        if (heading && !next.atEnd() && pageOf(Top(layout, it)) != pageOf(firstLineBottom(next) - 1)) {
            QTextBlockFormat format;
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(it.currentBlock()).mergeBlockFormat(format);
            moved = true;
        } else if (auto *table = qobject_cast<QTextTable *>(it.currentFrame()); table && !afterHeading) {
            const int page = pageOf(Top(layout, it));
            if (page != pageOf(firstLineBottom(it) - 1) || page != pageOf(previousBottom)) {
                QTextTableFormat format = table->format();
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                table->setFormat(format);
                moved = true;
            }
        }
        // The incremental relayout after a page break leaves later blocks
        // unpainted or misplaced; lay the whole document out again.
        if (moved)
            FDoc.markContentsDirty(0, FDoc.characterCount());
        afterHeading = heading;
        previousBottom = Bottom(layout, it);
    }
    FDoc.markContentsDirty(0, FDoc.characterCount());
}

int TManualRenderer::Layout()
{
    const QSizeF body(FWriter.width(), FWriter.height() - FFooterHeight);
    FDoc.documentLayout()->setPaintDevice(&FWriter);
    StyleHeadings();
    StyleParagraphs();
    StyleTables();
    FitImages();
    FDoc.setPageSize(body);
    KeepTogether(body.height());
    return FDoc.pageCount();
}

QString TManualRenderer::Title() const
{
    for (QTextBlock block = FDoc.begin(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() == 1)
            return block.text();
    return QStringLiteral("Manual");
}

bool TManualRenderer::Write(QString *error)
{
    const QString title = Title();
    FWriter.setTitle(title);
    // The writer tells a file it cannot open only by a warning of Qt's own
    // on stderr; asked first, the reason is ours to say.
    QFile target(FPath);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(FPath), target.errorString());
        return false;
    }
    target.close();
    QPainter painter;
    if (!painter.begin(&FWriter)) {
        if (error)
            *error = QStringLiteral("cannot write %1").arg(FPath);
        return false;
    }

    const QSizeF body = FDoc.pageSize();
    const int pages = FDoc.pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            FWriter.newPage();
        painter.save();
        painter.translate(0, -page * body.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(QPointF(0, page * body.height()), body);
        painter.setClipRect(context.clip);
        FDoc.documentLayout()->draw(&painter, context);
        painter.restore();

        const QRectF footer(0, FWriter.height() - FFooterHeight * 0.6, FWriter.width(), FFooterHeight * 0.6);
        painter.setPen(QPen(RuleColour, Pt(0.5)));
        painter.drawLine(footer.topLeft(), footer.topRight());
        painter.setPen(FooterColour);
        painter.setFont(Font(FooterPt * FScale));
        painter.drawText(footer, Qt::AlignLeft | Qt::AlignBottom, title);
        painter.drawText(footer, Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages));
    }
    if (!painter.end()) {
        if (error)
            *error = QStringLiteral("cannot write %1").arg(FPath);
        return false;
    }
    return true;
}
