#pragma once

#include <QFont>
#include <QGroupBox>

#include <optional>

class QStyleOptionGroupBox;

// A group box whose title is drawn in a font of its own. The controls inside
// go on inheriting the group's font(), which stays the window's: a larger
// font given to the group itself would reach every control in it, and a
// combo box answers each font change by building its drop-down list, the
// dearest part of building the window.
class TGroupBox : public QGroupBox
{
    Q_OBJECT

public:
    explicit TGroupBox(QWidget *parent = nullptr);

    // The title's font; until one is set, the group's own.
    QFont TitleFont() const { return FTitleFont.value_or(font()); }
    void SetTitleFont(const QFont &titleFont);

protected:
    void paintEvent(QPaintEvent *event) override;
    // What the style is given to draw the group: the group's own state, with
    // the title font's metrics.
    void InitGroupOption(QStyleOptionGroupBox &option) const;

private:
    std::optional<QFont> FTitleFont;
};
