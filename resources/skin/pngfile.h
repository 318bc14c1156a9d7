#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace drawskin {

// The picture as a PNG file whose rows carry no filter, in RGB when every
// pixel is opaque and in RGBA otherwise. The windows decode their pictures as
// they start: on these flat, smooth pictures the filters libpng picks row by
// row, as QImage::save leaves it to, make the files larger and three times
// slower to decode, and an alpha channel that is opaque throughout costs a
// scan of every pixel when the picture becomes a pixmap. The windows fill
// the picture from the runs chunk the file also carries (pngruns.h).
QByteArray unfilteredPng(const QImage &image);

// Writes unfilteredPng(image) to path; false when the file cannot be written.
bool saveUnfilteredPng(const QImage &image, const QString &path);

} // namespace drawskin
