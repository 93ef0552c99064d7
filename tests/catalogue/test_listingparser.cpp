#include "catalogue/listingparser.h"

#include <gtest/gtest.h>

#include <QString>
#include <ostream>

void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toUtf8().toStdString() << '"';
}

namespace {

QString u8s(const char *utf8) { return QString::fromUtf8(utf8); }

const char *const kDotaRoot = "http://dota.example.net";

QString meleeItem(const char *race, const char *url, const char *playersAndImage, const char *map,
                  const char *time)
{
    return u8s("<ul class=\"replayitem\">"
               "<li class=\"c_r\"><a href=\"ReplayList.aspx?GameRace=3\">%1</a></li>"
               "<li class=\"c_p\"><a href=\"%2\" target=\"_blank\">%3</li>"
               "<li class=\"c_m\">%4</li>"
               "<li class=\"c_t\">%5</li>"
               "</ul>\n")
        .arg(u8s(race), u8s(url), u8s(playersAndImage), u8s(map), u8s(time));
}

QString meleePage(const QString &items)
{
    return u8s("<html><head><title>录像列表</title></head><body>\n"
               "<div id=\"menu\"><a href=\"Default.aspx\">首页</a></div>\n<div id=\"list\">\n")
        + items + u8s("</div>\n<div class=\"pager\">第 1 页</div></body></html>");
}

QString dotaItem(const char *title, const char *path, const char *icon, const char *time)
{
    return u8s("<ul class='dotaitem'><a title=\"%1\" onclick=\"window.open('%2')\">"
               "<li class='it_title'>%1</li></a><li class='it_icon'>%3</li>"
               "<li class='it_time'>%4</li><li class='it_down'><a href='#'>下载</a></li></ul>\n")
        .arg(u8s(title), u8s(path), u8s(icon), u8s(time));
}

QString dotaPage(const QString &items, bool withLabel = true)
{
    return u8s("<html><body><div class='dotalist'>\n") + items
        + (withLabel ? u8s("</div><span id=\"labPage\">1/35</span>") : u8s("</div>"))
        + u8s("</body></html>");
}

} // namespace

// ---------------------------------------------------------------- melee

TEST(MeleeListing, PlayersCellCleanUpAndIcon)
{
    const QString page = meleePage(
        // Silver crown wins over gold when both appear.
        meleeItem("R", "u1", "Grubby VS Moon</a><img src=\"images/1.gif\"><img src=\"images/2.gif\">", "m", "t")
        // Link text followed by an image: only the link text remains.
        + meleeItem("R", "u2", "Sky</a> VS <a href=\"p\">Fov</a><img src=\"images/2.gif\"> (录像)", "m", "t")
        // No image: only "</a>" goes; other markup stays.
        + meleeItem("R", "u3", "<b>Remind</b> VS Lyn</a>", "m", "t"));
    const QList<ListingRow> rows = ParseMeleeListing(page);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].icon, 2);
    EXPECT_EQ(rows[0].players, u8s("Grubby VS Moon"));
    EXPECT_EQ(rows[1].icon, 2);
    EXPECT_EQ(rows[1].players, u8s("Sky VS <a href=\"p\">Fov"));
    EXPECT_EQ(rows[2].icon, 0);
    EXPECT_EQ(rows[2].players, u8s("<b>Remind</b> VS Lyn"));
}

TEST(MeleeListing, CellsAreNotTrimmed)
{
    const QString page = meleePage(
        u8s("<ul class=\"replayitem\">\n"
            "  <li class=\"c_r\"><a href=\"x\">人族 VS 人族</a></li>\n"
            "  <li class=\"c_p\"><a href=\"ReplayView.aspx?ReplayID=7\" target=\"_blank\"> Sky </a></li>\n"
            "  <li class=\"c_m\"> Turtle Rock </li>\n"
            "  <li class=\"c_t\">2008-05-12</li>\n"
            "</ul>\n"));
    const QList<ListingRow> rows = ParseMeleeListing(page);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].players, u8s(" Sky "));
    EXPECT_EQ(rows[0].map, u8s(" Turtle Rock \n  "));
    EXPECT_EQ(rows[0].time, u8s("2008-05-12\n"));
}

