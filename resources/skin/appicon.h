#pragma once

#include <QByteArray>
#include <QImage>

// The program's icon: painted at each size it is installed in, written as a
// scalable picture from the same shapes, and packed into an icon file for Windows.
namespace drawskin {

// The sizes of the desktop's icon theme, the largest last.
inline constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// Smaller sizes are painted, not scaled down, so that edges stay sharp.
QImage appIcon(int size = 256);

// The same icon as a scalable picture, from the same shapes.
QByteArray appIconSvg();

// An icon file whose every entry is a PNG, as Windows has read them since Vista.
QByteArray appIconIco();

} // namespace drawskin
