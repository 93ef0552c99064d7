#include "demo/demosite.h"

#include "web/codepage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextCodec>

static void initDemoResources()
{
    Q_INIT_RESOURCE(demo);  // the data set lives in a static library
}

namespace {
// Matchups in menu order: each pair of race codes once.
const int kMatchups[10][2] = {{1, 1}, {1, 2}, {1, 4}, {1, 8}, {2, 2}, {2, 4}, {2, 8}, {4, 4}, {4, 8}, {8, 8}};
constexpr int kReplaysPerMatchup = 45;  // 3 pages: 20, 20, 5
constexpr int kDotaReplays = 64;

QStringList strings(const QJsonArray &a)
{
    QStringList out;
    for (const auto &v : a)
        out.append(v.toString());
    return out;
}

QString esc(const QString &s)
{
    return s.toHtmlEscaped();
}

QString pageShell(const QString &title, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html>\r\n<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"
                          "<title>%1</title></head>\r\n<body>\r\n%2\r\n</body></html>\r\n")
        .arg(esc(title), body);
}

int pageNumber(const DemoRequest &r)
{
    bool ok = false;
    const int p = r.queryValue("PageNo").toInt(&ok);
    return ok && p > 0 ? p : 1;
}

QString keywordText(const DemoRequest &r)
{
    // Keywords travel in code page 936.
    return codepage::bytesToText(r.queryValue("str"), QStringLiteral("GBK"));
}

