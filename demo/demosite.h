#pragma once
// The bundled demo replay site: a melee site, a DotA site and a file host (DotA
// maps and the announcement feed), each on its own port of one DemoServer, with
// pages generated from one small data set of demo replays.
#include "demo/demoserver.h"
#include "web/siteconfig.h"

#include <QList>
#include <QString>

struct DemoMeleeReplay {
    int id = 0;
    int race1 = 1, race2 = 1;  // race codes: 1 Human, 2 NightElf, 4 Orc, 8 Undead
    QString player1, player2;
    QString map;       // display name
    QString mapShort;  // abbreviation usable with "at"
    QString mapFile;   // file name of the map
    QString version;
    QString time;
    int icon = 0;      // 0 none, 1 gold crown, 2 silver crown
    bool brokenItem = false;  // listing item without its map cell
    QStringList mates1, mates2;  // teammates of player1 and player2 (2v2, 3v3)
    bool randomRace1 = false;    // team 1 picked Random: its detail page shows "Random" as its race
    QString length;              // game time, "mm:ss"
    int gameRace() const { return race1 + race2; }
    // Where its files are: the replay's file name as the download link names it,
    // the map's folder on the site and its path below the game folder.
    QString replayFileName() const;  // "Sky VS 风神 (1003).w3g"
    QString mapFolder() const { return mapShort; }
    QString mapPath() const { return QStringLiteral("Maps\\Download\\") + mapFile; }
};

struct DemoDotaReplay {
    int id = 0;
    QString team1, team2;
    QStringList players;  // ten
    QString event;
    QString title;
    QString time;
    QString version;
    QString map;       // "DotA Allstars v6.64"
    int icon = 0;
    bool brokenItem = false;  // listing item without its time cell
    QString replayFileName() const;  // "WE VS SK (5000).w3g"
};

QString RaceName(int code);       // "人族", "暗夜精灵", "兽族", "不死"
QString RaceSearchCode(int code); // "HM", "NE", "ORC", "UD"

class DemoData {
public:
    static const DemoData &instance();
    QList<DemoMeleeReplay> melee;
    QList<DemoDotaReplay> dota;
    QStringList meleePlayers, dotaPlayers, teams, events;

    // Melee search: blank-separated keywords (players, race codes, "at <map>").
    QList<DemoMeleeReplay> searchMelee(const QString &keywords) const;
    // DotA search: type 1 team, 2 player, 3 event.
    QList<DemoDotaReplay> searchDota(int type, const QString &keywords) const;

private:
    DemoData();
};

constexpr int kDemoPageSize = 20;

class DemoSite {
public:
    // Listens on 127.0.0.1: melee on `basePort`, DotA on basePort + 1, file host
    // on basePort + 2 (free ports when basePort is 0).
    explicit DemoSite(quint16 basePort = 0);
    bool ok() const { return m_ok; }
    SiteRoots roots() const;
    DemoServer &server() { return m_server; }

    static QString meleeListingPage(const QList<DemoMeleeReplay> &all, int page, const QString &selfRoot);
    static QString dotaListingPage(const QList<DemoDotaReplay> &all, int page);
    static QString meleeDetailPage(const DemoMeleeReplay &r);
    static QByteArray minimapPicture(const QString &mapShort);  // a JPEG (PNG if JPEG cannot be written); empty for an unknown map
    // The DotA site's replay detail page (with the player data of ten players)
    // and its map download index "/download/".
    static QString dotaDetailPage(const DemoDotaReplay &r);
    static QString dotaMapIndexPage();

private:
    DemoResponse melee(const DemoRequest &r) const;
    DemoResponse dota(const DemoRequest &r) const;
    DemoResponse files(const DemoRequest &r) const;
    DemoServer m_server;
    bool m_ok = false;
};

// The map a DotA replay's detail page names: the replay's map, except for a few
// replays played on a map that the download index lacks.
QString DemoDotaDetailMap(const DemoDotaReplay &r);
// The DotA site's style sheets, scripts, hero / skill / item pictures and the
// minimap; nullopt for every other path.
std::optional<DemoResponse> DemoDotaAssetRoute(const DemoRequest &r);

// Routes every demo site answers, for trying out failures: "/_test/silent" never
// answers, "/_test/status/N" answers status N with a page, "/_test/gbk" is a GBK
// page, "/_test/bytes/N" is N bytes of data, "/_test/cut" announces more than it sends.
std::optional<DemoResponse> DemoTestRoute(const DemoRequest &r);
