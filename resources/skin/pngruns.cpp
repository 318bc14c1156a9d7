#include "pngruns.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace skin {

namespace {

// Far above any picture of the skin, and small enough that width * height
// pixels of four bytes stay well inside an int.
constexpr quint32 MaxSide = 8192;

struct TPngHeader {
    quint32 Width = 0;
    quint32 Height = 0;
    bool Alpha = false;
};

void AppendLength(QByteArray &out, quint32 length)
{
    while (length >= 0x80) {
        out.append(char(0x80 | (length & 0x7F)));
        length >>= 7;
    }
    out.append(char(length));
}

// One LEB128 number of at most 32 bits from data at *at, moving *at past it.
std::optional<quint32> ReadLength(QByteArrayView data, qsizetype *at)
{
    quint32 value = 0;
    for (int shift = 0; shift < 32 && *at < data.size(); shift += 7) {
        const quint8 byte = quint8(data[(*at)++]);
        value |= quint32(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            return value;
    }
    return std::nullopt;
}

std::optional<TPngHeader> ReadHeader(QByteArrayView data)
{
    if (data.size() != 13)
        return std::nullopt;
    TPngHeader header;
    header.Width = qFromBigEndian<quint32>(data.data());
    header.Height = qFromBigEndian<quint32>(data.data() + 4);
    const quint8 depth = quint8(data[8]);
    const quint8 colourType = quint8(data[9]);
    const bool plain = data[10] == 0 && data[11] == 0 && data[12] == 0;
    if (header.Width == 0 || header.Height == 0 || header.Width > MaxSide || header.Height > MaxSide || depth != 8
        || (colourType != 2 && colourType != 6) || !plain)
        return std::nullopt;
    header.Alpha = colourType == 6;
    return header;
}

// Calls pixels(first, length, rgba) for each run of the chunk, in order, and
// says whether the runs fill the picture exactly. A run is checked before it
// is passed on: pixels never gets one that overruns the picture.
template <typename Pixels>
bool ForEachRun(const TPngHeader &header, QByteArrayView chunk, Pixels pixels)
{
    // A run takes at most nine bytes; a size beyond that is not ours, and
    // would have qUncompress reserve whatever it claims.
    const qsizetype total = qsizetype(header.Width) * header.Height;
    if (chunk.size() < 4 || qFromBigEndian<quint32>(chunk.data()) > quint64(total) * 9)
        return false;
    const QByteArray runs = qUncompress(reinterpret_cast<const uchar *>(chunk.data()), chunk.size());
    if (runs.isEmpty())
        return false;
    qsizetype filled = 0;
    qsizetype at = 0;
    while (at < runs.size()) {
        const std::optional<quint32> length = ReadLength(runs, &at);
        if (!length || *length == 0 || *length > total - filled || runs.size() - at < 4)
            return false;
        const auto *bytes = reinterpret_cast<const quint8 *>(runs.data() + at);
        at += 4;
        if (!header.Alpha && bytes[3] != 0xFF)
            return false;
        pixels(filled, qsizetype(*length), qRgba(bytes[0], bytes[1], bytes[2], bytes[3]));
        filled += *length;
    }
    return filled == total;
}

QImage Fill(const TPngHeader &header, QByteArrayView chunk)
{
    QImage image(int(header.Width), int(header.Height), header.Alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull() || image.bytesPerLine() != qsizetype(header.Width) * 4)
        return {};
    auto *pixel = reinterpret_cast<QRgb *>(image.bits());
    const bool filled = ForEachRun(header, chunk, [pixel](qsizetype first, qsizetype length, QRgb rgba) {
        std::fill_n(pixel + first, length, rgba);
    });
    return filled ? image : QImage();
}

// Joins each run, cut at the row ends, with the same run in the rows above.
// Parts come row after row, so the rectangle a part can join is the latest
// one that begins in the part's column: any earlier one ended above it.
class TRectJoiner
{
public:
    TRectJoiner(QList<TColourRect> *rects, int width)
        : FRects(rects)
        , FLatest(width, -1)
    {
    }

    void Add(int x, int y, int width, int height, QRgb colour)
    {
        const qsizetype latest = FLatest[x];
        if (latest >= 0) {
            QRect &rect = (*FRects)[latest].Rect;
            if (rect.bottom() == y - 1 && rect.width() == width && (*FRects)[latest].Colour == colour) {
                rect.setBottom(y + height - 1);
                return;
            }
        }
        FLatest[x] = FRects->size();
        FRects->append({QRect(x, y, width, height), colour});
    }

private:
    QList<TColourRect> *FRects;
    // By column, the latest rectangle that begins in it.
    std::vector<qsizetype> FLatest;
};

TPictureRects Rects(const TPngHeader &header, QByteArrayView chunk)
{
    if (header.Alpha)
        return {};
    TPictureRects picture;
    TRectJoiner joiner(&picture.Rects, int(header.Width));
    const qsizetype width = header.Width;
    const bool filled = ForEachRun(header, chunk, [&](qsizetype first, qsizetype length, QRgb rgba) {
        qsizetype at = first;
        const qsizetype end = first + length;
        if (at % width != 0) {
            // The part in the row the run begins in.
            const qsizetype stop = std::min(end, (at / width + 1) * width);
            joiner.Add(int(at % width), int(at / width), int(stop - at), 1, rgba);
            at = stop;
        }
        if (const qsizetype rows = (end - at) / width; rows > 0) {
            joiner.Add(0, int(at / width), int(width), int(rows), rgba);
            at += rows * width;
        }
        if (at < end)
            joiner.Add(0, int(at / width), int(end - at), 1, rgba);
    });
    if (!filled)
        return {};
    picture.Size = QSize(int(header.Width), int(header.Height));
    return picture;
}

// The header and the runs chunk of a PNG file, if it has both.
std::optional<std::pair<TPngHeader, QByteArrayView>> FindRuns(QByteArrayView png)
{
    static constexpr char Signature[] = "\x89PNG\r\n\x1a\n";
    if (png.size() < 8 || std::memcmp(png.data(), Signature, 8) != 0)
        return std::nullopt;
    std::optional<TPngHeader> header;
    for (qsizetype at = 8; png.size() - at >= 12;) {
        const quint32 length = qFromBigEndian<quint32>(png.data() + at);
        if (length > quint32(png.size() - at - 12))
            return std::nullopt;
        const QByteArrayView type = png.sliced(at + 4, 4);
        const QByteArrayView data = png.sliced(at + 8, length);
        at += 12 + qsizetype(length);
        if (!header) {
            // The header comes first in every PNG file.
            if (type != "IHDR" || !(header = ReadHeader(data)))
                return std::nullopt;
        } else if (type == RunsChunkType) {
            return std::pair{*header, data};
        } else if (type == "IEND") {
            break;
        }
    }
    return std::nullopt;
}

} // namespace

QByteArray RunsChunkData(const QImage &rgba)
{
    Q_ASSERT(rgba.format() == QImage::Format_RGBA8888);
    QByteArray out;
    const char *run = nullptr;
    quint32 length = 0;
    for (int y = 0; y < rgba.height(); ++y) {
        const char *line = reinterpret_cast<const char *>(rgba.constScanLine(y));
        for (int x = 0; x < rgba.width(); ++x) {
            const char *pixel = line + 4 * x;
            if (run != nullptr && std::memcmp(run, pixel, 4) == 0) {
                ++length;
                continue;
            }
            if (run != nullptr) {
                AppendLength(out, length);
                out.append(run, 4);
            }
            run = pixel;
            length = 1;
        }
    }
    if (run != nullptr) {
        AppendLength(out, length);
        out.append(run, 4);
    }
    return qCompress(out, 9);
}

QImage ImageFromRuns(QByteArrayView png)
{
    const auto runs = FindRuns(png);
    return runs ? Fill(runs->first, runs->second) : QImage();
}

TPictureRects RectsFromRuns(QByteArrayView png)
{
    const auto runs = FindRuns(png);
    return runs ? Rects(runs->first, runs->second) : TPictureRects();
}

} // namespace skin