QString hostRoot(const DemoRequest &r)
{
    return QStringLiteral("http://") + QString::fromLatin1(r.headers.value("host", "127.0.0.1"));
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
    initDemoResources();
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
    const QJsonArray maps = root.value(u"maps").toArray();
    const QJsonArray dotaMaps = root.value(u"dotaMaps").toArray();
    if (meleePlayers.size() < 2 || maps.isEmpty() || versions.isEmpty() || teams.size() < 2
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
        r.version = versions.at((i / 7) % versions.size());
        const int minutes = i * 97;
        r.time = QStringLiteral("2009-%1-%2 %3:%4")
                     .arg(12 - (minutes / (60 * 24 * 28)) % 12, 2, 10, QChar(u'0'))
                     .arg(28 - (minutes / (60 * 24)) % 28, 2, 10, QChar(u'0'))
                     .arg(23 - (minutes / 60) % 24, 2, 10, QChar(u'0'))
                     .arg(59 - minutes % 60, 2, 10, QChar(u'0'));
        r.icon = (i % 7 == 0) ? 2 : (i % 4 == 1) ? 1 : 0;
        r.brokenItem = (i % 23 == 22);
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
        r.version = versions.at(3 + i % 2 < versions.size() ? 3 + i % 2 : 0);
        r.map = dotaMaps.at(i % dotaMaps.size()).toObject().value(u"name").toString();
        r.icon = (i % 6 == 0) ? 2 : (i % 5 == 2) ? 1 : 0;
        r.brokenItem = (i % 13 == 12);
        dota.append(r);
    }
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

QString DemoSite::meleeListingPage(const QList<DemoMeleeReplay> &all, int page, const QString &selfRoot)
{
    QString items;
    const int first = (page - 1) * kDemoPageSize;
    for (int i = first; i < all.size() && i < first + kDemoPageSize; ++i) {
        const DemoMeleeReplay &r = all.at(i);
        const QString icon = r.icon ? QStringLiteral("<img src=\"/images/%1.gif\" alt=\"\" />").arg(r.icon) : QString();
        // One multi-argument arg() each: a replaced text is never scanned again for "%n".
        items += QStringLiteral("<ul class=\"replayitem\"><li class=\"c_r\"><a href=\"/ReplayList.aspx?GameRace=%1\">%2 VS %3</a></li>")
                     .arg(QString::number(r.gameRace()), RaceName(r.race1), RaceName(r.race2));
        items += QStringLiteral("<li class=\"c_p\"><a href=\"%1/ReplayDetail.aspx?ReplayID=%2\" target=\"_blank\">%3 VS %4</a>%5</li>")
                     .arg(selfRoot, QString::number(r.id), esc(r.player1), esc(r.player2), icon);
        if (!r.brokenItem)
            items += QStringLiteral("<li class=\"c_m\">") + esc(r.map) + QStringLiteral("</li>");
        items += QStringLiteral("<li class=\"c_t\">") + r.time + QStringLiteral("</li></ul>\r\n");
    }
    const int pages = int((all.size() + kDemoPageSize - 1) / kDemoPageSize);
    const QString body = QStringLiteral("<div id=\"nav\"><a href=\"/Default.aspx?a=3\">最新录像</a></div>\r\n<div id=\"list\">\r\n%1</div>\r\n"
                                        "<span id=\"labPage\">第 %2 / %3 页</span>")
                             .arg(items, QString::number(page), QString::number(pages));
    return pageShell(QStringLiteral("对战录像"), body);
}

QString DemoSite::dotaListingPage(const QList<DemoDotaReplay> &all, int page)
{
    QString items;
    const int first = (page - 1) * kDemoPageSize;
    for (int i = first; i < all.size() && i < first + kDemoPageSize; ++i) {
        const DemoDotaReplay &r = all.at(i);
        const QString icon = r.icon ? QStringLiteral("<img src='images/%1.gif' alt='' />").arg(r.icon) : QString();
        // A few items lack their time cell, as on the real site.
        const QString timeCell = r.brokenItem ? QStringLiteral("<li class='it_date'>") : QStringLiteral("<li class='it_time'>");
        items += QStringLiteral("<ul class='dotaitem' title=\" %1 \" onclick=\"window.open('/ReplayShow.aspx?ReplayID=%2')\">"
                                "<li class='it_title'>%3%1</li>%4%5</li><li class='it_down'>下载</li></ul>\r\n")
                     .arg(esc(r.title), QString::number(r.id), icon, timeCell, r.time);
    }
    const int pages = int((all.size() + kDemoPageSize - 1) / kDemoPageSize);
    const QString body = QStringLiteral("<div id=\"list\">\r\n%1</div>\r\n<span id=\"labPage\">第 %2 / %3 页</span>")
                             .arg(items, QString::number(page), QString::number(pages));
    return pageShell(QStringLiteral("DotA 录像"), body);
}

std::optional<DemoResponse> DemoTestRoute(const DemoRequest &r)
{
    const QByteArray path = r.path();
    if (!path.startsWith("/_test/"))
        return std::nullopt;
    if (path == "/_test/silent") {
        DemoResponse s;
        s.silent = true;
        return s;
    }
    if (path.startsWith("/_test/status/")) {
        const int code = path.mid(14).toInt();
        return DemoResponse::html(pageShell(QStringLiteral("错误"), QStringLiteral("<h1>错误 %1</h1><p>服务器出错了。</p>").arg(code)),
                                  code >= 100 && code <= 599 ? code : 500);
    }
    if (path == "/_test/gbk") {
        DemoResponse g;
        g.contentType = "text/html; charset=gbk";
        g.body = codepage::toNarrow(QStringLiteral("<html><body>魔兽争霸录像 GBK</body></html>")).value_or(QByteArray());
        return g;
    }
    if (path.startsWith("/_test/bytes/")) {
        const int n = qBound(0, path.mid(13).toInt(), 64 * 1024 * 1024);
        QByteArray data(n, '\0');
        for (int i = 0; i < n; ++i)
            data[i] = char((i * 31 + 7) & 0xFF);
        return DemoResponse::bytes(data);
    }
    if (path == "/_test/cut") {
        DemoResponse c = DemoResponse::html(QStringLiteral("<html><body>只到这里"));
        c.announcedLength = c.body.size() + 1000;
        return c;
    }
    return DemoResponse::notFound();
}

DemoSite::DemoSite(quint16 basePort)
{
    initDemoResources();
    auto port = [basePort](int k) { return basePort ? quint16(basePort + k) : quint16(0); };
    m_ok = m_server.listen(QStringLiteral("melee"), [this](const DemoRequest &r) { return melee(r); }, port(0))
        && m_server.listen(QStringLiteral("dota"), [this](const DemoRequest &r) { return dota(r); }, port(1))
        && m_server.listen(QStringLiteral("files"), [this](const DemoRequest &r) { return files(r); }, port(2));
}

SiteRoots DemoSite::roots() const
{
    SiteRoots r;
    r.melee = m_server.root(QStringLiteral("melee"));
    r.dota = m_server.root(QStringLiteral("dota"));
    const QString files = m_server.root(QStringLiteral("files"));
    r.dotaMap = files + QStringLiteral("/dota/");
    r.feed = files + QStringLiteral("/feed/announce.xml");
    return r;
}

DemoResponse DemoSite::melee(const DemoRequest &r) const
{
    if (auto t = DemoTestRoute(r))
        return *t;
    const DemoData &data = DemoData::instance();
    const QByteArray path = r.path();
    const int page = pageNumber(r);
    if (path == "/Default.aspx" || path == "/")
        return DemoResponse::html(meleeListingPage(data.melee, page, hostRoot(r)));
    if (path == "/ReplayList.aspx") {
        const int race = r.queryValue("GameRace").toInt();
        QList<DemoMeleeReplay> hits;
        for (const DemoMeleeReplay &m : data.melee)
            if (m.gameRace() == race)
                hits.append(m);
        return DemoResponse::html(meleeListingPage(hits, page, hostRoot(r)));
    }
    if (path == "/Search.aspx")
        return DemoResponse::html(meleeListingPage(data.searchMelee(keywordText(r)), page, hostRoot(r)));
    return DemoResponse::notFound();
}

DemoResponse DemoSite::dota(const DemoRequest &r) const
{
    if (auto t = DemoTestRoute(r))
        return *t;
    const DemoData &data = DemoData::instance();
    const QByteArray path = r.path();
    const int page = pageNumber(r);
    if (path == "/DotaList.aspx" || path == "/")
        return DemoResponse::html(dotaListingPage(data.dota, page));
    if (path == "/search.aspx")
        return DemoResponse::html(dotaListingPage(data.searchDota(r.queryValue("type").toInt(), keywordText(r)), page));
    return DemoResponse::notFound();
}

DemoResponse DemoSite::files(const DemoRequest &r) const
{
    if (auto t = DemoTestRoute(r))
        return *t;
    if (r.path() == "/feed/announce.xml") {
        QFile f(QStringLiteral(":/demo/feed/announce.xml"));
        f.open(QIODevice::ReadOnly);
        return DemoResponse::bytes(f.readAll(), "application/rss+xml; charset=utf-8");
    }
    return DemoResponse::notFound();
}
