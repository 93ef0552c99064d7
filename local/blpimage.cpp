#include "local/blpimage.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QtEndian>

namespace {
// "BLP1", compression, alpha bits, width, height, picture type, has-mipmaps,
// 16 mipmap offsets, 16 mipmap sizes: all little-endian 32-bit.
constexpr qsizetype kHeaderSize = 4 + 6 * 4 + 16 * 4 + 16 * 4;
constexpr qsizetype kPaletteSize = 256 * 4;

quint32 u32At(QByteArrayView b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.data() + at);
}

// True when the part [offset, offset + size) lies wholly inside `bytes`.
bool inside(QByteArrayView bytes, quint64 offset, quint64 size)
{
    return offset <= quint64(bytes.size()) && size <= quint64(bytes.size()) - offset;
}

bool sideOk(qint64 side)
{
    return side >= 1 && side <= kMapPictureMaxSide;
}

// Reads a picture of `format` through Qt, refusing it before decoding when its
// announced size is out of bounds.
QImage readThroughQt(const QByteArray &bytes, const char *format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid() || !sideOk(size.width()) || !sideOk(size.height()))
        return QImage();
    QImage image;
    if (!reader.read(&image) || image.isNull() || !sideOk(image.width()) || !sideOk(image.height()))
        return QImage();
    return image;
}

// JPEG content holds four channels B, G, R, A, which a JPEG reader takes for
// C, M, Y, K: Qt hands back (C·K, M·K, Y·K), so an opaque pixel comes out as
// (B, G, R) and only red and blue need swapping. (The alpha itself is not kept:
// the picture is shown opaque.)
QImage decodeJpeg(QByteArrayView bytes, quint32 offset, quint32 size)
{
    if (!inside(bytes, kHeaderSize, 4))
        return QImage();
    const quint32 headerSize = u32At(bytes, kHeaderSize);
    if (!inside(bytes, kHeaderSize + 4, headerSize) || !inside(bytes, offset, size) || size == 0)
        return QImage();
    QByteArray jpeg;
    jpeg.reserve(qsizetype(headerSize) + qsizetype(size));
    jpeg.append(bytes.data() + kHeaderSize + 4, headerSize);
    jpeg.append(bytes.data() + offset, size);
    const QImage read = readThroughQt(jpeg, "jpeg");
    if (read.isNull())
        return QImage();
    return read.convertToFormat(QImage::Format_RGB32).rgbSwapped();
}

QImage decodePaletted(QByteArrayView bytes, int width, int height, quint32 alphaBits, quint32 offset, quint32 size)
{
    if (!inside(bytes, kHeaderSize, kPaletteSize))
        return QImage();
    if (alphaBits != 0 && alphaBits != 1 && alphaBits != 4 && alphaBits != 8)
        return QImage();
    const quint64 pixels = quint64(width) * quint64(height);
    const quint64 alphaBytes = (pixels * alphaBits + 7) / 8;
    const quint64 needed = pixels + alphaBytes;
    if (size < needed || !inside(bytes, offset, needed))
        return QImage();

    QRgb palette[256];
    for (int i = 0; i < 256; ++i) {
        const uchar *p = reinterpret_cast<const uchar *>(bytes.data() + kHeaderSize + 4 * i);
        palette[i] = qRgb(p[2], p[1], p[0]);  // B, G, R; the fourth byte is unused
    }
    QImage image(width, height, alphaBits ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    const uchar *index = reinterpret_cast<const uchar *>(bytes.data() + offset);
    const uchar *alpha = index + pixels;
    quint64 n = 0;
    for (int y = 0; y < height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x, ++n) {
            const QRgb c = palette[index[n]];
            int a = 255;
            switch (alphaBits) {
            case 1: a = (alpha[n / 8] >> (n % 8)) & 1 ? 255 : 0; break;
            case 4: a = ((alpha[n / 2] >> (4 * (n % 2))) & 0x0F) * 17; break;
            case 8: a = alpha[n]; break;
            default: break;
            }
            line[x] = qRgba(qRed(c), qGreen(c), qBlue(c), a);
        }
    }
    return image;
}
} // namespace

QImage DecodeBlp(QByteArrayView bytes)
{
    if (bytes.size() > kMapPictureMaxBytes || bytes.size() < kHeaderSize || !bytes.startsWith("BLP1"))
        return QImage();
    const quint32 compression = u32At(bytes, 4);
    const quint32 alphaBits = u32At(bytes, 8);
    const quint32 width = u32At(bytes, 12);
    const quint32 height = u32At(bytes, 16);
    if (!sideOk(width) || !sideOk(height))
        return QImage();
    // The first mipmap is the picture itself; the smaller ones are not needed.
    const quint32 offset = u32At(bytes, 28);
    const quint32 size = u32At(bytes, 28 + 16 * 4);
    switch (compression) {
    case 0: return decodeJpeg(bytes, offset, size);
    case 1: return decodePaletted(bytes, int(width), int(height), alphaBits, offset, size);
    default: return QImage();
    }
}

QImage DecodeTga(QByteArrayView bytes)
{
    if (bytes.isEmpty() || bytes.size() > kMapPictureMaxBytes)
        return QImage();
    // Qt's reader takes only files that end in the TGA 2.0 footer; an older file
    // without it is the same file without extension and developer areas, so the
    // footer that says so is added to the copy handed to it.
    static const QByteArrayView signature("TRUEVISION-XFILE.\0", 18);
    QByteArray tga = bytes.toByteArray();
    if (!bytes.endsWith(signature))
        tga.append(QByteArray(8, '\0')).append(signature.data(), signature.size());
    return readThroughQt(tga, "tga");
}
