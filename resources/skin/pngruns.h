#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>

// The skin's PNG files carry their pixels twice: in the image data that every
// reader understands, and as runs of equal pixels in a private chunk of their
// own. The pictures are flat and smooth, a few thousand runs where the image
// data inflates to megabytes, so the windows fill them in a fraction of the
// time and start sooner. Readers that do not know the chunk skip it, as PNG
// asks of every ancillary chunk.
namespace skin {

// The chunk's type: ancillary, private, and unsafe to copy, so that a program
// that edits the picture drops the runs instead of keeping stale ones.
inline constexpr char RunsChunkType[] = "ruNS";

// The runs of an image in Format_RGBA8888, row after row with runs crossing
// row ends: each run is its length as an unsigned LEB128 number, then its
// pixel's red, green, blue and alpha bytes. The chunk holds them deflated as
// qCompress gives them, their size in four big-endian bytes and a zlib stream:
// a few kilobytes, so that a window touches no more of the program's pages
// than for the image data, and inflates a hundredth of what that would take.
QByteArray RunsChunkData(const QImage &rgba);

// The picture a PNG file holds, filled from its runs chunk: Format_RGB32 when
// the file is RGB and Format_ARGB32 when it is RGBA, as Qt's PNG reader gives
// them. A null image when the file has no runs chunk or anything in it does
// not add up; the caller then reads the image data instead.
QImage ImageFromRuns(QByteArrayView png);

struct TColourRect {
    QRect Rect;
    QRgb Colour;
};

// An opaque picture as the rectangles of one colour its runs make, each run
// cut at the row ends and joined with the same run in the rows above, in the
// order of their top rows. Painted as they are, they give the picture's
// pixels without a bitmap: the background's 4 MB become a few thousand
// rectangles.
struct TPictureRects {
    QSize Size;  // empty when the picture has none
    QList<TColourRect> Rects;
};

// The rectangles of the picture a PNG file holds, from its runs chunk; none
// when the file is RGBA, has no runs chunk, or anything in it does not add up.
TPictureRects RectsFromRuns(QByteArrayView png);

} // namespace skin
