// The listing parsers: their marker rules on small hand-made pages, then the pages
// the demo site really serves.
#include "catalogue/listingparser.h"
#include "demo/demosite.h"
#include "support/testfiles.h"
#include "web/pagefiles.h"

namespace {
const QString kDotaRoot = QStringLiteral("http://dota.example.net"), kTeams = u8s("近卫军团 VS 天灾军团");

// A row as "matchup|players|map|time|icon|detail URL|whether the page named one".
QString Text(const ListingRow &r)
{
    return QStringList{r.matchup, r.players, r.map, r.time, QString::number(r.icon), r.detailUrl, QString::number(r.hasDetailUrl)}.join(u'|');
}

QString meleeItem(const char *race, const char *url, const char *playersAndImage, const char *map, const char *time)
{
    return u8s("<ul class=\"replayitem\"><li class=\"c_r\"><a href=\"ReplayList.aspx?GameRace=3\">%1</a></li>"
               "<li class=\"c_p\"><a href=\"%2\" target=\"_blank\">%3</li><li class=\"c_m\">%4</li>"
               "<li class=\"c_t\">%5</li></ul>\n")
        .arg(u8s(race), u8s(url), u8s(playersAndImage), u8s(map), u8s(time));
}

QString meleePage(const QString &items)
{
    return u8s("<html><body><div id=\"menu\"><a href=\"Default.aspx\">首页</a></div>\n") + items + u8s("</body></html>");
}

QString dotaItem(const char *title, const char *path, const char *icon, const char *time)
{
    return u8s("<ul class='dotaitem'><a title=\"%1\" onclick=\"window.open('%2')\"><li class='it_title'>%1</li></a>"
               "<li class='it_icon'>%3</li><li class='it_time'>%4</li><li class='it_down'><a href='#'>下载</a></li></ul>\n")
        .arg(u8s(title), u8s(path), u8s(icon), u8s(time));
}

QString dotaPage(const QString &items, bool withLabel = true)
{
    return u8s("<html><body><div class='dotalist'>\n") + items
        + (withLabel ? u8s("</div><span id=\"labPage\">1/35</span>") : u8s("</div>")) + u8s("</body></html>");
}
} // namespace

TEST(Listing, MarkerRules)
{
    const QString dota = dotaItem("x", "/a", "", "t"), team = kTeams + u'|';
    const struct { const char *why; bool dota; QString page; QStringList rows; } cases[] = {
        {"silver wins over gold", false, meleePage(meleeItem("R", "u", "Grubby VS Moon</a><img src=\"images/1.gif\"><img src=\"images/2.gif\">", "m", "t")),
         {u8s("R|Grubby VS Moon|m|t|2|u|1")}},
        {"link text before the image", false, meleePage(meleeItem("R", "u", "Sky</a> VS <a href=\"p\">Fov</a><img src=\"images/2.gif\"> (录像)", "m", "t")),
         {u8s("R|Sky VS <a href=\"p\">Fov|m|t|2|u|1")}},
        {"no image: only </a> goes, other markup stays", false, meleePage(meleeItem("R", "u", "<b>Remind</b> VS Lyn</a>", "m", "t")),
         {u8s("R|<b>Remind</b> VS Lyn|m|t|0|u|1")}},
        {"melee cells are not trimmed", false,
         meleePage(u8s("<ul class=\"replayitem\">\n  <li class=\"c_r\"><a href=\"x\">人族 VS 人族</a></li>\n"
                       "  <li class=\"c_p\"><a href=\"ReplayView.aspx?ReplayID=7\" target=\"_blank\"> Sky </a></li>\n"
                       "  <li class=\"c_m\"> Turtle Rock </li>\n  <li class=\"c_t\">2008-05-12</li>\n</ul>\n")),
         {u8s("人族 VS 人族| Sky | Turtle Rock \n  |2008-05-12\n|0|ReplayView.aspx?ReplayID=7|1")}},
        // An item lacking cells still gives a row (the map's right marker, the time cell, is missing);
        // an item whose "</ul>" is missing ends at the next item, which is parsed on its own.
        {"missing cells and a missing </ul>", false,
         meleePage(u8s("<ul class=\"replayitem\"><li class=\"c_m\">Twisted Meadows</li></ul><ul class=\"replayitem\"><li class=\"c_t\">2008-01-01</li>")
                   + meleeItem("人族 VS 兽族", "u", "A VS B</a>", "m", "2008-01-02")),
         {u8s("||||0||0"), u8s("||||0||0"), u8s("人族 VS 兽族|A VS B|m|2008-01-02|0|u|1")}},
        // No item marker (an error page, a detail page left in the page file), or cells before the first one.
        {"an error page", false, u8s("<html><body>服务器繁忙</body></html>"), {}}, {"nothing", false, QString(), {}},
        {"cells without an item", false, u8s("<li class=\"c_p\"><a href=\"bogus\" target=\"_blank\">X</li>"), {}},
        // Both crowns: silver; none, right after a row with one: none; an image not the site's "images/": none.
        {"dota icons; the title trimmed of blanks only", true,
         dotaPage(dotaItem("both", "/a", "<img src='images/1.gif'><img src='images/2.gif'>", "t") + dotaItem("  \t超神\t \n ", "/b", "", "t")
                  + dotaItem("other", "/c", "<img src='icons/1.gif'>", "t")),
         {team + u8s("both||t|2|http://dota.example.net/a|1"), team + u8s("\t超神\t \n||t|0|http://dota.example.net/b|1"),
          team + u8s("other||t|0|http://dota.example.net/c|1")}},
        {"a dota item without path gets the bare root", true,
         dotaPage(u8s("<ul class='dotaitem'><li class='it_title'>残缺</li></ul>") + dotaItem("ok", "/DotaView.aspx?id=9", "", "2009-04-01")),
         {team + u8s("|||0|http://dota.example.net|0"), team + u8s("ok||2009-04-01|0|http://dota.example.net/DotaView.aspx?id=9|1")}},
        {"no page-number label", true, dotaPage(dota, false), {}}, {"the label only in front of the items", true, u8s("<span id=\"labPage\">1/1</span>") + dota, {}},
        {"no items", true, dotaPage(QString()), {}}, {"a melee page", true, u8s("<ul class=\"replayitem\"><span id=\"labPage\">"), {}},
        {"the marker in the other quoting style", true, u8s("<ul class=\"dotaitem\">x</ul><span id=\"labPage\">"), {}}, {"nothing", true, QString(), {}},
    };
    for (const auto &c : cases) {
        QStringList rows;
        for (const ListingRow &r : c.dota ? ParseDotaListing(c.page, kDotaRoot) : ParseMeleeListing(c.page))
            rows << Text(r);
        EXPECT_EQ(rows, c.rows) << c.why;
    }
}

