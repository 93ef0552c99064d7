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
