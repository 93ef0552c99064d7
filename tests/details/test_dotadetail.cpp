// The DotA detail parser, the map lookup in the download index and the map
// address, on hand-made pages and on the demo site's pages and files.
#include "details/dotadetail.h"
#include "demo/demofiles.h"
#include "demo/demosite.h"
#include "web/httpget.h"

#include <gtest/gtest.h>

namespace {
QString u8s(const char *utf8) { return QString::fromUtf8(utf8); }
const QString kRoot = QStringLiteral("http://dota.example");

QString page(const QString &mapLink, const QString &playerData)
{
    return mapLink
        + u8s("<li><span id=\"labTime\">41:07</span></li><li><span id=\"labUserno\">10</span></li>"
              "<li><span id=\"labVer\">1.24</span></li>"
              "<span id=\"labContent\" class=\"replaycon\"><p>好<b>比赛</b></p><script>x()</script>&nbsp;完</span>"
              "<a href='/Download.aspx?ReplayID=9&file=/dota/replay/a%20b.w3g' class='imgbtn'>Download</a>")
        + playerData;
}
QString mapLink(const QString &path) { return u8s("<span id=\"labMapname\"><a href='/") + path + u8s("'>x</a></span>"); }

QByteArray get(const QString &url)
{
    QByteArray body;
    const FetchResult r = BlockingGet(url, 20000, [&body](const QByteArray &piece) {
        body += piece;
        return true;
    });
    return r.ok() ? body : QByteArray("failed");
}
} // namespace

TEST(DotaDetail, MapNameAndPathFromTheMapLink)
{
    struct Case {
        QString link;
        QString name, path;
    } cases[] = {
        {mapLink(u8s("Maps/Download/DotA Allstars v6.64.w3x")), u8s("DotA Allstars v6.64"), u8s("Maps\\Download\\DotA Allstars v6.64.w3x")},
        {mapLink(u8s("Maps/Download/Big.W3X.w3x")), u8s("Big"), u8s("Maps\\Download\\Big.W3X.w3x")},
        {mapLink(u8s("Maps/Mixed.W3x.w3x")), u8s("Mixed.W3x"), u8s("Maps\\Mixed.W3x.w3x")},
        {mapLink(u8s("刀塔 v6.66.w3x")), u8s("刀塔 v6.66"), u8s("刀塔 v6.66.w3x")},
        // No map marker: no name and no path (nothing for the download to act on).
        {QString(), QString(), QString()},
    };
    for (const Case &c : cases) {
        const DotaDetail d = ParseDotaDetail(page(c.link, QString()), kRoot);
        EXPECT_EQ(d.mapName, c.name) << qPrintable(c.link);
        EXPECT_EQ(d.mapPath, c.path) << qPrintable(c.link);
    }
}

TEST(DotaDetail, FieldsAndPlayerData)
{
    const QString data = u8s("<span id=\"labPlayerdata\"><ul id='playerdata1'><li>甲</li></ul></span>");
    const DotaDetail d = ParseDotaDetail(page(mapLink(u8s("m.w3x")), data + u8s("<ul id='itemdescription'><li>I001 x</li></ul>")), kRoot);
    EXPECT_EQ(d.time, u8s("41:07"));
    EXPECT_EQ(d.players, u8s("10"));
    EXPECT_EQ(d.version, u8s("1.24"));
    EXPECT_EQ(d.commentary, u8s("好比赛 ;完"));  // "&nbsp" alone becomes a blank
    EXPECT_EQ(d.replayUrl, kRoot + u8s("/Download.aspx?ReplayID=9&file=/dota/replay/a%20b.w3g"));
    EXPECT_EQ(d.playerData, data);

    // Without the player-data markers the template keeps only the empty span.
    const DotaDetail bare = ParseDotaDetail(page(mapLink(u8s("m.w3x")), QString()), kRoot);
    EXPECT_EQ(FillDotaTemplate(u8s("<div>{{0}}</span></div>"), bare.playerData), u8s("<div><span id=\"labPlayerdata\"></span></div>"));
}