TEST(Listing, TheDemoSitesLatestPages)
{
    DemoSite site;
    QTemporaryDir dir;
    PageFiles pages(dir.path());
    const QString melee = site.roots().melee, dota = site.roots().dota;
    QStringList got, expected;
    for (int page = 1; page <= 2; ++page)
        for (const ListingRow &r : ParseMeleeListing(pages.FetchPage(melee + QStringLiteral("/Default.aspx?a=3&PageNo=%1").arg(page), kPageFile)))
            got << Text(r);
    const QList<DemoMeleeReplay> replays = DemoData::instance().melee.mid(0, 2 * kDemoPageSize);
    ASSERT_TRUE(std::any_of(replays.begin(), replays.end(), [](const DemoMeleeReplay &r) { return r.brokenItem; }));
    for (const DemoMeleeReplay &r : replays) {  // the players' image is cut off
        const QString url = melee + QStringLiteral("/ReplayDetail.aspx?ReplayID=%1").arg(r.id), players = r.player1 + u8s(" VS ") + r.player2;
        expected << QStringList{RaceName(r.race1) + u8s(" VS ") + RaceName(r.race2), r.brokenItem ? QString() : players, r.brokenItem ? QString() : r.map, r.time,
                                // without its map cell the players cell has no end: no players, no icon, no URL
                                QString::number(r.brokenItem ? 0 : r.icon), r.brokenItem ? QString() : url, QString::number(!r.brokenItem)}.join(u'|');
    }
    EXPECT_EQ(got, expected);

    got.clear(), expected.clear();
    for (const ListingRow &r : ParseDotaListing(pages.FetchPage(dota + QStringLiteral("/DotaList.aspx?&PageNo=1"), kPageFile), dota))
        got << Text(r);
    const QList<DemoDotaReplay> dotaReplays = DemoData::instance().dota.mid(0, kDemoPageSize);
    ASSERT_TRUE(std::any_of(dotaReplays.begin(), dotaReplays.end(), [](const DemoDotaReplay &r) { return r.brokenItem; }));
    for (const DemoDotaReplay &r : dotaReplays)  // blanks around the title removed; a broken item has no time cell
        expected << QStringList{kTeams, r.title, QString(), r.brokenItem ? QString() : r.time, QString::number(r.icon),
                                dota + QStringLiteral("/ReplayShow.aspx?ReplayID=%1").arg(r.id), u8s("1")}.join(u'|');
    EXPECT_EQ(got, expected);
}
