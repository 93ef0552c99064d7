#pragma once
// Map files (.w3x, .w3m) on disk: MPQ archives, read with StormLib. Of the archive
// only three things are taken, each into memory with a bounded size and never onto
// disk: the map's info file "war3map.w3i" (name, author, description, suggested
// players), its string table "war3map.wts" (which those texts may refer to as
// "TRIGSTR_nnn") and its minimap, "war3mapMap.blp" or else "war3mapPreview.tga".
// Map files come from the web: whatever is damaged makes the map unreadable.
#include <QByteArrayView>
#include <QHash>
#include <QImage>
#include <QString>

#include <optional>

// A map file larger than this is not opened: no playable map comes near it.
constexpr qint64 kMapFileMaxBytes = 256 * 1024 * 1024;
// The largest info file and string table taken out of a map.
constexpr qsizetype kMapInfoMaxBytes = 1024 * 1024;
constexpr qsizetype kMapStringsMaxBytes = 8 * 1024 * 1024;
// Texts longer than these are cut: a name or author line, and the description.
constexpr qsizetype kMapLineMaxChars = 256;
constexpr qsizetype kMapDescriptionMaxChars = 4096;

// The facts a map's info file gives, strings resolved and plain: colour codes
// ("|cffRRGGBB", "|r") taken out, "|n" a line break, cut to the bounds above.
struct MapFacts {
    QString name;
    QString author;
    QString description;
    QString suggestedPlayers;  // the map's own text, e.g. "4v4" or "1-10"
    int playerSlots = 0;       // the player records of the info file (0 when unreadable)
};

// The numbered strings of a "war3map.wts" file: blocks "STRING <n>", optional
// "//" comment lines, then "{", the text lines, "}". UTF-8, with or without a BOM.
// Blocks that do not fit the pattern are skipped; nothing over kMapStringsMaxBytes.
QHash<int, QString> ParseWts(QByteArrayView wts);

// `text` itself, or the string it names when it is "TRIGSTR_" followed by digits
// and `strings` has that number (unknown numbers leave the text as it is).
QString ResolveTrigStr(const QString &text, const QHash<int, QString> &strings);

// The facts of a "war3map.w3i" file of any format version (18, 25, 28, 31 and
// later): nullopt when it is not one or breaks off before its four texts.
std::optional<MapFacts> ParseW3i(QByteArrayView w3i, const QHash<int, QString> &strings);

struct MapFile {
    bool readable = false;  // an MPQ archive holding a readable "war3map.w3i"
    MapFacts facts;
    QImage minimap;         // null when the map holds no picture the tool can read
};

// Reads the map file at `path`. Unreadable when it is missing, not a regular
// file, over kMapFileMaxBytes, not an archive StormLib opens, or its info file is
// missing, over its bound or damaged; a damaged picture only leaves `minimap` null.
MapFile ReadMapFile(const QString &path);

// A replay's map in the game folder.
struct ReplayMap {
    enum class State { Missing, Unreadable, Readable };
    State state = State::Missing;
    QString path;  // full path on this system; empty when the path is refused
    MapFile map;   // set when Readable
};

// The map `mapPath` of a replay ("Maps\FrozenThrone\(4)TwistedMeadows.w3x", "\" or
// "/" between the parts) below `gameFolder`, each part found case-free as
// ResolveInGameFolder finds it. Missing without a game folder, for a refused path
// or when no regular file is there.
ReplayMap FindReplayMap(const QString &gameFolder, const QString &mapPath);

// What the summary says of a replay's map (`mapPath` as the replay names it):
// "地图：" + the map's name (its file name without extension when the info file
// names none), then "\n作者：" + its author when it names one; for a map that
// cannot be read "地图：" + the file name without extension + "（无法读取）";
// "缺少地图" when it is missing.
QString ReplayMapSummary(const ReplayMap &map, const QString &mapPath);

// The message before a play that cannot start: "缺少地图：" + the map path as the
// replay names it.
QString MissingMapMessage(const QString &mapPath);
