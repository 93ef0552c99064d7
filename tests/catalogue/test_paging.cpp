// Paging on scroll: the next page of the listing under the loading banner.
#include "catalogue/categories.h"
#include "support/testwindow.h"

#include <QAction>
#include <QFrame>
#include <QListWidget>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

TEST(PagingThreshold, NextPageIsDueNearTheEnd)
{
    EXPECT_FALSE(NextPageDue(0, 3));   // an unscrolled list never pages
    EXPECT_FALSE(NextPageDue(0, 0));
    EXPECT_FALSE(NextPageDue(11, 20));
    EXPECT_TRUE(NextPageDue(12, 20));
    EXPECT_FALSE(NextPageDue(27, 40));
    EXPECT_TRUE(NextPageDue(28, 40));
    EXPECT_FALSE(NextPageDue(75, 100));
    EXPECT_TRUE(NextPageDue(76, 100));
    EXPECT_TRUE(NextPageDue(1, 7));  // seven rows or fewer: any scrolled position
}

namespace {
class Paging : public ::testing::Test {
protected:
    TestWindow w;
    void SetUp() override
    {
        w->Timer4->stop();
        w->Timer2->setInterval(3600 * 1000);  // ticks are given by hand
        w->resize(w->width(), 10);            // the lowest window: few rows in view
        WaitFor([&] { return w->ListView1->height() < 80; }, 2000);
    }
    bool scrollTo(int row)
    {
        QScrollBar *bar = w->ListView1->verticalScrollBar();
        WaitFor([&] { return bar->maximum() >= row; }, 2000);
        bar->setValue(row);
        return bar->value() == row;
    }
    void scrollToEnd()
    {
        QScrollBar *bar = w->ListView1->verticalScrollBar();
        const int rows = w->ListView1->topLevelItemCount();
        WaitFor([&] { return bar->maximum() >= rows - 5; }, 2000);
        bar->setValue(bar->maximum());
    }
    void matchup(const char *name) { w->findChild<QAction *>(QLatin1String(name))->trigger(); }
    QList<QByteArray> targets(const char *site)
    {
        QList<QByteArray> out;
        for (const DemoRequest &r : w.server().requests(QLatin1String(site)))
            out.append(r.target);
        return out;
    }
};
} // namespace

TEST_F(Paging, ScrollingNearTheEndAppendsTheNextPage)
{
    matchup("zxc");
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 20);
    w.server().clearLog();
    w->Timer2_Timer();  // not scrolled
    ASSERT_TRUE(scrollTo(11));
    w->Timer2_Timer();  // 11 > 0.8 * 20 - 5 does not hold
    EXPECT_TRUE(targets("melee").isEmpty());

    ASSERT_TRUE(scrollTo(12));
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee"), QList<QByteArray>{"/ReplayList.aspx?GameRace=10&PageNo=2"});
    EXPECT_EQ(w->PageNumber, 2);
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 40);
    EXPECT_EQ(w->ListView1->topLevelItem(20)->text(0), QStringLiteral("20"));  // numbering goes on
    EXPECT_EQ(w->List1->count(), 40);
    EXPECT_FALSE(w->Frame3->isHidden());  // the banner stays until the banner timer's tick
    EXPECT_TRUE(w->Timer3->isActive());
    EXPECT_TRUE(w->Timer2->isActive());
    SaveScreenshot(w.form.get(), QStringLiteral("paging-banner.png"));

    // The list grew: the same position pages no more.
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee").size(), 1);
    w->Timer3_Timer();
    EXPECT_TRUE(w->Frame3->isHidden());
}

TEST_F(Paging, PagingStopsAfterTheFirstEmptyPage)
{
    matchup("zxc");  // 45 replays: pages of 20, 20 and 5, then an empty page
    w.server().clearLog();
    for (int i = 0; i < 8; ++i) {
        scrollToEnd();
        w->Timer2_Timer();
    }
    EXPECT_EQ(targets("melee"), (QList<QByteArray>{"/ReplayList.aspx?GameRace=10&PageNo=2",
                                                   "/ReplayList.aspx?GameRace=10&PageNo=3",
                                                   "/ReplayList.aspx?GameRace=10&PageNo=4"}));
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 45);

    // A new listing pages again.
    w->all_Click();
    w.server().clearLog();
    ASSERT_TRUE(scrollTo(15));
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee"), QList<QByteArray>{"/Default.aspx?a=3&PageNo=2"});
}

TEST_F(Paging, ARepeatedLastPageEndsPagingWithoutDuplicates)
{
    // A site that answers every page number with the same page.
    const QString same = DemoSite::meleeListingPage(DemoData::instance().melee, 1, w->Roots().melee);
    w.server().setOverride(QStringLiteral("melee"), "/Default.aspx", DemoResponse::html(same));
    w->all_Click();
    w.server().clearLog();
    for (int i = 0; i < 4; ++i) {
        scrollToEnd();
        w->Timer2_Timer();
    }
    EXPECT_EQ(targets("melee"), QList<QByteArray>{"/Default.aspx?a=3&PageNo=2"});
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 20);
}

TEST_F(Paging, DotaListingPagesTheSameWay)
{
    w->dotanew_Click();
    w.server().clearLog();
    ASSERT_TRUE(scrollTo(12));
    w->Timer2_Timer();
    EXPECT_EQ(targets("dota"), QList<QByteArray>{"/DotaList.aspx?&PageNo=2"});
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 40);
}

TEST_F(Paging, AFailedPageIsTriedAgainOnlyAfterFurtherScrolling)
{
    w->all_Click();
    w.server().clearLog();
    w.server().setOverride(QStringLiteral("melee"), "/Default.aspx", DemoResponse::html(QStringLiteral("busy"), 503));
    ASSERT_TRUE(scrollTo(12));
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee").size(), 1);
    EXPECT_EQ(w->PageNumber, 1);
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 20);
    w->Timer2_Timer();
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee").size(), 1);  // a dead site costs no blocked fetch every second

    w.server().clearOverrides();
    ASSERT_TRUE(scrollTo(13));
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee").size(), 2);
    EXPECT_EQ(targets("melee").last(), QByteArray("/Default.aspx?a=3&PageNo=2"));
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 40);
}

TEST_F(Paging, ANewListingStartedDuringTheYieldIsNotPagedUnasked)
{
    w->all_Click();
    ASSERT_TRUE(scrollTo(12));
    w.server().clearLog();
    QTimer::singleShot(0, w.form.get(), [&] { w->dotanew_Click(); });  // runs in the paging check's yield
    w->Timer2_Timer();
    EXPECT_EQ(targets("dota"), QList<QByteArray>{"/DotaList.aspx?&PageNo=1"});
    EXPECT_TRUE(targets("melee").isEmpty());
    EXPECT_EQ(w->PageNumber, 1);
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 20);
}

TEST_F(Paging, PageNumberStopsAt255)
{
    w->all_Click();
    ASSERT_TRUE(scrollTo(12));
    w->PageNumber = 255;
    w.server().clearLog();
    w->Timer2_Timer();
    EXPECT_TRUE(targets("melee").isEmpty());
    EXPECT_EQ(w->PageNumber, 255);
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 20);
}
