// The listing commands in the real window against the demo site.
#include "app/layoutmath.h"
#include "app/splitterbar.h"
#include "app/webpane.h"
#include "support/testwindow.h"

#include <QAction>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {
struct Command {
    const char *name;
    const char *site;
    QByteArray target;  // raw request target of page 1
};

QAction *action(Form1 *f, const char *name)
{
    return f->findChild<QAction *>(QLatin1String(name));
}

class CatalogueWindow : public ::testing::Test {
protected:
    void SetUp() override { w->Timer4->stop(); }
    TestWindow w;
    QByteArray lastTarget(const char *site)
    {
        const QList<DemoRequest> seen = w.server().requests(QLatin1String(site));
        return seen.isEmpty() ? QByteArray() : seen.last().target;
    }
};
} // namespace

TEST_F(CatalogueWindow, EveryCommandLoadsPageOneOfItsListing)
{
    const Command melee[] = {
        {"all", "melee", "/Default.aspx?a=3&PageNo=1"},
        {"rvr", "melee", "/ReplayList.aspx?GameRace=2&PageNo=1"},
        {"fasd", "melee", "/ReplayList.aspx?GameRace=3&PageNo=1"},
        {"awe", "melee", "/ReplayList.aspx?GameRace=5&PageNo=1"},
        {"asdc", "melee", "/ReplayList.aspx?GameRace=9&PageNo=1"},
        {"vvz", "melee", "/ReplayList.aspx?GameRace=4&PageNo=1"},
        {"asdss", "melee", "/ReplayList.aspx?GameRace=3&PageNo=1"},
        {"asd23", "melee", "/ReplayList.aspx?GameRace=6&PageNo=1"},
        {"zxc", "melee", "/ReplayList.aspx?GameRace=10&PageNo=1"},
        {"qwebb", "melee", "/ReplayList.aspx?GameRace=8&PageNo=1"},
        {"vxcvx", "melee", "/ReplayList.aspx?GameRace=5&PageNo=1"},
        {"asdasdee", "melee", "/ReplayList.aspx?GameRace=6&PageNo=1"},
        {"xcvzxc", "melee", "/ReplayList.aspx?GameRace=12&PageNo=1"},
        {"ffasd", "melee", "/ReplayList.aspx?GameRace=16&PageNo=1"},
        {"asdasd", "melee", "/ReplayList.aspx?GameRace=9&PageNo=1"},
        {"qwe", "melee", "/ReplayList.aspx?GameRace=12&PageNo=1"},
        {"asd", "melee", "/ReplayList.aspx?GameRace=10&PageNo=1"},
        {"dotanew", "dota", "/DotaList.aspx?&PageNo=1"},
    };
    for (const Command &c : melee) {
        w->PageNumber = 7;  // a new listing always starts at page 1
        action(w.form.get(), c.name)->trigger();
        EXPECT_EQ(lastTarget(c.site), c.target) << c.name;
        EXPECT_EQ(w->PageNumber, 1) << c.name;
        EXPECT_EQ(w->SiteMode, QLatin1String(c.site) == u"melee" ? QStringLiteral("War3") : QStringLiteral("dota"));
        EXPECT_EQ(w->ListView1->topLevelItemCount(), 20) << c.name;
        EXPECT_EQ(w->List1->count(), 20) << c.name;
        EXPECT_TRUE(w->Command1->isEnabled());
        EXPECT_TRUE(w->Timer2->isActive());
    }

    // The four searches: keywords go out as code-page-936 bytes, "#", "&", "%",
    // "+" and blanks percent-encoded so that "&PageNo=1" is still sent.
    const Command searches[] = {
        {"search", "melee", "/Search.aspx?str=%C8%CB%BB%CA%20%231%26x%25%2B&PageNo=1"},
        {"zd", "dota", "/search.aspx?type=1&str=%C8%CB%BB%CA%20%231%26x%25%2B&PageNo=1"},
        {"sxdasd", "dota", "/search.aspx?type=2&str=%C8%CB%BB%CA%20%231%26x%25%2B&PageNo=1"},
        {"sais", "dota", "/search.aspx?type=3&str=%C8%CB%BB%CA%20%231%26x%25%2B&PageNo=1"},
    };
    for (const Command &c : searches) {
        w.dialogs.answers.push_back(QStringLiteral("人皇 #1&x%+"));
        action(w.form.get(), c.name)->trigger();
        EXPECT_EQ(lastTarget(c.site), c.target) << c.name;
        EXPECT_EQ(w.dialogs.prompts.last(), Form1::BoxText(w->Text11));
    }
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
}

TEST_F(CatalogueWindow, RowsCarryTheListingCellsAndDetailUrls)
{
    w->all_Click();
    const DemoMeleeReplay &first = DemoData::instance().melee.first();
    QTreeWidgetItem *row = w->ListView1->topLevelItem(0);
    EXPECT_EQ(row->text(0), QStringLiteral("0"));
    EXPECT_EQ(row->text(1), RaceName(first.race1) + QStringLiteral(" VS ") + RaceName(first.race2));
    EXPECT_EQ(row->text(2), first.player1 + QStringLiteral(" VS ") + first.player2);
    EXPECT_EQ(row->text(3), first.map);
    EXPECT_EQ(row->text(4), first.time);
    EXPECT_EQ(row->icon(0).isNull(), first.icon == 0);
    EXPECT_EQ(w->ListView1->topLevelItem(19)->text(0), QStringLiteral("19"));
    EXPECT_EQ(w->List1->item(0)->text(), w->Roots().melee + QStringLiteral("/ReplayDetail.aspx?ReplayID=%1").arg(first.id));
    EXPECT_EQ(w->ListingUrl, w->Roots().melee + QStringLiteral("/Default.aspx?a=3"));
    SaveScreenshot(w.form.get(), QStringLiteral("melee-listing.png"));

    w->dotanew_Click();
    const DemoDotaReplay &d = DemoData::instance().dota.first();
    row = w->ListView1->topLevelItem(0);
    EXPECT_EQ(row->text(0), QStringLiteral("0"));
    EXPECT_EQ(row->text(1), QStringLiteral("近卫军团 VS 天灾军团"));
    EXPECT_EQ(row->text(2), d.title);
    EXPECT_EQ(row->text(3), QString());
    EXPECT_EQ(w->List1->item(0)->text(), w->Roots().dota + QStringLiteral("/ReplayShow.aspx?ReplayID=%1").arg(d.id));
    SaveScreenshot(w.form.get(), QStringLiteral("dota-listing.png"));
}

