#pragma once
// Writes Warcraft III map files (.w3x) for the demo: the 512-byte "HM3W" header,
// then an MPQ archive written with StormLib that holds the map's info file
// "war3map.w3i" (format version 25), its string table "war3map.wts", its minimap
// ("war3mapMap.blp" in BLP1, or only "war3mapPreview.tga") and a stored filler file
// that brings the map to its size.
#include <QByteArray>
#include <QImage>
#include <QString>

enum class DemoMinimap {
    BlpJpeg,          // BLP1, JPEG content
    BlpPaletted,      // BLP1, paletted, no alpha
    BlpPalettedAlpha, // BLP1, paletted, 8 bits of alpha
    TgaOnly,          // no BLP; "war3mapPreview.tga" only
};

struct DemoMapDescription {
    QString name;
    QString author;
    QString description;
    QString suggestedPlayers;  // "4 人"
    int playerSlots = 2;
    // Name, author and description as "TRIGSTR_001" to "TRIGSTR_003" in the info
    // file, their texts in the string table; otherwise written out in the info file.
    bool textsInStringTable = false;
    DemoMinimap minimap = DemoMinimap::BlpPaletted;
    qint64 size = 0;  // the whole file; 0 or too small: no filler
    quint32 seed = 1;
};

QByteArray WriteDemoMap(const DemoMapDescription &d);

// The demo minimap, `side` × `side`, drawn from `seed`: a green field, a blue lake
// (30, 60, 170) in the middle, a quarter of the side across, a brown road
// (140, 100, 60) from the top left to the bottom right corner, an eighth of the
// side wide, and four coloured start positions a sixth of the side from the corners. Opaque; no more than
// 16 colours. DemoMinimapAlpha gives the alpha the alpha variant writes: opaque
// inside the circle touching the sides, transparent outside it.
QImage DemoMinimapPicture(quint32 seed, int side = 256);
QImage DemoMinimapAlpha(const QImage &picture);

// A BLP1 file of `picture` (all its mipmaps): JPEG content (four channels B, G, R,
// A, no colour transform) or paletted with `alphaBits` 0, 1, 4 or 8 bits of alpha
// from the picture's alpha. `picture` must have at most 256 colours for paletted.
QByteArray WriteDemoBlp(const QImage &picture, bool jpeg, int alphaBits = 0);

// An uncompressed 32-bit TGA of `picture`, rows bottom to top.
QByteArray WriteDemoTga(const QImage &picture);

// A "war3map.w3i" file of format `version` (18, 25, 28 or 31) with the given texts
// (as written: the caller decides whether they are "TRIGSTR_" references) and
// player slots.
QByteArray WriteDemoW3i(const QByteArray &name, const QByteArray &author, const QByteArray &description,
                        const QByteArray &players, int playerSlots, int version = 25);
