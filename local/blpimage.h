#pragma once
// The minimap pictures inside a map file: BLP1 (the map's "war3mapMap.blp") and TGA
// (its "war3mapPreview.tga"). Both come from map files off the web: every size,
// offset and count is checked against the bytes at hand and the bounds below, and
// what fails gives a null image, never more than the bounds allow.
#include <QByteArrayView>
#include <QImage>

// A side longer than this is refused: minimaps are 256 pixels wide, previews no more.
constexpr int kMapPictureMaxSide = 2048;

// The largest picture file taken out of a map (BLP or TGA).
constexpr qsizetype kMapPictureMaxBytes = 8 * 1024 * 1024;

// The first (full-size) picture of a BLP1 file: JPEG content (the shared JPEG header
// plus the picture's own part, through Qt's JPEG reader) or paletted content (256
// BGRA colours, one index per pixel, then 0, 1, 4 or 8 bits of alpha per pixel).
// Null when the bytes are no BLP1, a side is 0 or over kMapPictureMaxSide, or a part
// lies outside the file.
QImage DecodeBlp(QByteArrayView bytes);

// A TGA picture through Qt's TGA reader; null when unreadable or a side is over
// kMapPictureMaxSide.
QImage DecodeTga(QByteArrayView bytes);
