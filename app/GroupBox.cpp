#include "GroupBox.h"

#include "Image.h"

#include <QFile>
#include <QPixmapCache>
#include <QStyleOptionGroupBox>
#include <QStylePainter>
#include <qdrawutil.h>

namespace {

// Fusion draws a group's frame from this picture, which it loads by name and
// so by asking every image plugin installed: with the usual ones, a score of
// libraries opened and a few milliseconds before the window's first frame.
// Under Fusion the group reads the picture by its format and draws the frame
// as the style does; the title and the check box are still the style's.
const QString FusionFramePicture = QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png");

// The picture under Fusion; none under other styles, or where this Qt has
// no such picture, and the style then draws the frame itself.
QPixmap OwnFramePicture(const QStyle *style)
{
    static const bool pictureThere = QFile::exists(FusionFramePicture);
    if (!pictureThere || style->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        return {};
    static const QString key = QStringLiteral("loggercfg-group-frame");
    QPixmap frame;
    if (!QPixmapCache::find(key, &frame)) {
        frame = QPixmap::fromImage(ReadPicture(FusionFramePicture));
        QPixmapCache::insert(key, frame);
    }
    return frame;
}

void PaintFusionFrame(QPainter &painter, const QStyleOptionGroupBox &option, const QWidget *group,
                      const QPixmap &picture)
{
    const QStyle *style = group->style();
    QRect frame = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, group);
    // Below the title, and below the check box where there is one.
    constexpr int topMargin = 3;
    const bool bare = !(option.subControls & QStyle::SC_GroupBoxCheckBox) && option.text.isEmpty();
    frame.setTop(frame.top() + topMargin
                 + (bare ? 0
                         : qMax(style->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight),
                                option.fontMetrics.height())));
    qDrawBorderPixmap(&painter, frame, QMargins(6, 6, 6, 6), picture);
}

} // namespace

TGroupBox::TGroupBox(QWidget *parent)
    : QGroupBox(parent)
{
}

void TGroupBox::SetTitleFont(const QFont &titleFont)
{
    FTitleFont = titleFont;
    update();
}

void TGroupBox::InitGroupOption(QStyleOptionGroupBox &option) const
{
    initStyleOption(&option);
    option.fontMetrics = QFontMetrics(TitleFont(), this);
}

void TGroupBox::paintEvent(QPaintEvent *)
{
    // The style places the title and the frame below it by the option's font
    // metrics and writes the title with the painter's font: given the title
    // font, both draw the group as if it were the group's own.
    QStylePainter painter(this);
    painter.setFont(TitleFont());
    QStyleOptionGroupBox option;
    InitGroupOption(option);
    if (option.subControls & QStyle::SC_GroupBoxFrame) {
        if (const QPixmap picture = OwnFramePicture(style()); !picture.isNull()) {
            PaintFusionFrame(painter, option, this, picture);
            option.subControls &= ~QStyle::SC_GroupBoxFrame;
        }
    }
    painter.drawComplexControl(QStyle::CC_GroupBox, option);
}
