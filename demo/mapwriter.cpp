#include "demo/mapwriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <StormLib.h>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <jpeglib.h>

namespace {
void putU32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void putText(QByteArray &out, const QByteArray &text)
{
    out.append(text);
    out.append('\0');
}

// libjpeg ends the process on an error unless told otherwise.
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};
void jpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError *>(info->err)->jump, 1);
}

// A JPEG of four channels B, G, R, A per pixel, stored as they are.
QByteArray fourChannelJpeg(const QImage &picture)
{
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = jpegFail;
    unsigned char *memory = nullptr;
    unsigned long length = 0;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(memory);
        return QByteArray();
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &memory, &length);
    info.image_width = JDIMENSION(argb.width());
    info.image_height = JDIMENSION(argb.height());
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, JCS_CMYK);
    info.write_JFIF_header = FALSE;
    info.write_Adobe_marker = FALSE;
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    QByteArray row(argb.width() * 4, Qt::Uninitialized);
    while (info.next_scanline < info.image_height) {
        const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(int(info.next_scanline)));
        for (int x = 0; x < argb.width(); ++x) {
            row[4 * x] = char(qBlue(line[x]));
            row[4 * x + 1] = char(qGreen(line[x]));
            row[4 * x + 2] = char(qRed(line[x]));
            row[4 * x + 3] = char(qAlpha(line[x]));
        }
        JSAMPROW rows[1] = {reinterpret_cast<JSAMPLE *>(row.data())};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char *>(memory), qsizetype(length));
    std::free(memory);
    return out;
}

// Where the frame header (SOF0) of a JPEG starts: the part before it is the
// header the mipmaps share.
qsizetype frameStart(const QByteArray &jpeg)
{
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && uchar(jpeg[at]) == 0xFF) {
        const uchar marker = uchar(jpeg[at + 1]);
        if (marker == 0xC0)
            return at;
        at += 2 + (uchar(jpeg[at + 2]) << 8 | uchar(jpeg[at + 3]));
    }
    return 2;
}

// The mipmaps of `picture`: itself, then halved down to 1 × 1 (at most 16).
QList<QImage> mipmaps(const QImage &picture)
{
    QList<QImage> out{picture};
    while (out.size() < 16 && (out.last().width() > 1 || out.last().height() > 1))
        out << out.last().scaled(qMax(1, out.last().width() / 2), qMax(1, out.last().height() / 2),
                                 Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return out;
}

QByteArray filler(qint64 size, quint32 seed)
{
    QByteArray out(size, Qt::Uninitialized);
    quint32 state = seed * 2654435761u | 1u;
    for (qint64 i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        out[i] = char(state);
    }
    return out;
}

struct Archived {
    const char *name;
    QByteArray bytes;
    bool compress;
};

// The MPQ archive of `files`, written by StormLib into a file of its own in a
// temporary folder and read back.
QByteArray mpqArchive(const QList<Archived> &files)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return QByteArray();
    const QString path = dir.filePath(QStringLiteral("map.mpq"));
    const QByteArray native = QFile::encodeName(path);
    // The file is made empty first: StormLib, failing to open a file that is not
    // there, closes descriptor 0, which by then may be any other file of the process.
    if (QFile empty(path); !empty.open(QIODevice::WriteOnly))
        return QByteArray();
    HANDLE mpq = nullptr;
    if (!SFileCreateArchive(native.constData(), MPQ_CREATE_LISTFILE | MPQ_CREATE_ARCHIVE_V1, 16, &mpq))
        return QByteArray();
    bool ok = true;
    for (const Archived &f : files) {
        HANDLE file = nullptr;
        const DWORD flags = MPQ_FILE_REPLACEEXISTING | (f.compress ? MPQ_FILE_COMPRESS : 0);
        ok = ok && SFileCreateFile(mpq, f.name, 0, DWORD(f.bytes.size()), 0, flags, &file);
        if (!ok)
            break;
        ok = SFileWriteFile(file, f.bytes.constData(), DWORD(f.bytes.size()), f.compress ? MPQ_COMPRESSION_ZLIB : 0);
        ok = SFileFinishFile(file) && ok;
    }
    ok = SFileCloseArchive(mpq) && ok;
    QFile read(path);
    if (!ok || !read.open(QIODevice::ReadOnly))
        return QByteArray();
    return read.readAll();
}

