// The melee detail parser on the demo site's detail pages and on hand-made pages.
#include "details/meleedetail.h"
#include "demo/demosite.h"
#include "download/gamepath.h"
#include "support/testfiles.h"

static const QString kRoot = QStringLiteral("http://melee.example");
using Names = std::array<std::optional<QString>, 3>;

// The demo data's race codes 1, 2, 4, 8.
static RaceEmblem emblemOfCode(int code)
{
    return code == 1 ? RaceEmblem::Human : code == 2 ? RaceEmblem::NightElf : code == 4 ? RaceEmblem::Orc : RaceEmblem::Undead;
}

// A detail page in the site's markup; `team1` runs up to team 2's list as the site's does.
static QString page(const QString &team1, bool mapPath = true)
{
    return u8s("<div><img id=\"replaymapimage\" src=\"/minimap/lt.jpg\" width=\"168\" height=\"168\" /></div>"
               "<ul><li>使用地图：<span id=\"ctl00_Content_labUsemap\">LostTemple<a id='downmap' "
               "href=\"javascript:getreplaymap('7','lt','LostTemple')\" class='rnmap'>下载地图</a></span></li>"
               "<li>游戏时间：<span id=\"ctl00_Content_labTime\">21:05</span></li><li>游戏人数：<span id=\"ctl00_Content_labUserno\">2</span></li>"
               "<li>游戏版本：<span id=\"ctl00_Content_labVer\">1.22</span></li><li>更新时间：2009-01-01</li>")
        + (mapPath ? u8s("<li><span>Maps\\Download\\(4)LostTemple.w3x</span></li><li>") : QString())
        + u8s("<li><a href=\"/Download.aspx?ReplayID=7&file=/replay/a%20b.w3g\">Download REP</a></li></ul>"
              "<div class=\"pcontent\"><p>精彩<b>对局</b></p><script>x()</script></div><div style=\"clear:both\"></div>"
              "<ul id='playerdata1' class='dis'>")
        + team1 + u8s("<ul id='playerdata2' class='dis'><li>x</li><li>y</li><li>Orc</li></ul><div id=\"pagepart3\"></div>");
}

// The head of a team list, its race word, four fixed entries, then `names`.
static QString list(const QString &race, const QStringList &names)
{
    return u8s("<li>第一队</li><li>种族</li><li>") + race + u8s("</li><li>r</li><li>胜</li><li>APM</li><li>1</li><li>")
        + names.join(u8s("</li><li>")) + u8s("</li>");
}

TEST(MeleeDetail, EveryFieldOfTheDemoPages)
{
    const QString &root = kRoot;
    for (const DemoMeleeReplay &r : DemoData::instance().melee.mid(0, 60)) {
        const MeleeDetail d = ParseMeleeDetail(DemoSite::meleeDetailPage(r), root);
        EXPECT_EQ(QStringList({d.minimapUrl, d.mapName, d.time, d.players, d.version, ReplayNameOf(d.replayUrl), d.mapPath, d.mapUrl}),
                  QStringList({root + u8s("/minimap/") + r.mapShort + u8s(".jpg"), r.map, r.length,
                               QString::number(2 + r.mates1.size() + r.mates2.size()), r.version, r.replayFileName(),
                               u8s("Maps\\Download\\") + r.mapFile, root + u8s("/ReplayMap/download/") + r.mapShort + u8s("/") + r.mapFile}))
            << r.id;
        EXPECT_TRUE(d.commentary.contains(r.player1) && !d.commentary.contains(u'<')
                    && d.replayUrl.startsWith(root + u8s("/Download.aspx?ReplayID=%1&file=/replay/").arg(r.id))) << r.id;
        EXPECT_TRUE(d.teams[0].emblem == (r.randomRace1 ? RaceEmblem::Keep : emblemOfCode(r.race1)) && d.teams[1].emblem == emblemOfCode(r.race2)) << r.id;
        EXPECT_EQ(d.teams[0].names, Names({r.player1, r.mates1.value(0), r.mates1.value(1)})) << r.id;
        EXPECT_EQ(d.teams[1].names, Names({r.player2, r.mates2.value(0), r.mates2.value(1)})) << r.id;
    }
}