TEST(DotaDetail, MapFolderIsTheWholeEntryOfTheIndex)
{
    const QString demo = DemoSite::dotaMapIndexPage();
    const QString odd = u8s("<li><span>Map #1?</span> <a href='/download/page/q1w2e3.html'>下载</a></li>"
                            "<li><span>Bad</span> <a href='/download/page/../x/.html'>下载</a></li>"
                            "<li><a title='Quoted v1.w3x' href='/download/page/r4t5y6.html'>下载</a></li>");
    struct Case {
        QString index, name, folder;
    } cases[] = {
        {demo, u8s("DotA Allstars v6.59d"), u8s("a1b2c3")},
        {demo, u8s("DotA Allstars v6.64"), u8s("d4e5f6")},
        {demo, u8s("DotA Allstars v6.66"), u8s("g7h8i9")},
        {demo, u8s("DotA Allstars v6.6"), u8s("k0l1m2")},  // the start of v6.64 and v6.66
        {demo, u8s("DotA Allstars v6.67 测试版"), u8s("n3o4p5")},
        {demo, u8s("Allstars v6.66"), QString()},          // the end of an entry is no entry
        {demo, u8s("DotA Allstars v6.48b"), QString()},    // not in the index
        {demo, QString(), QString()},                      // no name matches nothing
        {odd, u8s("Map #1?"), u8s("q1w2e3")},
        {odd, u8s("Quoted v1"), u8s("r4t5y6")},
        {odd, u8s("Bad"), QString()},                      // a folder that is no folder name
        {QString(), u8s("DotA Allstars v6.64"), QString()}, // no index (its fetch failed)
    };
    for (const Case &c : cases)
        EXPECT_EQ(DotaMapFolder(c.index, c.name), c.folder) << qPrintable(c.name);
}

TEST(DotaDetail, MapUrlKeepsTheWholeNameInThePath)
{
    const QString root = u8s("http://maps.example/dota/");
    struct Case {
        QString name, text, path;
    } cases[] = {
        {u8s("DotA Allstars v6.66"), u8s("http://maps.example/dota/f1/DotA%20Allstars%20v6.66.w3x"), u8s("/dota/f1/DotA Allstars v6.66.w3x")},
        {u8s("Map #1?"), u8s("http://maps.example/dota/f1/Map%20%231%3F.w3x"), u8s("/dota/f1/Map #1?.w3x")},
        {u8s("100% 刀塔"), u8s("http://maps.example/dota/f1/100%25%20刀塔.w3x"), u8s("/dota/f1/100% 刀塔.w3x")},
    };
    for (const Case &c : cases) {
        const QString text = DotaMapUrl(root, u8s("f1"), c.name);
        EXPECT_EQ(text, c.text);
        const std::optional<QUrl> wire = RequestUrl(text);
        ASSERT_TRUE(wire) << qPrintable(text);
        EXPECT_FALSE(wire->hasQuery());
        EXPECT_FALSE(wire->hasFragment());
        if (!c.name.contains(u8s("刀")))  // code-page-936 escapes are not UTF-8 ones
            EXPECT_EQ(wire->path(QUrl::FullyDecoded), c.path);
    }
}

TEST(DotaDetail, DemoPagesLeadToTheirReplayAndMapFiles)
{
    DemoSite site;
    ASSERT_TRUE(site.ok());
    const SiteRoots roots = site.roots();
    const QString index = QString::fromUtf8(get(roots.dota + u8s("/download/")));
    const QList<DemoDotaReplay> &all = DemoData::instance().dota;
    int missing = 0, fetchedMaps = 0;
    for (const DemoDotaReplay &r : all.mid(0, 60)) {
        const QString text = QString::fromUtf8(get(roots.dota + u8s("/ReplayShow.aspx?ReplayID=") + QString::number(r.id)));
        const DotaDetail d = ParseDotaDetail(text, roots.dota);
        EXPECT_EQ(d.mapName, DemoDotaDetailMap(r));
        EXPECT_EQ(d.mapPath, u8s("Maps\\Download\\") + DemoDotaDetailMap(r) + u8s(".w3x"));
        EXPECT_EQ(d.players, u8s("10"));
        EXPECT_EQ(d.version, r.version);
        EXPECT_TRUE(d.playerData.contains(u8s("id='playerdata11'")));
        EXPECT_FALSE(d.playerData.contains(u8s("itemdescription")));
        if (r.id < 5002)
            EXPECT_EQ(get(d.replayUrl), DemoReplayFile(r.id)) << r.id;
        const QString folder = DotaMapFolder(index, d.mapName);
        if (folder.isEmpty()) {
            ++missing;
            continue;
        }
        if (fetchedMaps < 3 && r.id % 3 == fetchedMaps) {  // one replay per map
            ++fetchedMaps;
            EXPECT_EQ(get(DotaMapUrl(roots.dotaMap, folder, d.mapName)), DemoMapFile(folder, d.mapName + u8s(".w3x")));
        }
    }
    EXPECT_EQ(missing, 2);  // 5007 and 5057 are played on a map the index lacks
    EXPECT_EQ(fetchedMaps, 3);
}