// The 512-byte header in front of the archive: "HM3W", 0, the name, flags, players.
QByteArray mapHeader(const DemoMapDescription &d)
{
    QByteArray out("HM3W");
    putU32(out, 0);
    putText(out, d.name.toUtf8().left(400));
    putU32(out, 0);
    putU32(out, quint32(d.playerSlots));
    out.resize(512, '\0');
    return out;
}
} // namespace

QImage DemoMinimapPicture(quint32 seed, int side)
{
    const QRgb field = qRgb(40 + seed % 5 * 8, 110, 40);
    const QRgb lake = qRgb(30, 60, 170);
    const QRgb road = qRgb(140, 100, 60);
    const QRgb dots[4] = {qRgb(230, 40, 40), qRgb(40, 90, 230), qRgb(30, 200, 200), qRgb(140, 40, 200)};
    QImage image(side, side, QImage::Format_RGB32);
    const double c = side / 2.0, lakeR = side / 8.0, roadW = side / 16.0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double dx = x + 0.5 - c, dy = y + 0.5 - c;
            QRgb p = field;
            if (std::abs(x - y) < roadW)
                p = road;
            if (dx * dx + dy * dy < lakeR * lakeR)
                p = lake;
            image.setPixel(x, y, p);
        }
    // Start positions near the corners, one colour each (the seed picks the first).
    const int r = qMax(1, side / 32), m = side / 6;
    const QPoint corners[4] = {{m, side - 1 - m}, {side - 1 - m, m}, {m, m}, {side - 1 - m, side - 1 - m}};
    for (int k = 0; k < 4; ++k)
        for (int y = -r; y <= r; ++y)
            for (int x = -r; x <= r; ++x)
                image.setPixel(corners[k] + QPoint(x, y), dots[(k + seed) % 4]);
    return image;
}

QImage DemoMinimapAlpha(const QImage &picture)
{
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    const double c = out.width() / 2.0;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const double dx = x + 0.5 - c, dy = y + 0.5 - out.height() / 2.0;
            if (dx * dx + dy * dy > c * c) {
                const QRgb p = out.pixel(x, y);
                out.setPixel(x, y, qRgba(qRed(p), qGreen(p), qBlue(p), 0));
            }
        }
    return out;
}

