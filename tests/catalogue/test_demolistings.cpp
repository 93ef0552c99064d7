// The listing parsers on the pages the demo site really serves.
#include "catalogue/listingparser.h"
#include "demo/demosite.h"
#include "web/pagefiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(DemoListings, LatestPagesOfBothSitesGiveTheirRowsWithAllCells)
{
    DemoSite site;
    QTemporaryDir dir;
    PageFiles pages(dir.path());
    const QString melee = site.roots().melee, dota = site.roots().dota;
    QList<ListingRow> rows;
    for (int page = 1; page <= 2; ++page)
        rows += ParseMeleeListing(pages.FetchPage(melee + QStringLiteral("/Default.aspx?a=3&PageNo=%1").arg(page), kPageFile));
    ASSERT_EQ(rows.size(), 2 * kDemoPageSize);
    int broken = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const DemoMeleeReplay &r = DemoData::instance().melee.at(i);
        const ListingRow &row = rows.at(i);
        EXPECT_EQ(row.matchup, RaceName(r.race1) + QStringLiteral(" VS ") + RaceName(r.race2)) << i;
        EXPECT_EQ(row.time, r.time) << i;
        if (r.brokenItem) {  // without its map cell the players cell has no end: no players, no URL
            ++broken;
            EXPECT_TRUE(row.map.isEmpty() && row.players.isEmpty() && row.detailUrl.isEmpty() && !row.hasDetailUrl) << i;
        } else {
            EXPECT_EQ(row.detailUrl, melee + QStringLiteral("/ReplayDetail.aspx?ReplayID=%1").arg(r.id)) << i;
            EXPECT_EQ(row.players, r.player1 + QStringLiteral(" VS ") + r.player2) << i;  // image cut off
            EXPECT_EQ(row.map, r.map) << i;
            EXPECT_EQ(row.icon, r.icon) << i;
        }
    }
    EXPECT_GT(broken, 0);

    rows = ParseDotaListing(pages.FetchPage(dota + QStringLiteral("/DotaList.aspx?&PageNo=1"), kPageFile), dota);
    ASSERT_EQ(rows.size(), kDemoPageSize);
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const ListingRow &row) { return row.time.isEmpty(); }));
    for (int i = 0; i < rows.size(); ++i) {
        const DemoDotaReplay &r = DemoData::instance().dota.at(i);
        EXPECT_EQ(rows.at(i).matchup, QStringLiteral("近卫军团 VS 天灾军团"));
        EXPECT_EQ(rows.at(i).players, r.title);  // blanks around the title removed
        EXPECT_TRUE(rows.at(i).map.isEmpty());
        EXPECT_EQ(rows.at(i).time, r.brokenItem ? QString() : r.time) << i;
        EXPECT_EQ(rows.at(i).icon, r.icon) << i;
        EXPECT_EQ(rows.at(i).detailUrl, dota + QStringLiteral("/ReplayShow.aspx?ReplayID=%1").arg(r.id));
    }
    // Past the last page: no rows.
    EXPECT_TRUE(ParseDotaListing(pages.FetchPage(dota + QStringLiteral("/DotaList.aspx?&PageNo=16"), kPageFile), dota).isEmpty());
}
