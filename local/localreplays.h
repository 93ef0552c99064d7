#pragma once
// The replays already in the game's "replay\" folder: which files they are, the
// rows the list shows of them and the details the pane shows, all read from the
// files themselves. No widgets here.
#include "details/replayfile.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>

// Files larger than this are never read: no replay comes near it, and the list
// must not stall on a huge file that merely ends in ".w3g".
constexpr qint64 kLocalReplayMaxBytes = 32 * 1024 * 1024;

// The marker of a file that cannot be read as a replay, behind its file name.
inline const QString kUnreadableMarker = QStringLiteral("（无法读取）");

struct LocalReplayFile {
    QString path;        // full path on this system
    QString fileName;    // the name alone
    QDateTime modified;  // local time
};

// The regular files ending in ".w3g" or ".nwg" (NetEase; letter case aside)
// directly in the game folder's "replay\" folder (found case-free), newest first
// by modified time, files of the same time by name. None without a game folder or
// replay folder.
QList<LocalReplayFile> LocalReplayFiles(const QString &gameFolder);

// Orders `files` newest first, equal times by name (letter case aside, then exactly).
void SortNewestFirst(QList<LocalReplayFile> &files);

// Reads the replay file at `path` with ReadReplay, taking only the bytes its
// header announces (a NetEase file: the whole file). Unreadable (readable ==
// false) when the file is missing, not a regular file, over kLocalReplayMaxBytes
// (not read at all), shorter than its header says, changed or gone while it was
// read, or anything ReadReplay refuses. The file is read into memory once and
// parsed there, so a file changed on disk meanwhile can only fail the checksums.
ReplayInfo ReadLocalReplay(const QString &path, ReplayDepth depth = ReplayDepth::Opening);

// The cells of a list row, each already bounded for the list (ListCellText);
// made from the library's record (LocalReplayRowOf, local/replayrecord.h).
struct LocalReplayRow {
    QString matchup;  // "人族 VS 暗夜精灵"
    QString players;  // "Sky VS Moon", or the file name + kUnreadableMarker
    QString map;      // the map's file name: "(4)TwistedMeadows.w3x"
    QString time;     // the file's modified time, "yyyy-MM-dd HH:mm"
};

// "(4)TwistedMeadows": the file name without its last extension.
QString MapNameOf(const QString &mapPath);

// One side of the pane: the first player's race gives the emblem, the first
// three players' names fill the name slots (empty text for the rest).
struct LocalTeam {
    bool present = false;              // the replay has this team
    ReplayRace race = ReplayRace::Unknown;
    std::array<QString, 3> names;
};

// What the detail pane shows of a readable replay.
struct LocalReplayDetail {
    QString mapName;      // Text2
    QString length;       // Text3, ReplayLengthText
    QString playerCount;  // Text4: players without observers
    QString version;      // Text5, ReplayVersionText
    QString summary;      // Text6, LocalReplaySummary
    std::array<LocalTeam, 2> teams;  // the two lowest team numbers, in order
};
LocalReplayDetail LocalReplayDetailOf(const ReplayInfo &info);

// The plain-text summary: the game name, then one line per used slot in slot
// order: "name  race  队伍 n" (n counts the teams from 1, in order of their
// number), observers "name  观察者", computers named "电脑". After a whole read
// each player's line ends with "  APM n", and a last line names the result:
// "胜方：队伍 n（names）" or "胜方：未知".
QString LocalReplaySummary(const ReplayInfo &info);

// Whether a local replay of `replayVersion` (the header's number) plays on a game
// whose version resource says `gameVersion` ("1.30.4.11274", "1, 24, 4, 6387"):
// the same major and minor number, and for 10030 ("1.30.2+") patch 2 or later,
// for 30 patch 0 or 1. An unreadable game version fits nothing.
bool LocalReplayFitsGame(int replayVersion, const QString &gameVersion);
// The message when they do not fit, naming both versions:
// "录像版本 1.30.2+ 与当前魔兽版本 1.29.2 不对应！"
QString LocalReplayVersionMessage(int replayVersion, const QString &gameVersion);
