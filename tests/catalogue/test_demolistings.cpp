// The listing parsers on the pages the demo site really serves.
#include "catalogue/listingparser.h"
#include "demo/demosite.h"
#include "web/pagefiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class DemoListings : public ::testing::Test {
protected:
    DemoSite site;
    QTemporaryDir dir;
    PageFiles pages{dir.path()};
    QString fetch(const QString &url) { return pages.FetchPage(url, kPageFile); }
    const DemoData &data = DemoData::instance();
};
} // namespace

TEST_F(DemoListings, MeleeLatestPagesGiveTwentyRowsWithAllCells)
{
    const QString root = site.roots().melee;
    QList<ListingRow> rows;
    for (int page = 1; page <= 2; ++page)
        rows += ParseMeleeListing(fetch(root + QStringLiteral("/Default.aspx?a=3&PageNo=%1").arg(page)));
    ASSERT_EQ(rows.size(), 2 * kDemoPageSize);
    int broken = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const DemoMeleeReplay &r = data.melee.at(i);
        const ListingRow &row = rows.at(i);
        EXPECT_EQ(row.matchup, RaceName(r.race1) + QStringLiteral(" VS ") + RaceName(r.race2)) << i;
        EXPECT_EQ(row.time, r.time) << i;
        if (r.brokenItem) {
            // Without its map cell the players cell has no end: no players, no URL.
            ++broken;
            EXPECT_TRUE(row.map.isEmpty() && row.players.isEmpty() && row.detailUrl.isEmpty()) << i;
            EXPECT_FALSE(row.hasDetailUrl);
        } else {
            EXPECT_EQ(row.detailUrl, root + QStringLiteral("/ReplayDetail.aspx?ReplayID=%1").arg(r.id)) << i;
            EXPECT_EQ(row.players, r.player1 + QStringLiteral(" VS ") + r.player2) << i;  // image cut off
            EXPECT_EQ(row.map, r.map) << i;
            EXPECT_EQ(row.icon, r.icon) << i;
        }
    }
    EXPECT_GT(broken, 0);
}

TEST_F(DemoListings, MeleeMatchupListingHasThreePagesThenAnEmptyOne)
{
    const QString base = site.roots().melee + QStringLiteral("/ReplayList.aspx?GameRace=10&PageNo=");
    const int expected[] = {20, 20, 5, 0};
    for (int page = 1; page <= 4; ++page) {
        const QList<ListingRow> rows = ParseMeleeListing(fetch(base + QString::number(page)));
        EXPECT_EQ(rows.size(), expected[page - 1]) << page;
        for (const ListingRow &row : rows)
            EXPECT_TRUE(row.matchup == QStringLiteral("暗夜精灵 VS 不死") || row.matchup == QStringLiteral("不死 VS 暗夜精灵"));
    }
}

TEST_F(DemoListings, DotaLatestPageRows)
{
    const QString root = site.roots().dota;
    const QList<ListingRow> rows = ParseDotaListing(fetch(root + QStringLiteral("/DotaList.aspx?&PageNo=1")), root);
    ASSERT_EQ(rows.size(), kDemoPageSize);
    EXPECT_TRUE(std::any_of(data.dota.begin(), data.dota.begin() + kDemoPageSize, [](const DemoDotaReplay &r) { return r.brokenItem; }));
    for (int i = 0; i < rows.size(); ++i) {
        const DemoDotaReplay &r = data.dota.at(i);
        EXPECT_EQ(rows.at(i).matchup, QStringLiteral("近卫军团 VS 天灾军团"));
        EXPECT_EQ(rows.at(i).players, r.title);  // blanks around the title removed
        EXPECT_TRUE(rows.at(i).map.isEmpty());
        EXPECT_EQ(rows.at(i).time, r.brokenItem ? QString() : r.time) << i;
        EXPECT_EQ(rows.at(i).icon, r.icon);
        EXPECT_EQ(rows.at(i).detailUrl, root + QStringLiteral("/ReplayShow.aspx?ReplayID=%1").arg(r.id));
    }
    // Past the last page: no rows.
    EXPECT_TRUE(ParseDotaListing(fetch(root + QStringLiteral("/DotaList.aspx?&PageNo=16")), root).isEmpty());
}

TEST_F(DemoListings, DotaPageWithoutPageLabelHasNoRows)
{
    QString page = fetch(site.roots().dota + QStringLiteral("/DotaList.aspx?&PageNo=1"));
    ASSERT_FALSE(ParseDotaListing(page, QString()).isEmpty());
    page.replace(QStringLiteral("<span id=\"labPage\">"), QStringLiteral("<span id=\"pager\">"));
    EXPECT_TRUE(ParseDotaListing(page, QString()).isEmpty());
}

TEST_F(DemoListings, SearchesReallyFilter)
{
    const QString melee = site.roots().melee;
    // "人皇 UD": the player 人皇 with an Undead side; "Sky at tr": Sky on TurtleRock.
    const QList<ListingRow> rows = ParseMeleeListing(fetch(melee + QStringLiteral("/Search.aspx?str=%C8%CB%BB%CA%20UD&PageNo=1")));
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.size(), qMin<qsizetype>(kDemoPageSize, data.searchMelee(QStringLiteral("人皇 UD")).size()));
    const QList<ListingRow> onMap = ParseMeleeListing(fetch(melee + QStringLiteral("/Search.aspx?str=Sky%20at%20tr&PageNo=1")));
    ASSERT_FALSE(onMap.isEmpty());
    for (const ListingRow &row : onMap)
        EXPECT_TRUE(row.map == QStringLiteral("TurtleRock") || row.map.isEmpty());
    for (const ListingRow &row : rows) {
        EXPECT_TRUE(row.players.contains(QStringLiteral("人皇")) || row.players.isEmpty());
        EXPECT_TRUE(row.matchup.contains(QStringLiteral("不死")));
    }
    const QString dota = site.roots().dota;
    const QList<ListingRow> teams = ParseDotaListing(fetch(dota + QStringLiteral("/search.aspx?type=1&str=LGD&PageNo=1")), dota);
    ASSERT_FALSE(teams.isEmpty());
    for (const ListingRow &row : teams)
        EXPECT_TRUE(row.players.contains(QStringLiteral("LGD")));
    EXPECT_TRUE(ParseDotaListing(fetch(dota + QStringLiteral("/search.aspx?type=3&str=nothing&PageNo=1")), dota).isEmpty());
}
