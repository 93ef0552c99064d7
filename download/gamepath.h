#pragma once
// Every path below the game folder goes through here. The tool names these paths
// the way the game does ("replay\" + name, "Maps\Download\(4)TurtleRock.w3x"):
// relative, with "\" between the parts. Names in them come from the replay sites,
// so a path is refused when it would leave the game folder or could not be a file
// name on Windows; what is accepted is mapped onto this system's file system, each
// existing part found without regard to letter case ("Replay/" serves "replay\").
#include <QString>
#include <QStringList>

// The game folder of the game executable's path: everything up to and including
// its last "\" or "/"; empty when the path holds neither.
QString GameFolderOf(const QString &executablePath);

// The file whose version resource holds the game's version: the game folder's
// "Game.dll" (found case-free), or, from 1.28 on where the game has none, the
// chosen executable itself. Empty without either.
QString GameVersionFile(const QString &gameFolder, const QString &executablePath);

// What follows the last "\" or "/" of a path (all of it when it holds neither).
QString LastPartOf(const QString &path);

// Why `name` cannot be one part of a path below the game folder, or empty text
// when it can: empty, "." or "..", a separator, NUL or another control character,
// one of <>:"|?*, a device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, also
// with an extension, any letter case), or longer than 255 bytes in UTF-8.
QString CheckFileName(const QString &name);

// Why the relative path `relative` ("\" or "/" between its parts) cannot be used
// below the game folder, or empty text when it can: empty, absolute, a drive
// letter, an empty part (doubled or trailing separator), "..", or a part that
// CheckFileName refuses.
QString CheckRelativePath(const QString &relative);

struct ResolvedPath {
    QString path;   // full path on this system; empty when refused
    QString error;  // short reason of a refusal; empty when accepted
    bool ok() const { return error.isEmpty(); }
};

// The relative path on this system below `gameFolder`. Each part that exists is
// taken with its spelling on disk (found case-free; folders for the inner parts);
// from the first part that does not exist on, the parts keep their spelling, so
// the result also serves for creating them. Refused without a game folder.
ResolvedPath ResolveInGameFolder(const QString &gameFolder, const QString &relative);

// True when `name` fits the wildcard `pattern`: "*" stands for any run of
// characters, "?" for exactly one, everything else for itself, letter case aside.
bool WildcardMatch(const QString &pattern, const QString &name);

// Full paths of the regular files (symbolic links to files included; no folders,
// nothing else) directly in `folder` whose names fit `pattern`, sorted by name
// (letter case aside, then exactly), so the first match is the same on every run.
QStringList FindMatches(const QString &folder, const QString &pattern);

// The first of FindMatches for a relative pattern such as "replay\*x.w3g": the
// part before its last separator is a folder (resolved like ResolveInGameFolder),
// the part behind it the wildcard. Empty text when nothing fits, without a game
// folder, or when the folder part is refused.
QString FindFirstMatch(const QString &gameFolder, const QString &relativePattern);

// True when the relative path names a regular file below the game folder; the
// path is taken exactly as a path, never as a pattern.
bool IsRegularFile(const QString &gameFolder, const QString &relative);

// The replay name of a replay download URL: the URL percent-decoded, then what
// follows its last "/" (all of it when it holds none). Not checked here.
QString ReplayNameOf(const QString &replayUrl);

// A replay downloaded earlier, with its map.
struct DownloadedReplay {
    bool onDisk = false;  // the replay and its map file are both there
    QString replayPath;   // full path of the replay to play; set only when onDisk
    QString mapFile;      // full path of the map file; set only when onDisk
};

// The on-disk test of a selected melee replay: the first file (by name) in the
// game's replay folder that fits "*" + replayName, and the exact map file
// `mapPath`. Nothing is on disk without a game folder, for a replay name that is
// empty, holds "*", "?", "/", "\" or "..", or that could not be a file name, and
// for a map path without a file name.
DownloadedReplay FindDownloadedReplay(const QString &gameFolder, const QString &replayName,
                                      const QString &mapPath);