QByteArray WriteDemoBlp(const QImage &picture, bool jpeg, int alphaBits)
{
    const QList<QImage> levels = mipmaps(picture.convertToFormat(QImage::Format_ARGB32));
    QByteArray head("BLP1");
    putU32(head, jpeg ? 0 : 1);
    putU32(head, quint32(jpeg ? (picture.hasAlphaChannel() ? 8 : 0) : alphaBits));
    putU32(head, quint32(picture.width()));
    putU32(head, quint32(picture.height()));
    putU32(head, (jpeg ? picture.hasAlphaChannel() : alphaBits != 0) ? 4 : 5);
    putU32(head, 1);
    QList<QByteArray> data;
    QByteArray shared;
    if (jpeg) {
        for (const QImage &level : levels) {
            const QByteArray whole = fourChannelJpeg(level);
            const qsizetype frame = frameStart(whole);
            if (shared.isEmpty())
                shared = whole.left(frame);
            data << whole.mid(frame);  // every level's tables are the first one's
        }
        // Levels whose own header differs would need it; with equal settings it is equal.
    } else {
        const QImage indexed = levels.first().convertToFormat(QImage::Format_RGB32)
                                   .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
        const QList<QRgb> table = indexed.colorTable();
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < table.size() ? table[i] : 0;
            shared.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
        }
        for (const QImage &level : levels) {
            const QImage idx = level.convertToFormat(QImage::Format_RGB32)
                                   .convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither | Qt::AvoidDither);
            QByteArray bytes;
            for (int y = 0; y < idx.height(); ++y)
                bytes.append(reinterpret_cast<const char *>(idx.constScanLine(y)), idx.width());
            const qint64 pixels = qint64(level.width()) * level.height();
            QByteArray alpha((pixels * alphaBits + 7) / 8, '\0');
            for (qint64 n = 0; n < pixels && alphaBits; ++n) {
                const int a = qAlpha(level.pixel(int(n % level.width()), int(n / level.width())));
                if (alphaBits == 8)
                    alpha[n] = char(a);
                else if (alphaBits == 4)
                    alpha[n / 2] = char(uchar(alpha[n / 2]) | ((a >> 4) << (4 * (n % 2))));
                else if (alphaBits == 1 && a >= 128)
                    alpha[n / 8] = char(uchar(alpha[n / 8]) | (1 << (n % 8)));
            }
            data << bytes + alpha;
        }
    }
    // Offsets behind the header, the shared part (with its size first for JPEG).
    const qsizetype headerEnd = 4 + 6 * 4 + 32 * 4;
    qsizetype at = headerEnd + (jpeg ? 4 : 0) + shared.size();
    QByteArray offsets, sizes;
    for (int i = 0; i < 16; ++i) {
        const bool here = i < data.size();
        putU32(offsets, here ? quint32(at) : 0);
        putU32(sizes, here ? quint32(data[i].size()) : 0);
        if (here)
            at += data[i].size();
    }
    QByteArray out = head + offsets + sizes;
    if (jpeg)
        putU32(out, quint32(shared.size()));
    out += shared;
    for (const QByteArray &d : std::as_const(data))
        out += d;
    return out;
}

QByteArray WriteDemoTga(const QImage &picture)
{
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    QByteArray out(18, '\0');
    out[2] = 2;  // uncompressed true colour
    out[12] = char(argb.width() & 0xFF);
    out[13] = char(argb.width() >> 8);
    out[14] = char(argb.height() & 0xFF);
    out[15] = char(argb.height() >> 8);
    out[16] = 32;
    out[17] = 8;  // eight alpha bits, rows bottom to top
    for (int y = argb.height() - 1; y >= 0; --y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            out.append(char(qBlue(line[x]))).append(char(qGreen(line[x]))).append(char(qRed(line[x]))).append(char(qAlpha(line[x])));
    }
    return out;
}