TEST(MeleeListing, MissingMarkers)
{
    // No item marker at all (an error page, or a detail page left in the page file).
    EXPECT_TRUE(ParseMeleeListing(u8s("<html><body>服务器繁忙</body></html>")).isEmpty());
    EXPECT_TRUE(ParseMeleeListing(QString()).isEmpty());

    // Cells in front of the first item marker are not an item.
    const QString head = u8s("<li class=\"c_p\"><a href=\"bogus\" target=\"_blank\">X</li>");
    EXPECT_TRUE(ParseMeleeListing(head).isEmpty());

    // An item that lacks cells still gives a row; the missing cells are empty.
    const QString page = meleePage(u8s("<ul class=\"replayitem\"><li class=\"c_m\">Twisted Meadows</li></ul>")
                                   + u8s("<ul class=\"replayitem\">"));
    const QList<ListingRow> rows = ParseMeleeListing(page);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].matchup, QString());
    EXPECT_EQ(rows[0].players, QString());
    EXPECT_EQ(rows[0].detailUrl, QString());
    EXPECT_EQ(rows[0].map, QString());  // its right marker "<li class=\"c_t\">" is missing
    EXPECT_EQ(rows[0].time, QString());
    EXPECT_EQ(rows[0].icon, 0);
    EXPECT_EQ(rows[1].players, QString());
}

TEST(MeleeListing, ItemRunsToNextMarker)
{
    // The time cell of an item whose "</ul>" is missing runs into the next item:
    // the next item is still parsed on its own.
    const QString page = meleePage(
        u8s("<ul class=\"replayitem\"><li class=\"c_t\">2008-01-01</li>")
        + meleeItem("人族 VS 兽族", "u", "A VS B</a>", "m", "2008-01-02"));
    const QList<ListingRow> rows = ParseMeleeListing(page);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].time, QString());
    EXPECT_EQ(rows[1].matchup, u8s("人族 VS 兽族"));
    EXPECT_EQ(rows[1].time, u8s("2008-01-02"));
}

// ---------------------------------------------------------------- DotA

TEST(DotaListing, IconRules)
{
    const QString page = dotaPage(
        dotaItem("both", "/a", "<img src='images/1.gif'><img src='images/2.gif'>", "t")
        // Neither: no icon, also right after a row that had one.
        + dotaItem("none", "/b", "", "t")
        // The image must be the site's "images/" one.
        + dotaItem("other", "/c", "<img src='icons/1.gif'>", "t"));
    const QList<ListingRow> rows = ParseDotaListing(page, u8s(kDotaRoot));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].icon, 2);
    EXPECT_EQ(rows[1].icon, 0);
    EXPECT_EQ(rows[2].icon, 0);
}

TEST(DotaListing, TitleTrimsBlanksOnly)
{
    const QString page = dotaPage(dotaItem("  \t超神\t \n ", "/a", "", "t"));
    const QList<ListingRow> rows = ParseDotaListing(page, u8s(kDotaRoot));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].players, u8s("\t超神\t \n"));
}

TEST(DotaListing, MissingSectionMarkersGiveNoRows)
{
    const QString items = dotaItem("x", "/a", "", "t");
    // No page-number label.
    EXPECT_TRUE(ParseDotaListing(dotaPage(items, false), u8s(kDotaRoot)).isEmpty());
    // Label only in front of the items.
    EXPECT_TRUE(ParseDotaListing(u8s("<span id=\"labPage\">1/1</span>") + items, u8s(kDotaRoot)).isEmpty());
    // No items.
    EXPECT_TRUE(ParseDotaListing(dotaPage(QString()), u8s(kDotaRoot)).isEmpty());
    // A melee page is no DotA page.
    EXPECT_TRUE(ParseDotaListing(u8s("<ul class=\"replayitem\"><span id=\"labPage\">"), u8s(kDotaRoot)).isEmpty());
    // The marker in the other quoting style does not count.
    EXPECT_TRUE(ParseDotaListing(u8s("<ul class=\"dotaitem\">x</ul><span id=\"labPage\">"), u8s(kDotaRoot)).isEmpty());
    EXPECT_TRUE(ParseDotaListing(QString(), u8s(kDotaRoot)).isEmpty());
}

TEST(DotaListing, ItemWithMissingFieldsStillGivesARow)
{
    const QString page = dotaPage(u8s("<ul class='dotaitem'><li class='it_title'>残缺</li></ul>")
                                  + dotaItem("ok", "/DotaView.aspx?id=9", "", "2009-04-01"));
    const QList<ListingRow> rows = ParseDotaListing(page, u8s(kDotaRoot));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].players, QString());
    EXPECT_EQ(rows[0].time, QString());
    // Without a path the detail URL is the site root alone, and no replay's URL.
    EXPECT_EQ(rows[0].detailUrl, u8s(kDotaRoot));
    EXPECT_FALSE(rows[0].hasDetailUrl);
    EXPECT_TRUE(rows[1].hasDetailUrl);
    EXPECT_EQ(rows[1].detailUrl, u8s("http://dota.example.net/DotaView.aspx?id=9"));
}
