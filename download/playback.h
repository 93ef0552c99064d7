#pragma once
// The pure parts of downloading a replay and starting the game with it: the
// stored replay name, the progress texts, the steps of the download sequence,
// the version check and the start of the game.
#include "platform/launchplan.h"

#include <QString>
#include <QStringList>
#include <QTime>

// ------------------------------------------------------------ download

// The time prefix of a stored replay name: "h：m：s _" with full-width colons and
// no leading zeros (9:05:07 gives "9：5：7 _").
QString TimePrefix(QTime t);

// "下载 0 / 2.000 KB": the progress text when a transfer of `maximum` bytes starts.
QString ProgressStartText(qint64 maximum);
// "下载 1.000 / 2.000 KB": after `written` bytes. Kilobytes of 1024 bytes, three
// decimals, no thousands separator, whatever the locale.
QString ProgressText(qint64 written, qint64 maximum);
// "下载 1.500 KB": after `written` bytes of an answer that announced no length.
QString ProgressTextWithoutLength(qint64 written);

// "检获不到该地图：" + the map's name: the DotA site's download index does not
// know the map, so there is no address to fetch it from.
QString MapNotFoundText(const QString &mapName);

// What one tick of the step timer does.
enum class StepAction {
    FetchReplay, // start the replay transfer
    FetchMap,    // start the map transfer
    Finish,      // announce the end of the sequence
};

struct StepPlan
{
    StepAction action;
    quint8 nextStep; // the value of DownloadStep after the tick
};

// The tick for `downloadStep` (0 replay, 1 map, 2 finish). `mapOnDisk` counts
// only in smart mode, where a map already on disk is not fetched again.
StepPlan PlanStep(quint8 downloadStep, bool smartMode, bool mapOnDisk);

// ------------------------------------------------------------ game version and launch

// The game version shown for a product version: every "Version " removed.
QString GameVersionText(const QString &productVersion);

// Whether a replay of `replayVersion` plays on a game of `gameVersion`: the
// replay version occurs in the game version (case-sensitive). An unknown
// (empty) game version fits nothing.
bool VersionsFit(const QString &replayVersion, const QString &gameVersion);

// The command line shown in Text1: "game" -loadfile "replay".
QString GameCommandLine(const QString &gamePath, const QString &replayPath);

// How to start the game on this system. `windowsExecutable`: the game file
// starts with "MZ". `winePath`: the wine program, empty when it is not
// installed. Outside Windows a Windows executable goes through wine, which is
// given the replay as a Windows path on its drive Z:. Either way the game starts
// in the game folder.
LaunchPlan PlanLaunch(const QString &gamePath, const QString &replayPath, bool windowsExecutable,
                      const QString &winePath);

// The path wine's programs see for a path of this system ("/home/u/r.w3g" gives
// "Z:\home\u\r.w3g"; a relative path keeps its place, with "\" separators).
QString WinePathOf(const QString &path);