QByteArray WriteDemoW3i(const QByteArray &name, const QByteArray &author, const QByteArray &description,
                        const QByteArray &players, int playerSlots, int version)
{
    const bool expansion = version >= 25;
    QByteArray out;
    putU32(out, quint32(version));
    putU32(out, 1);     // saves
    putU32(out, 6059);  // editor version
    if (version >= 28)
        putU32(out, 1), putU32(out, 31), putU32(out, 1), putU32(out, 12305);  // game version
    putText(out, name);
    putText(out, author);
    putText(out, description);
    putText(out, players);
    for (int i = 0; i < 8; ++i)
        putU32(out, 0);  // camera bounds
    for (int i = 0; i < 4; ++i)
        putU32(out, 6);  // their complements
    putU32(out, 116);    // playable width
    putU32(out, 116);    // playable height
    putU32(out, 0x4);    // flags: melee map
    out.append('L');     // tileset
    putU32(out, quint32(-1));  // loading screen (campaign background) number
    if (expansion)
        putText(out, "");      // its model
    putText(out, ""), putText(out, ""), putText(out, "");  // its text, title, subtitle
    putU32(out, expansion ? 0 : quint32(-1));  // game data set / map loading screen number
    if (expansion)
        putText(out, "");      // prologue model
    putText(out, ""), putText(out, ""), putText(out, "");  // prologue text, title, subtitle
    if (expansion) {
        putU32(out, 0);            // fog style
        for (int i = 0; i < 3; ++i)
            putU32(out, 0);        // fog start, end, density
        putU32(out, 0xFF000000u);  // fog colour
        putU32(out, 0);            // weather
        putText(out, "");          // sound environment
        out.append('\0');          // light tileset
        putU32(out, 0xFFFFFFFFu);  // water colour
        if (version >= 28)
            putU32(out, 0);  // script language
        if (version >= 31)
            putU32(out, 0), putU32(out, 2);  // supported modes, game data version
    }
    putU32(out, quint32(playerSlots));
    for (int i = 0; i < playerSlots; ++i) {
        putU32(out, quint32(i));  // player number
        putU32(out, 1);           // human
        putU32(out, 0);           // race: selectable
        putU32(out, 0);           // start position not fixed
        putText(out, "Player " + QByteArray::number(i + 1));
        putU32(out, 0), putU32(out, 0);  // start position x, y
        putU32(out, 0), putU32(out, 0);  // ally priorities
        if (version >= 31)
            putU32(out, 0), putU32(out, 0);  // enemy priorities
    }
    putU32(out, 0);  // forces
    putU32(out, 0), putU32(out, 0), putU32(out, 0), putU32(out, 0), putU32(out, 0);  // upgrades, tech, units, items
    return out;
}

QByteArray WriteDemoMap(const DemoMapDescription &d)
{
    QByteArray name = d.name.toUtf8(), author = d.author.toUtf8(), description = d.description.toUtf8();
    QByteArray wts;
    if (d.textsInStringTable) {
        const QByteArray texts[3] = {name, author, description};
        wts = "\xEF\xBB\xBF";
        for (int i = 0; i < 3; ++i)
            wts += "STRING " + QByteArray::number(i + 1) + "\r\n// map info\r\n{\r\n" + texts[i] + "\r\n}\r\n\r\n";
        name = "TRIGSTR_001", author = "TRIGSTR_002", description = "TRIGSTR_003";
    } else {
        wts = "\xEF\xBB\xBFSTRING 1\r\n{\r\nPlayer 1\r\n}\r\n";
    }
    QList<Archived> files{
        {"war3map.w3i", WriteDemoW3i(name, author, description, d.suggestedPlayers.toUtf8(), d.playerSlots), true},
        {"war3map.wts", wts, true},
    };
    const QImage picture = DemoMinimapPicture(d.seed);
    switch (d.minimap) {
    case DemoMinimap::BlpJpeg: files.append({"war3mapMap.blp", WriteDemoBlp(picture, true), true}); break;
    case DemoMinimap::BlpPaletted: files.append({"war3mapMap.blp", WriteDemoBlp(picture, false), true}); break;
    case DemoMinimap::BlpPalettedAlpha:
        files.append({"war3mapMap.blp", WriteDemoBlp(DemoMinimapAlpha(picture), false, 8), true});
        break;
    case DemoMinimap::TgaOnly: files.append({"war3mapPreview.tga", WriteDemoTga(picture), true}); break;
    }
    const QByteArray header = mapHeader(d);
    // The filler is stored as it is, so the archive grows by exactly its growth:
    // one archive with a one-byte filler tells how long the filler must be.
    files.append({"war3mapImported\\filler.dat", QByteArray(1, '\0'), false});
    QByteArray archive = mpqArchive(files);
    const qint64 missing = d.size - header.size() - archive.size();
    if (!archive.isEmpty() && missing > 0) {
        files.last().bytes = filler(1 + missing, d.seed);
        archive = mpqArchive(files);
    }
    return archive.isEmpty() ? QByteArray() : header + archive;
}
