#pragma once
// Writes Warcraft III replay files (.w3g) for the demo data: a real header, real
// zlib blocks of at most 8 KiB decompressed, and the game's opening records (host,
// game name, encoded settings with the map path, player list, slot table), then
// time slots of made-up unit selections as filler and the players' leave records.
#include "demo/demosite.h"
#include "details/replayfile.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct DemoReplayPlayer {
    QString name;            // ignored for computers
    int team = 0;            // 0-based; the writer puts observers on team 12 (24 from 1.29 on)
    ReplayRace race = ReplayRace::Random;
    bool observer = false;
    bool computer = false;
};

// Texts (names, game name, map path) are written by the reader's own rule for the
// version (EncodeReplayText): code page 936 before 1.24, UTF-8 from 1.24 on. From
// 1.32 on the player records keep 15 bytes of each name and a profile record
// behind them the whole name, as the game writes them.
struct DemoReplayDescription {
    QString gameName;
    QString mapPath;           // "Maps\Download\(4)TurtleRock.w3x"
    int version = 24;          // 24 for 1.24; below 7 the old header is written, below 3 short slots
    int build = 6059;
    bool expansion = true;     // "W3XP", else "WAR3"
    qint64 lengthMs = 0;
    QList<DemoReplayPlayer> players;  // in slot order; the first non-computer is the host
    qint64 fillerBytes = 0;    // about this many bytes of incompressible time slots
    quint32 seed = 1;
};

QByteArray WriteDemoReplay(const DemoReplayDescription &d);
// The decompressed game data of that file.
QByteArray DemoReplayData(const DemoReplayDescription &d);

// A replay file around decompressed game data `data`: the header of the version
// (header version 0 before 1.07, 1 from then on) with its checksum, and blocks of
// 8 KiB with theirs (12-byte block headers from 1.32 on).
QByteArray PackDemoReplay(const QByteArray &data, int version, int build, bool expansion, qint64 lengthMs);

// How the demo replays become replay descriptions:
// - melee: players player1 (+ mates1) on team 0, player2 (+ mates2) on team 1, races
//   from race1/race2 (randomRace1: team 1 random), map path mapPath(), version from
//   its text ("1.24b" -> 24); every replay whose id % 13 == 5 has one observer, a
//   player not in the game.
// - DotA: the ten players, 5 v 5, Sentinel team 0, Scourge team 1, always UTF-8.
// Filler makes the files 4 KiB to about 100 KiB, drawn from the id.
DemoReplayDescription DemoReplayDescriptionOf(const DemoMeleeReplay &r);
DemoReplayDescription DemoReplayDescriptionOf(const DemoDotaReplay &r);

// "1.24b" -> 24, "1.20" -> 20; 0 when the text is no version.
int DemoReplayVersionNumber(const QString &version);
