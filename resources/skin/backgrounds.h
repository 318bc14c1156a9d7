#pragma once

#include <QImage>

// The full-window pictures: the main window's background with its title
// strip and framed working area, the About box's background with the version,
// and the translucent overlay that dims the window behind a dialog.
namespace drawskin {

QImage background();
QImage aboutBackground();
QImage overlay();

} // namespace drawskin
