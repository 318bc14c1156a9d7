#include "GroupBox.h"

#include <QStyleOptionGroupBox>
#include <QStylePainter>

TGroupBox::TGroupBox(QWidget *parent)
    : QGroupBox(parent)
{
}

void TGroupBox::SetTitleFont(const QFont &titleFont)
{
    FTitleFont = titleFont;
    update();
}

void TGroupBox::paintEvent(QPaintEvent *)
{
    // The style places the title and the frame below it by the option's font
    // metrics and writes the title with the painter's font: given the title
    // font, both draw the group as if it were the group's own.
    const QFont title = TitleFont();
    QStylePainter painter(this);
    painter.setFont(title);
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    option.fontMetrics = QFontMetrics(title, this);
    painter.drawComplexControl(QStyle::CC_GroupBox, option);
}
