#include "pngfile.h"
#include "pngruns.h"

#include <QSaveFile>
#include <QtEndian>

#include <array>

namespace drawskin {

namespace {

quint32 crc32(const QByteArray &bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t {};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char byte : bytes)
        c = table[(c ^ quint8(byte)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void appendBigEndian(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

void appendChunk(QByteArray &out, const char (&type)[5], const QByteArray &data)
{
    appendBigEndian(out, quint32(data.size()));
    const QByteArray typed = QByteArray(type, 4) + data;
    out.append(typed);
    appendBigEndian(out, crc32(typed));
}

bool opaque(const QImage &rgba)
{
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar *line = rgba.constScanLine(y);
        for (int x = 0; x < rgba.width(); ++x) {
            if (line[4 * x + 3] != 0xFF)
                return false;
        }
    }
    return true;
}

} // namespace

QByteArray unfilteredPng(const QImage &image)
{
    // RGBA8888 holds the bytes in the file's order, not premultiplied.
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    const bool rgb = opaque(rgba);
    const QImage pixels = rgb ? rgba.convertToFormat(QImage::Format_RGB888) : rgba;
    const qsizetype rowBytes = qsizetype(pixels.width()) * (rgb ? 3 : 4);

    QByteArray rows;
    rows.reserve((rowBytes + 1) * pixels.height());
    for (int y = 0; y < pixels.height(); ++y) {
        rows.append('\0');  // filter type None
        rows.append(reinterpret_cast<const char *>(pixels.constScanLine(y)), rowBytes);
    }

    QByteArray header;
    appendBigEndian(header, quint32(pixels.width()));
    appendBigEndian(header, quint32(pixels.height()));
    header.append(char(8));             // bits per sample
    header.append(char(rgb ? 2 : 6));   // colour type: RGB or RGBA
    header.append(3, '\0');             // deflate, standard filters, not interlaced

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, skin::RunsChunkType, skin::RunsChunkData(rgba));
    // qCompress puts the length before a zlib stream, which is what IDAT holds.
    appendChunk(png, "IDAT", qCompress(rows, 9).mid(4));
    appendChunk(png, "IEND", QByteArray());
    return png;
}

bool saveUnfilteredPng(const QImage &image, const QString &path)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(unfilteredPng(image)) >= 0 && file.commit();
}

} // namespace drawskin
