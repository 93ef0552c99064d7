#pragma once
// The files the demo sites hand out: a replay for every demo replay and every map
// the replays are played on. Their bytes are made up on demand from the replay id
// or the map name, always the same; nothing is kept between requests.
#include "demo/demoserver.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

enum class DemoFileSite { Melee, Dota, MapHost };

struct DemoDotaMap {
    QString name;    // "DotA Allstars v6.64": the file is name + ".w3x"
    QString folder;  // six characters: the map's folder on the map host
};

// The DotA maps of the data set, in its order.
const QList<DemoDotaMap> &DemoDotaMaps();

// A valid replay / a file that passes the download's map check, of exactly `size`
// bytes (at least the header), its filler drawn from `seed`: no archive inside.
QByteArray DemoReplayBytes(qint64 size, quint32 seed);
QByteArray DemoMapBytes(qint64 size, quint32 seed);

// The replay file of the melee or DotA demo replay `id` (4 KiB to 100 KiB);
// empty when no demo replay has that id.
QByteArray DemoReplayFile(int id);

// The map in `folder` named `fileName`: a melee map (folder = mapFolder(), file
// e.g. "(2)古老之地.w3x", 128 KiB to 2.6 MiB) or a DotA map (folder and name +
// ".w3x"; 3, 5.5 and 8 MiB, the last, "DotA Allstars v6.66", for benchmarks).
// Empty when there is no such map. Each is a real map (demo/mapwriter.h):
//   melee: name = the data set's "name" ("TurtleRock"), author "演示地图工坊",
//          description "Quillmark 演示对战地图：" + name, suggested players
//          "<n> 人" and n player slots, n from the file's "(n)". Minimaps in the
//          data set's order: TurtleRock BLP JPEG, LostTemple BLP paletted,
//          TwistedMeadows BLP paletted with alpha, SecretValley BLP JPEG,
//          EchoIsles BLP paletted, TerenasStand_LV only a TGA preview, 古老之地 BLP
//          paletted with alpha and its name, author and description in war3map.wts.
//   DotA:  name = the map's name, author "DotA 演示作者", description "Quillmark 演示
//          DotA 地图", suggested players "5v5", 12 slots, BLP JPEG; name, author and
//          description in war3map.wts.
QByteArray DemoMapFile(const QString &folder, const QString &fileName);

// Answers the file requests of one demo site, with Content-Length; nullopt for
// every other path.
//   melee site:  /Download.aspx?ReplayID=<id>&file=...   the melee replay <id>
//                /ReplayMap/download/<folder>/<mapFile>  a melee map (code-page-936 escapes)
//   DotA site:   /Download.aspx?ReplayID=<id>&file=...   the DotA replay <id>
//   map host:    /dota/<folder>/<map name>.w3x           a DotA map ("%20" for blanks)
// Files that fail on purpose, on every site:
//   /_files/cut/<n>        n bytes of a replay (2048 without n), announced as n + 4096, then closed
//   /_files/404            status 404 with an HTML page
//   /_files/nolength/<n>   a valid replay of n bytes without Content-Length
//   /_files/htmlreplay     status 200 with an HTML page where a replay belongs
//   /_files/replay/<n>     a valid replay of exactly n bytes
//   /_files/map/<n>        n bytes that pass the download's map check (DemoMapBytes)
// Sizes n are bounded to 64 MiB.
std::optional<DemoResponse> DemoFileRoute(const DemoRequest &r, DemoFileSite site);
