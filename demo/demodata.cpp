// The demo replays, generated from the small data set, and the searches over them.
#include "demo/demosite.h"

#include "demo/demopages.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// Matchups in menu order: each pair of race codes once.
const int kMatchups[10][2] = {{1, 1}, {1, 2}, {1, 4}, {1, 8}, {2, 2}, {2, 4}, {2, 8}, {4, 4}, {4, 8}, {8, 8}};
constexpr int kReplaysPerMatchup = 45;  // 3 pages: 20, 20, 5
// Enough that every DotA listing and search runs to at least three pages of 20.
constexpr int kDotaReplays = 300;

QStringList strings(const QJsonArray &a)
{
    QStringList out;
    for (const auto &v : a)
        out.append(v.toString());
    return out;
}

} // namespace

QString RaceName(int code)
{
    switch (code) {
    case 1: return QStringLiteral("人族");
    case 2: return QStringLiteral("暗夜精灵");
    case 4: return QStringLiteral("兽族");
    case 8: return QStringLiteral("不死");
    default: return QString();
    }
}

QString RaceSearchCode(int code)
{
    switch (code) {
    case 1: return QStringLiteral("HM");
    case 2: return QStringLiteral("NE");
    case 4: return QStringLiteral("ORC");
    case 8: return QStringLiteral("UD");
    default: return QString();
    }
}

const DemoData &DemoData::instance()
{
    demopage::initResources();
    static const DemoData data;
    return data;
}

DemoData::DemoData()
{
    QFile f(QStringLiteral(":/demo/dataset.json"));
    f.open(QIODevice::ReadOnly);
    const QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
    meleePlayers = strings(root.value(u"players").toArray());
    dotaPlayers = strings(root.value(u"dotaPlayers").toArray());
    teams = strings(root.value(u"teams").toArray());
    events = strings(root.value(u"events").toArray());
    const QStringList versions = strings(root.value(u"versions").toArray());
    const QStringList dotaVersions = strings(root.value(u"dotaVersions").toArray());
    const QJsonArray maps = root.value(u"maps").toArray();
    const QJsonArray dotaMaps = root.value(u"dotaMaps").toArray();
    if (meleePlayers.size() < 2 || maps.isEmpty() || versions.isEmpty() || dotaVersions.isEmpty() || teams.size() < 2
        || dotaPlayers.isEmpty() || events.isEmpty() || dotaMaps.isEmpty())
        return;

    // Newest first; the matchups interleave so that "latest" mixes them.
    const int total = kReplaysPerMatchup * 10;
    for (int i = 0; i < total; ++i) {
        DemoMeleeReplay r;
        r.id = 1000 + i;
        r.race1 = kMatchups[i % 10][0];
        r.race2 = kMatchups[i % 10][1];
        if (i % 20 >= 10)  // either order of the races occurs
            std::swap(r.race1, r.race2);
        const int n = int(meleePlayers.size());
        r.player1 = meleePlayers.at((i * 7 + (i / 10) * 3) % n);
        r.player2 = meleePlayers.at((i * 11 + 3 + i / 10) % n);
        if (r.player2 == r.player1)
            r.player2 = meleePlayers.at((i * 11 + 4) % n);
        const QJsonObject map = maps.at((i * 3 + i / 10) % maps.size()).toObject();
        r.map = map.value(u"name").toString();
        r.mapShort = map.value(u"short").toString();
        r.mapFile = map.value(u"file").toString();
        // Runs of seven replays share a version, in the order of the list; the
        // newest run is a single replay, so the newest replay of the site is one
        // that the demo game (1.24) plays.
        r.version = versions.at(((i + 6) / 7) % versions.size());
        const int minutes = i * 97;
        r.time = QStringLiteral("2009-%1-%2 %3:%4")
                     .arg(12 - (minutes / (60 * 24 * 28)) % 12, 2, 10, QChar(u'0'))
                     .arg(28 - (minutes / (60 * 24)) % 28, 2, 10, QChar(u'0'))
                     .arg(23 - (minutes / 60) % 24, 2, 10, QChar(u'0'))
                     .arg(59 - minutes % 60, 2, 10, QChar(u'0'));
        r.icon = (i % 7 == 0) ? 2 : (i % 4 == 1) ? 1 : 0;
        r.brokenItem = (i % 23 == 22);
        // Some team games (2v2, 3v3) among the one-on-ones; teammates are players
        // not yet in the game.
        const int mates = (i % 9 == 4) ? 1 : (i % 9 == 7) ? 2 : 0;
        QStringList taken = {r.player1, r.player2};
        for (int k = 0, step = 0; k < 2 * mates; ++step) {
            const QString p = meleePlayers.at((i * 5 + 2 + step * 3) % n);
            if (taken.contains(p))
                continue;
            taken.append(p);
            (k % 2 == 0 ? r.mates1 : r.mates2).append(p);
            ++k;
        }
        r.randomRace1 = (i % 11 == 2);
        r.length = QStringLiteral("%1:%2").arg(8 + (i * 13) % 40, 2, 10, QChar(u'0')).arg((i * 37) % 60, 2, 10, QChar(u'0'));
        melee.append(r);
    }

    for (int i = 0; i < kDotaReplays; ++i) {
        DemoDotaReplay r;
        r.id = 5000 + i;
        r.team1 = teams.at(i % teams.size());
        r.team2 = teams.at((i * 3 + 1) % teams.size());
        if (r.team2 == r.team1)
            r.team2 = teams.at((i * 3 + 2) % teams.size());
        for (int k = 0; k < 10; ++k)
            r.players.append(dotaPlayers.at((i + k * 5) % dotaPlayers.size()));
        r.event = events.at((i / 3) % events.size());
        r.title = QStringLiteral("%1 VS %2 - %3 第%4局").arg(r.team1, r.team2, r.event, QString::number(i % 3 + 1));
        r.time = QStringLiteral("2009-%1-%2").arg(10 - (i / 28) % 10, 2, 10, QChar(u'0')).arg(28 - i % 28, 2, 10, QChar(u'0'));
        r.version = dotaVersions.at(i % dotaVersions.size());
        r.map = dotaMaps.at(i % dotaMaps.size()).toObject().value(u"name").toString();
        r.icon = (i % 6 == 0) ? 2 : (i % 5 == 2) ? 1 : 0;
        r.brokenItem = (i % 13 == 12);
        dota.append(r);
    }
}

