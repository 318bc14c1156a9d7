#pragma once

#include <QString>

// Text from a logger or from a file that anybody may have edited, made safe to
// print: a control character would reach a terminal as a command (clear the
// screen, rewrite the line above) and a page as an empty box, so each one is
// shown by its code instead, as \x1b.
QString PrintableText(const QString &text);
