#pragma once

#include <QMarginsF>
#include <QPageSize>
#include <QPdfWriter>
#include <QString>
#include <QTextDocument>

// The project's printed look, shared by the manual and by the configuration
// record, so that every PDF the project makes reads as one family: the font,
// the heading colours, shaded code and ruled tables, a footer with the title
// and page numbers. Lengths scale with the body size, so a document set
// smaller keeps the same proportions.
struct TPrintStyle {
    qreal BodyPt = 11;
    QMarginsF MarginsMm{20, 18, 20, 16};
    QPageSize::PageSizeId Page = QPageSize::A4;
    qreal CellPaddingPt = 3.5;  // at 11 pt; a form of many rows asks for less
};

// Fill Document() (from Markdown or through a cursor), then Layout() and
// Write(). Needs a QGuiApplication for its fonts.
class TManualRenderer
{
public:
    TManualRenderer(const QString &pdfPath, const TPrintStyle &style = {});

    QTextDocument &Document() { return FDoc; }
    static QFont Font(qreal points);
    // The width the text is laid out to, in the document's units.
    qreal TextWidth() const;

    // Styles what the document holds and lays it out on the style's pages; returns
    // the number of pages. Call once, after the document is filled.
    int Layout();
    // The first heading, which the footer and the PDF's title show.
    QString Title() const;
    bool Write(QString *error);

private:
    qreal Pt(qreal points) const;
    void StyleHeadings();
    void StyleParagraphs();
    void StyleTables();
    void FitImages();
    void KeepTogether(qreal pageHeight);

    TPrintStyle FStyle;
    qreal FScale;
    QString FPath;
    QPdfWriter FWriter;
    QTextDocument FDoc;
    qreal FFooterHeight;
};
