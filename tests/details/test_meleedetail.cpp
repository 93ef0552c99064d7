// The melee detail parser on the demo site's detail pages and on hand-made pages.
#include "details/meleedetail.h"
#include "demo/demosite.h"
#include "download/gamepath.h"
#include "support/testfiles.h"
#include "web/pagefiles.h"

#include <QMap>
#include <QTemporaryDir>

namespace {
const QString kRoot = QStringLiteral("http://melee.example");

RaceEmblem emblemOfCode(int code)
{
    const QMap<int, RaceEmblem> emblems = {
        {1, RaceEmblem::Human}, {2, RaceEmblem::NightElf}, {4, RaceEmblem::Orc}, {8, RaceEmblem::Undead}};
    return emblems.value(code, RaceEmblem::Keep);
}

// A detail page in the site's markup with the given team lists.
QString page(const QString &team1, const QString &team2, bool mapPath = true)
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
        + team1 + u8s("</ul><ul id='playerdata2' class='dis'>") + team2 + u8s("</ul><div id=\"pagepart3\"></div>");
}

// A team list of `items` list entries.
QString list(const QStringList &items)
{
    QString s;
    for (const QString &i : items)
        s += u8s("<li>") + i + u8s("</li>");
    return s;
}
} // namespace

class DemoMeleeDetail : public ::testing::Test {
protected:
    DemoSite site;
    QTemporaryDir dir;
    PageFiles pages{dir.path()};
    const DemoData &data = DemoData::instance();
    QString root() { return site.roots().melee; }
    QString detailUrl(int id) { return root() + QStringLiteral("/ReplayDetail.aspx?ReplayID=%1").arg(id); }
};

TEST_F(DemoMeleeDetail, EveryFieldOfTheDemoPages)
{
    ASSERT_TRUE(site.ok());
    int races[9] = {}, random = 0, teamSizes[4] = {};
    for (int i = 0; i < 60; ++i) {
        const DemoMeleeReplay &r = data.melee.at(i);
        const MeleeDetail d = ParseMeleeDetail(pages.FetchPage(detailUrl(r.id), kPageFile), root());
        EXPECT_EQ(d.minimapUrl, root() + u8s("/minimap/") + r.mapShort + u8s(".jpg")) << r.id;
        EXPECT_EQ(d.mapName, r.map) << r.id;
        EXPECT_EQ(d.time, r.length) << r.id;
        EXPECT_EQ(d.players, QString::number(2 + r.mates1.size() + r.mates2.size())) << r.id;
        EXPECT_EQ(d.version, r.version) << r.id;
        EXPECT_TRUE(d.commentary.contains(r.player1)) << r.id;
        EXPECT_FALSE(d.commentary.contains(u'<')) << r.id;
        EXPECT_TRUE(d.replayUrl.startsWith(root() + u8s("/Download.aspx?ReplayID=%1&file=/replay/").arg(r.id))) << r.id;
        EXPECT_EQ(ReplayNameOf(d.replayUrl), r.replayFileName()) << r.id;
        EXPECT_EQ(d.mapPath, u8s("Maps\\Download\\") + r.mapFile) << r.id;
        EXPECT_EQ(d.mapUrl, root() + u8s("/ReplayMap/download/") + r.mapShort + u8s("/") + r.mapFile) << r.id;

        EXPECT_EQ(d.teams[0].emblem, r.randomRace1 ? RaceEmblem::Keep : emblemOfCode(r.race1)) << r.id;
        EXPECT_EQ(d.teams[1].emblem, emblemOfCode(r.race2)) << r.id;
        const QStringList team[2] = {QStringList{r.player1} + r.mates1, QStringList{r.player2} + r.mates2};
        for (int t = 0; t < 2; ++t)
            for (int slot = 0; slot < 3; ++slot)
                EXPECT_EQ(d.teams[t].names[slot], std::optional<QString>(team[t].value(slot))) << r.id << " " << t << " " << slot;
        races[r.race1]++;
        races[r.race2]++;
        random += r.randomRace1 ? 1 : 0;
        teamSizes[1 + r.mates1.size()]++;
    }
    // The pages cover every race, Random, and one-on-ones, 2v2 and 3v3.
    EXPECT_GT(races[1] * races[2] * races[4] * races[8], 0);
    EXPECT_GT(random, 0);
    EXPECT_GT(teamSizes[1] * teamSizes[2] * teamSizes[3], 0);
}

TEST(MeleeDetail, HandMadePageFields)
{
    const QString team = list({u8s("第一队"), u8s("种族"), u8s("Orc"), u8s("结果"), u8s("胜"), u8s("APM"), u8s("150"),
                               u8s("h,Grubby"), QString(), QString()});
    const MeleeDetail d = ParseMeleeDetail(page(team, team), kRoot);
    EXPECT_EQ(d.minimapUrl, u8s("http://melee.example/minimap/lt.jpg"));
    EXPECT_EQ(d.mapName, u8s("LostTemple"));
    EXPECT_EQ(d.time, u8s("21:05"));
    EXPECT_EQ(d.players, u8s("2"));
    EXPECT_EQ(d.version, u8s("1.22"));
    EXPECT_EQ(d.commentary, u8s("精彩对局"));
    EXPECT_EQ(d.replayUrl, u8s("http://melee.example/Download.aspx?ReplayID=7&file=/replay/a%20b.w3g"));
    EXPECT_EQ(d.mapPath, u8s("Maps\\Download\\(4)LostTemple.w3x"));
    EXPECT_EQ(d.mapUrl, u8s("http://melee.example/ReplayMap/download/lt/(4)LostTemple.w3x"));
    EXPECT_EQ(d.teams[1].emblem, RaceEmblem::Orc);
    EXPECT_EQ(d.teams[1].names[0], u8s("Grubby"));
    EXPECT_EQ(d.teams[1].names[1], QString());

    // Without the map path: "Maps\" and a map URL that ends in "/".
    const MeleeDetail noMap = ParseMeleeDetail(page(team, team, false), kRoot);
    EXPECT_EQ(noMap.mapPath, u8s("Maps\\"));
    EXPECT_EQ(noMap.mapUrl, u8s("http://melee.example/ReplayMap/download/lt/"));

    // A page without any marker: empty values inside their fixed parts; nothing for the teams.
    const MeleeDetail empty = ParseMeleeDetail(u8s("<html>no replay</html>"), kRoot);
    EXPECT_EQ(empty.minimapUrl, kRoot);
    EXPECT_TRUE(empty.mapName.isEmpty() && empty.time.isEmpty() && empty.commentary.isEmpty());
    EXPECT_EQ(empty.replayUrl, u8s("http://melee.example/Download.aspx?"));
    EXPECT_EQ(empty.mapPath, u8s("Maps\\"));
    EXPECT_EQ(empty.mapUrl, u8s("http://melee.example/ReplayMap/download//"));
    for (const MeleeTeam &t : empty.teams) {
        EXPECT_EQ(t.emblem, RaceEmblem::Keep);
        for (const auto &n : t.names)
            EXPECT_FALSE(n.has_value());
    }
}

