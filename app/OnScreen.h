#pragma once

class QWidget;

// The fixed layout parks some controls outside the group that holds them: the
// group clips them away, so nobody ever sees them. Qt's own tests (isVisible,
// the focus chain) do not look at clipping; these do.

// Whether some part of the control can be seen now: it is shown and not
// clipped away by the widgets that hold it.
bool IsOnScreen(const QWidget *control);

// Takes every control of the window that its holders clip away entirely out
// of the keyboard's reach, so that Tab and Shift+Tab pass it by. Called once
// the layout is built; it holds for good, since nothing moves.
void KeepKeyboardOnScreen(QWidget *window);