QString DemoMeleeReplay::replayFileName() const
{
    return QStringLiteral("%1 VS %2 (%3).w3g").arg(player1, player2, QString::number(id));
}

QString DemoDotaReplay::replayFileName() const
{
    return QStringLiteral("%1 VS %2 (%3).w3g").arg(team1, team2, QString::number(id));
}

QList<DemoMeleeReplay> DemoData::searchMelee(const QString &keywords) const
{
    const QStringList words = keywords.split(u' ', Qt::SkipEmptyParts);
    QStringList names;
    QList<int> races;
    QString map;
    for (int i = 0; i < words.size(); ++i) {
        const QString &w = words.at(i);
        if (w == u"at" && i + 1 < words.size()) {
            map = words.at(++i);
            continue;
        }
        if (w == u"win" || w == u"lose")
            continue;
        bool race = false;
        for (int code : {1, 2, 4, 8}) {
            if (w == RaceSearchCode(code)) {  // race codes must be upper case
                races.append(code);
                race = true;
            }
        }
        if (!race)
            names.append(w);
    }
    QList<DemoMeleeReplay> out;
    for (const DemoMeleeReplay &r : melee) {
        bool fits = true;
        for (const QString &n : names)
            fits = fits && (r.player1.contains(n, Qt::CaseInsensitive) || r.player2.contains(n, Qt::CaseInsensitive));
        for (int code : races)
            fits = fits && (r.race1 == code || r.race2 == code);
        if (!map.isEmpty())
            fits = fits && (r.mapShort.compare(map, Qt::CaseInsensitive) == 0 || r.map.compare(map, Qt::CaseInsensitive) == 0);
        if (fits && (!names.isEmpty() || !races.isEmpty() || !map.isEmpty()))
            out.append(r);
    }
    return out;
}

QList<DemoDotaReplay> DemoData::searchDota(int type, const QString &keywords) const
{
    const QString k = keywords.trimmed();
    QList<DemoDotaReplay> out;
    if (k.isEmpty())
        return out;
    for (const DemoDotaReplay &r : dota) {
        bool fits = false;
        if (type == 1)
            fits = r.team1.contains(k, Qt::CaseInsensitive) || r.team2.contains(k, Qt::CaseInsensitive);
        else if (type == 2)
            fits = std::any_of(r.players.begin(), r.players.end(), [&](const QString &p) { return p.contains(k, Qt::CaseInsensitive); });
        else if (type == 3)
            fits = r.event.contains(k, Qt::CaseInsensitive);
        if (fits)
            out.append(r);
    }
    return out;
}

