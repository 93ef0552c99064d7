// The DotA detail parser, the map lookup in the download index and the map
// address, on hand-made pages and the demo site's index.
#include "details/dotadetail.h"
#include "demo/demosite.h"
#include "support/testfiles.h"

static const QString kRoot = QStringLiteral("http://dota.example");

static QString page(const QString &mapPath, const QString &playerData = QString())
{
    return (mapPath.isEmpty() ? QString() : u8s("<span id=\"labMapname\"><a href='/") + mapPath + u8s("'>x</a></span>"))
        + u8s("<li><span id=\"labTime\">41:07</span></li><li><span id=\"labUserno\">10</span></li><li><span id=\"labVer\">1.24</span></li>"
              "<span id=\"labContent\" class=\"replaycon\"><p>好<b>比赛</b></p><script>x()</script>&nbsp;完</span>"
              "<a href='/Download.aspx?ReplayID=9&file=/dota/replay/a%20b.w3g' class='imgbtn'>Download</a>")
        + playerData;
}

TEST(DotaDetail, FieldsMapNameAndPath)
{
    const QString data = u8s("<span id=\"labPlayerdata\"><ul id='playerdata1'><li>甲</li></ul></span>");
    const DotaDetail d = ParseDotaDetail(page(u8s("m.w3x"), data + u8s("<ul id='itemdescription'><li>I001 x</li></ul>")), kRoot);
    EXPECT_EQ(QStringList({d.time, d.players, d.version, d.commentary, d.replayUrl, d.playerData}),
              QStringList({u8s("41:07"), u8s("10"), u8s("1.24"), u8s("好比赛 ;完"),  // "&nbsp" alone becomes a blank
                           kRoot + u8s("/Download.aspx?ReplayID=9&file=/dota/replay/a%20b.w3g"), data}));
    const struct { QString path, name, mapPath; } cases[] = {
        {u8s("Maps/Download/Big.W3X.w3x"), u8s("Big"), u8s("Maps\\Download\\Big.W3X.w3x")},
        {u8s("Maps/Mixed.W3x.w3x"), u8s("Mixed.W3x"), u8s("Maps\\Mixed.W3x.w3x")},
        {QString(), QString(), QString()},  // no map marker: nothing for the download to act on
    };
    for (const auto &c : cases) {
        const DotaDetail m = ParseDotaDetail(page(c.path), kRoot);
        EXPECT_EQ(QStringList({m.mapName, m.mapPath}), QStringList({c.name, c.mapPath})) << qPrintable(c.path);
    }
}

TEST(DotaDetail, MapFolderIsTheWholeEntryOfTheIndex)
{
    const QString demo = DemoSite::dotaMapIndexPage();
    const QString odd = u8s("<li><span>Map #1?</span> <a href='/download/page/q1w2e3.html'>下载</a></li>"
                            "<li><span>Bad</span> <a href='/download/page/../x/.html'>下载</a></li>"
                            "<li><a title='Quoted v1.w3x' href='/download/page/r4t5y6.html'>下载</a></li>");
    // Another map whose name ends in ".W3x" stands before the one asked for.
    const QString mixed = u8s("<li><span>DotA v6.65.W3x</span> <a href='/download/page/a1a1a1.html'>下载</a></li>"
                              "<li><span>DotA v6.65</span> <a href='/download/page/b2b2b2.html'>下载</a></li>"
                              "<li><span>DotA v6.70.W3X</span> <a href='/download/page/c3c3c3.html'>下载</a></li>");
    const struct { QString index, name, folder; } cases[] = {
        {demo, u8s("DotA Allstars v6.6"), u8s("k0l1m2")},  // the start of v6.64 and v6.66
        {demo, u8s("Allstars v6.66"), QString()},          // the end of an entry is no entry
        {demo, QString(), QString()},                      // no name matches nothing
        {odd, u8s("Map #1?"), u8s("q1w2e3")}, {odd, u8s("Quoted v1"), u8s("r4t5y6")},
        {odd, u8s("Bad"), QString()},                      // a folder that is no folder name
        {mixed, u8s("DotA v6.65"), u8s("b2b2b2")}, {mixed, u8s("DotA v6.65.W3x"), u8s("a1a1a1")},
        {mixed, u8s("DotA v6.70"), u8s("c3c3c3")},         // ".W3X" ends a name as ".w3x" does
    };
    for (const auto &c : cases)
        EXPECT_EQ(DotaMapFolder(c.index, c.name), c.folder) << qPrintable(c.name);
}

TEST(DotaDetail, MapUrlShowsOnlyBlanksEscapedAndFetchesTheWholeName)
{
    const QString root = u8s("http://maps.example/dota/");
    const struct { QString name, shown, wire, path; } cases[] = {
        {u8s("100% Mod"), u8s("f1/100%%20Mod.w3x"), u8s("f1/100%25%20Mod.w3x"), u8s("/dota/f1/100% Mod.w3x")},
        {u8s("Map #1?"), u8s("f1/Map%20#1?.w3x"), u8s("f1/Map%20%231%3F.w3x"), u8s("/dota/f1/Map #1?.w3x")},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(DotaMapUrl(root, u8s("f1"), c.name), root + c.shown);
        EXPECT_EQ(DotaMapWireUrl(root, u8s("f1"), c.name), root + c.wire);
        const QUrl wire = RequestUrl(DotaMapWireUrl(root, u8s("f1"), c.name)).value_or(QUrl());
        EXPECT_FALSE(wire.hasQuery() || wire.hasFragment());
        EXPECT_EQ(wire.path(QUrl::FullyDecoded), c.path);
    }
}