TEST_F(CatalogueWindow, LayoutFollowsTheSiteMode)
{
    w->all_Click();
    const int meleeWidth = w->ListView1->width();
    EXPECT_EQ(meleeWidth, Px(w->WindowWidth() - 100));
    EXPECT_FALSE(w->WebBrowser2->isVisible());
    EXPECT_FALSE(w->Picture7->isVisible());

    w->dotanew_Click();
    EXPECT_TRUE(w->WebBrowser2->isVisible());
    EXPECT_TRUE(w->Picture7->isVisible());
    EXPECT_EQ(w->ListView1->width(), Px(6100));
    EXPECT_EQ(w->ListView1->columnWidth(0), Px(1000));
    EXPECT_EQ(w->ListView1->columnWidth(1), 0);
    EXPECT_EQ(w->ListView1->columnWidth(2), Px(4000));
    EXPECT_EQ(w->ListView1->columnWidth(3), 0);
    EXPECT_EQ(w->ListView1->columnWidth(4), Px(2500));

    w.dialogs.answers.push_back(QStringLiteral("WE"));
    w->sxdasd_Click();  // the player search shows the bar too
    EXPECT_EQ(w->ListView1->width(), Px(6000));
    EXPECT_TRUE(w->Picture7->isVisible());

    w.dialogs.answers.push_back(QStringLiteral("Sky"));
    w->search_Click();  // a melee search after DotA parses a melee page
    EXPECT_EQ(w->SiteMode, QStringLiteral("War3"));
    EXPECT_FALSE(w->WebBrowser2->isVisible());
    EXPECT_FALSE(w->Picture7->isVisible());
    EXPECT_EQ(w->ListView1->width(), meleeWidth);
    EXPECT_EQ(w->ListView1->columnWidth(1), Px(2000));
    EXPECT_EQ(w->ListView1->columnWidth(3), Px(2500));
    ASSERT_GT(w->ListView1->topLevelItemCount(), 0);
    EXPECT_TRUE(w->ListView1->topLevelItem(0)->text(2).contains(QStringLiteral("Sky"), Qt::CaseInsensitive));
}

TEST_F(CatalogueWindow, CancelledBlankOrUnsendableSearchChangesNothing)
{
    w->dotanew_Click();
    const int rows = w->ListView1->topLevelItemCount();
    const int requests = int(w.server().requests().size());
    w.dialogs.answers.push_back(std::nullopt);             // cancelled
    w.dialogs.answers.push_back(QStringLiteral("   "));    // blanks only
    w.dialogs.answers.push_back(QStringLiteral("한국"));    // not in code page 936
    w.dialogs.answers.push_back(std::nullopt);
    w->search_Click();
    w->zd_Click();
    w->sais_Click();
    w->sxdasd_Click();
    EXPECT_EQ(w->SiteMode, QStringLiteral("dota"));
    EXPECT_EQ(w->ListView1->topLevelItemCount(), rows);
    EXPECT_EQ(w->ListView1->width(), Px(6100));
    EXPECT_TRUE(w->WebBrowser2->isVisible());
    EXPECT_EQ(int(w.server().requests().size()), requests);
    ASSERT_EQ(w.dialogs.messages.size(), 1);  // only the unsendable keyword is refused with a message
    EXPECT_TRUE(w.dialogs.messages.first().title.isEmpty());
}

TEST_F(CatalogueWindow, UnknownSiteModeDoesNothing)
{
    w->SiteMode = QStringLiteral("WAR3");
    w->LoadReplayList(w->Roots().melee + QStringLiteral("/Default.aspx?a=3"));
    EXPECT_TRUE(w.server().requests().isEmpty() || !w.server().requestLines(QStringLiteral("melee")).size());
    EXPECT_TRUE(w->ListingUrl.isEmpty());
    EXPECT_FALSE(w->Command1->isEnabled());
}

TEST_F(CatalogueWindow, AHugeCellIsCutAndItsRowStillOpens)
{
    // The first row's players cell holds 1 MiB of text.
    w->StartListing(QStringLiteral("War3"), w->Roots().melee + QStringLiteral("/_test/longcell?"));
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 20);
    const QString cell = w->ListView1->topLevelItem(0)->text(2);
    EXPECT_EQ(cell.size(), 256);
    EXPECT_TRUE(cell.startsWith(QStringLiteral("LongName ")));
    EXPECT_TRUE(cell.endsWith(QChar(0x2026)));
    EXPECT_EQ(w->List1->item(0)->text(),
              w->Roots().melee + QStringLiteral("/ReplayDetail.aspx?ReplayID=%1").arg(DemoData::instance().melee.first().id));
    SaveScreenshot(w.form.get(), QStringLiteral("long-cell.png"));  // painting the row must not hang
}
