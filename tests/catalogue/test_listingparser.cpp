// The listing parsers' marker rules on small hand-made pages.
#include "catalogue/listingparser.h"
#include "support/testfiles.h"

namespace {
const QString kDotaRoot = QStringLiteral("http://dota.example.net");

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

TEST(MeleeListing, PlayersCellCleanUpAndIcon)
{
    const char *const cases[][3] = {  // {players cell, players, icon}
        {"Grubby VS Moon</a><img src=\"images/1.gif\"><img src=\"images/2.gif\">", "Grubby VS Moon", "2"},  // silver wins
        {"Sky</a> VS <a href=\"p\">Fov</a><img src=\"images/2.gif\"> (录像)", "Sky VS <a href=\"p\">Fov", "2"},  // link text before the image
        {"<b>Remind</b> VS Lyn</a>", "<b>Remind</b> VS Lyn", "0"},  // no image: only "</a>" goes, other markup stays
    };
    for (const auto &c : cases) {
        const QList<ListingRow> rows = ParseMeleeListing(meleePage(meleeItem("R", "u", c[0], "m", "t")));
        ASSERT_EQ(rows.size(), 1) << c[0];
        EXPECT_EQ(rows[0].players, u8s(c[1]));
        EXPECT_EQ(rows[0].icon, QByteArray(c[2]).toInt()) << c[0];
    }
}

TEST(MeleeListing, CellsAreNotTrimmed)
{
    const QList<ListingRow> rows = ParseMeleeListing(meleePage(
        u8s("<ul class=\"replayitem\">\n  <li class=\"c_r\"><a href=\"x\">人族 VS 人族</a></li>\n"
            "  <li class=\"c_p\"><a href=\"ReplayView.aspx?ReplayID=7\" target=\"_blank\"> Sky </a></li>\n"
            "  <li class=\"c_m\"> Turtle Rock </li>\n  <li class=\"c_t\">2008-05-12</li>\n</ul>\n")));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].players, u8s(" Sky "));
    EXPECT_EQ(rows[0].map, u8s(" Turtle Rock \n  "));
    EXPECT_EQ(rows[0].time, u8s("2008-05-12\n"));
}

TEST(MeleeListing, MissingMarkers)
{
    // No item marker (an error page, a detail page left in the page file), or cells before the first one.
    for (const char *page : {"<html><body>服务器繁忙</body></html>", "", "<li class=\"c_p\"><a href=\"bogus\" target=\"_blank\">X</li>"})
        EXPECT_TRUE(ParseMeleeListing(u8s(page)).isEmpty()) << page;
    // An item lacking cells still gives a row, its cells empty (the map's right marker, the time cell, is
    // missing); an item whose "</ul>" is missing ends at the next item, which is parsed on its own.
    const QList<ListingRow> rows = ParseMeleeListing(
        meleePage(u8s("<ul class=\"replayitem\"><li class=\"c_m\">Twisted Meadows</li></ul>"
                      "<ul class=\"replayitem\"><li class=\"c_t\">2008-01-01</li>")
                  + meleeItem("人族 VS 兽族", "u", "A VS B</a>", "m", "2008-01-02")));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[0].matchup.isEmpty() && rows[0].players.isEmpty() && rows[0].detailUrl.isEmpty());
    EXPECT_TRUE(rows[0].map.isEmpty() && rows[0].time.isEmpty() && rows[0].icon == 0);
    EXPECT_EQ(rows[1].time, QString());
    EXPECT_EQ(rows[2].matchup, u8s("人族 VS 兽族"));
    EXPECT_EQ(rows[2].time, u8s("2008-01-02"));
}

TEST(DotaListing, IconRulesAndTitleTrimmedOfBlanksOnly)
{
    // Both crowns: silver; none, right after a row with one: none; an image not the site's "images/": none.
    const QList<ListingRow> rows = ParseDotaListing(
        dotaPage(dotaItem("both", "/a", "<img src='images/1.gif'><img src='images/2.gif'>", "t")
                 + dotaItem("  \t超神\t \n ", "/b", "", "t") + dotaItem("other", "/c", "<img src='icons/1.gif'>", "t")),
        kDotaRoot);
    ASSERT_EQ(rows.size(), 3);
    for (int i : {0, 1, 2})
        EXPECT_EQ(rows[i].icon, i == 0 ? 2 : 0) << i;
    EXPECT_EQ(rows[1].players, u8s("\t超神\t \n"));
}

TEST(DotaListing, MissingSectionMarkersGiveNoRows)
{
    const QString items = dotaItem("x", "/a", "", "t");
    const QString pages[] = {
        dotaPage(items, false),                                     // no page-number label
        u8s("<span id=\"labPage\">1/1</span>") + items,             // the label only in front of the items
        dotaPage(QString()),                                        // no items
        u8s("<ul class=\"replayitem\"><span id=\"labPage\">"),       // a melee page
        u8s("<ul class=\"dotaitem\">x</ul><span id=\"labPage\">"),  // the marker in the other quoting style
        QString()};
    for (const QString &page : pages)
        EXPECT_TRUE(ParseDotaListing(page, kDotaRoot).isEmpty()) << page.toStdString();
}

TEST(DotaListing, AnItemWithoutPathGetsTheBareRootAndNoDetailUrl)
{
    const QList<ListingRow> rows = ParseDotaListing(dotaPage(u8s("<ul class='dotaitem'><li class='it_title'>残缺</li></ul>")
                                                             + dotaItem("ok", "/DotaView.aspx?id=9", "", "2009-04-01")),
                                                    kDotaRoot);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].players.isEmpty() && rows[0].time.isEmpty());
    EXPECT_EQ(rows[0].detailUrl, kDotaRoot);
    EXPECT_TRUE(!rows[0].hasDetailUrl && rows[1].hasDetailUrl);
    EXPECT_EQ(rows[1].detailUrl, u8s("http://dota.example.net/DotaView.aspx?id=9"));
}
