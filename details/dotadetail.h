#pragma once
// Turns the text of one DotA replay detail page into the values of the detail
// pane, the three download fields and the player data of the DotA pane, and
// finds the map's folder in the site's map download index. No widgets here.
#include <QString>

struct DotaDetail {
    QString mapName;     // Text2: the map's file name without ".w3x" / ".W3X"
    QString mapPath;     // Text10: below the game folder, "\" between parts; empty without a map name
    QString time;        // Text3
    QString players;     // Text4
    QString version;     // Text5
    QString commentary;  // Text6, markup removed
    QString replayUrl;   // Text8
    QString playerData;  // "<span id=\"labPlayerdata\">" + the page's player data
};

// Longest text kept of a page value, so a hostile page cannot flood the window.
constexpr int kDotaFieldLimit = 4096;
constexpr int kDotaCommentaryLimit = 64 * 1024;
constexpr int kDotaPlayerDataLimit = 8 * 1024 * 1024;

// Never fails: a value whose markers are missing is empty text. A page without
// a map gives an empty name and an empty map path, so nothing is downloaded for it.
DotaDetail ParseDotaDetail(const QString &page, const QString &dotaSiteRoot);

// The map's folder on the map host as the download index names it: the first
// six characters after "/page/" behind the map's entry, up to its ".html". The
// name must stand in the index as a whole entry (not as the start of a longer
// name such as "v6.66" for "v6.6"). Empty when the name is empty, not in the
// index, or the folder holds anything but letters, digits, "_" and "-".
QString DotaMapFolder(const QString &index, const QString &mapName);

// Text9 as the user reads it: DotaMapRoot + folder + "/" + name + ".w3x", with
// only the blanks as "%20".
QString DotaMapUrl(const QString &dotaMapRoot, const QString &folder, const QString &mapName);
// The same address as it is fetched: "%", "#" and "?" are escaped too, so that
// they stay part of the file name. Other characters stay as they are (the
// request encodes them in code page 936).
QString DotaMapWireUrl(const QString &dotaMapRoot, const QString &folder, const QString &mapName);

// The fixed minimap document: the same picture for every DotA replay.
QString DotaMinimapDocument(const QString &dotaSiteRoot);

// The page template with every "{{0}}" replaced by the player data.
QString FillDotaTemplate(const QString &pageTemplate, const QString &playerData);

// The message shown when the index has no folder for the map.
QString DotaMapMissingMessage(const QString &mapName);