TEST(MeleeDetail, HandMadePages)
{
    const MeleeDetail d = ParseMeleeDetail(page(QString()), kRoot);
    EXPECT_EQ(QStringList({d.minimapUrl, d.mapName, d.time, d.players, d.version, d.commentary, d.replayUrl, d.mapPath, d.mapUrl}),
              QStringList({u8s("http://melee.example/minimap/lt.jpg"), u8s("LostTemple"), u8s("21:05"), u8s("2"), u8s("1.22"),
                           u8s("精彩对局"), u8s("http://melee.example/Download.aspx?ReplayID=7&file=/replay/a%20b.w3g"),
                           u8s("Maps\\Download\\(4)LostTemple.w3x"), u8s("http://melee.example/ReplayMap/download/lt/(4)LostTemple.w3x")}));
    // Without the map path: "Maps\" and a map URL that ends in "/".
    const MeleeDetail noMap = ParseMeleeDetail(page(QString(), false), kRoot);
    EXPECT_EQ(QStringList({noMap.mapPath, noMap.mapUrl}), QStringList({u8s("Maps\\"), u8s("http://melee.example/ReplayMap/download/lt/")}));
    // A page without any marker: empty values inside their fixed parts; nothing for the teams.
    const MeleeDetail empty = ParseMeleeDetail(u8s("<html>no replay</html>"), kRoot);
    EXPECT_EQ(QStringList({empty.minimapUrl, empty.mapName, empty.time, empty.commentary, empty.replayUrl, empty.mapPath, empty.mapUrl}),
              QStringList({kRoot, QString(), QString(), QString(), u8s("http://melee.example/Download.aspx?"), u8s("Maps\\"),
                           u8s("http://melee.example/ReplayMap/download//")}));
    for (const MeleeTeam &t : empty.teams)
        EXPECT_TRUE(t.emblem == RaceEmblem::Keep && t.names == Names());

    const struct { QString list; RaceEmblem emblem; Names names; } rows[] = {  // team 1's list
        {list(u8s("Orc"), {u8s("h,Grubby"), QString(), QString()}), RaceEmblem::Orc, {u8s("Grubby"), QString(), QString()}},
        {list(u8s("Human"), {u8s("h,Sky"), u8s("team/h,Moon"), u8s("Lyn")}), RaceEmblem::Human, {u8s("Sky"), u8s("Moon"), QString()}},
        {list(u8s("NightElf"), {u8s("x/hero,a,b"), u8s("hSky"), u8s("H,Sky")}), RaceEmblem::NightElf, {u8s("b"), u8s("hSky"), QString()}},
        {list(u8s("Undead"), {u8s("Sky"), u8s("a/H,b"), u8s("h")}), RaceEmblem::Undead, {QString(), QString(), u8s("h")}},
        {list(u8s("Random"), {u8s("h,Sky"), QString(), QString()}), RaceEmblem::Keep, {u8s("Sky"), QString(), QString()}},
        // Eight entries give nine items (0 to 8): the third slot keeps its caption.
        {list(u8s("Orc"), {u8s("h,Sky")}), RaceEmblem::Orc, {u8s("Sky"), QString(), std::nullopt}},
        // Two entries: a race item (empty) but no name items.
        {u8s("<li>第一队</li><li>种族</li>"), RaceEmblem::Keep, {std::nullopt, std::nullopt, std::nullopt}},
    };
    for (const auto &r : rows) {
        const MeleeTeam t = ParseMeleeDetail(page(r.list), kRoot).teams[0];
        EXPECT_TRUE(t.emblem == r.emblem && t.names == r.names) << r.list.toStdString();
    }
}

TEST(MeleeDetail, HostileValuesStayBoundedAndInsideTheAttribute)
{
    EXPECT_EQ(MeleeMinimapDocument(u8s("<script>s()</script>"), u8s("http://h/a' onerror='x()\"<b>&.jpg")),
              u8s("<body style='margin:0px;'><script>s()</script><img width='168' height='168' "
                  "src='http://h/a&#39; onerror=&#39;x()&quot;&lt;b&gt;&amp;.jpg' /></body>"));
    const QString huge(300000, u'x');
    const MeleeDetail big = ParseMeleeDetail(u8s("<div class=\"pcontent\">") + huge + u8s("<div style=\"clear:both\">"
                                                 "<span id=\"ctl00_Content_labUsemap\">") + huge + u8s("<a id='downmap'"), kRoot);
    EXPECT_TRUE(big.commentary.size() == 64 * 1024 && big.mapName.size() == kMeleeFieldLimit);
}