TEST(MeleeDetail, TeamListsRacesAndNameSlots)
{
    using Names = std::array<std::optional<QString>, 3>;
    const QString head = u8s("<li>第一队</li><li>种族</li>");
    struct Row {
        QString list;  // the team list of team 1
        RaceEmblem emblem;
        Names names;
    } rows[] = {
        {head + list({u8s("Human"), u8s("r"), u8s("胜"), u8s("APM"), u8s("1"), u8s("h,Sky"), u8s("team/h,Moon"), u8s("Lyn")}),
         RaceEmblem::Human, {u8s("Sky"), u8s("Moon"), QString()}},
        {head + list({u8s("NightElf"), u8s("r"), u8s("胜"), u8s("APM"), u8s("1"), u8s("x/hero,a,b"), u8s("hSky"), u8s("H,Sky")}),
         RaceEmblem::NightElf, {u8s("b"), u8s("hSky"), QString()}},
        {head + list({u8s("Undead"), u8s("r"), u8s("胜"), u8s("APM"), u8s("1"), u8s("Sky"), u8s("a/H,b"), u8s("h")}),
         RaceEmblem::Undead, {QString(), QString(), u8s("h")}},
        // Random and other words keep the emblem; "orc" is not "Orc".
        {head + list({u8s("Random"), u8s("r"), u8s("胜"), u8s("APM"), u8s("1"), u8s("h,Sky"), QString(), QString()}),
         RaceEmblem::Keep, {u8s("Sky"), QString(), QString()}},
        {head + list({u8s("orc"), u8s("r"), u8s("胜"), u8s("APM"), u8s("1"), u8s("h,Sky"), QString(), QString()}),
         RaceEmblem::Keep, {u8s("Sky"), QString(), QString()}},
        // Eight entries give nine items (0 to 8): the third slot keeps its caption.
        {head + list({u8s("Orc"), u8s("r"), u8s("胜"), u8s("APM"), u8s("1"), u8s("h,Sky")}),
         RaceEmblem::Orc, {u8s("Sky"), QString(), std::nullopt}},
        // Two entries: a race item (empty) but no name items.
        {head, RaceEmblem::Keep, {std::nullopt, std::nullopt, std::nullopt}},
    };
    for (const Row &r : rows) {
        // The team-1 value runs up to "<ul id='playerdata2": take the list without its "</ul>".
        const QString p = page(QString(), QString()).replace(u8s("class='dis'></ul><ul id='playerdata2'"),
                                                             u8s("class='dis'>") + r.list + u8s("<ul id='playerdata2'"));
        const MeleeTeam t = ParseMeleeDetail(p, kRoot).teams[0];
        EXPECT_EQ(t.emblem, r.emblem) << r.list.toStdString();
        EXPECT_EQ(t.names, r.names) << r.list.toStdString();
    }
}

TEST(MeleeDetail, HostileValuesStayBoundedAndInsideTheAttribute)
{
    const QString script = u8s("<script>document.oncontextmenu=function(){return false;}</script>");
    EXPECT_EQ(MeleeMinimapDocument(script, u8s("http://h/m.jpg")),
              u8s("<body style='margin:0px;'>") + script + u8s("<img width='168' height='168' src='http://h/m.jpg' /></body>"));
    EXPECT_EQ(MeleeMinimapDocument(QString(), u8s("http://h/a' onerror='x()\"<b>&.jpg")),
              u8s("<body style='margin:0px;'><img width='168' height='168' "
                  "src='http://h/a&#39; onerror=&#39;x()&quot;&lt;b&gt;&amp;.jpg' /></body>"));

    // A page whose quoted picture value tries to leave the attribute.
    const MeleeDetail d = ParseMeleeDetail(u8s("<img id=\"replaymapimage\" src=\"/m.jpg' onload='x\" width=\"168\""), kRoot);
    EXPECT_FALSE(MeleeMinimapDocument(QString(), d.minimapUrl).contains(u8s("' onload='")));

    const QString huge(300000, u'x');
    const MeleeDetail big = ParseMeleeDetail(u8s("<div class=\"pcontent\">") + huge + u8s("<div style=\"clear:both\">"
                                                 "<span id=\"ctl00_Content_labUsemap\">") + huge + u8s("<a id='downmap'"),
                                             kRoot);
    EXPECT_EQ(big.commentary.size(), 64 * 1024);
    EXPECT_EQ(big.mapName.size(), kMeleeFieldLimit);
}
