#pragma once

#include <QImage>

// The window's buttons: the large round Read, Save and Back buttons, each
// with a pressed picture, and the title-bar buttons on the blue strip.
namespace drawskin {

QImage readButton(bool pressed);
QImage saveButton(bool pressed);
QImage backButton(bool pressed);

QImage aboutButton();
QImage helpButton();
QImage minimizeButton();
QImage closeButton();

} // namespace drawskin
