#include "OnScreen.h"

#include <QWidget>

namespace {

// What is left of the control's rectangle once each holder has cut it to its
// own bounds, whether the control is shown at the moment or not.
bool ClippedAway(const QWidget *control)
{
    QRect area = control->rect();
    for (const QWidget *w = control; !w->isWindow() && w->parentWidget() != nullptr; w = w->parentWidget()) {
        area.translate(w->pos());
        area &= w->parentWidget()->rect();
        if (area.isEmpty())
            return true;
    }
    return false;
}

} // namespace

bool IsOnScreen(const QWidget *control)
{
    return !control->visibleRegion().isEmpty();
}

void KeepKeyboardOnScreen(QWidget *window)
{
    for (QWidget *control : window->findChildren<QWidget *>()) {
        if (control->focusPolicy() != Qt::NoFocus && ClippedAway(control))
            control->setFocusPolicy(Qt::NoFocus);
    }
}
